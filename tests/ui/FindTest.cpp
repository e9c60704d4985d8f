// Trigger > Find next / Find previous bound to the window: Ctrl+F3 and Ctrl+Shift+F3 search the
// recording on show, the status bar saying what they found, the chart showing it with a marker.

#include "MainframeFixture.h"
#include "RecordingWriter.h"

#include <QAction>
#include <QStatusBar>
#include <QTemporaryDir>

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

}  // namespace
}  // namespace altrix::testing
