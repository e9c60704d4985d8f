#pragma once
// A set's time as the models of this folder write it (event rows, Find's messages, the recording
// on show): one function, handed in, so that every text of one source reads the same time for
// the same set.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

namespace altrix {

// The time text of set n, counted from the first set of the source it belongs to.
using SetClock = std::function<QString(std::int64_t set)>;

// Sets counted from `start` (UTC): the local date and time of day to the millisecond, as the
// timeline's one formatter writes it; without a start, the seconds since the first set.
SetClock ClockFrom(const QDateTime& start);

}  // namespace altrix
