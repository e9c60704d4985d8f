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

// F and View > Fit fit what a zoomed view shows: overlaid the vertical axis, in lanes every
// lane. A rectangle drawn in a lane zooms the time and that lane; every lane stays on the chart,
// and Back gives both back.
TEST_F(ChartViewTest, FitAndRectangleZoomFollowTheView) {
    // Channel 1: -20000 up to position 49999, then a saw 0..999; channel 2 at 500.
    for (int x = 0; x < kWindowPositions; ++x) {
        record().ChannelTrace[0][SlotOfPosition(record().NextSample, x)] =
            static_cast<std::int16_t>(x < 50000 ? -20000 : x % 1000);
        record().ChannelTrace[1][SlotOfPosition(record().NextSample, x)] = 500;
    }
    showChannel(1);
    chart().zoomHorizontal(70000, 70999);
    find<QAction>(QStringLiteral("FitAction"))->trigger();
    // Channel 1 over the view, 0..999, with a margin of 8 % of the height on both sides.
    EXPECT_NEAR(chart().yAxis->range().lower, -0.08 * 999, 1e-6);
    EXPECT_NEAR(chart().yAxis->range().upper, 999 * 1.08, 1e-6);

    showChannel(2);
    find<QAction>(QStringLiteral("LanesAction"))->trigger();
    ASSERT_TRUE(form_->display().LanesShown());
    EXPECT_EQ(chart().yAxis->range(), QCPRange(ScopeChart::kLeftMin, ScopeChart::kLeftMax)) << "every lane whole";
    chart().zoomHorizontal(10000, 10999);
    find<QAction>(QStringLiteral("FitAction"))->trigger();
    std::vector<Lane> lanes = form_->display().Lanes();
    ASSERT_EQ(lanes.size(), 2u);
    EXPECT_EQ(lanes[0].Fit.Lower, -22000);  // flat: widened by a tenth about its value
    EXPECT_EQ(lanes[0].Fit.Upper, -18000);

    // A rectangle over the lower lane (channel 2), from 60 % to 90 % of the height.
    const int height = chart().plotHeight(), width = chart().plotWidth();
    const QCPRange vertical = chart().yAxis->range();
    const auto rowValue = [&](int row) {
        return form_->display().ValueScale(2).valueAt(vertical.upper - double(row) / height * vertical.size());
    };
    const double top = rowValue(height * 6 / 10), bottom = rowValue(height * 9 / 10);
    const QCPRange time = chart().xAxis->range();
    QTest::mousePress(&chart(), Qt::LeftButton, {}, QPoint(width / 4, height * 6 / 10));
    QTest::mouseMove(&chart(), QPoint(width / 2, height * 9 / 10));
    QTest::mouseRelease(&chart(), Qt::LeftButton, {}, QPoint(width / 2, height * 9 / 10));
    EXPECT_NEAR(chart().xAxis->range().lower, time.lower + time.size() / 4, time.size() / width);
    EXPECT_NEAR(chart().xAxis->range().upper, time.lower + time.size() / 2, time.size() / width);
    EXPECT_EQ(chart().yAxis->range(), vertical) << "every lane stays";
    const std::vector<Lane> zoomed = form_->display().Lanes();
    ASSERT_EQ(zoomed.size(), 2u);
    EXPECT_EQ(zoomed[0].Fit.Lower, lanes[0].Fit.Lower);
    EXPECT_EQ(zoomed[0].Fit.Upper, lanes[0].Fit.Upper);
    const double tolerance = std::abs(top - bottom) / height * 2;
    EXPECT_NEAR(form_->display().ValueScale(2).valueAt(zoomed[1].Upper), top, tolerance);
    EXPECT_NEAR(form_->display().ValueScale(2).valueAt(zoomed[1].Lower), bottom, tolerance);

    // Back: the time and every lane as they were before the rectangle.
    find<QAction>(QStringLiteral("ZoomBackAction"))->trigger();
    EXPECT_EQ(chart().xAxis->range(), time);
    const std::vector<Lane> back = form_->display().Lanes();
    ASSERT_EQ(back.size(), 2u);
    for (std::size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].Fit.Lower, lanes[i].Fit.Lower) << i;
        EXPECT_EQ(back[i].Fit.Upper, lanes[i].Fit.Upper) << i;
    }
}

}  // namespace
}  // namespace altrix::testing
