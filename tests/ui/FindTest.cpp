// Trigger > Find next / Find previous through an open recording: F3 goes from event to event
// in order, Shift+F3 back, the status bar saying where; without a recording or with a level
// that is no number they only say why.

#include "MainframeFixture.h"
#include "RecordingWriter.h"

#include <QAction>
#include <QStatusBar>

#include <filesystem>

namespace altrix::testing {
namespace {

class FindTest : public MainframeTest {
protected:
    std::string path_ = (std::filesystem::temp_directory_path() / ("altrix-find-" + std::to_string(::getpid()) + ".arec")).string();

    void TearDown() override {
        MainframeTest::TearDown();
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
    }
    QString status() const { return find<QStatusBar>(QStringLiteral("LinkStatusBar"))->currentMessage(); }
    // Triggers the action and waits while a search it started runs.
    QString press(const char* action) {
        find<QAction>(QString::fromLatin1(action))->trigger();
        for (int i = 0; i < 500 && status().startsWith(QLatin1String("Searching")); ++i) QTest::qWait(10);
        return status();
    }
};

TEST_F(FindTest, F3GoesToTheEventsInOrderAndShiftF3BackWithTheStatusBarSayingWhere) {
    form_->display().SetTrigger({TriggerMode::Off, 2, TriggerCondition::Rising, "1000"});
    EXPECT_EQ(press("FindNextAction"), QStringLiteral("Find works in an open recording (File > Open recording...)"));

    // Channel 2 rises through 1000 at sets 20000, 100000 and 170000 of 200000.
    RecordingWriter writer;
    ASSERT_EQ(writer.Create(path_, {"2026-12-07T03:00:00.000Z", "test", "", {}}), "");
    std::vector<std::int16_t> sets;
    for (std::int64_t n = 0; n < 200'000; ++n)
        sets.insert(sets.end(), {0, std::int16_t((n >= 20000 && n < 90000) || (n / 10000) % 7 == 3 ? 2000 : 0), 0, 0});
    ASSERT_TRUE(writer.Write(sets));
    writer.Close();
    prompts_.FileNames.push_back(QString::fromStdString(path_));
    press("OpenRecording1");
    chart().xAxis->setRange(0, 1000);
    const QDateTime start = QDateTime::fromString(QStringLiteral("2026-12-07T03:00:00.000Z"), Qt::ISODateWithMs);
    const auto at = [&](std::int64_t set) { return start.addMSecs(set / 5).toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz")); };
    for (const std::int64_t event : {20000, 100000, 170000}) {
        EXPECT_EQ(press("FindNextAction"), QStringLiteral("Found at %1 (set %2)").arg(at(event), QLocale().toString(event)));
        EXPECT_TRUE(chart().xAxis->range().contains(event)) << event;
    }
    EXPECT_EQ(press("FindNextAction"), QStringLiteral("No event after %1 to the end of the recording").arg(at(170000)));
    EXPECT_EQ(press("FindPreviousAction"), QStringLiteral("Found at %1 (set %2)").arg(at(100000), QLocale().toString(100000)));

    form_->display().SetTrigger({TriggerMode::Off, 2, TriggerCondition::Rising, "1e3"});
    EXPECT_EQ(press("FindNextAction"), QStringLiteral("Find needs a trigger level: \"1e3\" (channel 2) is no number"));
}

}  // namespace
}  // namespace altrix::testing
