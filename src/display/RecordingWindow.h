#pragma once
// What a waveform file saved while a recording is on show holds: the sets of the analysed
// stretch as a window of 100000, slot x showing the stretch's first set + x, zeros past the
// source's end.

#include "CaptureRecord.h"
#include "SafeFile.h"
#include "Stretch.h"

#include <cstdint>
#include <memory>

namespace altrix {

class TraceSource;

struct RecordingWindow {
    std::unique_ptr<CaptureRecord> Window;  // none when too long or not read
    std::int64_t TooLong = 0;               // the stretch's sets, when more than a window holds
    FileResult Read;                        // why the source could not be read
};
RecordingWindow WindowOfStretch(const TraceSource& source, PositionStretch stretch);

}  // namespace altrix
