#include "ScopeChart.h"

#include "Decimation.h"
#include "DriveModel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include <cmath>
#include <functional>
#include <memory>


using altrix::ScopeChart;
using namespace altrix;

namespace {

// Reads what the last replot drew, without replotting as QWidget::grab() does.
class InspectableChart : public ScopeChart {
public:
    QImage drawn() {
        QImage image(size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QCPPainter painter(&image);
        for (const auto& buffer : mPaintBuffers)
            buffer->draw(&painter);
        return image;
    }
};

class ChartTest : public ::testing::Test {
protected:
    void send(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(pos), QPointF(chart.mapToGlobal(pos)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(&chart, &event);
    }
    void drag(Qt::MouseButton button, QPoint from, QPoint to) {
        send(QEvent::MouseButtonPress, from, button, button);
        send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
        send(QEvent::MouseMove, to, Qt::NoButton, button);
        send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
    }
    // Expected ranges of the bottom, left and right axes (the top one follows the bottom one).
    void expectView(double b0, double b1, double l0, double l1, double r0, double r1) {
        const struct { QCPAxis* axis; double lower, upper; } expected[] = {
            {chart.xAxis, b0, b1}, {chart.xAxis2, b0, b1}, {chart.yAxis, l0, l1}, {chart.yAxis2, r0, r1}};
        for (const auto& e : expected) {
            EXPECT_NEAR(e.axis->range().lower, e.lower, 1e-6) << e.axis->axisType();
            EXPECT_NEAR(e.axis->range().upper, e.upper, 1e-6) << e.axis->axisType();
        }
    }
    void expectFullView() {
        EXPECT_FALSE(chart.isZoomed());
        expectView(0, 99999, -33000, 33000, -32768, 32767);
    }
    void horizontalLine(int number, double y) {
        chart.addPoint(number, 0, y);
        chart.addPoint(number, 99999, y);
    }
    int row(double y) const { return int(chart.yAxis->coordToPixel(y)); }

    void wheel(QPoint at, int eighths, Qt::KeyboardModifiers keys) {
        QWheelEvent event(at, chart.mapToGlobal(QPointF(at)), QPoint(), QPoint(0, eighths), Qt::NoButton, keys,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&chart, &event);
    }

    InspectableChart chart;
};

TEST_F(ChartTest, HoldsNineSeriesInDrawingOrderWithTheirStyles) {
    const struct {
        int number;
        const char* name;
        QRgb colour;
        Qt::PenStyle line;
        QCPScatterStyle::ScatterShape marks;
    } table[] = {
        {8, "refer1", 0x808000, Qt::SolidLine, QCPScatterStyle::ssNone},
        {9, "Series8", 0x800080, Qt::SolidLine, QCPScatterStyle::ssNone},
        {1, "Series1", 0xFF0000, Qt::SolidLine, QCPScatterStyle::ssNone},
        {2, "Series2", 0x00FFFF, Qt::SolidLine, QCPScatterStyle::ssNone},
        {3, "Series3", 0xFFFF00, Qt::SolidLine, QCPScatterStyle::ssNone},
        {4, "Series4", 0xFFFFFF, Qt::SolidLine, QCPScatterStyle::ssNone},
        {10, "Series10", 0x808080, Qt::SolidLine, QCPScatterStyle::ssNone},
        {11, "Series11", 0x808080, Qt::SolidLine, QCPScatterStyle::ssNone},
        {12, "Series12", 0x808080, Qt::SolidLine, QCPScatterStyle::ssNone},
        {13, "Series13", 0x808080, Qt::SolidLine, QCPScatterStyle::ssNone},
        {5, "Series5", 0x00FF00, Qt::SolidLine, QCPScatterStyle::ssNone},
        {6, "Series6", 0xC0C0C0, Qt::DashLine, QCPScatterStyle::ssSquare},
        {7, "Series7", 0xC0C0C0, Qt::DotLine, QCPScatterStyle::ssCross},
    };
    ASSERT_EQ(chart.graphCount(), ScopeChart::kSeriesCount);
    for (int i = 0; i < ScopeChart::kSeriesCount; ++i) {
        QCPGraph* graph = chart.graph(i);
        SCOPED_TRACE(table[i].number);
        EXPECT_EQ(graph, chart.series(table[i].number));
        EXPECT_EQ(graph->objectName(), QStringLiteral("Series%1").arg(table[i].number));
        EXPECT_EQ(graph->name(), table[i].name);
        EXPECT_EQ(graph->pen().color().rgb() & 0xFFFFFF, table[i].colour);
        EXPECT_EQ(graph->pen().style(), table[i].line);
        EXPECT_EQ(graph->lineStyle(), QCPGraph::lsLine);
        EXPECT_EQ(graph->scatterStyle().shape(), table[i].marks);
    }
}

TEST_F(ChartTest, BlackPlotAreaSpansTheWholeChart) {
    EXPECT_DOUBLE_EQ(chart.valueAtPixel(0), 0);
    EXPECT_DOUBLE_EQ(chart.valueAtPixel(1000), 99999);
    horizontalLine(5, 0);
    chart.replot();
    const QImage image = chart.drawn();
    for (int x : {0, 999})
        EXPECT_EQ(image.pixel(x, row(0)) & 0xFFFFFF, 0x00FF00u) << x;
    int drawnElsewhere = 0;  // axes, ticks, labels, grid, legend, title or a background
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            drawnElsewhere += y != row(0) && (image.pixel(x, y) & 0xFFFFFF) != 0;
    EXPECT_EQ(drawnElsewhere, 0);
}

TEST_F(ChartTest, ZoomPercentActsOnEveryAxisAndUndoZoomRestores) {
    chart.undoZoom();  // without a zoom: only repaints
    expectFullView();
    chart.zoomPercent(110);
    EXPECT_TRUE(chart.isZoomed());
    expectView(9999.9, 89999.1, -26400, 26400, -26214.5, 26213.5);
    EXPECT_NEAR(chart.valueAtPixel(1000), 89999.1, 1e-6);
    chart.zoomPercent(90);
    expectView(1999.98, 97999.02, -31680, 31680, -31457.3, 31456.3);
    chart.undoZoom();
    expectFullView();
    chart.zoomPercent(90);
    expectView(-9999.9, 109998.9, -39600, 39600, -39321.5, 39320.5);
}

TEST_F(ChartTest, ZoomToShiftedPixelRectKeepsEveryRangeWidth) {
    chart.zoomToPixelRect(QRect(200, 0, ScopeChart::kWidth, ScopeChart::kHeight));
    EXPECT_TRUE(chart.isZoomed());
    expectView(19999.8, 119998.8, -33000, 33000, -32768, 32767);
    chart.undoZoom();
    expectFullView();
}

TEST_F(ChartTest, LeftDragZoomsToTheRectangleAndReverseDragRestores) {
    drag(Qt::LeftButton, {100, 45}, {300, 225});
    EXPECT_TRUE(chart.isZoomed());
    expectView(9999.9, 29999.7, -8250, 24750, -8192.375, 24575.125);
    drag(Qt::LeftButton, {300, 250}, {100, 50});
    expectFullView();
}

TEST_F(ChartTest, ClicksTinyOrFlatDragsNeverZoom) {
    const QPoint at(500, 100);
    // A click, tiny drags, a flat drag and a right-to-left drag with nothing zoomed.
    for (QPoint to : {at, at + QPoint(2, 2), at - QPoint(3, 0), at + QPoint(200, 2), at - QPoint(200, 0)}) {
        drag(Qt::LeftButton, at, to);
        expectFullView();
    }
    int doubleClicks = 0, moves = 0;
    QObject::connect(&chart, &QCustomPlot::mouseDoubleClick, [&] { ++doubleClicks; });
    QObject::connect(&chart, &QCustomPlot::mouseMove, [&] { ++moves; });
    send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, at, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, at + QPoint(1, 1), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at + QPoint(1, 1), Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(moves, 1);
    expectFullView();
}

TEST_F(ChartTest, RightDragScrollsAllAxesAndCountsAsZoom) {
    drag(Qt::RightButton, {500, 180}, {600, 216});
    EXPECT_TRUE(chart.isZoomed());
    expectView(-9999.9, 89999.1, -26400, 39600, -26214.5, 39320.5);
    chart.undoZoom();
    expectFullView();
}

TEST_F(ChartTest, BeforeDrawSeriesIsRaisedOncePerReplotBeforeDrawing) {
    int raised = 0;
    QObject::connect(&chart, &ScopeChart::beforeDrawSeries, [&] {
        if (++raised == 1)
            horizontalLine(1, 0);
    });
    chart.replot();
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(chart.drawn().pixel(500, row(0)) & 0xFFFFFF, 0xFF0000u);
    chart.zoomPercent(110);
    EXPECT_EQ(raised, 2);
}

TEST_F(ChartTest, CursorTakesTheShapeOfTheTopmostChannelLineUnderIt) {
    const double lines[] = {20000, 10000, -10000, -20000, 0};
    for (int number = 1; number <= 5; ++number)
        horizontalLine(number, lines[number - 1]);
    chart.addPoint(6, 30000, 32767);  // a vertical line crossing Series1
    chart.addPoint(6, 30000, -32768);
    ASSERT_EQ(chart.pointCount(6), 2);
    const struct { QPoint at; Qt::CursorShape shape; } cases[] = {
        {{500, row(20000)}, Qt::CrossCursor},          {{300, row(20000) + 2}, Qt::CrossCursor},
        {{500, row(10000)}, Qt::UpArrowCursor},        {{500, row(-10000) - 2}, Qt::SizeVerCursor},
        {{500, row(-20000)}, Qt::PointingHandCursor},  {{500, row(-20000) + 10}, Qt::ArrowCursor},
        {{500, row(0)}, Qt::ArrowCursor},              {{300, row(5000)}, Qt::ArrowCursor},
    };
    for (const auto& c : cases) {
        send(QEvent::MouseMove, c.at, Qt::NoButton, Qt::NoButton);
        EXPECT_EQ(chart.cursor().shape(), c.shape) << c.at.x() << "," << c.at.y();
    }
    chart.clearSeries(4);
    horizontalLine(4, 20000);  // drawn over Series1
    send(QEvent::MouseMove, {500, row(20000)}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(chart.cursor().shape(), Qt::PointingHandCursor);
}

// The simulated drive's output current (0.01 A a count) over the first 20 s of a run at Y-scale
// 25, nearly flat with a few counts of noise, handed over as each drawing mode does at full
// view: every pixel column between the first and the last point holds a pixel of the trace, at
// the default width and a wide one. (Drawn segment by segment, each rounded to whole pixels,
// its sub-pixel segments vanished and left the trace in dashes.)
TEST_F(ChartTest, EveryDrawingModeDrawsAConnectedTrace) {
    auto trace = std::make_unique<ReferenceSamples>();
    for (int x = 0; x < kWindowPositions; ++x) (*trace)[x] = sim::SampleValue(0x9010, x);
    const WindowSamples window = ReferenceWindow(*trace);
    const struct {
        const char* mode;
        int pointCount;  // 0: the envelope of the view
    } modes[] = {{"Simplified", 2500}, {"Fast", 6500}, {"High precision", 20000}, {"every sample", 100000},
                 {"Envelope", 0}};
    chart.show();  // a hidden widget takes its new size only when shown
    for (const int width : {1000, 1920}) {
        chart.resize(width, 360);
        for (const auto& mode : modes) {
            SeriesPoints& points = chart.refill(1);
            const auto add = [&points](double x, double y) { points.add(x, y); };
            if (mode.pointCount > 0)
                PickReferencePoints(window, mode.pointCount, 25, true, add);
            else
                EnvelopePoints(window, {chart.valueAtPixel(0), chart.valueAtPixel(width), width}, 25, add);
            chart.replot();
            const QImage image = chart.drawn();
            const int first = int(chart.xAxis->coordToPixel(0)), last = int(chart.xAxis->coordToPixel(99999)) - 1;
            int empty = 0;
            for (int x = first; x <= last; ++x) {
                bool drawn = false;
                for (int y = 0; y < image.height() && !drawn; ++y) drawn = (image.pixel(x, y) & 0xFFFFFF) == 0xFF0000;
                empty += !drawn;
            }
            EXPECT_EQ(empty, 0) << mode.mode << " at width " << width;
        }
    }
}

// The pixel rule at any width: column 0 and the last column's right edge are the ends of the
// bottom range, and a pixel rectangle as wide as the chart shifts the view by its offset.
TEST_F(ChartTest, PixelColumnsSpanTheBottomRangeAtEveryWidth) {
    chart.show();
    for (const QSize size : {QSize(400, 200), QSize(1000, 360), QSize(1920, 1080)}) {
        chart.resize(size);
        const int w = size.width();
        EXPECT_EQ(chart.plotWidth(), w);
        EXPECT_DOUBLE_EQ(chart.valueAtPixel(0), 0) << w;
        EXPECT_DOUBLE_EQ(chart.valueAtPixel(w), 99999) << w;
        EXPECT_DOUBLE_EQ(chart.valueAtPixel(w / 4.0), 99999 / 4.0) << w;
        chart.zoomToPixelRect(QRect(w / 5, 0, w, size.height()));
        expectView(19999.8, 119998.8, -33000, 33000, -32768, 32767);
        chart.undoZoom();
    }
}

// The wheel about the pointer, Ctrl+wheel on the vertical axes, Shift+wheel sideways; then
// Backspace's steps back through the history, where one turn of the wheel is one step.
TEST_F(ChartTest, ZoomHistoryStepsBackThroughEveryKindOfViewChange) {
    const QPoint quarter(250, 90);  // bottom value 24999.75, left value 16500, right 16383.25
    const struct {
        const char* step;
        std::function<void()> act;
        double b0, b1, l0, l1, r0, r1;
        int depth;
    } steps[] = {
        {"wheel up", [&] { wheel(quarter, 120, Qt::NoModifier); },
         4999.95, 84999.15, -33000, 33000, -32768, 32767, 1},
        {"same turn", [&] { wheel(quarter, 120, Qt::NoModifier); },
         8999.91, 72999.27, -33000, 33000, -32768, 32767, 1},
        {"ctrl wheel down", [&] { send(QEvent::MouseMove, quarter, Qt::NoButton, Qt::NoButton); wheel(quarter, -120, Qt::ControlModifier); },
         8999.91, 72999.27, -45375, 37125, -45055.8125, 36862.9375, 2},
        {"shift wheel up", [&] { send(QEvent::MouseMove, quarter, Qt::NoButton, Qt::NoButton); wheel(quarter, 120, Qt::ShiftModifier); },
         2599.974, 66599.334, -45375, 37125, -45055.8125, 36862.9375, 3},
        {"zoom in", [&] { chart.zoomPercent(110); },
         8999.91, 60199.398, -37125, 28875, -36863.9375, 28671.0625, 4},
        {"zoom all", [&] { chart.undoZoom(); }, 0, 99999, -33000, 33000, -32768, 32767, 5},
        {"back", [&] { EXPECT_TRUE(chart.zoomBack()); },
         8999.91, 60199.398, -37125, 28875, -36863.9375, 28671.0625, 4},
        {"back", [&] { EXPECT_TRUE(chart.zoomBack()); },
         2599.974, 66599.334, -45375, 37125, -45055.8125, 36862.9375, 3},
        {"back", [&] { EXPECT_TRUE(chart.zoomBack()); }, 8999.91, 72999.27, -45375, 37125, -45055.8125, 36862.9375, 2},
        {"back", [&] { EXPECT_TRUE(chart.zoomBack()); }, 8999.91, 72999.27, -33000, 33000, -32768, 32767, 1},
        {"back", [&] { EXPECT_TRUE(chart.zoomBack()); }, 0, 99999, -33000, 33000, -32768, 32767, 0},
        {"nothing left", [&] { EXPECT_FALSE(chart.zoomBack()); }, 0, 99999, -33000, 33000, -32768, 32767, 0},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.act();
        expectView(s.b0, s.b1, s.l0, s.l1, s.r0, s.r1);
        EXPECT_EQ(chart.zoomHistoryDepth(), s.depth);
    }
    EXPECT_FALSE(chart.isZoomed());
    chart.zoomPercent(110);
    chart.clearZoomHistory();
    EXPECT_FALSE(chart.zoomBack());
}

TEST_F(ChartTest, ALeftDragFromTheLevelLineMovesItAndReportsTheNewLevel) {
    chart.setLevelLine(true, 11000, Qt::red);
    std::vector<double> dragged;
    QObject::connect(&chart, &ScopeChart::levelDragged, [&](double y) { dragged.push_back(y); });
    drag(Qt::LeftButton, {300, row(11000) + 2}, {500, 270});  // 270: value -16500
    ASSERT_EQ(dragged.size(), 1u);
    EXPECT_NEAR(dragged[0], -16500, 1e-6);
    expectFullView();  // no rectangle zoom
    chart.setLevelLine(false, 11000, Qt::red);
    drag(Qt::LeftButton, {300, row(11000)}, {500, 270});
    EXPECT_EQ(dragged.size(), 1u);
    EXPECT_TRUE(chart.isZoomed());
}

}  // namespace

// The graticule and the legend are laid out again only when what they show changed: after each
// change below the chart draws what a new chart given the changed inputs from the start draws.
TEST(ChartDecorationsTest, EveryChangeOfWhatTheyShowIsDrawn) {
    struct Inputs {
        GraticuleScales scales;
        std::vector<LegendEntry> legend;
        QColor colour1 = Qt::red;
        QCPRange time{0, 99999};
    };
    const auto base = [] {
        Inputs in;
        in.scales = {{0.0002, 0.0002}, "Time (s)", {}};
        in.scales.Bands.push_back({-1e300, 1e300, {0, 0.01}, "Hz", {1}, false, true});
        in.scales.Bands.push_back({-1e300, 1e300, {0, 1}, "rpm", {4}, true, false});
        in.legend = {{"Output frequency (Hz)   50.00 Hz", 1}, {"Motor speed (rpm)   1480 rpm", 4}};
        return in;
    };
    const struct {
        const char* change;
        std::function<void(Inputs&)> apply;
    } changes[] = {
        {"a new unit", [](Inputs& in) { in.scales.Bands[1].Title = "Vdc"; }},
        {"a renamed channel", [](Inputs& in) { in.legend[1].Name = "DC_bus (Vdc)   1480 rpm"; }},
        {"a legend value", [](Inputs& in) { in.legend[0].Name = "Output frequency (Hz)   49.98 Hz"; }},
        {"a legend line fewer", [](Inputs& in) { in.legend.pop_back(); }},
        {"a new scale", [](Inputs& in) { in.scales.Bands[0].Scale.Factor = 0.1; }},
        {"a time origin", [](Inputs& in) { in.scales.Time.Offset = 10; }},
        {"a series colour", [](Inputs& in) { in.colour1 = Qt::green; }},
        {"a zoom", [](Inputs& in) { in.time = {20000, 30000}; }},
    };
    const auto show = [](InspectableChart& chart, const Inputs& in) {
        chart.setSeriesColour(1, in.colour1);
        chart.xAxis->setRange(in.time);
        chart.setGraticule(in.scales);
        chart.setLegendEntries(in.legend);
        chart.replot();
        return chart.drawn();
    };
    for (const auto& c : changes) {
        InspectableChart chart;
        const QImage before = show(chart, base());
        Inputs changed = base();
        c.apply(changed);
        const QImage after = show(chart, changed);
        InspectableChart fresh;
        EXPECT_NE(after, before) << c.change;
        EXPECT_EQ(after, show(fresh, changed)) << c.change;
    }
}

// A series draws the pixels QCustomPlot's own graph draws for the same points (whole-pixel
// segments, a NaN point a gap), whatever the gaps.
TEST(ChartSeriesTest, DrawsThePixelsOfQCustomPlotsOwnGraph) {
    class OwnPlot : public QCustomPlot {
    public:
        OwnPlot() {
            resize(ScopeChart::kWidth, ScopeChart::kHeight);
            setViewport(rect());
            setBackground(QBrush(Qt::black));
            setNotAntialiasedElements(QCP::aeAll);
            setPlottingHint(QCP::phFastPolylines);
            axisRect()->setAutoMargins(QCP::msNone);
            axisRect()->setMargins(QMargins());
            axisRect()->setBackground(QBrush(Qt::black));
            for (QCPAxis* axis : axisRect()->axes()) axis->setVisible(false);
            xAxis->setRange(ScopeChart::kBottomMin, ScopeChart::kBottomMax);
            yAxis->setRange(ScopeChart::kLeftMin, ScopeChart::kLeftMax);
            addGraph()->setPen(QPen(Qt::red, 1));
            graph()->setAdaptiveSampling(true);
            updateLayout();
        }
        QImage drawn() {
            QImage image(size(), QImage::Format_RGB32);
            image.fill(Qt::black);
            QCPPainter painter(&image);
            for (const auto& buffer : mPaintBuffers) buffer->draw(&painter);
            return image;
        }
    };
    const double nan = std::nan("");
    const auto wave = [](int x) { return 20000 * std::sin(x / 700.0) + (x % 7) * 300; };
    const struct {
        const char* trace;
        std::function<double(int)> y;  // at every 10th position
    } traces[] = {
        {"a wave", wave},
        {"a gap in the middle", [&](int x) { return x > 40000 && x < 41000 ? nan : wave(x); }},
        {"gaps at both ends", [&](int x) { return x < 500 || x > 99000 ? nan : wave(x); }},
        {"single points between gaps", [&](int x) { return (x / 10) % 3 == 0 ? wave(x) : nan; }},
        {"a steep saw", [](int x) { return (x % 2000) * 30.0 - 30000; }},
    };
    for (const auto& t : traces) {
        InspectableChart chart;
        OwnPlot own;
        SeriesPoints& points = chart.refill(1);
        for (int x = 0; x < kWindowPositions; x += 10) {
            points.add(x, t.y(x));
            own.graph()->addData(x, t.y(x));
        }
        chart.replot();
        own.replot();
        EXPECT_EQ(chart.drawn(), own.drawn()) << t.trace;
    }
}
