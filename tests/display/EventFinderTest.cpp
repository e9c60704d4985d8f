// Find next / previous through a recording on show: where each press starts (the set found last
// while in view, else the middle of the view), what it finds and says, every time through the
// clock handed in; the trigger levels it refuses.

#include "EventFinder.h"

#include "RecordingSource.h"
#include "RecordingWriter.h"
#include "ScopeDisplay.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace altrix::testing {
namespace {

using Outcome = EventFinder::Outcome;

// A clock that names the set, so that each text shows which set it was given.
QString Clock(std::int64_t set) {
    return QStringLiteral("<%1>").arg(set);
}

constexpr auto kNoDeadline = std::chrono::steady_clock::time_point::max();

class EventFinderTest : public ::testing::Test {
protected:
    // Channel 2 rises through 1000 at sets 20000, 100000 and 170000 of 200000.
    void showRecording() {
        const std::string path = dir_.filePath(QStringLiteral("find.arec")).toStdString();
        RecordingWriter writer;
        ASSERT_EQ(writer.Create(path, {"2026-12-07T03:00:00.000Z", "test", "", {}}), "");
        std::vector<std::int16_t> sets;
        for (std::int64_t n = 0; n < 200'000; ++n)
            sets.insert(sets.end(), {0, std::int16_t((n >= 20000 && n < 90000) || (n / 10000) % 7 == 3 ? 2000 : 0), 0, 0});
        ASSERT_TRUE(writer.Write(sets));
        RecordingReader::Opened opened = RecordingReader::Open(path);
        ASSERT_TRUE(opened.Reader) << opened.Error;
        display_.ShowRecording(std::make_unique<RecordingSource>(std::move(opened.Reader), session_.record(), path));
    }
    void view(double lower, double upper) { display_.SetView({lower, upper, 1000}, lower, upper); }

    QTemporaryDir dir_;
    CaptureSession session_;
    ScopeDisplay display_{session_};
    EventFinder finder_{display_, Clock};
};

TEST_F(EventFinderTest, EachPressStartsFromTheEventFoundInViewElseTheMiddleOfTheView) {
    display_.SetTrigger({TriggerMode::Off, 2, TriggerCondition::Rising, "1000"});
    const EventFinder::Report without = finder_.Find(SearchDirection::Next, kNoDeadline);
    EXPECT_EQ(without.What, Outcome::Refused);
    EXPECT_EQ(without.Text, QStringLiteral("Find works in an open recording (File > Open recording...)"));

    showRecording();
    const QLocale locale;
    const auto found = [&](std::int64_t set) { return QStringLiteral("Found at <%1> (set %2)").arg(set).arg(locale.toString(set)); };
    const struct {
        SearchDirection direction;
        double lower, upper;  // the view before the press
        Outcome outcome;
        std::int64_t set;
        QString text;
    } presses[] = {
        {SearchDirection::Next, 0, 1000, Outcome::Found, 20000, found(20000)},
        {SearchDirection::Next, 19500, 20500, Outcome::Found, 100000, found(100000)},
        {SearchDirection::Next, 99500, 100500, Outcome::Found, 170000, found(170000)},
        {SearchDirection::Next, 169500, 170500, Outcome::NotFound, -1, QStringLiteral("No event after <170000> to the end of the recording")},
        {SearchDirection::Previous, 169500, 170500, Outcome::Found, 100000, found(100000)},
        // The set found last out of view: from the view's middle.
        {SearchDirection::Next, 0, 1000, Outcome::Found, 20000, found(20000)},
        {SearchDirection::Previous, 0, 1000, Outcome::NotFound, -1, QStringLiteral("No event before <500> to the start of the recording")},
        {SearchDirection::Previous, 120000, 140000, Outcome::Found, 100000, found(100000)},
    };
    for (const auto& p : presses) {
        view(p.lower, p.upper);
        const EventFinder::Report report = finder_.Find(p.direction, kNoDeadline);
        EXPECT_EQ(report.What, p.outcome) << p.text.toStdString();
        EXPECT_EQ(report.Set, p.set) << p.text.toStdString();
        EXPECT_EQ(report.Text, p.text);
        EXPECT_FALSE(finder_.Searching());
    }

    // Another source forgets the set found: the view's middle again.
    finder_.Forget();
    view(99500, 100500);
    EXPECT_EQ(finder_.Find(SearchDirection::Next, kNoDeadline).Set, 170000);
}

// From the event found last, the trigger's holdoff is skipped: the events lie at 20000, 100000 and
// 170000, a millisecond is five sets.
TEST_F(EventFinderTest, FromTheEventFoundThePressSkipsTheHoldoff) {
    showRecording();
    const struct {
        int holdoffMs;
        std::int64_t foundFirst;  // found by a press from the view's middle at 0..1000 or 199000..200000
        SearchDirection direction;
        std::int64_t set;  // then found from it; -1: none
    } presses[] = {
        {0, 20000, SearchDirection::Next, 100000},
        {16000, 20000, SearchDirection::Next, 100000},  // 80000 sets: the next event just at its end
        {16001, 20000, SearchDirection::Next, 170000},
        {60000, 20000, SearchDirection::Next, -1},
        {14000, 170000, SearchDirection::Previous, 100000},  // 70000 sets: 100000 just at its start
        {14001, 170000, SearchDirection::Previous, 20000},
        {60000, 170000, SearchDirection::Previous, -1},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.holdoffMs);
        TriggerSettings trigger{TriggerMode::Off, 2, TriggerCondition::Rising, "1000"};
        trigger.HoldoffMs = p.holdoffMs;
        display_.SetTrigger(trigger);
        finder_.Forget();
        const bool next = p.direction == SearchDirection::Next;
        view(next ? 0 : 199000, next ? 1000 : 200000);
        ASSERT_EQ(finder_.Find(p.direction, kNoDeadline).Set, p.foundFirst);
        view(double(p.foundFirst) - 500, double(p.foundFirst) + 500);
        EXPECT_EQ(finder_.Find(p.direction, kNoDeadline).Set, p.set);
    }
}

TEST_F(EventFinderTest, APressWhileASearchRunsStopsItAndSaysFromWhereToWhere) {
    showRecording();
    display_.SetTrigger({TriggerMode::Off, 2, TriggerCondition::Rising, "5000"});  // never reached
    view(0, 1000);
    // A deadline already past: one step, then it searches on.
    const EventFinder::Report first = finder_.Find(SearchDirection::Next, std::chrono::steady_clock::time_point::min());
    ASSERT_EQ(first.What, Outcome::Searching);
    EXPECT_TRUE(first.Text.startsWith(QStringLiteral("Searching for the next event: "))) << first.Text.toStdString();
    EXPECT_TRUE(finder_.Searching());
    const EventFinder::Report stopped = finder_.Find(SearchDirection::Previous, kNoDeadline);
    EXPECT_EQ(stopped.What, Outcome::Stopped);
    EXPECT_TRUE(stopped.Text.startsWith(QStringLiteral("Find stopped at <"))) << stopped.Text.toStdString();
    EXPECT_TRUE(stopped.Text.endsWith(QStringLiteral(": no event after <500> up to there"))) << stopped.Text.toStdString();
    EXPECT_FALSE(finder_.Searching());
    view(0, 1000);
    EXPECT_EQ(finder_.Find(SearchDirection::Next, kNoDeadline).Text,
              QStringLiteral("No event after <500> to the end of the recording"));
}

TEST_F(EventFinderTest, ALevelThatIsNoNumberIsNamedWithItsChannel) {
    const auto term = [](int source, TriggerCondition condition, const char* level, const char* level2 = "0") {
        return TriggerTerm{source, condition, level, level2, 0};
    };
    const struct {
        TriggerTerm first;
        TriggerJoin join;
        TriggerTerm second;
        std::optional<BadTriggerLevel> bad;
    } cases[] = {
        {term(2, TriggerCondition::Rising, "1000"), TriggerJoin::None, term(3, TriggerCondition::Rising, "x"), std::nullopt},
        {term(2, TriggerCondition::Rising, "1e3"), TriggerJoin::None, term(3, TriggerCondition::Rising, "1"), BadTriggerLevel{"1e3", 2}},
        {term(1, TriggerCondition::Rising, "1"), TriggerJoin::And, term(4, TriggerCondition::Falling, "-"), BadTriggerLevel{"-", 4}},
        {term(1, TriggerCondition::InsideBand, "1", "abc"), TriggerJoin::None, term(4, TriggerCondition::Rising, "1"),
         BadTriggerLevel{"abc", 1}},
        {term(1, TriggerCondition::OutsideBand, "a", "b"), TriggerJoin::None, term(4, TriggerCondition::Rising, "1"),
         BadTriggerLevel{"a", 1}},
        // A bit condition waits for no level.
        {term(1, TriggerCondition::BitSet, "x"), TriggerJoin::Or, term(3, TriggerCondition::Rising, "2.5"), std::nullopt},
    };
    for (const auto& c : cases) {
        TriggerSettings settings{TriggerMode::Normal, c.first.Source, c.first.Condition, c.first.Level};
        settings.Level2 = c.first.Level2;
        settings.Join = c.join;
        settings.Second = c.second;
        EXPECT_EQ(FirstBadLevel(settings), c.bad) << c.first.Level << " " << c.second.Level;
    }
    showRecording();
    display_.SetTrigger({TriggerMode::Off, 2, TriggerCondition::Rising, "1e3"});
    EXPECT_EQ(finder_.Find(SearchDirection::Next, kNoDeadline).Text,
              QStringLiteral("Find needs a trigger level: \"1e3\" (channel 2) is no number"));
}

}  // namespace
}  // namespace altrix::testing
