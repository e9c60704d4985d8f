#pragma once
// The CSV form of sample sets, shared by the export of the display window and by recording:
// a header line "time_s,<column>,..." and one line a sample set "<seconds>,<value>,...",
// CR LF line ends, "." as the decimal point whatever the locale.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "CaptureRecord.h"
#include "Decimation.h"
#include "Readout.h"
#include "SafeFile.h"

namespace altrix {

struct CsvColumn {
    std::string Name;  // header text, quoted in the file when it holds a comma, quote or line end
    std::string Gain;  // the gain text the values are read with, as by the Data readout
};

// A column of values computed in floating point (a math trace's), by window position; a NaN
// leaves its field empty.
struct CsvValueColumn {
    std::string Name;
    std::span<const double> Values;
};

// Header and lines of one column layout. A writer appends the header once and then the sets
// one by one, each with its number counted from the first set of the file.
class CsvFormat {
public:
    // `raw`: values as raw integers, whatever the gains. `valueColumns` name the columns of
    // floating-point values that follow the others.
    CsvFormat(const std::vector<CsvColumn>& columns, bool raw, const std::vector<std::string>& valueColumns = {});

    std::size_t ColumnCount() const { return gains_.size(); }

    void AppendHeader(std::string& out) const;

    // The line of sample set `set` (time set x 0.0002 s) with values[i] under column i; each
    // value is the exact text CountDataValue gives for it and its column's gain; then `numbers`
    // under the value columns, each the shortest text that reads back as it, empty for a NaN.
    void AppendRow(std::string& out, std::int64_t set, std::span<const std::int16_t> values,
                   std::span<const double> numbers = {}) const;

private:
    std::string header_;
    std::vector<ReadoutGain> gains_;
    std::size_t valueColumns_ = 0;
    std::size_t maxRowLength_ = 0;
};

// Header name of channel k (1..4): its quantity as the list shows it, else "Mem <address>" for
// a typed address, else "Channel k".
std::string ChannelColumnName(int k, std::string_view quantity, std::string_view address);

// Header name of reference r (1, 2): "Ref<r>", followed by the name of its source when known.
std::string ReferenceColumnName(int r, std::string_view source);

// An export of the display window: the four channels, each reference that has a column, and
// the positions between First and Last (both included, in either order, limited to
// 0..99999), and after them the math traces' columns unless Raw. A line's time is the Time
// readout's, (position + 1) x 0.0002 s: position 0 reads 0.0002.
struct CsvExport {
    std::array<CsvColumn, kChannelCount> Channels;
    std::array<std::optional<CsvColumn>, kReferenceCount> References;
    bool Raw = false;
    std::int32_t First = 0;
    std::int32_t Last = kNewestPosition;
    std::vector<CsvValueColumn> Math;
};

// The windows an export reads, position 0 the oldest: the four channels, then the references.
using TraceWindows = std::array<WindowSamples, kChannelCount + kReferenceCount>;
TraceWindows WindowsOf(const CaptureRecord& record);

// Writes the export of `windows` to `path` whole or not at all, through ReplaceFile.
FileResult WriteCsvFile(const TraceWindows& windows, const CsvExport& what, const std::string& path);

}  // namespace altrix
