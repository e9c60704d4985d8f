// The timeline: a position's time in seconds, its set and its UTC for every kind of source,
// and the one formatter of a time of day.

#include "Timeline.h"

#include <gtest/gtest.h>

#include <optional>

namespace altrix::testing {
namespace {

// 2026-12-07T23:42:00Z and 2026-12-07T23:00:00.5Z in microseconds since 1970.
constexpr UtcMicros kRun = 1796686920LL * 1000000;
constexpr UtcMicros kRecordingStart = 1796684400LL * 1000000 + 500000;

struct TimeCase {
    const char* source;
    Timeline timeline;
    std::int64_t position;
    const char* seconds;          // the readout's and the exports' text
    std::optional<std::int64_t> set;
    const char* utc;              // empty when not known
};

TEST(TimelineTest, EverySourceGivesAPositionOneTimeOneSetAndOneUtc) {
    // Live: 40 s after RUN the window's oldest set is set 200000. Filling: 8 s after RUN only
    // its newest 40000 positions hold sets. Frozen: the trigger set 170000 at position 50000.
    // Event file: its description's trigger 34.2532 s after a RUN at 23:42:11, at position 20000.
    const Timeline live = Timeline::Window(TimelineSource::LiveWindow, 200000, kRun);
    const Timeline filling = Timeline::Window(TimelineSource::LiveWindow, -60000, kRun);
    const Timeline frozen = Timeline::Window(TimelineSource::FrozenWindow, 120000, kRun);
    const Timeline file = Timeline::Window(TimelineSource::File, std::nullopt, kRun);
    const Timeline event = Timeline::Window(TimelineSource::EventFile, 171266 - 20000, kRun + 11000000);
    const Timeline recording = Timeline::Recording(kRecordingStart);
    const Timeline undated = Timeline::Recording(std::nullopt);
    const TimeCase cases[] = {
        {"live", live, 0, "0.0002", 200000, "2026-12-07T23:42:40.000Z"},
        {"live", live, 8, "0.0018", 200008, "2026-12-07T23:42:40.001Z"},  // 40.0016 s
        {"live", live, 324, "0.065", 200324, "2026-12-07T23:42:40.064Z"},
        {"live", live, 99999, "20", 299999, "2026-12-07T23:42:59.999Z"},  // 59.9998 s
        {"filling", filling, 60000, "12.0002", 0, "2026-12-07T23:42:00.000Z"},
        {"filling", filling, 59999, "12", -1, ""},
        {"frozen", frozen, 50000, "10.0002", 170000, "2026-12-07T23:42:34.000Z"},
        {"frozen", frozen, 49999, "10", 169999, "2026-12-07T23:42:33.999Z"},  // 33.9998 s
        {"file", file, 325, "0.0652", std::nullopt, ""},
        {"event file", event, 20000, "4.0002", 171266, "2026-12-07T23:42:45.253Z"},  // 11 + 34.2532 s
        {"recording", recording, 0, "0", 0, "2026-12-07T23:00:00.500Z"},
        {"recording", recording, 8, "0.0016", 8, "2026-12-07T23:00:00.501Z"},
        {"recording", recording, 18000000, "3600", 18000000, "2026-12-08T00:00:00.500Z"},
        {"undated recording", undated, 5000, "1", 5000, ""},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.source << " position " << c.position);
        EXPECT_EQ(c.timeline.SecondsText(c.position), c.seconds);
        EXPECT_DOUBLE_EQ(c.timeline.Seconds(c.position), std::stod(c.seconds));
        EXPECT_EQ(c.timeline.SetOf(c.position), c.set);
        EXPECT_EQ(SetClockText(c.timeline, c.position, ClockForm::IsoUtc), c.utc);
        // A time as written names its own position, from either side.
        EXPECT_EQ(c.timeline.FirstPositionFrom(std::stod(c.seconds)), c.position);
        EXPECT_EQ(c.timeline.LastPositionTo(std::stod(c.seconds)), c.position);
        if (c.set) {
            EXPECT_EQ(c.timeline.PositionOfSet(*c.set), c.position);
        }
    }
}

struct ClockCase {
    UtcMicros at;
    ClockForm form;
    const char* text;
};

TEST(ClockTextTest, WritesTheMillisecondTheMomentFallsIn) {
    const ClockCase cases[] = {
        {kRun + 1600, ClockForm::TimeOfDay, "23:42:00.001"},
        {kRun + 999999, ClockForm::DateAndTime, "2026-12-07 23:42:00.999"},
        {kRun - 200, ClockForm::IsoUtc, "2026-12-07T23:41:59.999Z"},
        {0, ClockForm::IsoUtc, "1970-01-01T00:00:00.000Z"},
    };
    for (const ClockCase& c : cases) EXPECT_EQ(ClockText(c.at, c.form, ClockZone::Utc), c.text);
}

struct IsoCase {
    const char* text;
    std::optional<UtcMicros> at;
};

TEST(ParseIsoUtcTest, ReadsWhatRecordingsAndExportsWrite) {
    const IsoCase cases[] = {
        {"2026-12-07T23:42:00Z", kRun},
        {"2026-12-07T23:00:00.5Z", kRecordingStart},
        {"2026-12-07T23:00:00.500Z", kRecordingStart},
        {"2026-12-07T23:42:00", kRun},
        {"2026-12-07 23:42:00Z", std::nullopt},
        {"2026-02-30T00:00:00Z", std::nullopt},
        {"", std::nullopt},
        {"2026-12-07T23:42:00Z+", std::nullopt},
    };
    for (const IsoCase& c : cases) EXPECT_EQ(ParseIsoUtc(c.text), c.at) << c.text;
}

}  // namespace
}  // namespace altrix::testing
