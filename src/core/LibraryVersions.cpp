#include "LibraryVersions.h"

#include <H5public.h>
#include <matio.h>
#include <muParserDef.h>

namespace altrix {

std::string MuParserVersion() {
    // "2.3.3 (Release)": the number alone.
    const std::string version = mu::ParserVersion;
    return version.substr(0, version.find(' '));
}

std::string MatioVersion() {
    return MATIO_VERSION_STR;
}

std::string Hdf5Version() {
    return std::to_string(H5_VERS_MAJOR) + '.' + std::to_string(H5_VERS_MINOR) + '.' + std::to_string(H5_VERS_RELEASE);
}

}  // namespace altrix
