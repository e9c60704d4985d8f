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

QColor ChartGraticule::bandColour(const ScaleBand& band) const {
    return band.Series.empty() ? kLabelColour
                               : static_cast<const ScopeChart*>(mParentPlot)->series(band.Series.front())->pen().color();
}

bool ChartGraticule::takeInputs(const QCPPainter& painter, const QRect& area) {
    const QFont& font = mParentPlot->font();
    const int dpi = painter.device() ? painter.device()->logicalDpiY() : 0;
    bool same = laidOut_ && scales_ == shownScales_ && mParentPlot->xAxis->range() == shownTime_ &&
                mParentPlot->yAxis->range() == shownVertical_ && area == shownArea_ && font == shownFont_ &&
                dpi == shownDpi_ && shownColours_.size() == scales_.Bands.size();
    for (std::size_t i = 0; same && i < scales_.Bands.size(); ++i)
        same = bandColour(scales_.Bands[i]).rgba() == shownColours_[i];
    if (same) return false;
    laidOut_ = true;
    shownScales_ = scales_;
    shownTime_ = mParentPlot->xAxis->range();
    shownVertical_ = mParentPlot->yAxis->range();
    shownArea_ = area;
    shownFont_ = font;
    shownDpi_ = dpi;
    shownColours_.clear();
    for (const ScaleBand& band : scales_.Bands) shownColours_.push_back(bandColour(band).rgba());
    return true;
}

void ChartGraticule::draw(QCPPainter* painter) {
    const QRect area = mParentPlot->axisRect()->rect();
    painter->setFont(mParentPlot->font());
    if (takeInputs(*painter, area)) layOut(painter->fontMetrics(), area);
    for (const auto& [colour, line] : lines_) {
        painter->setPen(colour);
        painter->drawLine(line);
    }
    for (const PatchLabel& label : labels_) {
        painter->fillRect(label.Patch, QColor(0, 0, 0, 210));
        painter->setPen(label.Colour);
        painter->drawStaticText(label.At, label.Text);
    }
}

void ChartGraticule::layOut(const QFontMetrics& metrics, const QRect& area) {
    lines_.clear();
    labels_.clear();
    layOutTime(metrics, area);
    int left = area.left(), right = area.right();
    laneLabelsWidth_ = 0;
    for (const ScaleBand& band : scales_.Bands)
        layOutBand(metrics, area, band, scales_.Bands.size() > 1 && std::isfinite(band.Upper), left, right);
    if (part_ == Part::Labels) leftWidth_ = std::max(left - area.left(), laneLabelsWidth_);
}

void ChartGraticule::label(const QRect& patch, int flags, const QString& text, const QColor& colour) {
    // Where QPainter::drawText(patch, flags, text) puts the text, for a line that fits.
    QStaticText shaped(text);
    shaped.setTextFormat(Qt::PlainText);
    shaped.prepare(QTransform(), mParentPlot->font());
    const QSizeF size = shaped.size();
    double x = patch.x(), y = patch.y();
    if (flags & Qt::AlignRight)
        x = patch.right() + 1 - size.width();
    else if (flags & Qt::AlignHCenter)
        x = patch.x() + (patch.width() - size.width()) / 2;
    if (flags & Qt::AlignVCenter) y = patch.y() + (patch.height() - size.height()) / 2;
    labels_.push_back({patch, {x, y}, std::move(shaped), colour});
}

void ChartGraticule::layOutTime(const QFontMetrics& metrics, const QRect& area) {
    if (scales_.TimeTitle.empty()) return;
    const QCPAxis& axis = *mParentPlot->xAxis;
    const QString title = QString::fromStdString(scales_.TimeTitle);
    const QRect titleRect(area.right() - metrics.horizontalAdvance(title) - 4, area.bottom() - metrics.height() - 1,
                          metrics.horizontalAdvance(title) + 4, metrics.height());
    const int spacing = metrics.horizontalAdvance(QStringLiteral("-00.00000")) + 2 * metrics.height();
    const LinearScale& scale = scales_.Time;
    const double a = scale.valueAt(axis.range().lower), b = scale.valueAt(axis.range().upper);
    const AxisTicks ticks = NiceTicks(std::min(a, b), std::max(a, b), std::max(1, area.width() / spacing));
    for (const double value : ticks.Values) {
        const int x = static_cast<int>(axis.coordToPixel(scale.coordinateOf(value)));
        if (part_ == Part::Grid) {
            lines_.emplace_back(kGridColour, QLineF(x, area.top(), x, area.bottom()).toLine());
            continue;
        }
        const QString text = TickText(value, ticks.Decimals);
        const QRect rect(x + 3, titleRect.top(), metrics.horizontalAdvance(text) + 2, metrics.height());
        if (rect.right() <= area.right() && !rect.intersects(titleRect))
            label(rect, Qt::AlignLeft | Qt::AlignVCenter, text, kLabelColour);
    }
    if (part_ == Part::Labels) label(titleRect, Qt::AlignRight | Qt::AlignVCenter, title, kLabelColour);
}

void ChartGraticule::layOutBand(const QFontMetrics& metrics, const QRect& area, const ScaleBand& band, bool separated,
                                int& left, int& right) {
    const QCPAxis& axis = *mParentPlot->yAxis;
    const double lower = std::max(band.Lower, axis.range().lower);
    const double upper = std::min(band.Upper, axis.range().upper);
    if (!(lower < upper)) return;
    const int top = static_cast<int>(axis.coordToPixel(upper));
    const int bottom = static_cast<int>(axis.coordToPixel(lower));
    const int line = metrics.height();
    if (part_ == Part::Grid && separated && band.Upper <= axis.range().upper)
        lines_.emplace_back(kLaneColour, QLineF(area.left(), top, area.right(), top).toLine());
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
        for (const double value : ticks.Values) {
            const int y = static_cast<int>(axis.coordToPixel(band.Scale.coordinateOf(value)));
            lines_.emplace_back(kGridColour, QLineF(area.left(), y, area.right(), y).toLine());
        }
        return;
    }
    const QColor colour = bandColour(band);
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
        label(rect, flags, TickText(value, ticks.Decimals), colour);
        last = rect;
    }
    if (separated) {
        laneLabelsWidth_ = std::max(laneLabelsWidth_, width);
        // A lane's title in its top right corner.
        if (!title.isEmpty() && bottom - top > line) {
            const int titleWidth = metrics.horizontalAdvance(title) + 6;
            label(QRect(area.right() - titleWidth - 2, top + 1, titleWidth, line), Qt::AlignCenter, title, colour);
        }
        return;
    }
    label(QRect(x + 3, top + 1, width - 6, line), flags, title, colour);
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
    const QFont& font = mParentPlot->font();
    painter->setFont(font);
    const QFontMetrics metrics = painter->fontMetrics();
    // A new font or resolution shapes every line again; otherwise only the lines whose text changed.
    const int dpi = painter->device() ? painter->device()->logicalDpiY() : 0;
    if (font != shapedFont_ || dpi != shapedDpi_) {
        lines_.clear();
        shapedFont_ = font;
        shapedDpi_ = dpi;
    }
    lines_.resize(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        Line& line = lines_[i];
        if (line.Shaped && line.Name == entries_[i].Name) continue;
        line.Shaped = true;
        line.Name = entries_[i].Name;
        line.Width = metrics.horizontalAdvance(line.Name);
        line.Text = QStaticText(line.Name);
        line.Text.setTextFormat(Qt::PlainText);
        line.Text.prepare(QTransform(), font);
    }
    // As PaintLegend lays it out, without a footer.
    const int height = metrics.height();
    const int pad = std::max(2, height / 3);
    const int swatch = 2 * height;
    int textWidth = 0;
    for (const Line& line : lines_) textWidth = std::max(textWidth, swatch + pad + line.Width);
    const int left = labels_.visible() ? labels_.leftWidth() : 0;
    const QRect box(left + pad, pad, textWidth + 2 * pad, height * static_cast<int>(lines_.size()) + 2 * pad);
    painter->save();
    painter->setPen(QColor(0xC0, 0xC0, 0xC0));
    painter->setBrush(QColor(0, 0, 0, 200));
    painter->drawRect(box);
    int top = box.top() + pad;
    const int x = box.left() + pad;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        painter->setPen(QPen(chart_.series(entries_[i].Series)->pen().color(), 2));
        painter->QPainter::drawLine(x, top + height / 2, x + swatch, top + height / 2);
        painter->setPen(Qt::white);
        const QSizeF size = lines_[i].Text.size();
        painter->drawStaticText(QPointF(x + swatch + pad, top + (height - size.height()) / 2), lines_[i].Text);
        top += height;
    }
    painter->restore();
}

}  // namespace altrix
