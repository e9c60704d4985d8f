#pragma once
// What the chart draws besides its series, inside the plot so that the plot keeps its pixels:
// the graticule (grid lines behind the series; tick labels along the left and bottom edges and
// the axis titles above them) and the legend box in the top left corner.

#include "AxisTicks.h"

#include <qcustomplot.h>

#include <vector>

namespace altrix {

class ScopeChart;

// One line of a legend: its text after a line sample in its series' colour.
struct LegendEntry {
    QString Name;
    int Series;
};

// Paints the legend box of `entries` and, when not empty, the lines of `footer` into the top left
// corner. Sizes follow the painter's font, so the box suits every device.
void PaintLegend(QPainter& painter, const ScopeChart& chart, const std::vector<LegendEntry>& entries,
                 const QString& footer, int left = 0);

class ChartGraticule final : public QCPLayerable {
public:
    enum class Part { Grid, Labels };
    // Draws `scales` (held by the caller) on the layer of its part.
    ChartGraticule(QCustomPlot* plot, Part part, const GraticuleScales& scales);
    // The width the left-hand columns of labels took at the last draw.
    int leftWidth() const { return leftWidth_; }

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
    void draw(QCPPainter* painter) override;

private:
    void drawTime(QCPPainter& painter, const QRect& area);
    // Draws one band; overlaid ones take a column of labels at `left` or `right`, which move
    // inwards by its width.
    void drawBand(QCPPainter& painter, const QRect& area, const ScaleBand& band, bool separated, int& left, int& right);

    Part part_;
    const GraticuleScales& scales_;
    int leftWidth_ = 0;
    int laneLabelsWidth_ = 0;
};

class ChartLegend final : public QCPLayerable {
public:
    // Draws `entries` (held by the caller) on the legend layer; none draws nothing.
    // Drawn right of the labels' left-hand columns.
    ChartLegend(ScopeChart* chart, const std::vector<LegendEntry>& entries, const ChartGraticule& labels);

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
    void draw(QCPPainter* painter) override;

private:
    const ScopeChart& chart_;
    const std::vector<LegendEntry>& entries_;
    const ChartGraticule& labels_;
};

}  // namespace altrix
