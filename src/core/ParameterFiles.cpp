#include "ParameterFiles.h"

// Narrow-character files only; the packaged SimpleIni.h would otherwise pick a converter
// whose header it does not ship.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace altrix {

namespace {

// Matches section and key names without regard to case (CSimpleIniCaseA would not).
using IniFile = CSimpleIniA;

constexpr const char* kParameterSection = "Parameter";
constexpr const char* kListFilePathKey = "ListFilePath";
constexpr const char* kPortsSection = "Ports";
constexpr const char* kBaseGroupSection = "usebase";

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

bool SaveWhole(const IniFile& ini, const std::string& path) {
    std::string text;
    return ini.Save(text) >= 0 && WriteWholeFile(path, text);
}

// A first start: the sample settings file becomes `target`, made with its folder. A parameter
// list that the sample names by a relative path is copied beside it and named by its full path,
// so that it is found from any current folder and its base-group file is written beside it.
void CopySample(const std::filesystem::path& sampleFolder, const std::filesystem::path& target) {
    namespace fs = std::filesystem;
    IniFile ini;
    ini.SetQuotes(true);
    ini.SetSpaces(false);
    std::error_code ec;
    if (!LoadRegularFile(ini, (sampleFolder / kSettingsFileName).string())) return;
    fs::create_directories(target.parent_path(), ec);
    if (ec) return;
    if (const char* named = ini.GetValue(kParameterSection, kListFilePathKey)) {
        const fs::path list(named);
        const fs::path copy = target.parent_path() / list.filename();
        if (list.is_relative() && fs::is_regular_file(sampleFolder / list, ec) &&
            (fs::exists(copy, ec) || fs::copy_file(sampleFolder / list, copy, ec)))
            ini.SetValue(kParameterSection, kListFilePathKey, copy.string().c_str());
    }
    SaveWhole(ini, target.string());
}

}  // namespace

std::string SettingsIniPath(const std::string& executablePath) {
    return WithExtension(executablePath, ".INI");
}

std::optional<std::string> ReadSetting(const std::string& settingsIniPath, const std::string& section,
                                       const std::string& key) {
    IniFile ini;
    LoadSettings(ini, settingsIniPath);
    if (const char* value = ini.GetValue(section.c_str(), key.c_str())) return value;
    return std::nullopt;
}

bool WriteSettings(const std::string& settingsIniPath, std::span<const Setting> values) {
    IniFile ini;
    ini.SetQuotes(true);
    ini.SetSpaces(false);
    std::error_code ec;
    if (std::filesystem::exists(settingsIniPath, ec) && !LoadRegularFile(ini, settingsIniPath))
        return false;
    for (const Setting& setting : values) {
        if (ini.SetValue(setting.Section.c_str(), setting.Key.c_str(), setting.Value.c_str()) < 0)
            return false;
    }
    return SaveWhole(ini, settingsIniPath);
}

std::string LocateSettingsFile(const SettingsPlaces& places) {
    const std::string beside = SettingsIniPath(places.ExecutablePath);
    std::error_code ec;
    if (std::filesystem::is_regular_file(beside, ec)) return beside;
    const std::filesystem::path config = std::filesystem::path(places.ConfigFolder) / kSettingsFileName;
    if (!std::filesystem::exists(config, ec) && !places.SampleFolder.empty())
        CopySample(places.SampleFolder, config);
    return config.string();
}

std::string ReadListFilePath(const std::string& settingsIniPath, const std::string& fallback) {
    return ReadSetting(settingsIniPath, kParameterSection, kListFilePathKey).value_or(fallback);
}

std::optional<std::string> ReadPortMapping(const std::string& settingsIniPath,
                                           const std::string& key) {
    return ReadSetting(settingsIniPath, kPortsSection, key);
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
    if (!SaveWhole(ini, baseGroupPath)) return failed;
    return {};
}

}  // namespace altrix
