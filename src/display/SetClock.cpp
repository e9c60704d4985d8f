#include "SetClock.h"

#include "CaptureRecord.h"
#include "ScopeDisplay.h"
#include "Timeline.h"

namespace altrix {

SetClock ClockFrom(const QDateTime& start) {
    return [start](std::int64_t set) {
        if (!start.isValid()) return QStringLiteral("%1 s").arg(TimeText(static_cast<double>(set) * kSamplePeriodSeconds));
        return QString::fromStdString(
            SetClockText(Timeline::Recording(start.toMSecsSinceEpoch() * 1000), set, ClockForm::DateAndTime));
    };
}

}  // namespace altrix
