#include "ChartViewControls.h"

#include "RememberedValues.h"
#include "ScopeChart.h"

#include <QAction>
#include <QActionGroup>
#include <QCursor>
#include <QMenu>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace altrix {

namespace {

// A legend line: the name, then the value at the cursor with its unit.
QString LegendText(const LegendItem& item) {
    if (item.Value.isEmpty()) return item.Name;
    return item.Unit.isEmpty() ? QStringLiteral("%1   %2").arg(item.Name, item.Value)
                               : QStringLiteral("%1   %2 %3").arg(item.Name, item.Value, item.Unit);
}

QString OnOff(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// Bottom-axis value at a pixel column of the chart, truncated toward zero. Kept as a double:
// a view zoomed out without bound outgrows every integer type.
double PositionAtPixel(const ScopeChart& chart, double column) {
    return std::trunc(chart.valueAtPixel(column));
}

}  // namespace

ChartViewControls::ChartViewControls(const Controls& controls, ScopeDisplay& display, ScopeChart& chart,
                                     RememberedValues& remembered, QObject* parent)
    : QObject(parent), controls_(controls), display_(display), chart_(chart) {
    chart_.setZoomHistory(&display_.ZoomSteps());
    connect(controls.zoomAll, &QToolButton::clicked, this, &ChartViewControls::SpeedButton4Click);
    connect(controls.zoomIn, &QToolButton::clicked, this, &ChartViewControls::SpeedButton5Click);
    connect(controls.zoomOut, &QToolButton::clicked, this, &ChartViewControls::SpeedButton6Click);
    connect(controls.axes, &QAction::toggled, this, &ChartViewControls::AxesActionClick);
    connect(controls.legend, &QAction::toggled, this, &ChartViewControls::LegendActionClick);
    connect(controls.lanes, &QAction::toggled, this, &ChartViewControls::LanesActionClick);
    connect(controls.fit, &QAction::triggered, this, &ChartViewControls::FitActionClick);
    connect(controls.fitLane, &QAction::triggered, this, &ChartViewControls::FitLaneActionClick);
    connect(controls.zoomBack, &QAction::triggered, this, &ChartViewControls::ZoomBackActionClick);
    controls.zoomBackButton->setIcon(controls.window->style()->standardIcon(QStyle::SP_ArrowBack));
    connect(controls.zoomBackButton, &QToolButton::clicked, this, &ChartViewControls::ZoomBackActionClick);

    auto* group = new QActionGroup(this);
    for (int t = 1; t <= kLastMathTrace; ++t) {
        QAction* item = controls.yAxisUnits->addAction(QString());
        item->setObjectName(QStringLiteral("YAxisUnits%1").arg(t));
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, t] { YAxisUnitsClick(t); });
        yAxisItems_[static_cast<std::size_t>(t - 1)] = item;
    }
    connect(controls.yAxisUnits, &QMenu::aboutToShow, this, &ChartViewControls::showYAxisUnits);

    connect(chart_.xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, &ChartViewControls::takeChartView);
    connect(&chart_, &ScopeChart::resized, this, &ChartViewControls::takeChartView);
    takeChartView();
    // After the display's own handler: the layout it draws is the one labelled.
    connect(&chart_, &ScopeChart::beforeDrawSeries, this, &ChartViewControls::showChartDecorations);
    connect(&display_, &ScopeDisplay::triggerChanged, &chart_, [this] { chart_.replot(QCustomPlot::rpQueuedReplot); });
    connect(&display_, &ScopeDisplay::lengthChanged, this, [this](int positions) { chart_.setWholeRange(positions - 1); });
    connect(&display_, &ScopeDisplay::captureStarting, this, &ChartViewControls::AlignViewToNewest);
    connect(&display_, &ScopeDisplay::decorationsChanged, this, &ChartViewControls::showDecorations);
    connect(&chart_, &ScopeChart::rectangleRows, this, &ChartViewControls::zoomLane);
    showDecorations();

    remembered.add("Display", "Axes", [this](const QString& stored) { display_.ShowAxes(stored != "0"); },
                   [this] { return OnOff(display_.AxesShown()); });
    remembered.add("Display", "Legend", [this](const QString& stored) { display_.ShowLegend(stored != "0"); },
                   [this] { return OnOff(display_.LegendShown()); });
    remembered.add("Display", "Lanes", [this](const QString& stored) { display_.ShowLanes(stored == "1"); },
                   [this] { return OnOff(display_.LanesShown()); });
}

void ChartViewControls::takeChartView() {
    const QCPRange range = chart_.xAxis->range();
    const int width = chart_.plotWidth();
    display_.SetView({chart_.valueAtPixel(0), chart_.valueAtPixel(width), width}, range.lower, range.upper);
}

void ChartViewControls::SpeedButton4Click() {
    chart_.undoZoom();
}

void ChartViewControls::SpeedButton5Click() {
    chart_.zoomPercent(110);
}

void ChartViewControls::SpeedButton6Click() {
    chart_.zoomPercent(90);
}

void ChartViewControls::AlignViewToNewest() {
    const int width = chart_.plotWidth();
    const double right = PositionAtPixel(chart_, width);
    const double left = PositionAtPixel(chart_, 0);
    if (right == left)
        return;  // no whole-sample width to keep
    const long double shift = (static_cast<long double>(99999.0f) - right) / (right - left) * width;
    // A view scrolled far away could ask for a shift beyond any pixel range; such a shift
    // is held at a bound that still moves the view by more than it could ever show.
    constexpr long double kMaxShift = 1e9L;
    const int s = static_cast<int>(std::trunc(std::clamp(shift, -kMaxShift, kMaxShift)));
    chart_.zoomToPixelRect(QRect(s, 0, width, chart_.plotHeight()));
}

void ChartViewControls::AxesActionClick(bool on) {
    display_.ShowAxes(on);
}

void ChartViewControls::LegendActionClick(bool on) {
    display_.ShowLegend(on);
}

void ChartViewControls::LanesActionClick(bool on) {
    display_.ShowLanes(on);
    // Every lane whole on the chart.
    if (on && chart_.yAxis->range() != QCPRange(ScopeChart::kLeftMin, ScopeChart::kLeftMax))
        chart_.zoomVertical(ScopeChart::kLeftMin, ScopeChart::kLeftMax);
}

void ChartViewControls::showDecorations() {
    controls_.axes->setChecked(display_.AxesShown());
    controls_.legend->setChecked(display_.LegendShown());
    controls_.lanes->setChecked(display_.LanesShown());
    chart_.setGraticuleShown(display_.AxesShown());
    // The zero line belongs to the overlaid axis: in lanes it would run along a lane's edge.
    chart_.series(5)->setVisible(!display_.LanesShown());
    // In lanes a rectangle zooms the time and the lane it was drawn in; every lane stays.
    chart_.setRectangleKeepsVertical(display_.LanesShown());
}

void ChartViewControls::zoomLane(double lower, double upper) {
    const double middle = (lower + upper) / 2;
    for (const Lane& lane : display_.Lanes())
        if (middle >= lane.Lower && middle <= lane.Upper) return display_.ZoomLane(lane.Trace, lower, upper);
}

void ChartViewControls::FitLaneActionClick() {
    // The lane whose band holds the mouse's row; anywhere else, or overlaid, as Fit.
    const QPoint mouse = chart_.mapFromGlobal(QCursor::pos());
    if (display_.LanesShown() && chart_.rect().contains(mouse)) {
        const double row = chart_.yAxis->pixelToCoord(mouse.y());
        for (const Lane& lane : display_.Lanes())
            if (row >= lane.Lower && row <= lane.Upper) return display_.FitLanes(lane.Trace);
    }
    FitActionClick();
}

void ChartViewControls::FitActionClick() {
    if (display_.LanesShown()) {
        // Every lane whole on the chart, each fitted to its trace.
        if (chart_.yAxis->range() != QCPRange(ScopeChart::kLeftMin, ScopeChart::kLeftMax))
            chart_.zoomVertical(ScopeChart::kLeftMin, ScopeChart::kLeftMax);
        display_.FitLanes();
        return;
    }
    if (const std::optional<PlottedRange> range = display_.ShownRange()) {
        const PlottedRange view = FittedView(*range);
        chart_.zoomVertical(view.Lower, view.Upper);
    }
}

void ChartViewControls::ZoomBackActionClick() {
    display_.StepLanesBack();
    chart_.zoomBack();
}

void ChartViewControls::YAxisUnitsClick(int t) {
    display_.SetYAxisTrace(t);
    chart_.replot(QCustomPlot::rpQueuedReplot);
}

void ChartViewControls::showYAxisUnits() {
    const int chosen = display_.YAxisTrace();
    for (int t = 1; t <= kLastMathTrace; ++t) {
        QAction& item = *yAxisItems_[static_cast<std::size_t>(t - 1)];
        item.setText(display_.TraceName(t));
        item.setEnabled(display_.TraceShown(t));
        item.setChecked(t == chosen);
    }
}

void ChartViewControls::showChartDecorations() {
    // The chart lays out its graticule and legend again only when these differ from the last.
    chart_.setGraticule(display_.Scales());
    legendEntries_.clear();
    // Math traces left out of a recording's view say why even without the legend.
    const bool legend = display_.LegendShown();
    if (legend || !display_.MathNotice().isEmpty())
        for (const LegendItem& item : display_.LegendItems(chart_.underMouse()))
            if (legend || item.Series >= SeriesOfTrace(kFirstMathTrace)) legendEntries_.push_back({LegendText(item), item.Series});
    chart_.setLegendEntries(legendEntries_);
    // The level line of a trigger that compares with a level, in its source's colour.
    const TriggerSettings& trigger = display_.Trigger();
    const bool levelUsed = trigger.Mode != TriggerMode::Off && trigger.Condition != TriggerCondition::BitSet &&
                           trigger.Condition != TriggerCondition::BitCleared && display_.TriggerLevelValid() &&
                           display_.TraceShown(trigger.Source);
    const double level = std::atof(trigger.Level.c_str());
    chart_.setLevelLine(levelUsed, display_.ValueScale(trigger.Source).coordinateOf(level),
                        chart_.series(SeriesOfTrace(trigger.Source))->pen().color());
}

}  // namespace altrix
