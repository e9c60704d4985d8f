#include "ExportCommand.h"

#include "CaptureDescription.h"
#include "CsvExport.h"
#include "DataExport.h"
#include "MathTraces.h"
#include "Presets.h"
#include "RecordingReader.h"
#include "RecordingTrace.h"
#include "Timeline.h"
#include "WaveformFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace altrix {

namespace {

struct ExportArguments {
    std::string input;
    std::string output;
    std::vector<std::string> gains = std::vector<std::string>(kChannelCount);  // empty: gain 1
    bool gainsGiven = false;
    bool raw = false;
    // The stretch, in the times the export writes.
    std::optional<double> from;
    std::optional<double> to;
};

std::optional<double> ParseSeconds(std::string_view text) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds)) return std::nullopt;
    return seconds;
}

// The gains "G1,G2,G3,G4": four texts of digits and ".", each of which may be empty.
bool ParseGains(std::string_view text, std::vector<std::string>& gains) {
    gains.clear();
    for (std::size_t start = 0;;) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        gains.emplace_back(text.substr(start, comma - start));
        if (!IsValidGain(gains.back())) return false;
        if (comma == text.size()) break;
        start = comma + 1;
    }
    return gains.size() == static_cast<std::size_t>(kChannelCount);
}

// Empty text when the arguments after --export-csv or --export are usable,
// else what is wrong. Any argument that starts with "-" is an option until "--", after which
// every argument is a file.
std::string ParseArguments(const std::vector<std::string_view>& args, ExportArguments& parsed) {
    std::vector<std::string_view> files;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool option = options && args[i].starts_with("-");
        if (option && args[i] == "--") {
            options = false;
        } else if (option && args[i] == "--raw") {
            parsed.raw = true;
        } else if (option && args[i] == "--gains") {
            if (i + 1 == args.size() || !ParseGains(args[++i], parsed.gains))
                return "--gains takes four gains of digits and \".\", such as 0.01,0.1,,54.61";
            parsed.gainsGiven = true;
        } else if (option && (args[i] == "--from" || args[i] == "--to")) {
            const std::string_view name = args[i];
            std::optional<double>& bound = name == "--from" ? parsed.from : parsed.to;
            if (i + 1 == args.size() || !(bound = ParseSeconds(args[++i])))
                return std::string(name) + " takes a time in seconds, such as 2.5";
        } else if (option || files.size() == 2) {
            return std::string("unexpected argument \"") + std::string(args[i]) + "\"";
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) return "an input and an output file are needed";
    parsed.input = files[0];
    parsed.output = files[1];
    return {};
}

// The channels' columns of a waveform file: from its description when there is one that
// belongs to it (names with their units, gains), else "Channel k" with gain 1; `gains` replace
// the description's when given. A description that is there but cannot be used is named on
// standard error, and the columns are the plain ones. `times` become the window's, placed by
// the description's trigger when it has one.
std::array<CsvColumn, kChannelCount> ChannelColumnsOf(const std::string& input, const std::vector<std::string>& gains,
                                                      bool gainsGiven, Timeline& times) {
    const SidecarRead sidecar = ReadSidecar(input);
    times = Timeline::Window(TimelineSource::File, std::nullopt, std::nullopt);
    if (sidecar.Status == SidecarStatus::Read) {
        const CaptureDescription& d = sidecar.Description;
        double triggerSeconds = 0;
        const std::string& text = d.TriggerSeconds;
        if (d.TriggerPosition && !text.empty() &&
            std::from_chars(text.data(), text.data() + text.size(), triggerSeconds).ec == std::errc())
            times = Timeline::Window(TimelineSource::EventFile,
                                     std::llround(triggerSeconds / kSamplePeriodSeconds) - *d.TriggerPosition,
                                     ParseIsoUtc(d.StartUtc));
    }
    if (sidecar.Status != SidecarStatus::Read && sidecar.Status != SidecarStatus::Missing)
        std::fprintf(stderr, "altrix-scope: %s: not used: %s\n", SidecarPath(input).c_str(), sidecar.Problem.c_str());
    std::array<CsvColumn, kChannelCount> columns;
    for (int k = 1; k <= kChannelCount; ++k) {
        const bool described = sidecar.Status == SidecarStatus::Read;
        const ChannelDescription& channel = sidecar.Description.Channels[k - 1];
        columns[k - 1] = {described ? ChannelColumnName(k, channel.Quantity, channel.Address) : ChannelColumnName(k, {}, {}),
                          described && !gainsGiven ? channel.Gain : gains[k - 1]};
    }
    return columns;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "altrix-scope: %s\n", text.c_str());
    return 1;
}

// The positions 0 .. lastSet whose time on `times` lies from `from` to `to`.
std::optional<std::pair<std::int64_t, std::int64_t>> SetsOf(const ExportArguments& parsed, const Timeline& times,
                                                            std::int64_t lastSet) {
    // Beyond the positions, a bound only needs to keep its side.
    const auto position = [&](std::optional<double> seconds, bool from) -> std::int64_t {
        if (!seconds) return from ? 0 : lastSet;
        const double limit = static_cast<double>(lastSet + 2) * kSamplePeriodSeconds;
        const double bounded = std::clamp(*seconds, -limit, 2 * limit);
        return from ? times.FirstPositionFrom(bounded) : times.LastPositionTo(bounded);
    };
    const std::int64_t first = position(parsed.from, true), last = position(parsed.to, false);
    if (first > last || last < 0 || first > lastSet) return std::nullopt;
    return std::pair{std::max<std::int64_t>(first, 0), std::min(last, lastSet)};
}

std::string NoSetsText(const Timeline& times, std::int64_t lastSet) {
    return "no sample sets between --from and --to; the input holds " + times.SecondsText(0) + " s to " +
           times.SecondsText(lastSet) + " s";
}

// UTC of the first set exported, to the millisecond; empty when not known.
std::string StartedUtcOf(const Timeline& times, std::int64_t first) {
    return SetClockText(times, first, ClockForm::IsoUtc);
}

// Writes sets first .. last of a recording to `output` in the format its suffix names, all four
// channels with the recording's names and gains (or those of --gains).
int ExportRecording(const ExportArguments& parsed, DataFormat format) {
    RecordingReader::Opened opened = RecordingReader::Open(parsed.input);
    if (!opened.Reader) return Fail(parsed.input + ": " + opened.Error);
    // The references a window would show are none here.
    const auto noReferences = std::make_unique<CaptureRecord>();
    const RecordingTrace source(std::move(opened.Reader), *noReferences, parsed.input);
    RecordingReader& reader = source.Reader();
    if (reader.Sets() == 0) return Fail(parsed.input + ": the recording holds no sample sets");
    const Timeline times = source.Times();
    const auto stretch = SetsOf(parsed, times, reader.Sets() - 1);
    if (!stretch) return Fail(NoSetsText(times, reader.Sets() - 1));
    const RecordingHeader& header = reader.Header();
    DataExport what;
    std::array<std::string, kChannelCount + kReferenceCount> gains{"", "", "", "", "1", "1"};
    for (int k = 1; k <= kChannelCount; ++k) {
        const RecordingChannel& channel = header.Channels[k - 1];
        gains[k - 1] = parsed.gainsGiven ? parsed.gains[k - 1] : channel.Gain;
        what.Traces.push_back({ChannelColumnName(k, channel.Name, channel.Address), gains[k - 1], channel.Address});
    }
    what.First = stretch->first;
    what.Count = stretch->second - stretch->first + 1;
    what.Raw = parsed.raw;
    what.StartedUtc = StartedUtcOf(times, what.First);
    // The math traces the recording defines, computed over the stretch as the window does:
    // left out, and said so, beyond the longest stretch it computes.
    MathTraces math;
    if (header.Math && !parsed.raw) {
        for (int m = 1; m <= kMathCount; ++m) math.Define(m, (*header.Math)[m - 1]);
        const PositionStretch over{static_cast<std::int32_t>(what.First), static_cast<std::int32_t>(stretch->second)};
        const bool fits = what.Count <= RecordingTrace::kStretchLimit;
        if (fits) math.UpdateOver(source, over, gains, RecordingTrace::kStretchLimit);
        std::vector<std::string> leftOut;
        what.Math = fits ? math.VectorsOver(over, leftOut) : std::vector<DataVector>();
        if (!fits)
            for (int m = 1; m <= kMathCount; ++m)
                if (math.Shown(m)) leftOut.push_back(MathLabel(m, math.Definition(m)));
        for (const std::string& label : leftOut)
            std::fprintf(stderr, "altrix-scope: %s: left out: %s\n", label.c_str(),
                         fits ? math.LeftOut().c_str() : "the stretch is longer than a math trace is computed over; choose a shorter one with --from and --to");
    }
    std::int32_t code = 0;
    const std::string& type = header.DriveTypeCode;
    if (std::from_chars(type.data(), type.data() + type.size(), code).ec == std::errc() && !type.empty()) {
        const std::string_view label = DriveTypeLabel(code);
        if (label != kUnknownDriveLabel) what.DriveType = label;
    }
    const SetReader read = RecordingSetReader(reader, {1, 2, 3, 4});
    const FileResult written = format == DataFormat::Csv ? WriteCsvSets(what, read, parsed.output)
                               : format == DataFormat::Mat ? WriteMatFile(what, read, parsed.output)
                                                          : WriteHdf5File(what, read, parsed.output);
    if (!written.Ok) return Fail(parsed.output + ": " + written.Error);
    return 0;
}

// Positions `from` .. 99999 of a window.
WindowSamples Tail(const WindowSamples& window, int from) {
    const auto at = static_cast<std::size_t>(from);
    if (at < window.older.size()) return {window.older.subspan(at), window.newer};
    return {window.newer.subspan(at - window.older.size()), {}};
}

// Writes sets first .. last of the `held` sets read from a waveform file to `output` in the
// format its suffix names, its channels named and read as `columns` say. The sets are the
// file's lines in order, set 0 its first, at the newest `held` positions of the window: those
// before them hold nothing of the file and are not written. Set s is at the time `times` gives
// position s, the time the file's own line s + 1 carries.
FileResult ExportWindow(const CaptureRecord& record, const std::array<CsvColumn, kChannelCount>& columns, const Timeline& times,
                        const ExportArguments& parsed, DataFormat format, std::int64_t held, std::int64_t first,
                        std::int64_t last) {
    const TraceWindows windows = WindowsOf(record);
    const int offset = kWindowPositions - static_cast<int>(held);
    std::vector<WindowSamples> channels;
    for (int k = 0; k < kChannelCount; ++k) channels.push_back(Tail(windows[k], offset));
    DataExport what;
    for (const CsvColumn& column : columns) what.Traces.push_back({column.Name, column.Gain, {}});
    what.First = first;
    what.Count = last - first + 1;
    what.TimeOffset = times.Periods(0);
    what.StartedUtc = StartedUtcOf(times, first);
    what.Raw = parsed.raw;
    const SetReader read = WindowReader(std::move(channels));
    return format == DataFormat::Csv   ? WriteCsvSets(what, read, parsed.output)
           : format == DataFormat::Mat ? WriteMatFile(what, read, parsed.output)
                                       : WriteHdf5File(what, read, parsed.output);
}

}  // namespace

std::optional<int> RunExportCommand(int argc, char* argv[]) {
    const std::vector<std::string_view> args(argv + std::min(argc, 1), argv + argc);
    // The command is named before any "--", after which arguments are file names.
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    const auto command = std::find_if(args.begin(), optionsEnd,
                                      [](std::string_view arg) { return arg == "--export-csv" || arg == "--export"; });
    if (command == optionsEnd) return std::nullopt;
    const bool anyFormat = *command == "--export";
    const char* usage = anyFormat ? kExportDataUsage : kExportCommandUsage;

    ExportArguments parsed;
    std::vector<std::string_view> rest(args.begin(), command);
    rest.insert(rest.end(), command + 1, args.end());
    if (const std::string wrong = ParseArguments(rest, parsed); !wrong.empty())
        return Fail(wrong + "; usage: " + usage);
    const std::optional<DataFormat> format = anyFormat ? DataFormatOf(parsed.output) : DataFormat::Csv;
    if (!format) return Fail(parsed.output + ": name the format by the suffix .csv, .mat or .h5");

    // The output replaces its file whole: one that is the input (by any path or link) would
    // replace the waveform file with its CSV.
    std::error_code ec;
    if (std::filesystem::equivalent(parsed.input, parsed.output, ec) || IsPartOfRecording(parsed.input, parsed.output))
        return Fail(parsed.output + ": is the input file; choose another output file");
    if (std::string_view(parsed.input).ends_with(".arec")) return ExportRecording(parsed, *format);

    const auto record = std::make_unique<CaptureRecord>();
    const WaveformRead read = ReadWaveformFile(*record, parsed.input);
    if (!read.Ok) return Fail(parsed.input + ": " + read.Error);
    if (read.Sets == 0) return Fail(parsed.input + ": no sample sets; not a waveform file");

    // A window holds the newest 100000 sets of a longer file.
    const auto held = static_cast<std::int64_t>(std::min<std::uint64_t>(read.Sets, kWindowPositions));
    Timeline times = Timeline::Window(TimelineSource::File, std::nullopt, std::nullopt);
    const std::array<CsvColumn, kChannelCount> columns = ChannelColumnsOf(parsed.input, parsed.gains, parsed.gainsGiven, times);
    const auto stretch = SetsOf(parsed, times, held - 1);
    if (!stretch) return Fail(NoSetsText(times, held - 1));
    if (const FileResult written = ExportWindow(*record, columns, times, parsed, *format, held, stretch->first, stretch->second);
        !written.Ok)
        return Fail(parsed.output + ": " + written.Error);
    return 0;
}

}  // namespace altrix
