#pragma once
// The settings file beside the executable, the parameter list file (*.plf) and the
// base-group file (section "usebase") of the base value setting dialog.

#include "Trigger.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace altrix {

inline constexpr const char* kDefaultListFilePath = "Parameter list.plf";
inline constexpr int kBaseGroupCount = 5;
inline constexpr int kParameterLineChars = 40;

// The settings file: the executable's path with its extension replaced by ".INI".
std::string SettingsIniPath(const std::string& executablePath);

// Value of "ListFilePath" in section "Parameter" (case-insensitive), or `fallback` when
// the file or the key is missing.
std::string ReadListFilePath(const std::string& settingsIniPath, const std::string& fallback);

// Value of `key` in section "Ports" of the settings file, if present.
std::optional<std::string> ReadPortMapping(const std::string& settingsIniPath,
                                           const std::string& key);

// The trigger settings of section "Trigger"; keys that are missing or out of range keep their
// defaults. Writing sets every key of the section and keeps the rest of the file; false when the
// file cannot be written. Neither touches a file when `settingsIniPath` is empty.
TriggerSettings ReadTriggerSettings(const std::string& settingsIniPath);
bool WriteTriggerSettings(const std::string& settingsIniPath, const TriggerSettings& settings);

// The parameter names of a list file, in file order: each line's first 40 characters up
// to the first blank. std::nullopt when the file does not exist; an existing file that
// cannot be read gives no names. Opened read-only.
std::optional<std::vector<std::string>> ReadParameterNames(const std::string& listFilePath);

// The base-group file of a list file: its extension replaced by ".ini", or ".ini" appended.
// Callers pass the list file path that the names were read from (read with the same
// kDefaultListFilePath default); a relative path stays relative to the current folder.
std::string BaseGroupPath(const std::string& listFilePath);

struct WriteResult {
    bool Ok = true;
    std::string Error;  // "Unable to write to <path>" when !Ok
};

// Erases section "usebase" and writes each name of group g (0-based) with the value g + 1,
// groups in order, keeping the file's other sections.
WriteResult WriteBaseGroups(const std::string& baseGroupPath,
                            const std::array<std::vector<std::string>, kBaseGroupCount>& groups);

}  // namespace altrix
