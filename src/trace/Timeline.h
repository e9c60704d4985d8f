#pragma once
// One time for every set: for the source on show, a position's set, its time in seconds as the
// screen and the exports give it, and its UTC; and the one formatter of a set's time of day.
//
// A window (live, frozen by a trigger, a loaded waveform file, a saved event) shows positions
// 0..99999 at (x + 1) x 0.0002 s, the time the Time readout and a waveform file's lines give.
// A recording shows its set n at n x 0.0002 s from its start, the moment of its set 0.

#include <cstdint>
#include <optional>
#include <string>

namespace altrix {

enum class TimelineSource { LiveWindow, FrozenWindow, File, EventFile, Recording };

// Microseconds since 1970-01-01T00:00:00Z.
using UtcMicros = std::int64_t;

class Timeline {
public:
    // A window whose position 0 holds set `firstSet` counted from RUN (negative while a
    // capture has not filled it yet), RUN at `runUtc` when known. Without `firstSet` (a file
    // that does not say where its window lay) no position has a UTC.
    static Timeline Window(TimelineSource source, std::optional<std::int64_t> firstSet,
                           std::optional<UtcMicros> runUtc);
    // A recording whose set 0 was taken at `startUtc` when known; also any sets counted from a
    // known moment (a capture's events from RUN).
    static Timeline Recording(std::optional<UtcMicros> startUtc);

    TimelineSource Source() const { return source_; }
    bool Windowed() const { return source_ != TimelineSource::Recording; }

    // The time of a position in sample periods: x + 1 in a window, x in a recording.
    std::int64_t Periods(std::int64_t position) const { return position + (Windowed() ? 1 : 0); }
    // The time of a position in seconds.
    double Seconds(std::int64_t position) const;
    // Its exact decimal text (0.0002, 10.0002, 20), as a readout and a CSV line write it.
    std::string SecondsText(std::int64_t position, char decimalSeparator = '.') const;
    // The first position whose time is at or after `seconds` (a time written by SecondsText
    // names its own position), and the last at or before it.
    std::int64_t FirstPositionFrom(double seconds) const;
    std::int64_t LastPositionTo(double seconds) const;

    // The set counted from the capture's RUN (a window) or the recording's first set.
    std::optional<std::int64_t> SetOf(std::int64_t position) const;
    // The position of such a set.
    std::optional<std::int64_t> PositionOfSet(std::int64_t set) const;
    // The moment the set at `position` was taken; none when not known or before RUN.
    std::optional<UtcMicros> Utc(std::int64_t position) const;

private:
    TimelineSource source_ = TimelineSource::LiveWindow;
    std::optional<std::int64_t> firstSet_;
    std::optional<UtcMicros> origin_;  // of set 0
};

enum class ClockForm {
    TimeOfDay,      // "23:42:45.253"
    DateAndTime,    // "2026-12-07 23:42:45.253"
    IsoUtc,         // "2026-12-07T23:42:45.253Z", always UTC
};
enum class ClockZone { Local, Utc };

// The one formatter of a moment's time of day, to the millisecond, which it is cut down to
// (never rounded up): a set 1.6 ms after a whole second reads ".001".
std::string ClockText(UtcMicros at, ClockForm form, ClockZone zone = ClockZone::Local);

// The same for the set at `position` of `timeline`; empty when its UTC is not known.
std::string SetClockText(const Timeline& timeline, std::int64_t position, ClockForm form,
                         ClockZone zone = ClockZone::Local);

// An ISO 8601 UTC text ("2026-12-07T16:30:00.125Z", "...T16:30:00Z") read back; none when it
// is not one.
std::optional<UtcMicros> ParseIsoUtc(const std::string& text);

}  // namespace altrix
