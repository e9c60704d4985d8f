#include "DataExport.h"

#include "CsvExport.h"

#include <algorithm>
#include <cctype>

#include "Readout.h"

namespace altrix {

namespace {

constexpr std::size_t kMaxVariableName = 63;  // MATLAB's namelengthmax

bool IsAsciiAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

std::string VariableNameOf(std::string_view label) {
    std::string name;
    bool gap = false;
    const auto append = [&](std::string_view part) {
        if (gap && !name.empty()) name += '_';
        gap = false;
        name += part;
    };
    for (char c : label) {
        if (IsAsciiAlnum(c))
            append(std::string_view(&c, 1));
        else if (c == '%') {
            gap = true;
            append("pct");
            gap = true;
        } else
            gap = true;
    }
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name.front()))) name.insert(0, "x_");
    if (name.size() > kMaxVariableName) name.resize(kMaxVariableName);
    return name;
}

}  // namespace

SetReader WindowReader(std::vector<WindowSamples> windows) {
    return [windows = std::move(windows)](std::int64_t first, std::int64_t count, std::span<std::int16_t> out) {
        for (std::size_t t = 0; t < windows.size(); ++t) {
            if (first < 0 || first + count > windows[t].size()) return FileResult{false, "No such sample sets", false};
            for (std::int64_t i = 0; i < count; ++i)
                out[t * static_cast<std::size_t>(count) + static_cast<std::size_t>(i)] =
                    windows[t][static_cast<int>(first + i)];
        }
        return FileResult{};
    };
}

FileResult WriteCsvSets(const DataExport& what, const SetReader& read, const std::string& path,
                        const ExportProgress& progress) {
    std::vector<CsvColumn> columns;
    for (const DataTrace& trace : what.Traces) columns.push_back({trace.Label, trace.Gain});
    // The math vectors after them, unless raw.
    std::vector<std::string> vectorNames;
    for (const DataVector& vector : what.Math) {
        if (what.Raw) break;
        if (vector.Values.size() < static_cast<std::size_t>(what.Count)) return {false, "a math trace does not cover the stretch", false};
        vectorNames.push_back(vector.Label);
    }
    const CsvFormat format(columns, what.Raw, vectorNames);
    const std::size_t traces = columns.size();
    std::vector<std::int16_t> chunk;
    std::vector<std::int16_t> values(traces);
    std::vector<double> numbers(vectorNames.size());
    FileResult failure;
    FileResult result = ReplaceFile(path, [&](std::FILE* file) {
        ChunkWriter out(file);
        format.AppendHeader(out.Buffer());
        for (std::int64_t at = what.First; at < what.First + what.Count;) {
            const std::int64_t count = std::min(kExportChunkSets, what.First + what.Count - at);
            chunk.resize(static_cast<std::size_t>(count) * traces);
            if (failure = read(at, count, chunk); !failure.Ok) return false;
            for (std::int64_t i = 0; i < count; ++i) {
                for (std::size_t t = 0; t < traces; ++t) values[t] = chunk[t * static_cast<std::size_t>(count) + static_cast<std::size_t>(i)];
                for (std::size_t m = 0; m < numbers.size(); ++m) numbers[m] = what.Math[m].Values[static_cast<std::size_t>(at + i - what.First)];
                format.AppendRow(out.Buffer(), at + i + what.TimeOffset, values, numbers);
                if (!out.Flush(false)) return false;
            }
            at += count;
            if (!progress.Step(at - what.First, what.Count)) {
                failure = CancelledWrite();
                return false;
            }
        }
        return out.Flush(true);
    });
    return failure.Ok ? result : failure;
}

std::vector<std::string> VariableNames(const std::vector<DataTrace>& traces) {
    std::vector<std::string> taken(std::begin(kExportFields), std::end(kExportFields));
    std::vector<std::string> names;
    for (const DataTrace& trace : traces) {
        const std::string base = VariableNameOf(trace.Label);
        std::string name = base;
        for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++n) {
            const std::string suffix = "_" + std::to_string(n);
            name = base.substr(0, kMaxVariableName - suffix.size()) + suffix;
        }
        taken.push_back(name);
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> VariableNames(const DataExport& what) {
    std::vector<DataTrace> all = what.Traces;
    for (const DataVector& vector : what.Math) all.push_back({vector.Label, {}, {}});
    return VariableNames(all);
}

std::string UnitOfLabel(std::string_view label) {
    if (!label.ends_with(')')) return {};
    const std::size_t open = label.rfind('(');
    if (open == std::string_view::npos) return {};
    return std::string(label.substr(open + 1, label.size() - open - 2));
}

void SetTimes(std::int64_t first, double rateHz, std::span<double> times) {
    for (std::size_t i = 0; i < times.size(); ++i)
        times[i] = static_cast<double>(first + static_cast<std::int64_t>(i)) / rateHz;
}

void EngineeringValues(std::string_view gain, std::span<const std::int16_t> samples, std::span<double> values) {
    const ReadoutGain readout(gain);
    for (std::size_t i = 0; i < samples.size(); ++i) values[i] = readout.Value(samples[i]);
}

std::optional<DataFormat> DataFormatOf(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string suffix(fileName.substr(dot + 1));
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (suffix == "csv") return DataFormat::Csv;
    if (suffix == "mat") return DataFormat::Mat;
    if (suffix == "h5" || suffix == "hdf5") return DataFormat::Hdf5;
    return std::nullopt;
}

TraceFields FieldsOf(const std::vector<DataTrace>& traces) {
    TraceFields fields;
    for (const DataTrace& trace : traces) {
        fields.Labels.push_back(trace.Label);
        fields.Units.push_back(UnitOfLabel(trace.Label));
        fields.Addresses.push_back(trace.Address);
        fields.Gains.push_back(GainFactor(trace.Gain));
    }
    return fields;
}

}  // namespace altrix
