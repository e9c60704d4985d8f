// RUN starts a live view of its own: after a live capture the view keeps its width and moves
// to the newest sets; after a file or a recording it shows the whole window, whatever view the
// file had. Either way the views before RUN are not steps back within the new capture.

#include "LiveDriveFixture.h"

#include "WaveformFile.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

namespace altrix::testing {
namespace {

class ChartViewTest : public LiveDriveTest {
protected:
    void open(const char* action, const QString& file) {
        prompts_.FileNames = {file};
        find<QAction>(QLatin1String(action))->trigger();
    }
    // A file names no addresses: RUN takes them typed again.
    void run() {
        for (int k = 1; k <= kChannelCount; ++k) typeAddress(k, QStringLiteral("9000"));
        click("Button1");
        ASSERT_TRUE(timerActive());
        ASSERT_TRUE(tickUntil([&] { return record().SetCount > 500; }));
    }
    void stop() {
        click("Button2");
        ASSERT_TRUE(WaitUntil([&] { return !timerActive(); }));
    }
    QTemporaryDir dir_;
};

TEST_F(ChartViewTest, RunShowsTheNewestSetsWhateverTheViewBefore) {
    ASSERT_TRUE(dir_.isValid());
    const QString file = dir_.filePath(QStringLiteral("ten.wfd"));
    record().NextSample = 10;
    ASSERT_TRUE(WriteWaveformFile(record(), file.toStdString(), '.').Ok);
    const QString recording = dir_.filePath(QStringLiteral("one_second.arec"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ALTRIX_TEST_DATA_DIR "/one_second.arec"), recording));
    startDrive({}, 4.0);

    // Each source zoomed to 2 ms (ten sets) before RUN.
    const struct {
        const char* before;
        std::function<void()> show;
        double lower, upper;  // the view after RUN
    } cases[] = {
        {"a live capture", [&] { ASSERT_NO_FATAL_FAILURE(run()); stop(); }, 99989, 99999},
        {"a loaded file", [&] { open("Loadwaveformfile1", file); }, 0, 99999},
        {"a recording", [&] { open("OpenRecording1", recording); }, 0, 99999},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        c.show();
        chart().zoomHorizontal(49990, 50000);
        ASSERT_NO_FATAL_FAILURE(run());
        // A live view keeps its width to the pixel the shift is rounded to.
        const double pixel = (c.upper - c.lower) / chart().plotWidth();
        EXPECT_NEAR(chart().xAxis->range().lower, c.lower, pixel);
        EXPECT_NEAR(chart().xAxis->range().upper, c.upper, pixel);
        EXPECT_GT(chart().pointCount(1), 0) << "the live trace is in view";
        find<QAction>(QStringLiteral("ZoomBackAction"))->trigger();
        EXPECT_NEAR(chart().xAxis->range().upper, c.upper, pixel) << "no step back out of the capture";
        stop();
    }
}

}  // namespace
}  // namespace altrix::testing
