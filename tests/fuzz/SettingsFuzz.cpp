// The settings reader on any bytes as the settings file, and the base-group writer on any
// bytes as the existing base-group file: values come back as single lines, and a rewritten
// section "usebase" holds exactly the names written, whatever the file's other sections hold.

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <array>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ParameterFiles.h"

using namespace altrix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string settingsPath = fuzz::WriteInput("input.INI", data, size);
    const std::string listPath = ReadListFilePath(settingsPath, kDefaultListFilePath);
    FUZZ_CHECK(listPath.find('\n') == std::string::npos);
    const std::optional<std::string> port = ReadPortMapping(settingsPath, "COM3");
    FUZZ_CHECK(!port || port->find('\n') == std::string::npos);

    std::array<std::vector<std::string>, kBaseGroupCount> groups;
    groups[1] = {"P00-01", "Speed"};
    // The input file may not load as a settings file; then the writer refuses it.
    if (!WriteBaseGroups(settingsPath, groups).Ok) return 0;
    CSimpleIniA ini;
    FUZZ_CHECK(ini.LoadFile(settingsPath.c_str()) >= 0);
    std::list<CSimpleIniA::Entry> keys;
    ini.GetAllKeys("usebase", keys);
    FUZZ_CHECK(keys.size() == 2);
    for (const char* name : {"P00-01", "Speed"}) {
        const char* value = ini.GetValue("usebase", name);
        FUZZ_CHECK(value && std::string(value) == "2");
    }
    return 0;
}
