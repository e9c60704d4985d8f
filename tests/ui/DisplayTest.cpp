// The window's drawing controls bound to the display: the mode commands name their mode, the
// zoom buttons scale every axis of the chart and hand its view to the display, RUN's alignment
// of the chart's view, and the chart's pixel columns at its actual width. What the display
// draws for a mode or a view is tested without a window (tests/display).

#include "MainframeFixture.h"

#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QToolButton>

#include <cmath>
#include <utility>
#include <vector>

namespace altrix::testing {
namespace {

class DisplayTest : public MainframeTest {
protected:
    void click(const char* button) { QTest::mouseClick(find<QToolButton>(button), Qt::LeftButton); }
    void chooseMode(const char* item) { find<QAction>(item)->trigger(); }
};

// Each command sets the display's mode, checks its own item only and names the mode in a label
// wide enough for it; the chart paints once at once, and its paint has the display recount
// (High precision: from its menu count 10000 to 20000 for the full view).
TEST_F(DisplayTest, ModeCommandsSetAndNameTheirMode) {
    const char* const items[] = {"SimplifiedModefastestdrawingbutlowprecision1", "FastMode1", "EnvelopeMode1",
                                 "HighprecisionMode"};
    const struct {
        const char* item;
        DrawingMode mode;
        const char* caption;
        QColor colour;
        std::int32_t viewPointCount;
    } modes[] = {
        {items[0], DrawingMode::Simplified, "Drawing Mode : Simplified Mode", QColor(0x00, 0x80, 0x00), 2500},
        {items[1], DrawingMode::Fast, "Drawing Mode : Fast Mode", QColor(0x00, 0x00, 0xFF), 6500},
        {items[2], DrawingMode::Envelope, "Drawing Mode : Envelope Mode", QColor(0x80, 0x00, 0x80), 100000},
        {items[3], DrawingMode::HighPrecision, "Drawing Mode : High precision Mode", QColor(0xFF, 0x00, 0x00), 20000},
    };
    auto* label = find<QLabel>("Label21");
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.item);
        QSignalSpy repaints(&chart(), &ScopeChart::beforeDrawSeries);
        chooseMode(mode.item);
        EXPECT_EQ(repaints.count(), 1);
        EXPECT_EQ(form_->display().Mode(), mode.mode);
        EXPECT_EQ(view().DrawPointCount, mode.viewPointCount);
        EXPECT_EQ(label->text(), QString::fromLatin1(mode.caption));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), mode.colour);
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
        for (const char* other : items) EXPECT_EQ(find<QAction>(other)->isChecked(), other == mode.item) << other;
    }
}

// The density follows the view the zoom buttons give (High precision: 0.8 per click).
TEST_F(DisplayTest, ZoomInClicksReachTheDisplaysDensity) {
    const std::pair<int, std::int32_t> table[] = {{3, 20000}, {4, 50000}, {6, 100000}, {0, 20000}};
    for (const auto& [clicks, count] : table) {
        click("SpeedButton4");
        for (int n = 0; n < clicks; ++n) click("SpeedButton5");
        EXPECT_EQ(view().DrawPointCount, count) << clicks;
    }
}

// A view beyond every integer type reaches the display whole.
TEST_F(DisplayTest, ZoomingOutWithoutBoundKeepsTheWidestRow) {
    for (int n = 0; n < 250; ++n) click("SpeedButton6");  // the view grows by 1.2^250
    EXPECT_GT(chart().xAxis->range().size(), 1e20);
    EXPECT_EQ(view().DrawPointCount, 20000);
}

struct View {
    std::vector<const char*> buttons;
    QCPRange bottom, left, top, right;
    PositionStretch positions;  // the whole positions in view, as the display takes them
};

TEST_F(DisplayTest, ZoomButtonsScaleEveryAxisAboutItsCentre) {
    const QCPRange fullBottom(0, 99999), fullLeft(-33000, 33000), fullRight(-32768, 32767);
    const PositionStretch all{0, 99999};
    const View views[] = {
        {{"SpeedButton5"}, {9999.9, 89999.1}, {-26400, 26400}, {9999.9, 89999.1}, {-26214.5, 26213.5}, {10000, 89999}},
        {{"SpeedButton6"}, {-9999.9, 109998.9}, {-39600, 39600}, {-9999.9, 109998.9}, {-39321.5, 39320.5}, all},
        {{"SpeedButton5", "SpeedButton6"}, {1999.98, 97999.02}, {-31680, 31680}, {1999.98, 97999.02}, {-31457.3, 31456.3},
         {2000, 97999}},
        {{"SpeedButton5", "SpeedButton6", "SpeedButton4"}, fullBottom, fullLeft, fullBottom, fullRight, all},
        {{"SpeedButton4"}, fullBottom, fullLeft, fullBottom, fullRight, all},
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
        EXPECT_EQ(form_->display().ViewStretch(), view.positions);
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

// The pixel rule at the chart's actual width: the columns the display's envelope takes, the
// cursor's position and RUN's alignment follow it.
TEST_F(DisplayTest, ThePixelRuleFollowsTheChartsWidth) {
    showChannel(1);
    for (int slot = 0; slot < kTraceSlots; ++slot) record().ChannelTrace[0][slot] = static_cast<std::int16_t>(slot % 2);
    chooseMode("EnvelopeMode1");
    for (const int width : {500, 1000, 1920}) {
        SCOPED_TRACE(width);
        chart().resize(width, 360);
        chart().replot();
        EXPECT_EQ(chart().pointCount(1), 2 * width + 1);  // a column's lowest and highest, the right edge
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
