#include "RecordingSource.h"

namespace altrix {

QDateTime RecordingSource::Started() const {
    const std::optional<UtcMicros> at = Times().Utc(0);
    return at ? QDateTime::fromMSecsSinceEpoch(*at / 1000, Qt::UTC) : QDateTime();
}

}  // namespace altrix
