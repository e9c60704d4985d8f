#include "SetClock.h"

#include "CaptureRecord.h"
#include "ScopeDisplay.h"

#include <cmath>

namespace altrix {

SetClock ClockFrom(const QDateTime& start) {
    return [start](std::int64_t set) {
        if (!start.isValid()) return QStringLiteral("%1 s").arg(TimeText(static_cast<double>(set) * kSamplePeriodSeconds));
        const auto ms = std::llround(static_cast<double>(set) * kSamplePeriodSeconds * 1000);
        return start.addMSecs(ms).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    };
}

}  // namespace altrix
