// The drawing modes, the density recount before each paint as the view changes, the references
// beside it, and the envelope following the view: the display drawing into a recording sink
// that paints as the chart does, its view set as the chart hands it over.

#include "ScopeDisplay.h"

#include "RecordingSink.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace altrix::testing {
namespace {

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override { display_.SetSink(&sink_); }
    CaptureRecord& record() { return session_.record(); }
    // Enabled with an address.
    void showChannel(int k) { display_.SetChannelAddress(k, QStringLiteral("9000")); }
    // The chart shows lower .. upper over `columns` pixel columns, and paints.
    void showView(double lower, double upper, int columns = 1000) {
        display_.SetView({lower, upper, columns}, lower, upper);
        sink_.paint();
    }
    std::size_t pointsOf(int series) { return sink_.series[series].size(); }
    double highest(int series) {
        const std::vector<Point>& points = sink_.series[series];
        return std::max_element(points.begin(), points.end(), [](Point a, Point b) { return a.second < b.second; })
            ->second;
    }
    // The session as a running capture leaves it, without a port: its tick active, held off.
    void setCaptureRunning(bool running) {
        QTimer* tick = session_.findChild<QTimer*>(QStringLiteral("Timer1"));
        ASSERT_NE(tick, nullptr);
        tick->stop();
        if (running) tick->start(std::chrono::hours(1));
    }

    CaptureSession session_;
    ScopeDisplay display_{session_};
    RecordingSink sink_{display_};
};

// A redraw of every channel (a mode command's) draws the shown ones and empties the others:
// ticked without an address, or with an address but unticked.
TEST_F(DrawingTest, RedrawsDrawOnlyShownChannels) {
    showChannel(1);
    display_.SetChannelEnabled(2, true);
    showChannel(3);
    display_.SetChannelEnabled(3, false);
    showChannel(4);
    for (int series : {2, 3}) sink_.series[series] = {{0, 1}, {1, 1}};
    display_.ChooseDrawingMode(DrawingMode::Fast);
    EXPECT_EQ(pointsOf(1), 6668u);  // stride 15: 0 .. 99990, then 99999
    EXPECT_EQ(pointsOf(2), 0u);
    EXPECT_EQ(pointsOf(3), 0u);
    EXPECT_EQ(pointsOf(4), 6668u);
}

// A mode command draws the channels and references at its menu count, then paints once at once;
// that paint recounts the channels for the full view (High precision: 10000, then 20000).
TEST_F(DrawingTest, ModeCommandsDrawAtTheirCountAndPaintOnce) {
    struct Row {
        DrawingMode mode;
        std::int32_t viewPointCount;  // after the paint
        std::size_t channelPoints;
        std::size_t refPoints;  // at the menu count
    };
    const Row table[] = {
        {DrawingMode::Simplified, 2500, 2501, 2501},      // stride 40
        {DrawingMode::Fast, 6500, 6668, 6668},            // stride 15
        {DrawingMode::HighPrecision, 20000, 20001, 10001},  // strides 5 and 10
        {DrawingMode::Fast, 6500, 6668, 6668},
    };
    showChannel(1);
    display_.SetReferenceShown(1, true);
    QSignalSpy named(&display_, &ScopeDisplay::drawingModeChanged);
    for (const Row& row : table) {
        const int paints = sink_.paints;
        named.clear();
        display_.ChooseDrawingMode(row.mode);
        EXPECT_EQ(sink_.paints - paints, 1);
        EXPECT_EQ(display_.Mode(), row.mode);
        ASSERT_EQ(named.count(), 1);
        EXPECT_EQ(named[0][0].value<DrawingMode>(), row.mode);
        EXPECT_EQ(display_.View().DrawPointCount, row.viewPointCount);
        EXPECT_EQ(pointsOf(1), row.channelPoints);
        EXPECT_EQ(pointsOf(SeriesOfTrace(5)), row.refPoints);
        EXPECT_TRUE(display_.View().ReadoutEnabled);
    }
}

// The paint recounts the points, but refills the channels only when the count changed.
TEST_F(DrawingTest, APaintRedrawsOnlyWhenTheCountChanges) {
    showChannel(1);
    display_.View().ChannelScale[0] = 1.0f;
    for (int slot = 0; slot < kTraceSlots; ++slot) record().ChannelTrace[0][slot] = Pattern(slot);
    display_.ChooseDrawingMode(DrawingMode::Simplified);
    const std::vector<Point> drawn = sink_.series[1];
    ASSERT_EQ(drawn.size(), 2501u);

    record().ChannelTrace[0].fill(7);
    sink_.paint();
    EXPECT_EQ(sink_.series[1], drawn);  // same count: nothing refilled

    showView(30000, 70000);  // 40 % of the window: 5000
    EXPECT_EQ(display_.View().DrawPointCount, 5000);
    ASSERT_EQ(pointsOf(1), 5001u);
    EXPECT_EQ(sink_.series[1].front(), (Point{0, 7}));
}

TEST_F(DrawingTest, TheRecountLeavesTheReferencesAlone) {
    showChannel(1);
    display_.SetReferenceShown(1, true);
    display_.ChooseDrawingMode(DrawingMode::HighPrecision);
    ASSERT_EQ(pointsOf(SeriesOfTrace(5)), 10001u);
    showView(40000, 60000);  // 20 %: 100000
    EXPECT_EQ(pointsOf(1), 99999u);  // stride 1 ends at 99998
    EXPECT_EQ(pointsOf(SeriesOfTrace(5)), 10001u);
}

// Stopped, the count follows the visible share r of the window, taken between whole positions:
// r > 0.45, 0.3 <= r <= 0.45, r < 0.3. The rows change at the widths 45000 and 30000 exactly,
// and a view zoomed out without bound keeps the widest row.
TEST_F(DrawingTest, TheCountFollowsTheViewInEveryMode) {
    struct Row {
        DrawingMode mode;
        double left, right;
        std::int32_t count;
        std::size_t points;
    };
    const Row table[] = {
        {DrawingMode::Simplified, 10000, 90000, 2500, 2501},
        {DrawingMode::Simplified, 30000, 70000, 5000, 5001},
        {DrawingMode::Simplified, 40000, 60000, 10000, 10001},
        {DrawingMode::Fast, 10000, 90000, 6500, 6668},
        {DrawingMode::Fast, 30000, 70000, 10000, 10001},
        {DrawingMode::Fast, 40000, 60000, 20000, 20001},
        {DrawingMode::HighPrecision, 10000, 90000, 20000, 20001},
        {DrawingMode::HighPrecision, 30000, 70000, 50000, 50001},
        {DrawingMode::HighPrecision, 40000, 60000, 100000, 99999},
        {DrawingMode::HighPrecision, 1000, 46000, 20000, 20001},
        {DrawingMode::HighPrecision, 1000, 45999, 50000, 50001},
        {DrawingMode::HighPrecision, 1000.7, 46000.2, 20000, 20001},
        {DrawingMode::HighPrecision, 1000, 31000, 50000, 50001},
        {DrawingMode::HighPrecision, 1000, 30999, 100000, 99999},
        {DrawingMode::HighPrecision, -5.5, 99999, 20000, 20001},
        {DrawingMode::HighPrecision, -1e25, 1e25, 20000, 20001},
    };
    showChannel(2);
    for (const Row& row : table) {
        SCOPED_TRACE(::testing::Message() << static_cast<int>(row.mode) << ": " << row.left << ".." << row.right);
        display_.ChooseDrawingMode(row.mode);
        showView(row.left, row.right);
        EXPECT_EQ(display_.View().DrawPointCount, row.count);
        EXPECT_EQ(pointsOf(2), row.points);
    }
}

TEST_F(DrawingTest, AViewChangedDuringACaptureKeepsTheCount) {
    showChannel(1);
    ASSERT_EQ(pointsOf(1), 20001u);  // at the start count, 20000
    setCaptureRunning(true);
    display_.View().DrawPointCount = 10000;
    showView(40000, 60000);
    EXPECT_EQ(display_.View().DrawPointCount, 10000);
    EXPECT_EQ(pointsOf(1), 20001u);
    setCaptureRunning(false);
}

// A loaded window of ten sets with one spike on channel 1 at position 99992, between the
// samples High precision picks (stride 5); the envelope reaches it, and a reference's dip.
TEST_F(DrawingTest, TheEnvelopeReachesASpikeAndFollowsTheView) {
    record().NextSample = 0;
    record().ChannelTrace[0][SlotOfPosition(0, 99992)] = 12345;
    record().ReferenceTrace[0][777] = -5000;
    display_.SetReferenceShown(1, true);
    display_.ChooseDrawingMode(DrawingMode::Envelope);
    display_.ShowLoadedTraces();
    EXPECT_EQ(highest(1), 12345);
    EXPECT_LE(pointsOf(1), 2u * 1000 + 2);
    const std::vector<Point>& ref = sink_.series[SeriesOfTrace(5)];
    EXPECT_NE(std::find(ref.begin(), ref.end(), Point{777, -5000}), ref.end());

    // A new view keeps the count but redraws for the view, stopped or running: each trace
    // runs through the nearest sample beyond each edge.
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running);
        showView(0, 99999);
        setCaptureRunning(running);
        showView(9999.9, 89999.1);
        EXPECT_EQ(display_.View().DrawPointCount, 100000);
        EXPECT_EQ(sink_.series[1].front().first, 9999);
        EXPECT_EQ(sink_.series[SeriesOfTrace(5)].back().first, 90000);
        setCaptureRunning(false);
    }
    showView(0, 99999);
    display_.ChooseDrawingMode(DrawingMode::HighPrecision);
    EXPECT_EQ(highest(1), 0);
}

// The envelope has a point for each of the view's pixel columns, however many the chart has:
// where neighbouring samples differ, a column's lowest and highest, then the sample at the
// right edge.
TEST_F(DrawingTest, TheEnvelopeFollowsTheViewsColumns) {
    showChannel(1);
    for (int slot = 0; slot < kTraceSlots; ++slot) record().ChannelTrace[0][slot] = Pattern(slot);
    display_.ChooseDrawingMode(DrawingMode::Envelope);
    for (const int columns : {500, 1000, 1920}) {
        showView(0, 99999, columns);
        EXPECT_EQ(pointsOf(1), 2u * columns + 1) << columns;
    }
}

}  // namespace
}  // namespace altrix::testing
