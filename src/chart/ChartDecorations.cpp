#include "ChartDecorations.h"

#include "ScopeChart.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace altrix {

namespace {

// Grey tones no series uses: the grid, the lines between lanes, the labels.
const QColor kGridColour(0x34, 0x34, 0x34);
const QColor kLaneColour(0x5A, 0x5A, 0x5A);
const QColor kLabelColour(0xA4, 0xA4, 0xA4);

// The user's decimal separator and no group separator, which a small label would blur into a
// decimal point.
QString TickText(double value, int decimals) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

// Text on a black patch: no trace drawn behind it covers it.
void DrawOnPatch(QPainter& painter, const QRect& rect, int flags, const QString& text, const QColor& colour) {
    painter.fillRect(rect, QColor(0, 0, 0, 210));
    painter.setPen(colour);
    painter.drawText(rect, flags, text);
}

}  // namespace

void PaintLegend(QPainter& painter, const ScopeChart& chart, const std::vector<LegendEntry>& entries,
                 const QString& footer, int left) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    const int pad = std::max(2, line / 3);
    const int swatch = 2 * line;
    const QStringList notes = footer.isEmpty() ? QStringList() : footer.split(QLatin1Char('\n'));
    const int lines = static_cast<int>(entries.size() + notes.size());
    int textWidth = 0;
    for (const QString& note : notes) textWidth = std::max(textWidth, metrics.horizontalAdvance(note));
    for (const LegendEntry& entry : entries)
        textWidth = std::max(textWidth, swatch + pad + metrics.horizontalAdvance(entry.Name));
    const QRect box(left + pad, pad, textWidth + 2 * pad, line * lines + 2 * pad);

    painter.save();
    painter.setPen(QColor(0xC0, 0xC0, 0xC0));
    painter.setBrush(QColor(0, 0, 0, 200));
    painter.drawRect(box);
    int top = box.top() + pad;
    left = box.left() + pad;
    // A line sample on the box's black: every series' colour reads there, white too.
    for (const LegendEntry& entry : entries) {
        painter.setPen(QPen(chart.series(entry.Series)->pen().color(), 2));
        painter.drawLine(left, top + line / 2, left + swatch, top + line / 2);
        painter.setPen(Qt::white);
        painter.drawText(QRect(left + swatch + pad, top, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                         entry.Name);
        top += line;
    }
    painter.setPen(Qt::white);
    for (const QString& note : notes) {
        painter.drawText(QRect(left, top, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter, note);
        top += line;
    }
    painter.restore();
}

ChartGraticule::ChartGraticule(QCustomPlot* plot, Part part, const GraticuleScales& scales)
    : QCPLayerable(plot, part == Part::Grid ? QStringLiteral("grid") : QStringLiteral("axes")),
      part_(part),
      scales_(scales) {}

void ChartGraticule::applyDefaultAntialiasingHint(QCPPainter* painter) const {
    painter->setAntialiasing(false);
}

void ChartGraticule::draw(QCPPainter* painter) {
    const QRect area = mParentPlot->axisRect()->rect();
    painter->setFont(mParentPlot->font());
    drawTime(*painter, area);
    int left = area.left(), right = area.right();
    laneLabelsWidth_ = 0;
    for (const ScaleBand& band : scales_.Bands)
        drawBand(*painter, area, band, scales_.Bands.size() > 1 && std::isfinite(band.Upper), left, right);
    if (part_ == Part::Labels) leftWidth_ = std::max(left - area.left(), laneLabelsWidth_);
}

void ChartGraticule::drawTime(QCPPainter& painter, const QRect& area) {
    if (scales_.TimeTitle.empty()) return;
    const QCPAxis& axis = *mParentPlot->xAxis;
    const QFontMetrics metrics = painter.fontMetrics();
    const QString title = QString::fromStdString(scales_.TimeTitle);
    const QRect titleRect(area.right() - metrics.horizontalAdvance(title) - 4, area.bottom() - metrics.height() - 1,
                          metrics.horizontalAdvance(title) + 4, metrics.height());
    const int spacing = metrics.horizontalAdvance(QStringLiteral("-00.00000")) + 2 * metrics.height();
    const LinearScale& scale = scales_.Time;
    const double a = scale.valueAt(axis.range().lower), b = scale.valueAt(axis.range().upper);
    const AxisTicks ticks = NiceTicks(std::min(a, b), std::max(a, b), std::max(1, area.width() / spacing));
    painter.setPen(part_ == Part::Grid ? kGridColour : kLabelColour);
    for (const double value : ticks.Values) {
        const int x = static_cast<int>(axis.coordToPixel(scale.coordinateOf(value)));
        if (part_ == Part::Grid) {
            painter.drawLine(QLineF(x, area.top(), x, area.bottom()));
            continue;
        }
        const QString text = TickText(value, ticks.Decimals);
        const QRect rect(x + 3, titleRect.top(), metrics.horizontalAdvance(text) + 2, metrics.height());
        if (rect.right() <= area.right() && !rect.intersects(titleRect))
            DrawOnPatch(painter, rect, Qt::AlignLeft | Qt::AlignVCenter, text, kLabelColour);
    }
    if (part_ == Part::Labels) DrawOnPatch(painter, titleRect, Qt::AlignRight | Qt::AlignVCenter, title, kLabelColour);
}

void ChartGraticule::drawBand(QCPPainter& painter, const QRect& area, const ScaleBand& band, bool separated, int& left,
                              int& right) {
    const QCPAxis& axis = *mParentPlot->yAxis;
    const double lower = std::max(band.Lower, axis.range().lower);
    const double upper = std::min(band.Upper, axis.range().upper);
    if (!(lower < upper)) return;
    const int top = static_cast<int>(axis.coordToPixel(upper));
    const int bottom = static_cast<int>(axis.coordToPixel(lower));
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    if (part_ == Part::Grid && separated && band.Upper <= axis.range().upper) {
        painter.setPen(kLaneColour);
        painter.drawLine(QLineF(area.left(), top, area.right(), top));
    }
    if (part_ == Part::Grid && !band.Grid) return;
    // Labels centred on their ticks: the ticks keep half a line from the band's edges, an
    // overlaid axis's top line from its title and the bottom line from the time's labels; at
    // least three of them.
    const int floor = bottom >= area.bottom() - 1 ? bottom - line : bottom;
    const int labelTop = top + line / 2 + (separated ? 0 : line), labelBottom = floor - line / 2;
    if (labelBottom <= labelTop) return;
    const double a = band.Scale.valueAt(axis.pixelToCoord(labelBottom)), b = band.Scale.valueAt(axis.pixelToCoord(labelTop));
    const AxisTicks ticks = AtLeastTicks(std::min(a, b), std::max(a, b), std::max(1, (labelBottom - labelTop) / (2 * line)), 3);
    if (part_ == Part::Grid) {
        painter.setPen(kGridColour);
        for (const double value : ticks.Values) {
            const int y = static_cast<int>(axis.coordToPixel(band.Scale.coordinateOf(value)));
            painter.drawLine(QLineF(area.left(), y, area.right(), y));
        }
        return;
    }
    const QColor colour = band.Series.empty() ? kLabelColour
                                              : static_cast<const ScopeChart*>(mParentPlot)->series(band.Series.front())->pen().color();
    const QString title = QString::fromStdString(band.Title);
    int width = separated ? 0 : metrics.horizontalAdvance(title);
    for (const double value : ticks.Values) width = std::max(width, metrics.horizontalAdvance(TickText(value, ticks.Decimals)));
    width += 6;
    const int x = band.Right && !separated ? right - width : left;
    const int flags = (band.Right && !separated ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    QRect last;  // none over the one drawn before
    for (const double value : ticks.Values) {
        const int y = static_cast<int>(axis.coordToPixel(band.Scale.coordinateOf(value)));
        const QRect rect(x + 3, y - line / 2, width - 6, line);
        if (last.isValid() && rect.intersects(last)) continue;
        DrawOnPatch(painter, rect, flags, TickText(value, ticks.Decimals), colour);
        last = rect;
    }
    if (separated) {
        laneLabelsWidth_ = std::max(laneLabelsWidth_, width);
        // A lane's title in its top right corner.
        if (!title.isEmpty() && bottom - top > line) {
            const int titleWidth = metrics.horizontalAdvance(title) + 6;
            DrawOnPatch(painter, QRect(area.right() - titleWidth - 2, top + 1, titleWidth, line), Qt::AlignCenter, title,
                        colour);
        }
        return;
    }
    DrawOnPatch(painter, QRect(x + 3, top + 1, width - 6, line), flags, title, colour);
    if (band.Right)
        right -= width;
    else
        left += width;
}

ChartLegend::ChartLegend(ScopeChart* chart, const std::vector<LegendEntry>& entries, const ChartGraticule& labels)
    : QCPLayerable(chart, QStringLiteral("legend")), chart_(*chart), entries_(entries), labels_(labels) {}

void ChartLegend::applyDefaultAntialiasingHint(QCPPainter* painter) const {
    painter->setAntialiasing(false);
}

void ChartLegend::draw(QCPPainter* painter) {
    if (entries_.empty()) return;
    painter->setFont(mParentPlot->font());
    PaintLegend(*painter, chart_, entries_, QString(), labels_.visible() ? labels_.leftWidth() : 0);
}

}  // namespace altrix
