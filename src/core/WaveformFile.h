#pragma once
// The waveform data file (*.wfd): 100000 CR LF lines "time ch1 ch2 ch3 ch4" holding the
// display window of the capture record, oldest sample set first.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "CaptureRecord.h"
#include "SafeFile.h"

namespace altrix {

// Writes the display window to `path` through ReplaceFile: an existing file is either
// replaced whole or left as it was; links, files that are not regular and files the user may
// not write are handled as ReplaceFile says. `progress` is told the lines written every few
// thousand; a write cancelled through it leaves the target as it was (result.Cancelled).
FileResult WriteWaveformFile(const CaptureRecord& record, const std::string& path,
                             char decimalSeparator, const ExportProgress& progress = {});
// The same for the window that `nextSample` shows of `traces` (a copy of a record's traces).
FileResult WriteWaveformFile(const std::array<ChannelSamples, kChannelCount>& traces, std::int32_t nextSample,
                             const std::string& path, char decimalSeparator, const ExportProgress& progress = {});

// Told after each chunk of a read: the bytes read so far and the file's size when the read
// began (a growing file may read more). Returns false to cancel the read.
using ReadProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// A read's result, and the number of sample sets it stored (a set is stored once its fourth
// sample field is), which NextSample gives only modulo kTraceSlots.
struct WaveformRead : FileResult {
    std::uint64_t Sets = 0;
};

// Reads `path` (links followed, opened read-only; anything but a regular file is refused)
// into the channel traces: every slot starts at 0 and NextSample at 0, then each line's four
// sample fields fill slot NextSample, which wraps after 199999. So line k shows at position
// k - 1 of a file of 100000 lines, and positions that a shorter file does not fill read 0. The record then holds no gaps.
// The record changes only when the whole file was read: a file that cannot be read, or a
// read cancelled through `progress` (result.Cancelled), leaves it as it was.
WaveformRead ReadWaveformFile(CaptureRecord& record, const std::string& path,
                              const ReadProgress& progress = {});

// One sample field: only its first six characters count; digits after the first
// character build the value, a leading "-" negates it; the result wraps to 16 bits.
std::int16_t ParseSampleField(std::string_view field);

}  // namespace altrix
