// Trace drawing, drawing modes, the density recount on repaint, references and zoom, driven
// through the live window with the capture record filled directly.

#include "MainframeFixture.h"

#include "Readout.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace altrix::testing {
namespace {

// A sample per slot that differs between neighbours and takes both signs.
std::int16_t Pattern(int index) {
    return static_cast<std::int16_t>((index * 37) % 60001 - 30000);
}

int SlotShownAt(int nextSample, int x) {
    return (nextSample + x - 100000 + 200000) % 200000;
}

class DisplayTest : public MainframeTest {
protected:
    void fillChannel(int channel, std::int16_t (*sample)(int)) {
        for (int slot = 0; slot < kTraceSlots; ++slot) record().ChannelTrace[channel - 1][slot] = sample(slot);
    }
    void setAllSamples(int channel, std::int16_t value) {
        record().ChannelTrace[channel - 1].fill(value);
    }
    void click(const char* button) { QTest::mouseClick(find<QToolButton>(button), Qt::LeftButton); }
    void chooseMode(const char* item) { find<QAction>(item)->trigger(); }
};

TEST_F(DisplayTest, MultiChannelRedrawsDrawOnlyShownChannels) {
    showChannel(1);
    showChannel(2, QString());   // ticked, but no address
    showChannel(4);
    find<QLineEdit>("Edit3")->setText(QStringLiteral("9004"));  // ticks the box...
    find<QCheckBox>("CheckBox3")->setChecked(false);            // ...address, but not ticked
    for (int series : {2, 3}) {
        chart().addPoint(series, 0, 1);
        chart().addPoint(series, 1, 1);
    }
    chooseMode("FastMode1");
    EXPECT_EQ(chart().pointCount(1), 6668);
    EXPECT_EQ(chart().pointCount(2), 0);
    EXPECT_EQ(chart().pointCount(3), 0);
    EXPECT_EQ(chart().pointCount(4), 6668);
}

struct Mode {
    const char* item;
    const char* caption;
    QColor colour;
    std::int32_t viewPointCount;  // after the repaint that follows, at the full view
    int channelPoints;
    int refPoints;                // drawn by the command's DrawRef, at the menu count
};

TEST_F(DisplayTest, ModeCommandsDrawAndNameTheirMode) {
    const Mode modes[] = {
        {"SimplifiedModefastestdrawingbutlowprecision1", "Drawing Mode : Simplified Mode", QColor(0x00, 0x80, 0x00), 2500, 2501, 2501},
        {"FastMode1", "Drawing Mode : Fast Mode", QColor(0x00, 0x00, 0xFF), 6500, 6668, 6668},
        {"HighprecisionMode", "Drawing Mode : High precision Mode", QColor(0xFF, 0x00, 0x00), 20000, 20001, 10001},
        {"FastMode1", "Drawing Mode : Fast Mode", QColor(0x00, 0x00, 0xFF), 6500, 6668, 6668},
    };
    showChannel(1);
    find<QCheckBox>("CheckBox5")->setChecked(true);
    auto* label = find<QLabel>("Label21");
    for (const Mode& mode : modes) {
        QSignalSpy repaints(&chart(), &ScopeChart::beforeDrawSeries);
        chooseMode(mode.item);
        EXPECT_EQ(repaints.count(), 1) << mode.item;
        EXPECT_EQ(label->text(), QString::fromLatin1(mode.caption));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), mode.colour) << mode.item;
        EXPECT_EQ(view().DrawPointCount, mode.viewPointCount) << mode.item;
        EXPECT_EQ(chart().pointCount(1), mode.channelPoints) << mode.item;
        EXPECT_EQ(chart().pointCount(8), mode.refPoints) << mode.item;
        EXPECT_TRUE(view().ReadoutEnabled) << mode.item;
        for (const char* other : {"SimplifiedModefastestdrawingbutlowprecision1", "FastMode1", "HighprecisionMode"})
            EXPECT_EQ(find<QAction>(other)->isChecked(), std::string(other) == mode.item) << mode.item;
    }
}

// The repaint after a mode command recounts the points, but refills the channels only when
// the count changed.
TEST_F(DisplayTest, RepaintRedrawsOnlyWhenTheCountChanges) {
    showChannel(1);
    view().ChannelScale[0] = 1.0f;
    fillChannel(1, Pattern);
    chooseMode("SimplifiedModefastestdrawingbutlowprecision1");
    const std::vector<Point> drawn = PointsOf(chart(), 1);
    ASSERT_EQ(drawn.size(), 2501u);

    setAllSamples(1, 7);
    chart().replot();
    EXPECT_EQ(PointsOf(chart(), 1), drawn);  // same count: nothing refilled

    for (int n = 0; n < 4; ++n) click("SpeedButton5");
    EXPECT_EQ(view().DrawPointCount, 5000);
    const std::vector<Point> redrawn = PointsOf(chart(), 1);
    ASSERT_EQ(redrawn.size(), 5001u);
    EXPECT_EQ(redrawn.front().y, 7);
}

TEST_F(DisplayTest, TheRecountLeavesTheReferencesAlone) {
    showChannel(1);
    find<QCheckBox>("CheckBox5")->setChecked(true);
    chooseMode("HighprecisionMode");
    ASSERT_EQ(chart().pointCount(8), 10001);
    for (int n = 0; n < 6; ++n) click("SpeedButton5");
    EXPECT_EQ(chart().pointCount(1), 99999);
    EXPECT_EQ(chart().pointCount(8), 10001);
}

TEST_F(DisplayTest, DensityFollowsZoomInClicksInEveryMode) {
    struct Row {
        const char* item;
        std::array<std::int32_t, 6> counts;  // after 1 .. 6 clicks
    };
    const Row rows[] = {
        {"SimplifiedModefastestdrawingbutlowprecision1", {2500, 2500, 2500, 5000, 5000, 10000}},
        {"FastMode1", {6500, 6500, 6500, 10000, 10000, 20000}},
        {"HighprecisionMode", {20000, 20000, 20000, 50000, 50000, 100000}},
    };
    const std::map<std::int32_t, int> pointsDrawn = {{2500, 2501},   {5000, 5001},   {6500, 6668},
                                                     {10000, 10001}, {20000, 20001}, {50000, 50001},
                                                     {100000, 99999}};
    showChannel(2);
    for (const Row& row : rows) {
        click("SpeedButton4");
        chooseMode(row.item);
        for (std::size_t clicks = 0; clicks < row.counts.size(); ++clicks) {
            click("SpeedButton5");
            const std::int32_t count = row.counts[clicks];
            EXPECT_EQ(view().DrawPointCount, count) << row.item << " after " << clicks + 1;
            EXPECT_EQ(chart().pointCount(2), pointsDrawn.at(count)) << row.item << " after " << clicks + 1;
        }
    }
}

TEST_F(DisplayTest, RowsChangeAtWholeNumberWidths45000And30000) {
    struct Width {
        double left, right;
        std::int32_t count;
    };
    const Width table[] = {{1000, 46000, 20000},   {1000, 45999, 50000}, {1000.7, 46000.2, 20000},
                           {1000, 31000, 50000},   {1000, 30999, 100000}, {-5.5, 99999, 20000}};
    for (const Width& row : table) {
        chart().xAxis->setRange(row.left, row.right);
        chart().replot();
        EXPECT_EQ(view().DrawPointCount, row.count) << row.left << ".." << row.right;
    }
}

TEST_F(DisplayTest, ZoomingOutWithoutBoundKeepsTheWidestRow) {
    for (int n = 0; n < 250; ++n) click("SpeedButton6");  // the view grows by 1.2^250
    EXPECT_GT(chart().xAxis->range().size(), 1e20);
    EXPECT_EQ(view().DrawPointCount, 20000);
}

TEST_F(DisplayTest, ZoomingDuringACaptureKeepsTheCount) {
    showChannel(1);
    const int drawn = chart().pointCount(1);
    setCaptureRunning(true);
    view().DrawPointCount = 10000;
    for (int n = 0; n < 6; ++n) click("SpeedButton5");
    EXPECT_EQ(view().DrawPointCount, 10000);
    EXPECT_EQ(chart().pointCount(1), drawn);
}

struct View {
    std::vector<const char*> buttons;
    QCPRange bottom, left, top, right;
};

TEST_F(DisplayTest, ZoomButtonsScaleEveryAxisAboutItsCentre) {
    const QCPRange fullBottom(0, 99999), fullLeft(-33000, 33000), fullRight(-32768, 32767);
    const View views[] = {
        {{"SpeedButton5"}, {9999.9, 89999.1}, {-26400, 26400}, {9999.9, 89999.1}, {-26214.5, 26213.5}},
        {{"SpeedButton6"}, {-9999.9, 109998.9}, {-39600, 39600}, {-9999.9, 109998.9}, {-39321.5, 39320.5}},
        {{"SpeedButton5", "SpeedButton6"}, {1999.98, 97999.02}, {-31680, 31680}, {1999.98, 97999.02}, {-31457.3, 31456.3}},
        {{"SpeedButton5", "SpeedButton6", "SpeedButton4"}, fullBottom, fullLeft, fullBottom, fullRight},
        {{"SpeedButton4"}, fullBottom, fullLeft, fullBottom, fullRight},
    };
    for (const View& view : views) {
        click("SpeedButton4");
        for (const char* button : view.buttons) {
            QSignalSpy repaints(&chart(), &ScopeChart::beforeDrawSeries);
            click(button);
            EXPECT_EQ(repaints.count(), 1) << button;
        }
        const auto expectRange = [](const QCPRange& actual, const QCPRange& expected) {
            EXPECT_NEAR(actual.lower, expected.lower, 1e-6);
            EXPECT_NEAR(actual.upper, expected.upper, 1e-6);
        };
        expectRange(chart().xAxis->range(), view.bottom);
        expectRange(chart().yAxis->range(), view.left);
        expectRange(chart().xAxis2->range(), view.top);
        expectRange(chart().yAxis2->range(), view.right);
        // The plot area spans exactly pixel columns 0 to 1000.
        EXPECT_NEAR(chart().valueAtPixel(0), view.bottom.lower, 1e-6);
        EXPECT_NEAR(chart().valueAtPixel(1000), view.bottom.upper, 1e-6);
    }
    EXPECT_FALSE(chart().isZoomed());
}

TEST_F(DisplayTest, AlignmentMovesTheViewToTheNewestSample) {
    click("SpeedButton5");  // 9999.9 .. 89999.1
    form_->chartView().AlignViewToNewest();
    EXPECT_NEAR(chart().xAxis->range().lower, 19999.8, 1e-6);
    EXPECT_NEAR(chart().xAxis->range().upper, 99999.0, 1e-6);
    EXPECT_NEAR(chart().yAxis->range().lower, -26400, 1e-6);  // values stay as they are
    EXPECT_NEAR(chart().yAxis->range().upper, 26400, 1e-6);

    click("SpeedButton4");
    form_->chartView().AlignViewToNewest();  // the full view already ends at 99999
    EXPECT_NEAR(chart().xAxis->range().lower, 0, 1e-6);
    EXPECT_NEAR(chart().xAxis->range().upper, 99999, 1e-6);
    EXPECT_TRUE(chart().isZoomed());
}

TEST_F(DisplayTest, AlignmentLeavesAViewNarrowerThanOneSample) {
    chart().xAxis->setRange(500.2, 500.7);
    form_->chartView().AlignViewToNewest();
    EXPECT_DOUBLE_EQ(chart().xAxis->range().lower, 500.2);
    EXPECT_DOUBLE_EQ(chart().xAxis->range().upper, 500.7);
}

TEST_F(DisplayTest, AlignmentFromAViewFarAwayMovesItRightwardsWithoutOverflow) {
    chart().xAxis->setRange(-1e12, -1e12 + 3);  // three samples wide, far to the left
    form_->chartView().AlignViewToNewest();
    EXPECT_GT(chart().xAxis->range().lower, -1e12);
    EXPECT_NEAR(chart().xAxis->range().size(), 3, 1e-3);
}

// A file of ten sample sets with one spike on channel 1; loaded, it fills positions
// 99990..99999, and the spike lies at 99992, between the samples High precision picks.
TEST_F(DisplayTest, TheEnvelopeReachesALoadedSpikeAndFollowsTheView) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("spike.wfd"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    for (int line = 0; line < 10; ++line) out.write(line == 2 ? "0.0006 12345 0 0 0\r\n" : "0.0002 0 0 0 0\r\n");
    out.close();
    record().ReferenceTrace[0][777] = -5000;
    find<QCheckBox>("CheckBox5")->setChecked(true);

    chooseMode("EnvelopeMode1");
    EXPECT_EQ(find<QLabel>("Label21")->text(), QStringLiteral("Drawing Mode : Envelope Mode"));
    EXPECT_EQ(find<QLabel>("Label21")->palette().color(QPalette::WindowText), QColor(0x80, 0x00, 0x80));
    EXPECT_FALSE(find<QAction>("HighprecisionMode")->isChecked());
    prompts_.FileNames = {file};
    find<QAction>("Loadwaveformfile1")->trigger();
    const auto highest = [this](int series) {
        const Points points = PointsOf(chart(), series);
        return std::max_element(points.begin(), points.end(), [](Point a, Point b) { return a.y < b.y; })->y;
    };
    EXPECT_EQ(highest(1), 12345);
    EXPECT_LE(chart().pointCount(1), 2 * ScopeChart::kWidth + 2);
    const Points ref = PointsOf(chart(), 8);
    EXPECT_NE(std::find(ref.begin(), ref.end(), Point{777, -5000}), ref.end());

    // A zoom keeps the point count but redraws for the new view, while stopped or running.
    for (const bool running : {false, true}) {
        click("SpeedButton4");
        find<QPushButton>("Button1")->setEnabled(!running);
        click("SpeedButton5");  // 9999.9 .. 89999.1
        EXPECT_EQ(PointsOf(chart(), 1).front().x, 9999) << running;
        EXPECT_EQ(PointsOf(chart(), 8).back().x, 90000) << running;
    }
    find<QPushButton>("Button1")->setEnabled(true);
    click("SpeedButton4");
    chooseMode("HighprecisionMode");
    EXPECT_EQ(highest(1), 0);
}

// The pixel rule at the chart's actual width: the envelope's columns, the cursor's position and
// RUN's alignment follow it.
TEST_F(DisplayTest, ThePixelRuleFollowsTheChartsWidth) {
    showChannel(1);
    fillChannel(1, Pattern);
    chooseMode("EnvelopeMode1");
    for (const int width : {500, 1000, 1920}) {
        SCOPED_TRACE(width);
        chart().resize(width, 360);
        chart().replot();
        EXPECT_LE(chart().pointCount(1), 2 * width + 2);
        EXPECT_GT(chart().pointCount(1), width);
        for (const int x : {0, width / 3 + 1, width - 1}) {
            form_->Chart1MouseMove(x);
            EXPECT_EQ(form_->display().View().CursorPosition, static_cast<int>(x * 99999.0 / width)) << x;
        }
        click("SpeedButton5");  // 9999.9 .. 89999.1
        form_->chartView().AlignViewToNewest();
        const QCPRange view = chart().xAxis->range();
        EXPECT_NEAR(view.size(), 79999.2, 1e-6);
        EXPECT_LE(std::abs(view.upper - 99999), view.size() / width);  // within one column
        click("SpeedButton4");
    }
}

}  // namespace
}  // namespace altrix::testing
