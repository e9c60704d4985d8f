// Trigger > Find next / Find previous bound to the window: Ctrl+F3 and Ctrl+Shift+F3 search the
// recording on show, the status bar saying what they found, the chart showing it with a marker.

#include "FindControls.h"
#include "MainframeFixture.h"
#include "RecordingWriter.h"
#include "TestRecording.h"

#include <QAction>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

#include <thread>

namespace altrix::testing {
namespace {

class FindTest : public MainframeTest {
protected:
    QTemporaryDir dir_;
    std::string path_ = dir_.filePath(QStringLiteral("find.arec")).toStdString();
    QString status() const { return find<QStatusBar>(QStringLiteral("LinkStatusBar"))->currentMessage(); }
    // Presses the keys and waits while a search they started runs.
    QString press(Qt::KeyboardModifiers keys) {
        QTest::keyClick(form_, Qt::Key_F3, keys);
        for (int i = 0; i < 500 && status().startsWith(QLatin1String("Searching")); ++i) QTest::qWait(10);
        return status();
    }
};

// Where each press starts, what it finds and says: EventFinderTest.
TEST_F(FindTest, CtrlF3AndCtrlShiftF3FindThroughTheRecordingOnShowAndBringTheEventIntoView) {
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_));
    form_->display().SetTrigger({TriggerMode::Off, 2, TriggerCondition::Rising, "1000"});
    EXPECT_EQ(press(Qt::ControlModifier), QStringLiteral("Find works in an open recording (File > Open recording...)"));

    // Channel 2 rises through 1000 at sets 20000, 100000 and 180000 of 200000.
    RecordingWriter writer;
    ASSERT_EQ(writer.Create(path_, {"2026-12-07T03:00:00.000Z", "test", "", {}}), "");
    std::vector<std::int16_t> sets;
    for (std::int64_t n = 0; n < 200'000; ++n) sets.insert(sets.end(), {0, std::int16_t((n / 10000) % 8 == 2 ? 2000 : 0), 0, 0});
    ASSERT_TRUE(writer.Write(sets));
    prompts_.FileNames.push_back(QString::fromStdString(path_));
    find<QAction>(QStringLiteral("OpenRecording1"))->trigger();
    chart().xAxis->setRange(0, 1000);
    const struct { Qt::KeyboardModifiers keys; int event; } presses[] = {
        {Qt::ControlModifier, 20000}, {Qt::ControlModifier, 100000}, {Qt::ControlModifier | Qt::ShiftModifier, 20000}};
    for (const auto& [keys, event] : presses) {
        EXPECT_TRUE(press(keys).startsWith(QStringLiteral("Found at "))) << event;
        EXPECT_TRUE(chart().xAxis->range().contains(event)) << event;
        EXPECT_EQ(chart().eventMarker(), std::optional<double>(event));
    }
    // Another source on show takes the marker away: the same recording opened again.
    prompts_.FileNames.push_back(QString::fromStdString(path_));
    find<QAction>(QStringLiteral("OpenRecording1"))->trigger();
    EXPECT_EQ(chart().eventMarker(), std::nullopt);
}

struct CancelCase {
    const char* name;
    Qt::KeyboardModifiers keys;
    bool viewAtEnd;     // else at the start: the search has the whole recording before it
    const char* words;  // how the stopped search names its direction
};

// A search that lasts shows Cancel in the status bar once it has run half a second; Cancel ends
// it where it got to, and the status bar says so, and it searches no further.
TEST_F(FindTest, CancelInTheStatusBarEndsALongSearchAndSaysWhereItStopped) {
    // Searched at tens of millions of sets a second: several 40 ms slices.
    constexpr std::int64_t kSets = 8'000'000;
    ASSERT_EQ(WriteTestRecording(path_, kSets), "");
    prompts_.FileNames.push_back(QString::fromStdString(path_));
    find<QAction>(QStringLiteral("OpenRecording1"))->trigger();
    // Channel 1 rises through 0 once every 1000 sets while channel 2 stays at 0: no summary
    // rules a stretch out, and no set is an event.
    TriggerSettings never{TriggerMode::Off, 1, TriggerCondition::Rising, "0"};
    never.Join = TriggerJoin::And;
    never.Second = {2, TriggerCondition::Falling, "-1"};
    form_->display().SetTrigger(never);
    auto* cancel = find<QPushButton>(QStringLiteral("FindCancelButton"));
    ASSERT_NE(cancel, nullptr);
    const CancelCase table[] = {{"next", Qt::ControlModifier, false, "no event after"},
                                {"previous", Qt::ControlModifier | Qt::ShiftModifier, true, "no event before"}};
    for (const CancelCase& row : table) {
        SCOPED_TRACE(row.name);
        chart().xAxis->setRange(row.viewAtEnd ? kSets - 1000 : 0, row.viewAtEnd ? kSets - 1 : 1000);
        QTest::keyClick(form_, Qt::Key_F3, row.keys);
        ASSERT_TRUE(status().startsWith(QStringLiteral("Searching"))) << status().toStdString();
        EXPECT_TRUE(cancel->isHidden()) << "not before half a second";
        // The window's thread is held past half a second: the next slice shows Cancel.
        std::this_thread::sleep_for(std::chrono::milliseconds(FindControls::kCancelDelayMs + 100));
        ASSERT_TRUE(QTest::qWaitFor([cancel] { return !cancel->isHidden(); }, 5000)) << status().toStdString();
        ASSERT_TRUE(status().startsWith(QStringLiteral("Searching"))) << "still searching when Cancel shows";
        QTest::mouseClick(cancel, Qt::LeftButton);
        const QString stopped = status();
        EXPECT_TRUE(stopped.startsWith(QStringLiteral("Find stopped at ")) && stopped.contains(QLatin1String(row.words)))
            << stopped.toStdString();
        EXPECT_TRUE(cancel->isHidden());
        QTest::qWait(200);
        EXPECT_EQ(status(), stopped) << "no slice after Cancel";
    }
}

}  // namespace
}  // namespace altrix::testing
