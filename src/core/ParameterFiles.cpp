#include "ParameterFiles.h"

// Narrow-character files only; the packaged SimpleIni.h would otherwise pick a converter
// whose header it does not ship.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <utility>

namespace altrix {

namespace {

// Matches section and key names without regard to case (CSimpleIniCaseA would not).
using IniFile = CSimpleIniA;

constexpr const char* kParameterSection = "Parameter";
constexpr const char* kListFilePathKey = "ListFilePath";
constexpr const char* kPortsSection = "Ports";
constexpr const char* kBaseGroupSection = "usebase";
constexpr const char* kTriggerSection = "Trigger";

bool IsPathSeparator(char c) {
    return c == '/' || c == static_cast<char>(std::filesystem::path::preferred_separator);
}

// `path` with the part after the last dot of its last component replaced by `extension`
// (which starts with the dot), or with `extension` appended when that component has no dot.
std::string WithExtension(const std::string& path, std::string_view extension) {
    std::size_t nameStart = path.size();
    while (nameStart > 0 && !IsPathSeparator(path[nameStart - 1])) --nameStart;
    const std::size_t dot = path.rfind('.');
    std::string result =
        dot != std::string::npos && dot >= nameStart ? path.substr(0, dot) : path;
    result += extension;
    return result;
}

// Loads `path` when it is a regular file: SimpleIni sizes its buffer by seeking to the end,
// which gives nonsense for folders and devices. False when such a file fails to load.
bool LoadRegularFile(IniFile& ini, const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    return ini.LoadFile(path.c_str()) >= 0;
}

// Loads a settings file for reading; a missing or unreadable file reads as empty.
// Values may be quoted, as in the private-profile files these settings come from.
void LoadSettings(IniFile& ini, const std::string& path) {
    ini.SetQuotes(true);
    if (!LoadRegularFile(ini, path)) ini.Reset();
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

// Index of `text` among `names`, if it is one of them.
template <std::size_t N>
std::optional<int> NameIndex(const std::array<std::string_view, N>& names, const char* text) {
    const auto found = std::find(names.begin(), names.end(), std::string_view(text));
    if (found == names.end()) return std::nullopt;
    return static_cast<int>(found - names.begin());
}

// The whole number of `key` in section "Trigger" when it lies in low..high, else `fallback`.
int TriggerInteger(const IniFile& ini, const char* key, int low, int high, int fallback) {
    const char* text = ini.GetValue(kTriggerSection, key, "");
    const char* end = text + std::strlen(text);
    int value = 0;
    const auto [stop, error] = std::from_chars(text, end, value);
    return error == std::errc{} && stop == end && value >= low && value <= high ? value : fallback;
}

}  // namespace

std::string SettingsIniPath(const std::string& executablePath) {
    return WithExtension(executablePath, ".INI");
}

std::string ReadListFilePath(const std::string& settingsIniPath, const std::string& fallback) {
    IniFile ini;
    LoadSettings(ini, settingsIniPath);
    return ini.GetValue(kParameterSection, kListFilePathKey, fallback.c_str());
}

std::optional<std::string> ReadPortMapping(const std::string& settingsIniPath,
                                           const std::string& key) {
    IniFile ini;
    LoadSettings(ini, settingsIniPath);
    if (const char* value = ini.GetValue(kPortsSection, key.c_str())) return value;
    return std::nullopt;
}

TriggerSettings ReadTriggerSettings(const std::string& settingsIniPath) {
    TriggerSettings settings;
    if (settingsIniPath.empty()) return settings;
    IniFile ini;
    LoadSettings(ini, settingsIniPath);
    if (const auto mode = NameIndex(kTriggerModeNames, ini.GetValue(kTriggerSection, "Mode", "")))
        settings.Mode = static_cast<TriggerMode>(*mode);
    if (const auto condition = NameIndex(kTriggerConditionNames, ini.GetValue(kTriggerSection, "Condition", "")))
        settings.Condition = static_cast<TriggerCondition>(*condition);
    settings.Source = TriggerInteger(ini, "Source", 1, kChannelCount, settings.Source);
    settings.Level = ini.GetValue(kTriggerSection, "Level", settings.Level.c_str());
    settings.Bit = TriggerInteger(ini, "Bit", 0, 15, settings.Bit);
    settings.PreTriggerPercent = TriggerInteger(ini, "PreTrigger", 0, 100, settings.PreTriggerPercent);
    return settings;
}

bool WriteTriggerSettings(const std::string& settingsIniPath, const TriggerSettings& settings) {
    if (settingsIniPath.empty()) return true;
    IniFile ini;
    ini.SetSpaces(false);
    std::error_code ec;
    if (std::filesystem::exists(settingsIniPath, ec) && !LoadRegularFile(ini, settingsIniPath)) return false;
    const std::pair<const char*, std::string> values[] = {
        {"Mode", std::string(kTriggerModeNames[static_cast<std::size_t>(settings.Mode)])},
        {"Source", std::to_string(settings.Source)},
        {"Condition", std::string(kTriggerConditionNames[static_cast<std::size_t>(settings.Condition)])},
        {"Level", settings.Level},
        {"Bit", std::to_string(settings.Bit)},
        {"PreTrigger", std::to_string(settings.PreTriggerPercent)},
    };
    for (const auto& [key, value] : values)
        if (ini.SetValue(kTriggerSection, key, value.c_str()) < 0) return false;
    std::string text;
    return ini.Save(text) >= 0 && WriteWholeFile(settingsIniPath, text);
}

std::optional<std::vector<std::string>> ReadParameterNames(const std::string& listFilePath) {
    std::error_code ec;
    if (!std::filesystem::exists(listFilePath, ec)) return std::nullopt;

    std::vector<std::string> names;
    std::ifstream file(listFilePath, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::string_view counted =
            std::string_view(line).substr(0, static_cast<std::size_t>(kParameterLineChars));
        names.emplace_back(counted.substr(0, counted.find(' ')));
    }
    return names;
}

std::string BaseGroupPath(const std::string& listFilePath) {
    return WithExtension(listFilePath, ".ini");
}

WriteResult WriteBaseGroups(const std::string& baseGroupPath,
                            const std::array<std::vector<std::string>, kBaseGroupCount>& groups) {
    const WriteResult failed{false, "Unable to write to " + baseGroupPath};

    IniFile ini;
    ini.SetSpaces(false);
    std::error_code ec;
    if (std::filesystem::exists(baseGroupPath, ec) && !LoadRegularFile(ini, baseGroupPath)) {
        return failed;
    }
    ini.Delete(kBaseGroupSection, nullptr);
    for (int group = 0; group < kBaseGroupCount; ++group) {
        const std::string value = std::to_string(group + 1);
        for (const std::string& name : groups[group]) {
            if (ini.SetValue(kBaseGroupSection, name.c_str(), value.c_str()) < 0) return failed;
        }
    }
    std::string text;
    if (ini.Save(text) < 0 || !WriteWholeFile(baseGroupPath, text)) return failed;
    return {};
}

}  // namespace altrix
