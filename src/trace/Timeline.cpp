#include "Timeline.h"

#include "Readout.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace altrix {

namespace {

constexpr std::int64_t kMicrosPerSet = 200;
constexpr double kSetsPerSecond = 5000;
// Of a set: a time written to a tenth of a millisecond names its own set.
constexpr double kTolerance = 1e-6;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return q * b > a ? q - 1 : q;
}

}  // namespace

Timeline Timeline::Window(TimelineSource source, std::optional<std::int64_t> firstSet, std::optional<UtcMicros> runUtc) {
    Timeline t;
    t.source_ = source == TimelineSource::Recording ? TimelineSource::File : source;
    t.firstSet_ = firstSet;
    if (firstSet) t.origin_ = runUtc;
    return t;
}

Timeline Timeline::Recording(std::optional<UtcMicros> startUtc) {
    Timeline t;
    t.source_ = TimelineSource::Recording;
    t.firstSet_ = 0;
    t.origin_ = startUtc;
    return t;
}

double Timeline::Seconds(std::int64_t position) const {
    return static_cast<double>(Periods(position)) / kSetsPerSecond;
}

std::string Timeline::SecondsText(std::int64_t position, char decimalSeparator) const {
    const std::int64_t periods = Periods(position);
    char text[kMaxSetSecondsLength + 1];
    char* at = text;
    if (periods < 0) *at++ = '-';
    return {text, WriteSetSeconds(at, periods < 0 ? -periods : periods, decimalSeparator)};
}

std::int64_t Timeline::FirstPositionFrom(double seconds) const {
    return static_cast<std::int64_t>(std::ceil(seconds * kSetsPerSecond - kTolerance)) - Periods(0);
}

std::int64_t Timeline::LastPositionTo(double seconds) const {
    return static_cast<std::int64_t>(std::floor(seconds * kSetsPerSecond + kTolerance)) - Periods(0);
}

std::optional<std::int64_t> Timeline::SetOf(std::int64_t position) const {
    if (!firstSet_) return std::nullopt;
    return *firstSet_ + position;
}

std::optional<std::int64_t> Timeline::PositionOfSet(std::int64_t set) const {
    if (!firstSet_) return std::nullopt;
    return set - *firstSet_;
}

std::optional<UtcMicros> Timeline::Utc(std::int64_t position) const {
    const std::optional<std::int64_t> set = SetOf(position);
    // Before RUN a window holds no set of its capture.
    if (!set || !origin_ || *set < 0) return std::nullopt;
    return *origin_ + *set * kMicrosPerSet;
}

std::string ClockText(UtcMicros at, ClockForm form, ClockZone zone) {
    using namespace std::chrono;
    const std::int64_t wholeSeconds = FloorDiv(at, 1000000);
    const int ms = static_cast<int>((at - wholeSeconds * 1000000) / 1000);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (zone == ClockZone::Utc || form == ClockForm::IsoUtc) {
        const sys_seconds moment{seconds(wholeSeconds)};
        const sys_days date = floor<days>(moment);
        const year_month_day ymd{date};
        const hh_mm_ss<seconds> time{moment - date};
        year = int(ymd.year());
        month = int(unsigned(ymd.month()));
        day = int(unsigned(ymd.day()));
        hour = int(time.hours().count());
        minute = int(time.minutes().count());
        second = int(time.seconds().count());
    } else {
        const std::time_t whole = static_cast<std::time_t>(wholeSeconds);
        std::tm parts{};
#if defined(_WIN32)
        localtime_s(&parts, &whole);
#else
        localtime_r(&whole, &parts);
#endif
        year = parts.tm_year + 1900;
        month = parts.tm_mon + 1;
        day = parts.tm_mday;
        hour = parts.tm_hour;
        minute = parts.tm_min;
        second = parts.tm_sec;
    }
    char text[48];
    switch (form) {
    case ClockForm::TimeOfDay:
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", hour, minute, second, ms);
        break;
    case ClockForm::DateAndTime:
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", year, month, day, hour, minute, second, ms);
        break;
    case ClockForm::IsoUtc:
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", year, month, day, hour, minute, second, ms);
        break;
    }
    return text;
}

std::string SetClockText(const Timeline& timeline, std::int64_t position, ClockForm form, ClockZone zone) {
    const std::optional<UtcMicros> at = timeline.Utc(position);
    return at ? ClockText(*at, form, zone) : std::string();
}

std::optional<UtcMicros> ParseIsoUtc(const std::string& text) {
    using namespace std::chrono;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &used) != 6 || used != 19)
        return std::nullopt;
    std::int64_t micros = 0;
    std::size_t at = 19;
    if (at < text.size() && text[at] == '.') {
        std::int64_t scale = 100000;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            micros += (text[at] - '0') * scale;
    }
    if (at < text.size() && text[at] == 'Z') ++at;
    if (at != text.size()) return std::nullopt;
    const year_month_day date{year(y), month(unsigned(mo)), day(unsigned(d))};
    if (!date.ok() || h > 23 || mi > 59 || s > 60) return std::nullopt;
    const std::int64_t days = sys_days(date).time_since_epoch().count();
    return ((days * 24 + h) * 60 + mi) * 60 * std::int64_t(1000000) + s * std::int64_t(1000000) + micros;
}

}  // namespace altrix
