#pragma once
// The program's settings file (where it is, single values read and written), the parameter
// list file (*.plf) and the base-group file (section "usebase") of the base value setting
// dialog. Settings files are private-profile text whose names match without regard to case.

#include "Trigger.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace altrix {

inline constexpr const char* kDefaultListFilePath = "Parameter list.plf";
inline constexpr int kBaseGroupCount = 5;
inline constexpr int kParameterLineChars = 40;
// Bounds of a parameter list file, far above any drive's list: a larger file is refused, so
// reading one takes a moment and bounded memory.
inline constexpr std::uintmax_t kMaxParameterListBytes = 16u << 20;
inline constexpr std::size_t kMaxParameterLines = 100000;

inline constexpr const char* kSettingsFileName = "altrix-scope.INI";

// The settings file beside a program: the executable's path with its extension replaced by ".INI".
std::string SettingsIniPath(const std::string& executablePath);

// Where the program may keep its settings file.
struct SettingsPlaces {
    std::string ExecutablePath;  // the running program
    std::string ConfigFolder;    // the user's configuration folder of the program
    std::string SampleFolder;    // the installed sample settings file and parameter list
};

// The settings file to read and write: the one beside the program when it exists, otherwise
// kSettingsFileName in the configuration folder. When neither exists (a first start), that
// folder and file are made, from the sample when there is one (else the file is empty); a
// parameter list that the sample names by a relative path is copied beside it and named by its
// full path.
std::string LocateSettingsFile(const SettingsPlaces& places);

// A settings file is read whole or not at all: one that is no regular file, cannot be opened,
// or is not private-profile text (UTF-16, a NUL byte, a line that is no section, key=value or
// comment) reads as missing, and is never written for the rest of the run, even once it is
// mended: what the program did not read it does not write over.

// For the user, once at start-up: why the program cannot keep its settings in
// `settingsIniPath` (the file cannot be read whole, or cannot be written or made), or empty when
// it can, or when the path is empty (no settings file).
std::string SettingsFileProblem(const std::string& settingsIniPath);

// Why `text` does not read as private-profile text that a rewrite keeps whole, or empty: 8-bit
// text (not UTF-16) without NUL bytes, each line blank, a comment (";" or "#"), a section
// "[name]" or "key=value" with a key. SimpleIni skips any other line, and so would lose it.
std::string SettingsTextProblem(std::string_view text);

// Value of `key` in `section` of a settings file, if present. Values may be quoted.
std::optional<std::string> ReadSetting(const std::string& settingsIniPath, const std::string& section,
                                       const std::string& key);

struct Setting {
    std::string Section;
    std::string Key;
    std::string Value;
};

// Sets each value in the settings file, creating the file when missing and keeping its other
// sections, keys and comments. False when the file cannot be read whole or written.
bool WriteSettings(const std::string& settingsIniPath, std::span<const Setting> values);

// Value of "ListFilePath" in section "Parameter" (case-insensitive), or `fallback` when
// the file or the key is missing.
std::string ReadListFilePath(const std::string& settingsIniPath, const std::string& fallback);

// Value of `key` in section "Ports" of the settings file, if present.
std::optional<std::string> ReadPortMapping(const std::string& settingsIniPath,
                                           const std::string& key);

// The trigger settings of section "Trigger"; keys that are missing or refused (a number out of
// range or no number, a name that is none of its list's) keep their defaults. Writing sets every
// key of the section, but a refused one while its value is the default it reads as, and keeps the
// rest of the file; false when the file cannot be read whole or written. Neither touches a file
// when `settingsIniPath` is empty.
TriggerSettings ReadTriggerSettings(const std::string& settingsIniPath);
bool WriteTriggerSettings(const std::string& settingsIniPath, const TriggerSettings& settings);
// The refused keys of section "Trigger" as they stand in the file: "[Trigger] Holdoff=99999999".
std::vector<std::string> RefusedTriggerSettings(const std::string& settingsIniPath);

struct ParameterList {
    bool Missing = false;  // nothing exists at the path
    std::string Refused;   // why the file was not read, for the user; empty when it was
    std::vector<std::string> Names;
};

// The parameter names of a list file, in file order, as their bytes stand in the file: each
// non-empty line's first 40 characters up to the first blank. Anything but a regular file,
// and a file beyond kMaxParameterListBytes or kMaxParameterLines, is refused. A regular file
// that cannot be opened gives no names. Opened read-only.
ParameterList ReadParameterNames(const std::string& listFilePath);

// The base-group file of a list file: its extension replaced by ".ini", or ".ini" appended.
// Callers pass the list file path that the names were read from (read with the same
// kDefaultListFilePath default); a relative path stays relative to the current folder.
std::string BaseGroupPath(const std::string& listFilePath);

struct WriteResult {
    bool Ok = true;
    std::string Error;  // for the user when !Ok: a refused name, or "Unable to write to <path>"
};

// Why `name` cannot be a key of the base-group file that reads back byte for byte (empty,
// "=" in it, a comment or section start, blanks at either end, control characters), or empty
// when it can. Bytes beyond ASCII are kept as they are, whatever their encoding.
std::string BaseGroupNameProblem(std::string_view name);

// Erases section "usebase" and writes each name of group g (0-based) with the value g + 1,
// groups in order, keeping the file's other sections; an existing file that cannot be read whole
// (as a settings file above) is not written. The file is replaced as a whole
// (ReplaceFile). When a name has a BaseGroupNameProblem, nothing is written.
WriteResult WriteBaseGroups(const std::string& baseGroupPath,
                            const std::array<std::vector<std::string>, kBaseGroupCount>& groups);

}  // namespace altrix
