#include "PortName.h"

#include <QtGlobal>

#include <optional>

#include "ParameterFiles.h"

namespace altrix {
namespace {

// n of "COMn" (n from 1 to 256, no leading zero), compared without case.
std::optional<int> ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        if ((name[i] | 0x20) != "com"[i]) return std::nullopt;
    }
    if (name[3] == '0') return std::nullopt;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
        n = n * 10 + (name[i] - '0');
    }
    if (n > 256) return std::nullopt;
    return n;
}

}  // namespace

std::string ResolvePortName(const std::string& name, const std::string& settingsIniPath) {
#ifdef Q_OS_WIN
    Q_UNUSED(settingsIniPath);
    return name;
#else
    if (!settingsIniPath.empty()) {
        const std::optional<std::string> mapped = ReadPortMapping(settingsIniPath, name);
        if (mapped && !mapped->empty()) return *mapped;
    }
    if (const std::optional<int> n = ComNumber(name)) return "/dev/ttyS" + std::to_string(*n - 1);
    return name;
#endif
}

}  // namespace altrix
