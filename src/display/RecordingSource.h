#pragma once
// A recording file on show: the recording's trace source, with its start as the window's clock
// takes it.

#include "RecordingTrace.h"

#include <QDateTime>

namespace altrix {

class RecordingSource final : public RecordingTrace {
public:
    using RecordingTrace::RecordingTrace;

    // The UTC of set 0; invalid when the file names none.
    QDateTime Started() const;
};

}  // namespace altrix
