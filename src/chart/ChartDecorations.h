#pragma once
// What the chart draws besides its series, inside the plot so that the plot keeps its pixels:
// the graticule (grid lines behind the series; tick labels along the left and bottom edges and
// the axis titles above them) and the legend box in the top left corner. Each is laid out again
// only when something it shows changed; a replot otherwise paints what was laid out.

#include "AxisTicks.h"

#include <qcustomplot.h>

#include <QStaticText>

#include <utility>
#include <vector>

namespace altrix {

class ScopeChart;

// One line of a legend: its text after a line sample in its series' colour.
struct LegendEntry {
    QString Name;
    int Series;
    bool operator==(const LegendEntry&) const = default;
};

// Paints the legend box of `entries` and, when not empty, the lines of `footer` into the top left
// corner. Sizes follow the painter's font, so the box suits every device.
void PaintLegend(QPainter& painter, const ScopeChart& chart, const std::vector<LegendEntry>& entries,
                 const QString& footer, int left = 0);

// A text on a black patch as laid out once: drawn at every replot without being shaped again.
struct PatchLabel {
    QRect Patch;
    QPointF At;  // the text's top left corner, where QPainter::drawText would put it in the patch
    QStaticText Text;
    QColor Colour;
};

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
    // True when the scales, the view, the area, the font or a labelled series' colour differ from
    // those of the last layout; takes the new ones.
    bool takeInputs(const QCPPainter& painter, const QRect& area);
    void layOut(const QFontMetrics& metrics, const QRect& area);
    void layOutTime(const QFontMetrics& metrics, const QRect& area);
    // Lays out one band; overlaid ones take a column of labels at `left` or `right`, which move
    // inwards by its width.
    void layOutBand(const QFontMetrics& metrics, const QRect& area, const ScaleBand& band, bool separated, int& left,
                    int& right);
    void label(const QRect& patch, int flags, const QString& text, const QColor& colour);
    QColor bandColour(const ScaleBand& band) const;

    Part part_;
    const GraticuleScales& scales_;
    int leftWidth_ = 0;
    int laneLabelsWidth_ = 0;
    // What the last layout was made for, and what it draws.
    bool laidOut_ = false;
    GraticuleScales shownScales_;
    QCPRange shownTime_, shownVertical_;
    QRect shownArea_;
    QFont shownFont_;
    int shownDpi_ = 0;
    std::vector<QRgb> shownColours_;
    std::vector<std::pair<QColor, QLine>> lines_;
    std::vector<PatchLabel> labels_;
};

class ChartLegend final : public QCPLayerable {
public:
    // Draws `entries` (held by the caller) on the legend layer as PaintLegend does; none draws
    // nothing. Drawn right of the labels' left-hand columns. A line is shaped again only when its
    // text changed.
    ChartLegend(ScopeChart* chart, const std::vector<LegendEntry>& entries, const ChartGraticule& labels);

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
    void draw(QCPPainter* painter) override;

private:
    struct Line {
        bool Shaped = false;
        QString Name;
        int Width = 0;
        QStaticText Text;
    };
    const ScopeChart& chart_;
    const std::vector<LegendEntry>& entries_;
    const ChartGraticule& labels_;
    std::vector<Line> lines_;
    QFont shapedFont_;
    int shapedDpi_ = 0;
};

}  // namespace altrix
