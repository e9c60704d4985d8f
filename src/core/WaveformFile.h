#pragma once
// The waveform data file (*.wfd): 100000 CR LF lines "time ch1 ch2 ch3 ch4" holding the
// display window of the capture record, oldest sample set first.

#include <cstdint>
#include <string>
#include <string_view>

#include "AtomicFile.h"
#include "CaptureRecord.h"

namespace altrix {

// Writes the display window to `path`. The file is written beside the target and renamed
// over it, so an existing file is either replaced whole or left as it was.
FileResult WriteWaveformFile(const CaptureRecord& record, const std::string& path,
                             char decimalSeparator);

// Reads `path` (opened read-only) into the channel traces: NextSample and slots
// 0..99999 are cleared, then each line's four sample fields fill slot NextSample, which
// wraps after 199999. When the file cannot be opened the record is left untouched.
FileResult ReadWaveformFile(CaptureRecord& record, const std::string& path);

// One sample field: only its first six characters count; digits after the first
// character build the value, a leading "-" negates it; the result wraps to 16 bits.
std::int16_t ParseSampleField(std::string_view field);

}  // namespace altrix
