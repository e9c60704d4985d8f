#include "ExportCommand.h"

#include "CaptureDescription.h"
#include "CsvExport.h"
#include "WaveformFile.h"

#include <algorithm>
#include <array>
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
};

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

// Empty text when the arguments after --export-csv are usable, else what is wrong. Any
// argument that starts with "-" is an option until "--", after which every argument is a file.
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
// standard error, and the columns are the plain ones.
std::array<CsvColumn, kChannelCount> ChannelColumnsOf(const std::string& input, const std::vector<std::string>& gains,
                                                      bool gainsGiven) {
    const SidecarRead sidecar = ReadSidecar(input);
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

}  // namespace

std::optional<int> RunExportCommand(int argc, char* argv[]) {
    const std::vector<std::string_view> args(argv + std::min(argc, 1), argv + argc);
    // The command is named before any "--", after which arguments are file names.
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    const auto command = std::find(args.begin(), optionsEnd, "--export-csv");
    if (command == optionsEnd) return std::nullopt;

    ExportArguments parsed;
    std::vector<std::string_view> rest(args.begin(), command);
    rest.insert(rest.end(), command + 1, args.end());
    if (const std::string wrong = ParseArguments(rest, parsed); !wrong.empty())
        return Fail(wrong + "; usage: " + kExportCommandUsage);

    // The output replaces its file whole: one that is the input (by any path or link) would
    // replace the waveform file with its CSV.
    std::error_code ec;
    if (std::filesystem::equivalent(parsed.input, parsed.output, ec))
        return Fail(parsed.output + ": is the input file; choose another output file");

    const auto record = std::make_unique<CaptureRecord>();
    const WaveformRead read = ReadWaveformFile(*record, parsed.input);
    if (!read.Ok) return Fail(parsed.input + ": " + read.Error);
    if (read.Sets == 0) return Fail(parsed.input + ": no sample sets; not a waveform file");

    CsvExport what;
    what.Channels = ChannelColumnsOf(parsed.input, parsed.gains, parsed.gainsGiven);
    what.Raw = parsed.raw;
    if (const FileResult written = WriteCsvFile(WindowsOf(*record), what, parsed.output); !written.Ok)
        return Fail(parsed.output + ": " + written.Error);
    return 0;
}

}  // namespace altrix
