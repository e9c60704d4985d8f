// Trigger > Find next / Find previous through an open recording: Ctrl+F3 goes from event to
// event in order, Ctrl+Shift+F3 back, the status bar saying where; without a recording or with a level
// that is no number they only say why.

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

TEST_F(FindTest, CtrlF3GoesToTheEventsInOrderAndCtrlShiftF3BackWithTheStatusBarSayingWhere) {
    form_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_));
    form_->display().SetTrigger({TriggerMode::Off, 2, TriggerCondition::Rising, "1000"});
    EXPECT_EQ(press(Qt::ControlModifier), QStringLiteral("Find works in an open recording (File > Open recording...)"));

    // Channel 2 rises through 1000 at sets 20000, 100000 and 170000 of 200000.
    RecordingWriter writer;
    ASSERT_EQ(writer.Create(path_, {"2026-12-07T03:00:00.000Z", "test", "", {}}), "");
    std::vector<std::int16_t> sets;
    for (std::int64_t n = 0; n < 200'000; ++n)
        sets.insert(sets.end(), {0, std::int16_t((n >= 20000 && n < 90000) || (n / 10000) % 7 == 3 ? 2000 : 0), 0, 0});
    ASSERT_TRUE(writer.Write(sets));
    prompts_.FileNames.push_back(QString::fromStdString(path_));
    find<QAction>(QStringLiteral("OpenRecording1"))->trigger();
    chart().xAxis->setRange(0, 1000);
    const QDateTime start = QDateTime::fromString(QStringLiteral("2026-12-07T03:00:00.000Z"), Qt::ISODateWithMs);
    const auto at = [&](std::int64_t set) { return start.addMSecs(set / 5).toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz")); };
    for (const std::int64_t event : {20000, 100000, 170000}) {
        EXPECT_EQ(press(Qt::ControlModifier), QStringLiteral("Found at %1 (set %2)").arg(at(event), QLocale().toString(event)));
        EXPECT_TRUE(chart().xAxis->range().contains(event)) << event;
    }
    EXPECT_EQ(press(Qt::ControlModifier), QStringLiteral("No event after %1 to the end of the recording").arg(at(170000)));
    EXPECT_EQ(press(Qt::ControlModifier | Qt::ShiftModifier), QStringLiteral("Found at %1 (set %2)").arg(at(100000), QLocale().toString(100000)));

    form_->display().SetTrigger({TriggerMode::Off, 2, TriggerCondition::Rising, "1e3"});
    EXPECT_EQ(press(Qt::ControlModifier), QStringLiteral("Find needs a trigger level: \"1e3\" (channel 2) is no number"));
}

}  // namespace
}  // namespace altrix::testing
