// TForm1: the View menu's chart commands bound to the display's layout (graticule, legend,
// lanes, Fit, the vertical axis's trace), the zoom history, and the trigger level line.

#include "Mainframe.h"

#include "ScopeChart.h"
#include "ui_Mainframe.h"

#include <QActionGroup>
#include <QCursor>
#include <QStyle>

#include <cmath>

namespace altrix {

namespace {

// A legend line: the name, then the value at the cursor with its unit.
QString LegendText(const LegendItem& item) {
    if (item.Value.isEmpty()) return item.Name;
    return item.Unit.isEmpty() ? QStringLiteral("%1   %2").arg(item.Name, item.Value)
                               : QStringLiteral("%1   %2 %3").arg(item.Name, item.Value, item.Unit);
}

// Digits after the point of a gain text: a level dragged to a value is typed as precisely.
int DecimalsOf(const std::string& gain) {
    const std::size_t point = gain.find('.');
    return point == std::string::npos ? 0 : static_cast<int>(gain.size() - point - 1);
}

QString OnOff(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

}  // namespace

void TForm1::connectChartViewHandlers() {
    Ui::TForm1& ui = *ui_;
    ScopeChart& chart = *ui.Chart1;
    connect(ui.AxesAction, &QAction::toggled, this, &TForm1::AxesActionClick);
    connect(ui.LegendAction, &QAction::toggled, this, &TForm1::LegendActionClick);
    connect(ui.LanesAction, &QAction::toggled, this, &TForm1::LanesActionClick);
    connect(ui.FitAction, &QAction::triggered, this, &TForm1::FitActionClick);
    connect(ui.FitLaneAction, &QAction::triggered, this, &TForm1::FitLaneActionClick);
    connect(ui.ZoomBackAction, &QAction::triggered, this, &TForm1::ZoomBackActionClick);
    ui.ZoomBackButton->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    connect(ui.ZoomBackButton, &QToolButton::clicked, this, &TForm1::ZoomBackActionClick);

    auto* group = new QActionGroup(this);
    for (int t = 1; t <= kTraceCount; ++t) {
        QAction* item = ui.YAxisUnits1->addAction(QString());
        item->setObjectName(QStringLiteral("YAxisUnits%1").arg(t));
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, t] { YAxisUnitsClick(t); });
        yAxisItems_[static_cast<std::size_t>(t - 1)] = item;
    }
    connect(ui.YAxisUnits1, &QMenu::aboutToShow, this, &TForm1::showYAxisUnits);

    // After the display's own handler: the layout it draws is the one labelled.
    connect(&chart, &ScopeChart::beforeDrawSeries, this, &TForm1::showChartDecorations);
    connect(&chart, &ScopeChart::levelDragged, this, &TForm1::LevelLineDragged);
    connect(&display_, &ScopeDisplay::triggerChanged, &chart, [&chart] { chart.replot(QCustomPlot::rpQueuedReplot); });
    // A new capture's view starts its own history (after RUN's alignment, connected before).
    connect(&display_, &ScopeDisplay::captureStarting, &chart, &ScopeChart::clearZoomHistory);

    remembered_.add("Display", "Axes", [&ui](const QString& stored) { ui.AxesAction->setChecked(stored != "0"); },
                    [&ui] { return OnOff(ui.AxesAction->isChecked()); });
    remembered_.add("Display", "Legend", [&ui](const QString& stored) { ui.LegendAction->setChecked(stored != "0"); },
                    [&ui] { return OnOff(ui.LegendAction->isChecked()); });
    remembered_.add("Display", "Lanes", [&ui](const QString& stored) { ui.LanesAction->setChecked(stored == "1"); },
                    [&ui] { return OnOff(ui.LanesAction->isChecked()); });
}

void TForm1::AxesActionClick(bool on) {
    ui_->Chart1->setGraticuleShown(on);
    ui_->Chart1->replot(QCustomPlot::rpQueuedReplot);
}

void TForm1::LegendActionClick(bool) {
    ui_->Chart1->replot(QCustomPlot::rpQueuedReplot);
}

void TForm1::LanesActionClick(bool on) {
    // The zero line belongs to the overlaid axis: in lanes it would run along a lane's edge.
    ui_->Chart1->series(5)->setVisible(!on);
    display_.ShowLanes(on);
}

void TForm1::FitLaneActionClick() {
    // The lane whose band holds the mouse's row; anywhere else, or overlaid, as Fit.
    ScopeChart& chart = *ui_->Chart1;
    const QPoint mouse = chart.mapFromGlobal(QCursor::pos());
    if (display_.LanesShown() && chart.rect().contains(mouse)) {
        const double row = chart.yAxis->pixelToCoord(mouse.y());
        for (const Lane& lane : display_.Lanes())
            if (row >= lane.Lower && row <= lane.Upper) return display_.FitLanes(lane.Trace);
    }
    FitActionClick();
}

void TForm1::FitActionClick() {
    ScopeChart& chart = *ui_->Chart1;
    if (display_.LanesShown()) {
        // Every lane whole on the chart, each fitted to its trace.
        if (chart.yAxis->range() != QCPRange(ScopeChart::kLeftMin, ScopeChart::kLeftMax))
            chart.zoomVertical(ScopeChart::kLeftMin, ScopeChart::kLeftMax);
        display_.FitLanes();
        return;
    }
    if (const std::optional<PlottedRange> range = display_.ShownRange()) {
        const PlottedRange view = FittedView(*range);
        chart.zoomVertical(view.Lower, view.Upper);
    }
}

void TForm1::ZoomBackActionClick() {
    ui_->Chart1->zoomBack();
}

void TForm1::YAxisUnitsClick(int t) {
    display_.SetYAxisTrace(t);
    ui_->Chart1->replot(QCustomPlot::rpQueuedReplot);
}

void TForm1::showYAxisUnits() {
    const int chosen = display_.YAxisTrace();
    for (int t = 1; t <= kTraceCount; ++t) {
        QAction& item = *yAxisItems_[static_cast<std::size_t>(t - 1)];
        item.setText(display_.TraceName(t));
        item.setEnabled(display_.TraceShown(t));
        item.setChecked(t == chosen);
    }
}

void TForm1::showChartDecorations() {
    ScopeChart& chart = *ui_->Chart1;
    chart.setGraticule(display_.Scales());
    std::vector<LegendEntry> entries;
    // Math traces left out of a recording's view say why even without the legend.
    const bool notice = !display_.MathNotice().isEmpty();
    if (ui_->LegendAction->isChecked() || notice)
        for (const LegendItem& item : display_.LegendItems(chart.underMouse()))
            if (ui_->LegendAction->isChecked() || item.Series >= SeriesOfTrace(kFirstMathTrace))
                entries.push_back({LegendText(item), item.Series});
    chart.setLegendEntries(std::move(entries));
    // The level line of a trigger that compares with a level, in its source's colour.
    const TriggerSettings& trigger = display_.Trigger();
    const bool levelUsed = trigger.Mode != TriggerMode::Off && trigger.Condition != TriggerCondition::BitSet &&
                           trigger.Condition != TriggerCondition::BitCleared && display_.TriggerLevelValid() &&
                           display_.TraceShown(trigger.Source);
    const double level = std::atof(trigger.Level.c_str());
    chart.setLevelLine(levelUsed, display_.ValueScale(trigger.Source).coordinateOf(level),
                       chart.series(SeriesOfTrace(trigger.Source))->pen().color());
}

void TForm1::LevelLineDragged(double y) {
    // The level is the trigger bar's while no capture runs; a capture keeps its level.
    if (session_.IsRunning()) {
        ui_->Chart1->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    const int source = display_.Trigger().Source;
    const double value = display_.ValueScale(source).valueAt(y);
    const int decimals = DecimalsOf(display_.Gain(source).Text);
    QString text = QString::number(value, 'f', decimals);
    if (std::abs(text.toDouble()) == 0) text = QString::number(0.0, 'f', decimals);  // no "-0"
    ui_->TriggerLevelEdit->setText(text);
    triggerBar_->TriggerControlChange();
    ui_->Chart1->replot(QCustomPlot::rpQueuedReplot);
}

}  // namespace altrix
