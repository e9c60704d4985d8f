#include "RecordCommand.h"

#include "CaptureDescription.h"
#include "DataExport.h"
#include "Presets.h"
#include "ScopeProtocol.h"
#include "Trigger.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <system_error>

namespace altrix {

namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The preset a name stands for: its text, or its name without the unit, in any case.
const QuantityPreset* PresetNamed(std::string_view name) {
    const std::string wanted = Lower(name);
    for (const QuantityPreset& preset : kQuantityPresets) {
        const std::string text = Lower(preset.ItemText);
        if (wanted == text || wanted == text.substr(0, text.find(" ("))) return &preset;
    }
    return nullptr;
}

template <class Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// "90s", "30m", "8h" or plain seconds; above 0 and at most kMaxDurationHours.
constexpr double kMaxDurationHours = 10000;
std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text) {
    double unit = 1;
    if (!text.empty() && (text.back() == 's' || text.back() == 'm' || text.back() == 'h')) {
        unit = text.back() == 'h' ? 3600 : text.back() == 'm' ? 60 : 1;
        text.remove_suffix(1);
    }
    const std::optional<double> count = ParseNumber<double>(text);
    if (!count || !(*count > 0) || *count * unit > kMaxDurationHours * 3600) return std::nullopt;
    return std::chrono::milliseconds(static_cast<std::int64_t>(*count * unit * 1000 + 0.5));
}

// The channels from "Q1,Q2,Q3,Q4": the error, or empty.
std::string ParseQuantities(std::string_view text, RecordOptions& o) {
    std::vector<std::string_view> entries;
    for (std::size_t start = 0;;) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        entries.push_back(Trimmed(text.substr(start, comma - start)));
        if (comma == text.size()) break;
        start = comma + 1;
    }
    if (entries.size() > static_cast<std::size_t>(kChannelCount))
        return "--quantities takes at most four quantities, one a channel";
    bool any = false;
    for (int k = 1; k <= kChannelCount; ++k) {
        const std::size_t c = static_cast<std::size_t>(k - 1);
        const std::string_view entry = c < entries.size() ? entries[c] : std::string_view();
        RecordingChannel& channel = o.Channels[c];
        o.Setup.Enabled[c] = !entry.empty();
        o.Setup.Addresses[c] = kUnusedChannelAddress;
        o.Setup.Gains[c] = std::string(kNoPresetGain);
        channel = {{}, ChannelColumnName(k, {}, {}), std::string(kNoPresetGain), {}};
        if (entry.empty()) continue;
        any = true;
        if (const QuantityPreset* preset = PresetNamed(entry)) {
            o.Quantities[c] = preset->ItemText;
            channel = {std::string(preset->Address), std::string(preset->ItemText), std::string(preset->Gain),
                       UnitOfLabel(preset->ItemText)};
        } else if (const std::string address = Lower(entry); ParseChannelAddress(address)) {
            channel = {address, ChannelColumnName(k, {}, address), std::string(kNoPresetGain), {}};
        } else {
            return "unknown quantity \"" + std::string(entry) +
                   "\": name a preset (\"DC_bus\" or \"DC_bus (Vdc)\") or give four hexadecimal digits (\"9042\")";
        }
        o.Setup.Addresses[c] = *ParseChannelAddress(channel.Address);
        o.Setup.Gains[c] = channel.Gain;
    }
    return any ? std::string() : "--quantities names no quantity";
}

// The condition's word on the command line: its name in lower case, "-" for a space.
std::string ConditionWord(TriggerCondition condition) {
    std::string word = Lower(kTriggerConditionNames[static_cast<std::size_t>(condition)]);
    std::replace(word.begin(), word.end(), ' ', '-');
    return word;
}

constexpr char kTriggerSyntax[] =
    "--trigger takes \"chK CONDITION VALUE [VALUE2]\": a channel ch1..ch4, then rising, falling or either and a "
    "level, bit-set or bit-cleared and a bit 0..15, or outside-band or inside-band and two levels";

// "ch2 rising 5" as a Normal trigger: the error, or empty.
std::string ParseTrigger(std::string_view text, const RecordOptions& o, TriggerSettings& trigger) {
    std::vector<std::string_view> words;
    for (std::size_t at = 0; (at = text.find_first_not_of(" \t", at)) != std::string_view::npos;) {
        const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    if (words.size() < 3 || Lower(words[0]).size() != 3 || !Lower(words[0]).starts_with("ch")) return kTriggerSyntax;
    const std::optional<int> source = ParseNumber<int>(words[0].substr(2));
    if (!source || *source < 1 || *source > kChannelCount) return kTriggerSyntax;
    std::optional<TriggerCondition> condition;
    for (std::size_t c = 0; c < kTriggerConditionNames.size(); ++c)
        if (Lower(words[1]) == ConditionWord(static_cast<TriggerCondition>(c))) condition = static_cast<TriggerCondition>(c);
    if (!condition) return kTriggerSyntax;
    const std::size_t values = IsBandCondition(*condition) ? 2 : 1;
    if (words.size() != 2 + values) return kTriggerSyntax;
    trigger.Mode = TriggerMode::Normal;
    trigger.Source = *source;
    trigger.Condition = *condition;
    if (IsBitCondition(*condition)) {
        const std::optional<int> bit = ParseNumber<int>(words[2]);
        if (!bit || *bit < 0 || *bit > 15) return kTriggerSyntax;
        trigger.Bit = *bit;
    } else {
        trigger.Level = words[2];
        if (values == 2) trigger.Level2 = words[3];
        if (!LevelsValid(trigger.First()))
            return "--trigger: a level is a decimal number with \".\" as the point, such as -12.5";
    }
    if (!o.Setup.Enabled[static_cast<std::size_t>(*source - 1)])
        return "--trigger: ch" + std::to_string(*source) + " has no quantity";
    return {};
}

struct ValueOption {
    std::string_view Name;
    std::string_view Takes;
    std::optional<std::string> Value;
};

}  // namespace

bool NamesRecordCommand(const std::vector<std::string>& arguments) {
    const auto optionsEnd = std::find(arguments.begin(), arguments.end(), "--");
    return std::find(arguments.begin(), optionsEnd, "--record") != optionsEnd;
}

RecordParse ParseRecordCommand(const std::vector<std::string>& arguments) {
    enum { Record, Port, Quantities, Duration, Trigger, PreTrigger, Holdoff, EventsFolder };
    ValueOption options[] = {
        {"--record", "the recording file to make, OUT.arec", {}},
        {"--port", "a port name of the settings file, COMn or a device path", {}},
        {"--quantities", "up to four quantities, one a channel: Q1,Q2,Q3,Q4", {}},
        {"--duration", "a time above 0 such as 90s, 30m or 8h, at most 10000h", {}},
        {"--trigger", "a trigger such as \"ch2 rising 5\"", {}},
        {"--pretrigger", "the share of the window before the trigger, 0 to 100 %", {}},
        {"--holdoff", "a time in ms, 0 to 60000", {}},
        {"--events-folder", "the folder for the trigger windows' files", {}},
    };
    // Every option takes the next argument as its value, whatever it starts with.
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        ValueOption* option = std::find_if(std::begin(options), std::end(options),
                                           [&](const ValueOption& o) { return o.Name == arguments[i]; });
        if (option == std::end(options)) return {std::nullopt, "unexpected argument \"" + arguments[i] + "\""};
        if (option->Value) return {std::nullopt, std::string(option->Name) + " is given twice"};
        if (i + 1 == arguments.size())
            return {std::nullopt, std::string(option->Name) + " takes " + std::string(option->Takes)};
        option->Value = arguments[++i];
    }
    for (const auto needed : {Record, Port, Quantities})
        if (!options[needed].Value)
            return {std::nullopt, std::string(options[needed].Name) + " is missing: it takes " + std::string(options[needed].Takes)};
    for (const auto withTrigger : {PreTrigger, Holdoff, EventsFolder})
        if (options[withTrigger].Value && !options[Trigger].Value)
            return {std::nullopt, std::string(options[withTrigger].Name) + " needs --trigger"};

    RecordOptions o;
    o.Output = *options[Record].Value;
    if (!Lower(o.Output).ends_with(".arec")) return {std::nullopt, o.Output + ": a recording file's name ends in .arec"};
    o.Port = *options[Port].Value;
    if (Trimmed(o.Port).empty()) return {std::nullopt, "--port takes " + std::string(options[Port].Takes)};
    if (std::string error = ParseQuantities(*options[Quantities].Value, o); !error.empty()) return {std::nullopt, error};
    if (options[Duration].Value && !(o.Duration = ParseDuration(*options[Duration].Value)))
        return {std::nullopt, "--duration takes " + std::string(options[Duration].Takes)};
    if (options[Trigger].Value) {
        if (std::string error = ParseTrigger(*options[Trigger].Value, o, o.Setup.Trigger); !error.empty())
            return {std::nullopt, error};
        const struct {
            int which;
            int low, high;
            int& value;
        } numbers[] = {{PreTrigger, 0, 100, o.Setup.Trigger.PreTriggerPercent},
                       {Holdoff, 0, kMaxHoldoffMs, o.Setup.Trigger.HoldoffMs}};
        for (const auto& n : numbers) {
            if (!options[n.which].Value) continue;
            const std::optional<int> value = ParseNumber<int>(*options[n.which].Value);
            if (!value || *value < n.low || *value > n.high)
                return {std::nullopt, std::string(options[n.which].Name) + " takes " + std::string(options[n.which].Takes)};
            n.value = *value;
        }
        if (options[EventsFolder].Value) o.EventsFolder = *options[EventsFolder].Value;
    }
    return {std::move(o), {}};
}

namespace {

// The stop signal that arrived, 0 while none did. The handler only stores it and restores the
// default, so a second Ctrl+C ends the program at once; a timer polls it.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
    stopSignal.store(signal);
    std::signal(signal, SIG_DFL);
}

// What ends a recording: Ctrl+C, SIGTERM and, where the system has it, the hangup of a closed
// terminal or SSH session. Signal numbers only: std::signal is standard C++.
constexpr int kStopSignals[] = {
    SIGINT, SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
};

// The stop signals' handlers while the object lives. A signal ignored when the program started
// (nohup, a background job) stays ignored. A standard output that is a closed pipe makes the
// progress lines fail, not the program end.
class StopSignals {
public:
    StopSignals() {
        stopSignal.store(0);
        for (std::size_t s = 0; s < std::size(kStopSignals); ++s) {
            before_[s] = std::signal(kStopSignals[s], OnStopSignal);
            if (before_[s] == SIG_IGN) std::signal(kStopSignals[s], SIG_IGN);
        }
#ifdef SIGPIPE
        pipe_ = std::signal(SIGPIPE, SIG_IGN);
#endif
    }
    ~StopSignals() {
        for (std::size_t s = 0; s < std::size(kStopSignals); ++s)
            std::signal(kStopSignals[s], before_[s] == SIG_ERR ? SIG_DFL : before_[s]);
#ifdef SIGPIPE
        std::signal(SIGPIPE, pipe_ == SIG_ERR ? SIG_DFL : pipe_);
#endif
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    std::array<void (*)(int), std::size(kStopSignals)> before_{};
    [[maybe_unused]] void (*pipe_)(int) = SIG_DFL;
};

constexpr auto kStopPoll = std::chrono::milliseconds(100);

void Say(std::FILE* stream, const std::string& text) {
    std::fprintf(stream, "altrix-scope: %s\n", text.c_str());
    std::fflush(stream);
}

std::string LinkFailureText(LinkFailure why, const RecordOptions& o, const CommPort& port) {
    const std::string& reason = port.OpenFailure();
    switch (why) {
    case LinkFailure::DeviceError:
        return "cannot open the port " + (reason.empty() ? o.Port : reason);
    case LinkFailure::SettingsRefused:
        return "the port refused the drive's line settings: " + (reason.empty() ? o.Port : reason);
    case LinkFailure::ExchangeStalled:
        break;
    }
    return o.Port + ": the port stopped taking bytes during the start exchange";
}

// What the recording's event files say of the capture: its channels and trigger.
CaptureDescription DescriptionOf(const RecordOptions& o, const CaptureSession& session, const std::string& programVersion) {
    CaptureDescription d;
    for (std::size_t c = 0; c < static_cast<std::size_t>(kChannelCount); ++c)
        d.Channels[c] = {o.Setup.Enabled[c], o.Quantities[c], o.Channels[c].Address, o.Channels[c].Gain, "1"};
    d.Trigger = o.Setup.Trigger;
    d.StartUtc = session.StartedAt().toUTC().toString(Qt::ISODateWithMs).toStdString();
    d.ProgramVersion = programVersion;
    return d;
}

std::string ProgressLine(const CaptureSession& session) {
    const RecorderState& file = session.LongRecording();
    const LinkHealth& health = session.Health();
    const std::uint64_t sets = file.Sets();
    char line[256];
    std::snprintf(line, sizeof line, "%llu sets (%.1f s), %llu blocks lost, %llu resyncs, %.1f MB",
                  static_cast<unsigned long long>(sets), static_cast<double>(sets) * kSamplePeriodSeconds,
                  static_cast<unsigned long long>(health.BlocksLost), static_cast<unsigned long long>(health.Resyncs),
                  static_cast<double>(file.Bytes()) / 1e6);
    return line;
}

}  // namespace

int RunRecordCommand(const RecordOptions& o, const std::string& settingsIniPath, const std::string& programVersion,
                     std::chrono::milliseconds progressPeriod) {
    // A recording is never replaced: a restarted service must not overwrite the last one.
    std::error_code ec;
    if (std::filesystem::exists(o.Output, ec)) {
        Say(stderr, o.Output + ": the file exists; a recording is never replaced, name a new file");
        return 1;
    }
    if (const std::filesystem::path folder = std::filesystem::path(o.Output).parent_path();
        !folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        Say(stderr, o.Output + ": no folder " + folder.string());
        return 1;
    }

    // From here on a signal ends the recording through the loop, also one during the start.
    const StopSignals stopSignals;
    CaptureSession session(settingsIniPath);
    // A drive switched off or a cable pulled is waited for: the time without a stream is a gap.
    session.SetAutoReconnect(true);
    std::string failure;
    QObject::connect(&session, &CaptureSession::linkFailed,
                     [&](LinkFailure why) { failure = LinkFailureText(why, o, session.port()); });
    if (!session.Start(o.Port, o.Setup)) {
        Say(stderr, failure);
        return 1;
    }
    const Clock::time_point startedAt = Clock::now();
    // Saving events first: a folder that takes no files leaves no recording file behind.
    if (!o.EventsFolder.empty()) {
        if (const std::string problem =
                session.StartSavingEvents(o.EventsFolder, {}, DescriptionOf(o, session, programVersion), '.');
            !problem.empty()) {
            session.Stop();
            Say(stderr, "cannot save events: " + problem);
            return 1;
        }
    }
    RecordingHeader header;
    header.StartedUtc = session.StartedAt().toUTC().toString(Qt::ISODateWithMs).toStdString();
    header.ProgramVersion = programVersion;
    header.Channels = o.Channels;
    if (const std::string problem = session.StartLongRecording(o.Output, header); !problem.empty()) {
        session.Stop();
        Say(stderr, "cannot write " + o.Output + ": " + problem);
        return 1;
    }

    int status = 0;
    bool ending = false;
    // STOP folds the journal into the file; a write that fails then is an error too.
    const auto finish = [&](int code, const std::string& why) {
        if (ending) return;
        ending = true;
        if (!why.empty()) Say(stderr, why);
        status = code;
        session.Stop();
        QCoreApplication::exit(status);
    };
    QObject::connect(&session, &CaptureSession::recordingEnded, [&](const QString& error) {
        if (error.isEmpty()) return;
        if (ending) {
            // The last write, at the end, failed: finish exits with this status.
            Say(stderr, "recording to " + o.Output + " ended: " + error.toStdString());
            status = 1;
            return;
        }
        finish(1, "recording to " + o.Output + " stopped: " + error.toStdString() + "; what was recorded before is kept");
    });
    QObject::connect(&session, &CaptureSession::linkLost,
                     [&](const QDateTime&) { finish(1, o.Port + ": the link to the drive was lost"); });
    QObject::connect(&session, &CaptureSession::reconnecting, [&](const QDateTime&) {
        Say(stdout, o.Port + ": no stream for a second; trying the port again every second");
    });
    QObject::connect(&session, &CaptureSession::reconnected,
                     [&] { Say(stdout, o.Port + ": the stream is back; the time without it is a gap"); });
    QObject::connect(&session, &CaptureSession::eventSavingEnded, [&](const QString& why) {
        Say(stderr, "saving events stopped: " + why.toStdString() + "; the recording goes on");
    });

    QTimer poll;
    poll.setInterval(static_cast<int>(kStopPoll.count()));
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (stopSignal.load() != 0 || (o.Duration && Clock::now() - startedAt >= *o.Duration)) finish(0, {});
    });
    poll.start();
    QTimer progress;
    progress.setInterval(static_cast<int>(progressPeriod.count()));
    QObject::connect(&progress, &QTimer::timeout, [&] {
        Say(stdout, "recording " + o.Output + ": " + ProgressLine(session) +
                        (session.Reconnecting() ? ", waiting for the stream" : ""));
    });
    progress.start();
    Say(stdout, "recording " + o.Output + " from " + o.Port + "; Ctrl+C, SIGTERM or a hangup ends it");
    QCoreApplication::exec();
    poll.stop();
    progress.stop();
    // The file is closed now, its journal folded in.
    Say(stdout, std::string(status == 0 ? "recorded " : "kept ") + o.Output + ": " + ProgressLine(session));
    return status;
}

}  // namespace altrix
