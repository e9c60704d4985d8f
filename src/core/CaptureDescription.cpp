#include "CaptureDescription.h"

#include "ParameterFiles.h"
#include "Presets.h"
#include "Readout.h"

// Narrow-character files only, as in ParameterFiles.cpp.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <system_error>
#include <vector>

namespace altrix {

namespace {

// A description is a few kilobytes; anything far larger is no description.
constexpr std::size_t kMaxSidecarBytes = 1u << 20;

constexpr const char* kCaptureSection = "Capture";
constexpr const char* kTriggerSection = "Trigger";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string ChannelSection(int k) { return "Channel" + std::to_string(k); }
std::string ReferenceSection(int r) { return "Ref" + std::to_string(r); }

// The size and 64-bit FNV-1a digest of a file's bytes, or why it cannot be read.
struct Digest {
    std::uint64_t Bytes = 0;
    std::uint64_t Hash = 14695981039346656037ull;
    std::string Problem;
};

Digest DigestOf(const std::string& path) {
    Digest digest;
    if (digest.Problem = RegularFileProblem(path); !digest.Problem.empty()) return digest;
    const FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        digest.Problem = std::strerror(errno);
        return digest;
    }
    std::vector<unsigned char> chunk(256 * 1024);
    while (const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get())) {
        for (std::size_t i = 0; i < got; ++i) digest.Hash = (digest.Hash ^ chunk[i]) * 1099511628211ull;
        digest.Bytes += got;
    }
    if (std::ferror(file.get())) digest.Problem = std::strerror(errno ? errno : EIO);
    return digest;
}

std::string HexOf(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// Values stay on one line: "\" "\n" "\r" stand for a backslash, LF and CR; a value with blanks
// at either end or a quote at the start is quoted, as the reader strips one pair of quotes.
std::string Escaped(std::string_view value) {
    std::string out;
    for (const char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (!out.empty() && (blank(out.front()) || blank(out.back()) || out.front() == '"' || out.back() == '"'))
        out = '"' + out + '"';
    return out;
}

std::string Unescaped(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

class SidecarText {
public:
    void Section(const std::string& name) { text_ += (text_.empty() ? "[" : "\r\n[") + name + "]\r\n"; }
    void Key(const char* key, std::string_view value) {
        text_ += key;
        text_ += '=';
        text_ += Escaped(value);
        text_ += "\r\n";
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

std::string NamedIn(std::string_view name, std::span<const std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end() ? std::string(name) : std::string();
}

bool IsQuantityText(std::string_view text) {
    return text.empty() || std::any_of(kQuantityPresets.begin(), kQuantityPresets.end(),
                                       [text](const QuantityPreset& preset) { return preset.ItemText == text; });
}

// "YYYY-MM-DDTHH:MM:SS", optional fraction, "Z".
bool IsUtcTime(std::string_view text) {
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";
    if (text.size() < kShape.size() + 1 || text.back() != 'Z') return false;
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
    }
    std::string_view fraction = text.substr(kShape.size(), text.size() - kShape.size() - 1);
    if (fraction.empty()) return true;
    if (fraction.front() != '.' || fraction.size() == 1) return false;
    return std::all_of(fraction.begin() + 1, fraction.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::int64_t> WholeNumber(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

// Reads the keys of a loaded description, remembering the first one that is missing or out of
// range.
class KeyReader {
public:
    explicit KeyReader(const CSimpleIniA& ini) : ini_(ini) {}

    const std::string& Problem() const { return problem_; }

    // The value, unescaped; a missing key is a problem unless `optional`.
    std::string Text(const std::string& section, const char* key, bool optional = false) {
        const char* value = ini_.GetValue(section.c_str(), key, nullptr);
        if (!value) {
            if (!optional) fail(section, key, "is missing");
            return {};
        }
        return Unescaped(value);
    }
    bool Flag(const std::string& section, const char* key) {
        const std::string text = Text(section, key);
        if (text != "0" && text != "1") fail(section, key, "is neither 0 nor 1");
        return text == "1";
    }
    std::int64_t Number(const std::string& section, const char* key, std::int64_t low, std::int64_t high) {
        const std::optional<std::int64_t> value = WholeNumber(Text(section, key));
        if (!value || *value < low || *value > high)
            fail(section, key, "is no whole number from " + std::to_string(low) + " to " + std::to_string(high));
        return value.value_or(low);
    }
    std::optional<std::int64_t> OptionalNumber(const std::string& section, const char* key, std::int64_t low,
                                               std::int64_t high) {
        if (Text(section, key, true).empty()) return std::nullopt;
        return Number(section, key, low, high);
    }
    // The index of the value in `names`.
    int Choice(const std::string& section, const char* key, std::span<const std::string_view> names) {
        const std::string text = Text(section, key);
        const auto found = std::find(names.begin(), names.end(), text);
        if (found == names.end()) fail(section, key, "names no known choice");
        return found == names.end() ? 0 : static_cast<int>(found - names.begin());
    }
    std::string Checked(const std::string& section, const char* key, bool (*valid)(std::string_view),
                        const char* why, bool optional = false) {
        std::string text = Text(section, key, optional);
        if (!(optional && text.empty()) && !valid(text)) fail(section, key, why);
        return text;
    }

private:
    void fail(const std::string& section, const char* key, const std::string& why) {
        if (problem_.empty()) problem_ = "[" + section + "] " + key + " " + why;
    }

    const CSimpleIniA& ini_;
    std::string problem_;
};

bool IsYScaleText(std::string_view text) {
    return !NamedIn(text, kYScaleTexts).empty();
}

bool IsSeconds(std::string_view text) {
    return IsTriggerLevel(text);
}

SidecarRead Refused(SidecarStatus status, std::string problem) {
    SidecarRead read;
    read.Status = status;
    read.Problem = std::move(problem);
    return read;
}

}  // namespace

std::string SidecarPath(const std::string& waveformPath) {
    return waveformPath + ".ini";
}

FileResult WriteSidecar(const CaptureDescription& d, const std::string& waveformPath) {
    const Digest digest = DigestOf(waveformPath);
    if (!digest.Problem.empty()) return {false, waveformPath + ": " + digest.Problem, false};
    SidecarText out;
    out.Section(kCaptureSection);
    out.Key("Format", std::to_string(kCaptureDescriptionFormat));
    out.Key("ProgramVersion", d.ProgramVersion);
    out.Key("WaveformBytes", std::to_string(digest.Bytes));
    out.Key("WaveformDigest", "fnv1a64:" + HexOf(digest.Hash));
    out.Key("StartUtc", d.StartUtc);
    out.Key("EndUtc", d.EndUtc);
    out.Key("DriveTypeCode", d.DriveTypeCode ? std::to_string(*d.DriveTypeCode) : std::string());
    out.Key("DriveType", d.DriveTypeLabel);
    out.Key("DrawingMode", kDrawingModeNames[static_cast<std::size_t>(d.DrawingMode)]);
    out.Key("Note", d.Note);
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelDescription& channel = d.Channels[k - 1];
        out.Section(ChannelSection(k));
        out.Key("Enabled", channel.Enabled ? "1" : "0");
        out.Key("Quantity", channel.Quantity);
        out.Key("Address", channel.Address);
        out.Key("Gain", channel.Gain);
        out.Key("YScale", channel.YScale);
    }
    for (int r = 1; r <= kReferenceCount; ++r) {
        const ReferenceDescription& ref = d.References[r - 1];
        out.Section(ReferenceSection(r));
        out.Key("Source", ref.Source);
        out.Key("Gain", ref.Gain);
        out.Key("YScale", ref.YScale);
    }
    const TriggerSettings& trigger = d.Trigger;
    out.Section(kTriggerSection);
    out.Key("Mode", kTriggerModeNames[static_cast<std::size_t>(trigger.Mode)]);
    out.Key("Source", std::to_string(trigger.Source));
    out.Key("Condition", kTriggerConditionNames[static_cast<std::size_t>(trigger.Condition)]);
    out.Key("Level", trigger.Level);
    out.Key("Bit", std::to_string(trigger.Bit));
    out.Key("PreTrigger", std::to_string(trigger.PreTriggerPercent));
    out.Key("Level2", trigger.Level2);
    out.Key("Holdoff", std::to_string(trigger.HoldoffMs));
    out.Key("Join", kTriggerJoinNames[static_cast<std::size_t>(trigger.Join)]);
    out.Key("JoinSource", std::to_string(trigger.Second.Source));
    out.Key("JoinCondition", kTriggerConditionNames[static_cast<std::size_t>(trigger.Second.Condition)]);
    out.Key("JoinLevel", trigger.Second.Level);
    out.Key("JoinBit", std::to_string(trigger.Second.Bit));
    out.Key("JoinLevel2", trigger.Second.Level2);
    out.Key("Position", d.TriggerPosition ? std::to_string(*d.TriggerPosition) : std::string());
    out.Key("Time", d.TriggerSeconds);
    const std::string& text = out.Text();
    return ReplaceFile(SidecarPath(waveformPath), [&text](std::FILE* file) {
        return std::fwrite(text.data(), 1, text.size(), file) == text.size();
    });
}

SidecarRead ReadSidecar(const std::string& waveformPath) {
    const std::string path = SidecarPath(waveformPath);
    std::error_code ec;
    if (std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::not_found) return {};
    if (const std::string problem = RegularFileProblem(path); !problem.empty())
        return Refused(SidecarStatus::Damaged, problem);
    const FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) return Refused(SidecarStatus::Damaged, std::strerror(errno));
    std::string text(kMaxSidecarBytes + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    if (std::ferror(file.get())) return Refused(SidecarStatus::Damaged, std::strerror(errno ? errno : EIO));
    if (text.size() > kMaxSidecarBytes) return Refused(SidecarStatus::Foreign, "it is larger than a capture description");
    if (const std::string problem = SettingsTextProblem(text); !problem.empty())
        return Refused(SidecarStatus::Damaged, problem);
    CSimpleIniA ini;
    ini.SetQuotes(true);
    if (ini.LoadData(text) < 0) return Refused(SidecarStatus::Damaged, "it could not be read");

    KeyReader keys(ini);
    const char* format = ini.GetValue(kCaptureSection, "Format", nullptr);
    if (!format) return Refused(SidecarStatus::Foreign, "it is no capture description ([Capture] Format is missing)");
    const std::optional<std::int64_t> version = WholeNumber(format);
    if (!version || *version < 1) return Refused(SidecarStatus::Damaged, "[Capture] Format is no format number");
    if (*version > kCaptureDescriptionFormat)
        return Refused(SidecarStatus::Newer, "it is of format " + std::to_string(*version) +
                                                 ", newer than this program reads (" +
                                                 std::to_string(kCaptureDescriptionFormat) + ")");

    SidecarRead read;
    read.Status = SidecarStatus::Read;
    CaptureDescription& d = read.Description;
    const std::string capture = kCaptureSection;
    d.ProgramVersion = keys.Text(capture, "ProgramVersion");
    const std::int64_t bytes = keys.Number(capture, "WaveformBytes", 0, INT64_MAX);
    const std::string digestText = keys.Text(capture, "WaveformDigest");
    d.StartUtc = keys.Checked(capture, "StartUtc", IsUtcTime, "is no UTC time", true);
    d.EndUtc = keys.Checked(capture, "EndUtc", IsUtcTime, "is no UTC time", true);
    if (const auto code = keys.OptionalNumber(capture, "DriveTypeCode", INT32_MIN, INT32_MAX))
        d.DriveTypeCode = static_cast<std::int32_t>(*code);
    d.DriveTypeLabel = keys.Text(capture, "DriveType", true);
    d.DrawingMode = keys.Choice(capture, "DrawingMode", kDrawingModeNames);
    d.Note = keys.Text(capture, "Note", true);
    for (int k = 1; k <= kChannelCount; ++k) {
        const std::string section = ChannelSection(k);
        ChannelDescription& channel = d.Channels[k - 1];
        channel.Enabled = keys.Flag(section, "Enabled");
        channel.Quantity = keys.Checked(section, "Quantity", IsQuantityText, "names no quantity of the list", true);
        channel.Address = keys.Text(section, "Address", true);
        channel.Gain = keys.Text(section, "Gain");
        channel.YScale = keys.Checked(section, "YScale", IsYScaleText, "is no Y-scale of the list");
    }
    for (int r = 1; r <= kReferenceCount; ++r) {
        const std::string section = ReferenceSection(r);
        ReferenceDescription& ref = d.References[r - 1];
        ref.Source = keys.Text(section, "Source", true);
        ref.Gain = keys.Text(section, "Gain");
        ref.YScale = keys.Checked(section, "YScale", IsYScaleText, "is no Y-scale of the list");
    }
    const std::string trigger = kTriggerSection;
    d.Trigger.Mode = static_cast<TriggerMode>(keys.Choice(trigger, "Mode", kTriggerModeNames));
    d.Trigger.Source = static_cast<int>(keys.Number(trigger, "Source", 1, kChannelCount));
    d.Trigger.Condition = static_cast<TriggerCondition>(keys.Choice(trigger, "Condition", kTriggerConditionNames));
    d.Trigger.Level = keys.Text(trigger, "Level");
    d.Trigger.Bit = static_cast<int>(keys.Number(trigger, "Bit", 0, 15));
    d.Trigger.PreTriggerPercent = static_cast<int>(keys.Number(trigger, "PreTrigger", 0, 100));
    // Descriptions written before bands and holdoffs have neither.
    if (const std::string level2 = keys.Text(trigger, "Level2", true); !level2.empty()) d.Trigger.Level2 = level2;
    if (const auto holdoff = keys.OptionalNumber(trigger, "Holdoff", 0, kMaxHoldoffMs))
        d.Trigger.HoldoffMs = static_cast<int>(*holdoff);
    // Nor a second condition.
    if (!keys.Text(trigger, "Join", true).empty()) {
        d.Trigger.Join = static_cast<TriggerJoin>(keys.Choice(trigger, "Join", kTriggerJoinNames));
        TriggerTerm& second = d.Trigger.Second;
        second.Source = static_cast<int>(keys.Number(trigger, "JoinSource", 1, kChannelCount));
        second.Condition = static_cast<TriggerCondition>(keys.Choice(trigger, "JoinCondition", kTriggerConditionNames));
        second.Level = keys.Text(trigger, "JoinLevel");
        second.Bit = static_cast<int>(keys.Number(trigger, "JoinBit", 0, 15));
        second.Level2 = keys.Text(trigger, "JoinLevel2");
    }
    if (const auto position = keys.OptionalNumber(trigger, "Position", 0, kNewestPosition))
        d.TriggerPosition = static_cast<std::int32_t>(*position);
    d.TriggerSeconds = keys.Checked(trigger, "Time", IsSeconds, "is no time in seconds", true);
    if (!keys.Problem().empty()) return Refused(SidecarStatus::Damaged, "it is damaged: " + keys.Problem());

    const Digest digest = DigestOf(waveformPath);
    if (!digest.Problem.empty()) return Refused(SidecarStatus::Mismatched, waveformPath + ": " + digest.Problem);
    if (static_cast<std::uint64_t>(bytes) != digest.Bytes || digestText != "fnv1a64:" + HexOf(digest.Hash))
        return Refused(SidecarStatus::Mismatched, "it describes other waveform data than the file holds now");
    return read;
}

}  // namespace altrix
