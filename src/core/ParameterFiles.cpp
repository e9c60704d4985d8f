#include "ParameterFiles.h"

// Narrow-character files only; the packaged SimpleIni.h would otherwise pick a converter
// whose header it does not ship.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

#include "SafeFile.h"

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

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string SettingsTextProblem(std::string_view text) {
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return "it is UTF-16 text";
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
        return "it holds a NUL byte (byte " + std::to_string(nul + 1) + ")";
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int number = 1;
    for (std::size_t start = 0; start < text.size(); ++number) {
        // A line ends at LF, CR LF or a lone CR, as SimpleIni reads it.
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
        while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        const std::size_t equals = line.find('=');
        const bool section = line.front() == '[' && line.find(']') == line.size() - 1;
        const bool value = line.front() != '[' && equals != std::string_view::npos && equals > 0;
        if (!section && !value) return "line " + std::to_string(number) + " is no section, key=value or comment";
    }
    return {};
}

namespace {

// The comment lines after the last section or key of `text`, from the line end of that last
// one; empty when there are none. SimpleIni keeps a comment only before a section or key, so
// a rewrite appends these again.
std::string TrailingComments(std::string_view text) {
    std::size_t tail = 0;
    bool comment = false;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const std::size_t first = line.find_first_not_of(" \t");
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        if (first == std::string_view::npos) continue;
        if (line[first] == ';' || line[first] == '#') {
            comment = true;
        } else {
            tail = std::min(start, text.size());
            comment = false;
        }
    }
    // A file of comments alone: SimpleIni keeps them as the file's own comment.
    if (!comment || tail == 0) return {};
    return std::string(text.substr(tail));
}

// Loads the private-profile file `path` whole into `ini`, or leaves `ini` empty and says why it
// cannot: no regular file (SimpleIni sizes its buffer by seeking to the end, which gives
// nonsense for folders and devices), a read that fails, or a SettingsTextProblem. `trailing`,
// when given, gets the file's TrailingComments.
std::string LoadIniFile(IniFile& ini, const std::string& path, std::string* trailing = nullptr) {
    ini.Reset();
    if (std::string problem = RegularFileProblem(path); !problem.empty()) return problem;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::strerror(errno);
    std::string text;
    std::vector<char> chunk(64 * 1024);
    while (const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get())) text.append(chunk.data(), got);
    if (std::ferror(file.get())) return std::strerror(errno ? errno : EIO);
    if (std::string problem = SettingsTextProblem(text); !problem.empty()) return problem;
    if (trailing) *trailing = TrailingComments(text);
    if (ini.LoadData(text) >= 0) return {};
    ini.Reset();
    return "it could not be read";
}

// Loads a settings file for reading; a missing file, or one that cannot be read whole, reads
// as empty. Values may be quoted, as in the private-profile files these settings come from.
void LoadSettings(IniFile& ini, const std::string& path) {
    ini.SetQuotes(true);
    LoadIniFile(ini, path);
}

// The settings files found unreadable in this run: none is written again until the program
// starts anew, whatever becomes of it meanwhile. Named by their absolute path.
class HeldFiles {
public:
    void Hold(const std::string& path) {
        const std::lock_guard lock(mutex_);
        held_.insert(Key(path));
    }
    bool IsHeld(const std::string& path) {
        const std::lock_guard lock(mutex_);
        return held_.contains(Key(path));
    }

private:
    static std::string Key(const std::string& path) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::weakly_canonical(path, ec);
        return ec ? path : absolute.string();
    }
    std::mutex mutex_;
    std::set<std::string> held_;
};

HeldFiles& Held() {
    static HeldFiles held;
    return held;
}

// Why the settings file cannot be changed, or empty; after loading it into `ini` (and its
// TrailingComments into `trailing`) when it exists. A file that cannot be read whole is held:
// never written in this run.
std::string LoadForChange(IniFile& ini, const std::string& path, std::string& trailing) {
    ini.SetSpaces(false);
    std::error_code ec;
    const bool missing = std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found;
    std::string problem = missing ? std::string() : LoadIniFile(ini, path, &trailing);
    if (!problem.empty())
        Held().Hold(path);
    else if (Held().IsHeld(path))
        problem = "it could not be read earlier in this run";
    return problem;
}

// Cuts a list file's bytes into names. A line ends at LF, and one CR before the LF belongs to
// the line end; of each line only the first 40 characters count (41 are kept, for that CR),
// and its name runs up to the first blank. Empty lines give no name.
class NameReader {
public:
    explicit NameReader(std::vector<std::string>& names) : names_(names) {}

    void Feed(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] == '\n') {
                EndLine();
            } else {
                if (kept_.size() <= kParameterLineChars) kept_.push_back(data[i]);
                ++length_;
            }
        }
    }

    // The data may end without a line end.
    void Finish() {
        if (length_ > 0) EndLine();
    }

private:
    void EndLine() {
        if (length_ == kept_.size() && !kept_.empty() && kept_.back() == '\r') {
            kept_.pop_back();
            --length_;
        }
        if (length_ > 0) {
            const std::string_view counted =
                std::string_view(kept_).substr(0, static_cast<std::size_t>(kParameterLineChars));
            names_.emplace_back(counted.substr(0, counted.find(' ')));
        }
        kept_.clear();
        length_ = 0;
    }

    std::vector<std::string>& names_;
    std::string kept_;
    std::size_t length_ = 0;
};

std::string TooLargeText() {
    return "Larger than " + std::to_string(kMaxParameterListBytes >> 20) + " MiB";
}

std::string TooManyLinesText() {
    return "More than " + std::to_string(kMaxParameterLines) + " parameter lines";
}

// Writes `ini`, then `trailing` (the comments that ended the file read).
bool SaveWhole(const IniFile& ini, const std::string& path, const std::string& trailing = {}) {
    std::string text;
    if (ini.Save(text) < 0) return false;
    text += trailing;
    return ReplaceFile(path, [&text](std::FILE* file) {
               return std::fwrite(text.data(), 1, text.size(), file) == text.size();
           }).Ok;
}

// A first start: `target` is made with its folder, from the sample settings file when there is
// one, else empty. A parameter list that the sample names by a relative path is copied beside it
// and named by its full path, so that it is found from any current folder and its base-group
// file is written beside it.
void MakeSettingsFile(const std::string& sampleFolderPath, const std::filesystem::path& target) {
    namespace fs = std::filesystem;
    IniFile ini;
    ini.SetQuotes(true);
    ini.SetSpaces(false);
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) return;
    const fs::path sampleFolder(sampleFolderPath);
    if (sampleFolderPath.empty() || !LoadIniFile(ini, (sampleFolder / kSettingsFileName).string()).empty())
        ini.Reset();
    if (const char* named = ini.GetValue(kParameterSection, kListFilePathKey)) {
        const fs::path list(named);
        const fs::path copy = target.parent_path() / list.filename();
        if (list.is_relative() && fs::is_regular_file(sampleFolder / list, ec) &&
            (fs::exists(copy, ec) || fs::copy_file(sampleFolder / list, copy, ec)))
            ini.SetValue(kParameterSection, kListFilePathKey, copy.string().c_str());
    }
    SaveWhole(ini, target.string());
}

// Index of `text` among `names`, if it is one of them.
template <std::size_t N>
std::optional<int> NameIndex(const std::array<std::string_view, N>& names, const char* text) {
    const auto found = std::find(names.begin(), names.end(), std::string_view(text));
    if (found == names.end()) return std::nullopt;
    return static_cast<int>(found - names.begin());
}

// The keys of section "Trigger" whose text was refused, and their texts.
using Refusals = std::vector<std::pair<std::string, std::string>>;

void Refuse(Refusals* refused, const char* key, const char* text) {
    if (refused) refused->emplace_back(key, text);
}

// The whole number of `key` in section "Trigger" when it lies in low..high, else `fallback`
// (and, when the key is there, refused).
int TriggerInteger(const IniFile& ini, const char* key, int low, int high, int fallback, Refusals* refused) {
    const char* text = ini.GetValue(kTriggerSection, key, nullptr);
    if (!text) return fallback;
    const char* end = text + std::strlen(text);
    int value = 0;
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error == std::errc{} && stop == end && value >= low && value <= high) return value;
    Refuse(refused, key, text);
    return fallback;
}

// The index of `key`'s text among `names`, if it is one of them; a text that is none is refused.
template <std::size_t N>
std::optional<int> TriggerNameIndex(const IniFile& ini, const char* key, const std::array<std::string_view, N>& names,
                               Refusals* refused) {
    const char* text = ini.GetValue(kTriggerSection, key, nullptr);
    if (!text) return std::nullopt;
    const std::optional<int> index = NameIndex(names, text);
    if (!index) Refuse(refused, key, text);
    return index;
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
    std::string trailing;
    if (!LoadForChange(ini, settingsIniPath, trailing).empty()) return false;
    for (const Setting& setting : values) {
        if (ini.SetValue(setting.Section.c_str(), setting.Key.c_str(), setting.Value.c_str()) < 0)
            return false;
    }
    return SaveWhole(ini, settingsIniPath, trailing);
}

std::string LocateSettingsFile(const SettingsPlaces& places) {
    const std::string beside = SettingsIniPath(places.ExecutablePath);
    std::error_code ec;
    if (std::filesystem::is_regular_file(beside, ec)) return beside;
    const std::filesystem::path config = std::filesystem::path(places.ConfigFolder) / kSettingsFileName;
    if (!std::filesystem::exists(config, ec)) MakeSettingsFile(places.SampleFolder, config);
    return config.string();
}

std::string SettingsFileProblem(const std::string& settingsIniPath) {
    if (settingsIniPath.empty()) return {};
    IniFile ini;
    std::string trailing;
    if (const std::string unread = LoadForChange(ini, settingsIniPath, trailing); !unread.empty())
        return "The settings file " + settingsIniPath + " was not read (" + unread +
               "): it is kept as it is and nothing is saved to it until the next start.";
    if (const std::string unwritable = ReplaceProblem(settingsIniPath); !unwritable.empty())
        return "Settings cannot be kept: " + settingsIniPath + " cannot be written (" + unwritable + ").";
    return {};
}

std::string ReadListFilePath(const std::string& settingsIniPath, const std::string& fallback) {
    return ReadSetting(settingsIniPath, kParameterSection, kListFilePathKey).value_or(fallback);
}

std::optional<std::string> ReadPortMapping(const std::string& settingsIniPath,
                                           const std::string& key) {
    return ReadSetting(settingsIniPath, kPortsSection, key);
}

namespace {

// A condition's keys: "Source", "Condition", "Level", "Level2", "Bit" after `prefix`.
TriggerTerm ReadTriggerTerm(const IniFile& ini, const std::string& prefix, Refusals* refused) {
    TriggerTerm term;
    const auto key = [&prefix](const char* name) { return prefix + name; };
    if (const auto condition = TriggerNameIndex(ini, key("Condition").c_str(), kTriggerConditionNames, refused))
        term.Condition = static_cast<TriggerCondition>(*condition);
    term.Source = TriggerInteger(ini, key("Source").c_str(), 1, kChannelCount, term.Source, refused);
    term.Level = ini.GetValue(kTriggerSection, key("Level").c_str(), term.Level.c_str());
    term.Level2 = ini.GetValue(kTriggerSection, key("Level2").c_str(), term.Level2.c_str());
    term.Bit = TriggerInteger(ini, key("Bit").c_str(), 0, 15, term.Bit, refused);
    return term;
}

TriggerSettings ReadTriggerSection(const IniFile& ini, Refusals* refused) {
    TriggerSettings settings;
    if (const auto mode = TriggerNameIndex(ini, "Mode", kTriggerModeNames, refused)) settings.Mode = static_cast<TriggerMode>(*mode);
    const TriggerTerm first = ReadTriggerTerm(ini, "", refused);
    settings.Source = first.Source;
    settings.Condition = first.Condition;
    settings.Level = first.Level;
    settings.Level2 = first.Level2;
    settings.Bit = first.Bit;
    settings.PreTriggerPercent = TriggerInteger(ini, "PreTrigger", 0, 100, settings.PreTriggerPercent, refused);
    settings.HoldoffMs = TriggerInteger(ini, "Holdoff", 0, kMaxHoldoffMs, settings.HoldoffMs, refused);
    if (const auto join = TriggerNameIndex(ini, "Join", kTriggerJoinNames, refused)) settings.Join = static_cast<TriggerJoin>(*join);
    settings.Second = ReadTriggerTerm(ini, kSecondTriggerPrefix, refused);
    return settings;
}

std::vector<std::pair<std::string, std::string>> TriggerTermValues(const TriggerTerm& term, const std::string& prefix) {
    return {{prefix + "Source", std::to_string(term.Source)},
            {prefix + "Condition", std::string(kTriggerConditionNames[static_cast<std::size_t>(term.Condition)])},
            {prefix + "Level", term.Level},
            {prefix + "Bit", std::to_string(term.Bit)},
            {prefix + "Level2", term.Level2}};
}

// Every key of the section with its text, in order.
std::vector<std::pair<std::string, std::string>> TriggerValues(const TriggerSettings& settings) {
    std::vector<std::pair<std::string, std::string>> values{
        {"Mode", std::string(kTriggerModeNames[static_cast<std::size_t>(settings.Mode)])}};
    const auto first = TriggerTermValues(settings.First(), "");
    const auto second = TriggerTermValues(settings.Second, kSecondTriggerPrefix);
    values.insert(values.end(), first.begin(), first.end());
    values.insert(values.end(), {{"PreTrigger", std::to_string(settings.PreTriggerPercent)},
                                 {"Holdoff", std::to_string(settings.HoldoffMs)},
                                 {"Join", std::string(kTriggerJoinNames[static_cast<std::size_t>(settings.Join)])}});
    values.insert(values.end(), second.begin(), second.end());
    return values;
}

}  // namespace

TriggerSettings ReadTriggerSettings(const std::string& settingsIniPath) {
    if (settingsIniPath.empty()) return {};
    IniFile ini;
    LoadSettings(ini, settingsIniPath);
    return ReadTriggerSection(ini, nullptr);
}

std::vector<std::string> RefusedTriggerSettings(const std::string& settingsIniPath) {
    std::vector<std::string> texts;
    if (settingsIniPath.empty()) return texts;
    IniFile ini;
    LoadSettings(ini, settingsIniPath);
    Refusals refused;
    ReadTriggerSection(ini, &refused);
    for (const auto& [key, text] : refused) texts.push_back(std::string("[") + kTriggerSection + "] " + key + "=" + text);
    return texts;
}

bool WriteTriggerSettings(const std::string& settingsIniPath, const TriggerSettings& settings) {
    if (settingsIniPath.empty()) return true;
    IniFile ini;
    std::string trailing;
    if (!LoadForChange(ini, settingsIniPath, trailing).empty()) return false;
    // A refused key keeps its text while its value stays the one it reads as.
    ini.SetQuotes(true);
    Refusals refused;
    const TriggerSettings stored = ReadTriggerSection(ini, &refused);
    const auto storedValues = TriggerValues(stored);
    const auto values = TriggerValues(settings);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string& key = values[i].first;
        const std::string& value = values[i].second;
        const bool keep = value == storedValues[i].second &&
                          std::any_of(refused.begin(), refused.end(), [&key](const auto& r) { return r.first == key; });
        if (!keep && ini.SetValue(kTriggerSection, key.c_str(), value.c_str()) < 0) return false;
    }
    return SaveWhole(ini, settingsIniPath, trailing);
}

ParameterList ReadParameterNames(const std::string& listFilePath) {
    ParameterList list;
    std::error_code ec;
    if (std::filesystem::status(listFilePath, ec).type() == std::filesystem::file_type::not_found) {
        list.Missing = true;
        return list;
    }
    // Checked before opening: opening a pipe would wait for a writer.
    list.Refused = RegularFileProblem(listFilePath);
    if (!list.Refused.empty()) return list;
    if (std::filesystem::file_size(listFilePath, ec) > kMaxParameterListBytes && !ec) {
        list.Refused = TooLargeText();
        return list;
    }

    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(listFilePath.c_str(), "rb"));
    if (!file) return list;
    NameReader reader(list.Names);
    std::vector<char> chunk(64 * 1024);
    std::uintmax_t done = 0;
    while (const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get())) {
        done += got;
        // The file may have grown since its size was taken.
        if (done > kMaxParameterListBytes) list.Refused = TooLargeText();
        reader.Feed(chunk.data(), got);
        if (list.Names.size() > kMaxParameterLines) list.Refused = TooManyLinesText();
        if (!list.Refused.empty()) break;
    }
    reader.Finish();
    if (list.Names.size() > kMaxParameterLines) list.Refused = TooManyLinesText();
    if (!list.Refused.empty()) list.Names.clear();
    return list;
}

std::string BaseGroupPath(const std::string& listFilePath) {
    return WithExtension(listFilePath, ".ini");
}

std::string BaseGroupNameProblem(std::string_view name) {
    const auto isBlank = [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    const auto isControl = [](unsigned char c) { return c < 0x20 || c == 0x7F; };
    if (name.empty()) return "it is empty";
    if (name.find('=') != std::string_view::npos) return "it contains \"=\"";
    if (name.front() == ';' || name.front() == '#' || name.front() == '[') {
        return std::string("it starts with \"") + name.front() + '"';
    }
    if (isBlank(name.front()) || isBlank(name.back())) return "it starts or ends with a blank";
    if (std::any_of(name.begin(), name.end(), isControl)) return "it contains a control character";
    return {};
}

WriteResult WriteBaseGroups(const std::string& baseGroupPath,
                            const std::array<std::vector<std::string>, kBaseGroupCount>& groups) {
    for (const std::vector<std::string>& names : groups) {
        for (const std::string& name : names) {
            if (const std::string problem = BaseGroupNameProblem(name); !problem.empty()) {
                return {false, "The parameter name \"" + name + "\" cannot be saved: " + problem};
            }
        }
    }
    const WriteResult failed{false, "Unable to write to " + baseGroupPath};

    IniFile ini;
    ini.SetSpaces(false);
    std::error_code ec;
    std::string trailing;
    if (std::filesystem::exists(baseGroupPath, ec) && !LoadIniFile(ini, baseGroupPath, &trailing).empty()) {
        return failed;
    }
    ini.Delete(kBaseGroupSection, nullptr);
    for (int group = 0; group < kBaseGroupCount; ++group) {
        const std::string value = std::to_string(group + 1);
        for (const std::string& name : groups[group]) {
            if (ini.SetValue(kBaseGroupSection, name.c_str(), value.c_str()) < 0) return failed;
        }
    }
    if (!SaveWhole(ini, baseGroupPath, trailing)) return failed;
    return {};
}

}  // namespace altrix
