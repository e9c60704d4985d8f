// The event list's rows: a capture's events as the session keeps them, a recording's events and
// gaps as its file holds them, in set order, each time through the clock handed in; the titles;
// what choosing a row does. The one clock of a set's time: to the nearest millisecond.

#include "EventList.h"

#include "CaptureSession.h"
#include "RecordingReader.h"
#include "RecordingWriter.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace altrix::testing {
namespace {

QString Clock(std::int64_t set) {
    return QStringLiteral("<%1>").arg(set);
}

TEST(EventListTest, ACapturesRowsAreItsEventsAsKept) {
    const std::vector<CaptureEvent> events{
        {8, "trigger", "ch2 Rising", "trigger condition met", "/tmp/e/ev1.wfd"},
        {45000, "link lost", "link", "no byte for 1 s", ""},
    };
    const QDateTime run = QDateTime::fromString(QStringLiteral("2026-12-07T23:42:45.253Z"), Qt::ISODateWithMs);
    const EventListing listing = CaptureEventList(events, run, Clock);
    const std::vector<EventRow> expected{
        {QStringLiteral("<8>"), QStringLiteral("trigger"), QStringLiteral("ch2 Rising"), QStringLiteral("trigger condition met"), 8,
         QStringLiteral("/tmp/e/ev1.wfd")},
        {QStringLiteral("<45000>"), QStringLiteral("link lost"), QStringLiteral("link"), QStringLiteral("no byte for 1 s"), 45000, {}},
    };
    EXPECT_EQ(listing.Rows, expected);
    EXPECT_EQ(listing.Title, QStringLiteral("2 events of the capture started <0>; choose a saved one to open it"));
    EXPECT_EQ(CaptureEventList({}, QDateTime(), Clock).Title, QStringLiteral("No capture yet"));
}

TEST(EventListTest, ARecordingsRowsAreItsEventsAndGapsInSetOrder) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("events.arec")).toStdString();
    RecordingWriter writer;
    ASSERT_EQ(writer.Create(path, {"2026-12-07T03:00:00.000Z", "test", "", {}}), "");
    ASSERT_TRUE(writer.Write(std::vector<std::int16_t>(4 * 1000, 0),
                             std::vector<RecordingGap>{{300, 50, "reconnect"}},
                             std::vector<RecordingEvent>{{700, "trigger", "ch1 Rising AND ch3 Bit set: trigger condition met"},
                                                         {100, "link lost", "no byte for 1 s"},
                                                         {900, "trigger", "no conditions here"}}));
    writer.Close();
    RecordingReader::Opened opened = RecordingReader::Open(path);
    ASSERT_TRUE(opened.Reader) << opened.Error;
    const EventListing listing = RecordingEventList(*opened.Reader, "/r/events.arec", Clock);
    const struct { std::int64_t set; const char* kind; const char* source; QString text; } rows[] = {
        {100, "link lost", "", QStringLiteral("no byte for 1 s")},
        {300, "gap", "", QStringLiteral("reconnect (%1 sets)").arg(QLocale().toString(50))},
        {700, "trigger", "ch1 Rising AND ch3 Bit set", QStringLiteral("trigger condition met")},
        {900, "trigger", "", QStringLiteral("no conditions here")},
    };
    ASSERT_EQ(listing.Rows.size(), std::size(rows));
    for (std::size_t r = 0; r < std::size(rows); ++r)
        EXPECT_EQ(listing.Rows[r], (EventRow{Clock(rows[r].set), QLatin1String(rows[r].kind), QLatin1String(rows[r].source),
                                             rows[r].text, rows[r].set, {}}))
            << r;
    EXPECT_EQ(listing.Title, QStringLiteral("4 events in the recording /r/events.arec; choose one to show it"));
}

TEST(EventListTest, ChoosingARowShowsItsSetOpensItsFileOrSaysWhyNeither) {
    const EventRow saved{{}, QStringLiteral("trigger"), {}, {}, 5, QStringLiteral("/e/ev1.wfd")};
    const EventRow unsaved{{}, QStringLiteral("trigger"), {}, {}, 5, {}};
    using A = EventChoice::Action;
    const struct { EventRow row; bool recording, capturing; EventChoice choice; } cases[] = {
        {saved, true, false, {A::ShowSet, {}}},
        {unsaved, true, true, {A::ShowSet, {}}},
        {unsaved, false, false, {A::Tell, QStringLiteral("The window of this event was not saved")}},
        {saved, false, true, {A::Tell, QStringLiteral("STOP the capture to open /e/ev1.wfd")}},
        {saved, false, false, {A::OpenFile, QStringLiteral("/e/ev1.wfd")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseEvent(c.row, c.recording, c.capturing), c.choice) << c.choice.Text.toStdString();
}

TEST(EventListTest, ASetsTimeIsItsStartPlusItsTimeCutToTheMillisecond) {
    const QDateTime start = QDateTime::fromString(QStringLiteral("2026-12-07T23:42:45.253Z"), Qt::ISODateWithMs);
    const auto at = [&](int ms) { return start.addMSecs(ms).toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")); };
    // Without a start, the seconds as the time readouts write them.
    const auto seconds = [](const char* text) { return QString::fromLatin1(text).replace(QLatin1Char('.'), QLocale().decimalPoint()) + " s"; };
    // A set is 0.2 ms; a time is the millisecond it falls in.
    const struct { std::int64_t set; QString withStart; QString without; } cases[] = {
        {0, at(0), seconds("0")},
        {2, at(0), seconds("0.0004")},
        {3, at(0), seconds("0.0006")},
        {5, at(1), seconds("0.001")},
        {8, at(1), seconds("0.0016")},
        {5'000 * 3600, at(3'600'000), seconds("3600")},
    };
    const SetClock withStart = ClockFrom(start);
    const SetClock without = ClockFrom(QDateTime());
    for (const auto& c : cases) {
        EXPECT_EQ(withStart(c.set), c.withStart) << c.set;
        EXPECT_EQ(without(c.set), c.without) << c.set;
    }
}

}  // namespace
}  // namespace altrix::testing
