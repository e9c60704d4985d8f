#include "CsvExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace altrix {

namespace {

// RFC 4180 field: quoted, with doubled quotes, when it holds a comma, a quote or a line end.
void AppendField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// The longest shortest-round-trip text of a double ("-2.2250738585072014e-308").
constexpr std::size_t kMaxNumberLength = 24;

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

CsvFormat::CsvFormat(const std::vector<CsvColumn>& columns, bool raw, const std::vector<std::string>& valueColumns) {
    header_ = "time_s";
    maxRowLength_ = kMaxSetSecondsLength + 2;
    for (const CsvColumn& column : columns) {
        header_ += ',';
        AppendField(header_, column.Name);
        gains_.emplace_back(raw ? std::string_view{} : std::string_view{column.Gain});
        maxRowLength_ += 1 + gains_.back().MaxTextLength();
    }
    for (const std::string& name : valueColumns) {
        header_ += ',';
        AppendField(header_, name);
        maxRowLength_ += 1 + kMaxNumberLength;
    }
    valueColumns_ = valueColumns.size();
    header_ += "\r\n";
}

void CsvFormat::AppendHeader(std::string& out) const { out += header_; }

void CsvFormat::AppendRow(std::string& out, std::int64_t set, std::span<const std::int16_t> values,
                          std::span<const double> numbers) const {
    // Room for the longest line, cut back to the line written: one resize a line, not a
    // piece, since this runs for every set of an export or a recording.
    const std::size_t start = out.size();
    out.resize(start + maxRowLength_);
    char* text = WriteSetSeconds(out.data() + start, set, '.');
    for (std::size_t i = 0; i < gains_.size(); ++i) {
        *text++ = ',';
        text = gains_[i].Write(text, values[i]);
    }
    for (std::size_t i = 0; i < valueColumns_; ++i) {
        *text++ = ',';
        if (i < numbers.size() && !std::isnan(numbers[i])) text = std::to_chars(text, text + kMaxNumberLength, numbers[i]).ptr;
    }
    *text++ = '\r';
    *text++ = '\n';
    out.resize(static_cast<std::size_t>(text - out.data()));
}

std::string ChannelColumnName(int k, std::string_view quantity, std::string_view address) {
    if (!quantity.empty()) return std::string(quantity);
    const std::string_view typed = Trimmed(address);
    if (!typed.empty()) return "Mem " + std::string(typed);
    return "Channel " + std::to_string(k);
}

std::string ReferenceColumnName(int r, std::string_view source) {
    std::string name = "Ref" + std::to_string(r);
    const std::string_view known = Trimmed(source);
    if (!known.empty()) {
        name += ' ';
        name += known;
    }
    return name;
}

TraceWindows WindowsOf(const CaptureRecord& record) {
    TraceWindows windows;
    for (int k = 0; k < kChannelCount; ++k) windows[k] = ChannelWindow(record.ChannelTrace[k], record.NextSample);
    for (int r = 0; r < kReferenceCount; ++r) windows[kChannelCount + r] = ReferenceWindow(record.ReferenceTrace[r]);
    return windows;
}

FileResult WriteCsvFile(const TraceWindows& windows, const CsvExport& what, const std::string& path) {
    std::vector<CsvColumn> columns(what.Channels.begin(), what.Channels.end());
    std::vector<const WindowSamples*> traces;
    for (int k = 0; k < kChannelCount; ++k) traces.push_back(&windows[k]);
    for (int r = 0; r < kReferenceCount; ++r) {
        if (!what.References[r]) continue;
        columns.push_back(*what.References[r]);
        traces.push_back(&windows[kChannelCount + r]);
    }
    // Math traces have no raw samples.
    const std::vector<CsvValueColumn> math = what.Raw ? std::vector<CsvValueColumn>() : what.Math;
    std::vector<std::string> mathNames;
    for (const CsvValueColumn& column : math) mathNames.push_back(column.Name);
    const CsvFormat format(columns, what.Raw, mathNames);
    const std::int32_t first = std::clamp(std::min(what.First, what.Last), 0, kNewestPosition);
    const std::int32_t last = std::clamp(std::max(what.First, what.Last), 0, kNewestPosition);

    return ReplaceFile(path, [&](std::FILE* file) {
        ChunkWriter out(file);
        format.AppendHeader(out.Buffer());
        std::array<std::int16_t, kChannelCount + kReferenceCount> values{};
        std::vector<double> numbers(math.size());
        for (std::int32_t x = first; x <= last; ++x) {
            std::size_t n = 0;
            for (const WindowSamples* trace : traces) values[n++] = (*trace)[x];
            for (std::size_t m = 0; m < math.size(); ++m)
                numbers[m] = static_cast<std::size_t>(x) < math[m].Values.size() ? math[m].Values[static_cast<std::size_t>(x)]
                                                                                 : std::nan("");
            format.AppendRow(out.Buffer(), x + 1, {values.data(), n}, numbers);
            if (!out.Flush(false)) return false;
        }
        return out.Flush(true);
    });
}

}  // namespace altrix
