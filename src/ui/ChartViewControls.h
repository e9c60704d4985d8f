#pragma once
// The chart's view bound to the display, which owns it: the zoom buttons and the zoom history,
// RUN's alignment to the newest sets, the View menu's graticule, legend, lanes, Fit and the
// trace whose axis comes first; a rectangle drawn in lanes zooms the time and its lane. The chart's bottom axis is handed to the display at
// every change; the display's graticule, legend and lanes show in the menu and on the chart.

#include "ChartDecorations.h"
#include "ScopeDisplay.h"

#include <QObject>

#include <array>
#include <vector>

class QAction;
class QMenu;
class QToolButton;
class QWidget;

namespace altrix {

class RememberedValues;
class ScopeChart;

class ChartViewControls : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget* window;
        QToolButton* zoomAll;  // SpeedButton4
        QToolButton* zoomIn;   // SpeedButton5
        QToolButton* zoomOut;  // SpeedButton6
        QAction* axes;
        QAction* legend;
        QAction* lanes;
        QAction* fit;
        QAction* fitLane;
        QAction* zoomBack;
        QToolButton* zoomBackButton;
        QMenu* yAxisUnits;  // "Y axis in units of"
    };
    // Keeps the graticule, legend and lanes in [Display] of `remembered`.
    ChartViewControls(const Controls& controls, ScopeDisplay& display, ScopeChart& chart, RememberedValues& remembered,
                      QObject* parent = nullptr);

    // Zoom all, zoom in and zoom out.
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    // RUN's first step: shifts the view sideways, keeping its width, so that its right edge
    // shows position 99999. A view narrower than one sample is left as it is.
    void AlignViewToNewest();
    void AxesActionClick(bool on);
    void LegendActionClick(bool on);
    void LanesActionClick(bool on);
    // Fit: the lanes, or the vertical axis to the shown traces; Fit lane: the lane under the
    // mouse, elsewhere as Fit.
    void FitActionClick();
    void FitLaneActionClick();
    void ZoomBackActionClick();
    void YAxisUnitsClick(int t);

private:
    // The chart's bottom axis handed to the display.
    void takeChartView();
    // The menu and the chart show the display's graticule, legend and lanes.
    void showDecorations();
    void showYAxisUnits();
    // A rectangle's rows (left-axis values) drawn in lanes: the lane holding its middle shows them.
    void zoomLane(double lower, double upper);
    // The graticule, legend and level line as the display lays them out, before each replot.
    void showChartDecorations();

    Controls controls_;
    ScopeDisplay& display_;
    ScopeChart& chart_;
    std::array<QAction*, kLastMathTrace> yAxisItems_{};  // by trace, math traces too
    std::vector<LegendEntry> legendEntries_;                // kept for its storage
};

}  // namespace altrix
