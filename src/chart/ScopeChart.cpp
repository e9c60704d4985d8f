#include "ScopeChart.h"

#include "GapBands.h"

#include <QBuffer>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPageSize>
#include <QPdfWriter>
#include <QRubberBand>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace altrix {

namespace {

struct SeriesStyle {
    int number;
    QColor colour;
    Qt::PenStyle line;
    QCPScatterStyle::ScatterShape marks;
    Qt::CursorShape cursor;  // Qt::ArrowCursor: the chart's default
    const char* title;
};

// In drawing order: later series are drawn over earlier ones.
const std::array<SeriesStyle, ScopeChart::kSeriesCount> kStyles{{
    {8, QColor(0x80, 0x80, 0x00), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::ArrowCursor, "refer1"},
    {9, QColor(0x80, 0x00, 0x80), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::ArrowCursor, "Series8"},
    {1, QColor(0xFF, 0x00, 0x00), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::CrossCursor, "Series1"},
    {2, QColor(0x00, 0xFF, 0xFF), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::UpArrowCursor, "Series2"},
    {3, QColor(0xFF, 0xFF, 0x00), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::SizeVerCursor, "Series3"},
    {4, QColor(0xFF, 0xFF, 0xFF), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::PointingHandCursor,
     "Series4"},
    {10, QColor(0x80, 0x80, 0x80), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::ArrowCursor, "Series10"},
    {11, QColor(0x80, 0x80, 0x80), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::ArrowCursor, "Series11"},
    {12, QColor(0x80, 0x80, 0x80), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::ArrowCursor, "Series12"},
    {13, QColor(0x80, 0x80, 0x80), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::ArrowCursor, "Series13"},
    {5, QColor(0x00, 0xFF, 0x00), Qt::SolidLine, QCPScatterStyle::ssNone, Qt::ArrowCursor, "Series5"},
    {6, QColor(0xC0, 0xC0, 0xC0), Qt::DashLine, QCPScatterStyle::ssSquare, Qt::ArrowCursor, "Series6"},
    {7, QColor(0xC0, 0xC0, 0xC0), Qt::DotLine, QCPScatterStyle::ssCross, Qt::ArrowCursor, "Series7"},
}};

constexpr double kMarkSize = 7;
// A mouse within this many pixels of a line is over it.
constexpr double kCursorTolerancePixels = 3;
// Left drags shorter than this (in either direction, see finishZoomRect) are clicks.
constexpr int kMinDragPixels = 5;
// A wheel notch (120 eighths of a degree) zooms to this fraction of the range, or scrolls by
// this much of it with Shift.
constexpr double kWheelZoom = 0.8;
constexpr double kWheelScroll = 0.1;
// A press within this many pixels of the level line takes the line.
constexpr double kLevelGrabPixels = 4;

// A series drawn as QCustomPlot draws a solid line with phFastPolylines (each segment rounded
// to whole pixels, a NaN point a gap), but in one call to the paint engine: the same pixels
// without the engine's set-up for every segment, which cost more than the drawing.
class SeriesGraph final : public QCPGraph {
public:
    SeriesGraph(QCPAxis* key, QCPAxis* value) : QCPGraph(key, value) {}

protected:
    void drawLinePlot(QCPPainter* painter, const QVector<QPointF>& lines) const override {
        QPen pen = painter->pen();
        // Everything the segment by segment drawing would not do as whole-pixel lines of an
        // opaque pen is left to it.
        if (pen.style() != Qt::SolidLine || pen.color().alpha() != 255 || !qFuzzyCompare(pen.widthF(), 1.0) ||
            painter->modes().testFlag(QCPPainter::pmVectorized) || painter->modes().testFlag(QCPPainter::pmNoCaching) ||
            !mParentPlot->plottingHints().testFlag(QCP::phFastPolylines))
            return QCPGraph::drawLinePlot(painter, lines);
        applyDefaultAntialiasingHint(painter);
        if (painter->antialiasing()) return QCPGraph::drawLinePlot(painter, lines);
        pen.setWidth(0);
        painter->setPen(pen);
        segments_.clear();
        const auto gap = [](const QPointF& p) { return qIsNaN(p.x()) || qIsNaN(p.y()); };
        qsizetype i = 0;
        const qsizetype size = lines.size();
        while (i < size && gap(lines.at(i))) ++i;
        bool afterGap = false;
        for (++i; i < size; ++i) {
            if (gap(lines.at(i))) {
                afterGap = true;
            } else if (afterGap) {
                afterGap = false;
            } else {
                segments_.push_back(QLineF(lines.at(i - 1), lines.at(i)).toLine());
            }
        }
        if (!segments_.empty()) painter->QPainter::drawLines(segments_.data(), static_cast<int>(segments_.size()));
    }

private:
    mutable std::vector<QLine> segments_;  // kept for its storage
};

}  // namespace

ScopeChart::ScopeChart(QWidget* parent) : QCustomPlot(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted: nothing behind it is
    resize(kWidth, kHeight);
    setViewport(rect());
    setBackground(QBrush(Qt::black));
    setInteractions(QCP::Interactions());
    setSelectionRectMode(QCP::srmNone);
    setAutoAddPlottableToLegend(false);
    legend->setVisible(false);
    setNotAntialiasedElements(QCP::aeAll);
    // Lines as one polyline in floating point: drawn segment by segment, QCustomPlot rounds each
    // to whole pixels when not antialiased, and a nearly flat trace's sub-pixel segments vanish.
    setPlottingHint(QCP::phFastPolylines);
    setMouseTracking(true);

    QCPAxisRect* area = axisRect();
    area->setBackground(QBrush(Qt::black));
    area->setAutoMargins(QCP::msNone);
    area->setMinimumMargins(QMargins());
    area->setMargins(QMargins());
    for (QCPAxis* axis : axes()) {
        axis->setVisible(false);
        axis->grid()->setVisible(false);
        // Hidden, so no ticks or labels worked out at every replot.
        axis->setTicks(false);
        axis->setTickLabels(false);
    }
    // Nothing is drawn on the overlay alone: one paint buffer, cleared and painted once a replot.
    layer(QStringLiteral("overlay"))->setMode(QCPLayer::lmLogical);
    applyRanges({QCPRange(kBottomMin, kBottomMax), QCPRange(kLeftMin, kLeftMax),
                 QCPRange(kTopMin, kTopMax), QCPRange(kRightMin, kRightMax)});

    for (const SeriesStyle& style : kStyles) {
        QCPGraph* graph = new SeriesGraph(xAxis, yAxis);
        graph->setObjectName(QStringLiteral("Series%1").arg(style.number));
        graph->setName(QString::fromLatin1(style.title));
        graph->setPen(QPen(style.colour, 1, style.line));
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setScatterStyle(QCPScatterStyle(style.marks, QPen(style.colour), Qt::NoBrush, kMarkSize));
        graph->setAdaptiveSampling(true);
        graph->setSelectable(QCP::stNone);
        mSeries[style.number - 1] = graph;
    }

    mGrid = new ChartGraticule(this, ChartGraticule::Part::Grid, mScales);
    mLabels = new ChartGraticule(this, ChartGraticule::Part::Labels, mScales);
    mLegend = new ChartLegend(this, mLegendEntries, *mLabels);

    mRubberBand = new QRubberBand(QRubberBand::Rectangle, this);
    connect(this, &QCustomPlot::beforeReplot, this, &ScopeChart::beforeDrawSeries);
    connect(this, &QCustomPlot::beforeReplot, this, &ScopeChart::placeBands);
    // Lay out now so that the pixel conversions hold before the first repaint.
    updateLayout();
}

QCPGraph* ScopeChart::series(int number) const {
    Q_ASSERT(number >= 1 && number <= kSeriesCount);
    return mSeries[number - 1];
}

void ScopeChart::setSeriesColour(int number, const QColor& colour) {
    QPen pen = series(number)->pen();
    pen.setColor(colour);
    series(number)->setPen(pen);
}

void ScopeChart::clearSeries(int number) {
    series(number)->data()->clear();
}

void ScopeChart::addPoint(int number, double x, double y) {
    series(number)->data()->add(QCPGraphData(x, y));
}

SeriesPoints& ScopeChart::refill(int number) {
    mAppender.points = series(number)->data().data();
    mAppender.points->clear();
    return mAppender;
}

void ScopeChart::redraw(bool queued) {
    replot(queued ? QCustomPlot::rpQueuedReplot : QCustomPlot::rpRefreshHint);
}

int ScopeChart::pointCount(int number) const {
    return series(number)->dataCount();
}

double ScopeChart::valueAtPixel(double column) const {
    return series(5)->keyAxis()->pixelToCoord(column);
}

void ScopeChart::zoomPercent(double percent) {
    Ranges ranges = currentRanges();
    for (QCPRange& range : ranges) {
        const double d = range.size() * (percent - 100) * 0.01;
        range = QCPRange(range.lower + d, range.upper - d);
    }
    changeRanges(ranges);
    replot();
}

void ScopeChart::setWholeRange(double last) {
    Ranges ranges = mZoomed ? mSavedRanges : currentRanges();
    ranges[0] = ranges[2] = QCPRange(0, last);
    mZoomed = false;
    applyRanges(ranges);
    replot();
}

void ScopeChart::undoZoom() {
    if (mZoomed) {
        rememberView();
        applyRanges(mSavedRanges);
        mZoomed = false;
    }
    replot();
}

void ScopeChart::zoomToPixelRect(const QRect& pixels) {
    const double left = pixels.x(), right = pixels.x() + pixels.width();
    const double top = pixels.y(), bottom = pixels.y() + pixels.height();
    Ranges ranges;
    const auto all = axes();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const QCPAxis* axis = all[i];
        ranges[i] = axis->orientation() == Qt::Horizontal
                        ? QCPRange(axisValueAt(axis, left), axisValueAt(axis, right))
                        : QCPRange(axisValueAt(axis, bottom), axisValueAt(axis, top));
    }
    changeRanges(ranges);
    replot();
}

bool ScopeChart::isZoomed() const {
    return mZoomed;
}

void ScopeChart::zoomVertical(double lower, double upper) {
    if (!(lower < upper) || !std::isfinite(upper - lower)) return;
    Ranges ranges = currentRanges();
    // The right axis follows the left one's change of its ends.
    const QCPRange left = ranges[1];
    const QCPRange right = ranges[3];
    const auto follow = [&](double value) { return right.lower + (value - left.lower) / left.size() * right.size(); };
    ranges[1] = QCPRange(lower, upper);
    ranges[3] = QCPRange(follow(lower), follow(upper));
    changeRanges(ranges);
    replot();
}

void ScopeChart::zoomHorizontal(double lower, double upper) {
    if (!(lower < upper) || !std::isfinite(upper - lower)) return;
    Ranges ranges = currentRanges();
    ranges[0] = ranges[2] = QCPRange(lower, upper);
    changeRanges(ranges);
    replot();
}

bool ScopeChart::zoomBack() {
    const std::optional<AxisSpans> view = mHistory->Back();
    if (!view) return false;
    Ranges ranges;
    for (std::size_t i = 0; i < ranges.size(); ++i) ranges[i] = QCPRange((*view)[i].Lower, (*view)[i].Upper);
    mWheelTurning = false;
    applyRanges(ranges);
    const auto same = [](const QCPRange& a, const QCPRange& b) { return a.lower == b.lower && a.upper == b.upper; };
    mZoomed = !std::equal(ranges.begin(), ranges.end(), mSavedRanges.begin(), same);
    replot();
    return true;
}

void ScopeChart::rememberView() {
    AxisSpans view;
    const Ranges ranges = currentRanges();
    for (std::size_t i = 0; i < ranges.size(); ++i) view[i] = {ranges[i].lower, ranges[i].upper};
    mHistory->Keep(view);
}

std::array<QCPAxis*, 4> ScopeChart::axes() const {
    return {xAxis, yAxis, xAxis2, yAxis2};
}

ScopeChart::Ranges ScopeChart::currentRanges() const {
    Ranges ranges;
    const auto all = axes();
    for (std::size_t i = 0; i < all.size(); ++i)
        ranges[i] = all[i]->range();
    return ranges;
}

void ScopeChart::applyRanges(const Ranges& ranges) {
    const auto all = axes();
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i]->setRange(ranges[i]);
}

void ScopeChart::changeRanges(const Ranges& ranges, bool remember) {
    if (remember) rememberView();
    mWheelTurning = false;
    if (!mZoomed) {
        mSavedRanges = currentRanges();
        mZoomed = true;
    }
    applyRanges(ranges);
}

double ScopeChart::axisValueAt(const QCPAxis* axis, double pixel) const {
    if (axis->orientation() == Qt::Horizontal)
        return axis->pixelToCoord(pixel);
    // QCPAxis maps vertical coordinates against the last pixel row (QRect::bottom()); here
    // row top is the range's upper end and row top + height its lower end.
    const QRect area = axisRect()->rect();
    const QCPRange range = axis->range();
    return range.upper - (pixel - area.top()) / area.height() * range.size();
}

void ScopeChart::finishZoomRect(const QPoint& end) {
    const int dx = end.x() - mGestureStart.x();
    const int dy = end.y() - mGestureStart.y();
    if (dx <= -kMinDragPixels) {
        undoZoom();
    } else if (dx >= kMinDragPixels && std::abs(dy) >= kMinDragPixels) {
        const QRect pixels(QPoint(mGestureStart.x(), std::min(mGestureStart.y(), end.y())), QSize(dx, std::abs(dy)));
        if (!mRectangleKeepsVertical) return zoomToPixelRect(pixels);
        Ranges ranges = currentRanges();
        for (const std::size_t i : {std::size_t{0}, std::size_t{2}})
            ranges[i] = QCPRange(axisValueAt(axes()[i], pixels.x()), axisValueAt(axes()[i], pixels.x() + pixels.width()));
        changeRanges(ranges);
        emit rectangleRows(axisValueAt(yAxis, pixels.y() + pixels.height()), axisValueAt(yAxis, pixels.y()));
        replot();
    }
}

void ScopeChart::scrollTo(const QPoint& pos) {
    if (pos == mLastScrollPos)
        return;
    // The values under the previous mouse position move to the new one.
    Ranges ranges = currentRanges();
    const auto all = axes();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const bool horizontal = all[i]->orientation() == Qt::Horizontal;
        const double from = horizontal ? mLastScrollPos.x() : mLastScrollPos.y();
        const double to = horizontal ? pos.x() : pos.y();
        const double shift = axisValueAt(all[i], from) - axisValueAt(all[i], to);
        ranges[i] = QCPRange(ranges[i].lower + shift, ranges[i].upper + shift);
    }
    // A drag is one step of the history: the view it started from.
    const bool first = mLastScrollPos == mGestureStart;
    mLastScrollPos = pos;
    changeRanges(ranges, first);
    replot(rpQueuedReplot);
}

void ScopeChart::updateCursorShape(const QPointF& pos) {
    Qt::CursorShape shape = Qt::ArrowCursor;
    // Topmost series first.
    for (auto it = kStyles.rbegin(); it != kStyles.rend(); ++it) {
        if (it->cursor == Qt::ArrowCursor)
            continue;
        const double distance = series(it->number)->selectTest(pos, false);
        if (distance >= 0 && distance <= kCursorTolerancePixels) {
            shape = it->cursor;
            break;
        }
    }
    if (cursor().shape() != shape)
        setCursor(shape);
}

void ScopeChart::mousePressEvent(QMouseEvent* event) {
    if (mGesture == Gesture::None) {
        const QPoint pos = event->position().toPoint();
        if (event->button() == Qt::LeftButton) {
            mGesture = Gesture::ZoomRect;
            mGestureStart = pos;
        } else if (event->button() == Qt::RightButton) {
            mGesture = Gesture::Scroll;
            mLastScrollPos = mGestureStart = pos;
        }
        if (event->button() == Qt::LeftButton && levelLineShown() &&
            std::abs(pos.y() - yAxis->coordToPixel(mLevelLine->point1->coords().y())) <= kLevelGrabPixels)
            mGesture = Gesture::Level;
    }
    QCustomPlot::mousePressEvent(event);
}

void ScopeChart::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    switch (mGesture) {
    case Gesture::ZoomRect:
        mRubberBand->setGeometry(QRect(mGestureStart, pos).normalized());
        mRubberBand->show();
        break;
    case Gesture::Scroll:
        scrollTo(pos);
        break;
    case Gesture::Level: {
        const double y = axisValueAt(yAxis, pos.y());
        mLevelLine->point1->setCoords(0, y);
        mLevelLine->point2->setCoords(1, y);
        replot(rpQueuedReplot);
        break;
    }
    case Gesture::None:
        mWheelTurning = false;
        updateCursorShape(event->position());
        break;
    }
    QCustomPlot::mouseMoveEvent(event);
}

void ScopeChart::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (mGesture == Gesture::ZoomRect && event->button() == Qt::LeftButton) {
        mGesture = Gesture::None;
        mRubberBand->hide();
        finishZoomRect(pos);
    } else if (mGesture == Gesture::Scroll && event->button() == Qt::RightButton) {
        mGesture = Gesture::None;
        scrollTo(pos);
    } else if (mGesture == Gesture::Level && event->button() == Qt::LeftButton) {
        mGesture = Gesture::None;
        emit levelDragged(axisValueAt(yAxis, pos.y()));
    }
    QCustomPlot::mouseReleaseEvent(event);
}

void ScopeChart::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    // Some platforms turn a wheel with Shift into a horizontal one.
    const double notches = (delta.y() != 0 ? delta.y() : delta.x()) / 120.0;
    if (notches == 0 || mGesture != Gesture::None) return;
    const Qt::KeyboardModifiers keys = event->modifiers();
    const QPointF at = event->position();
    Ranges ranges = currentRanges();
    const auto all = axes();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const bool horizontal = all[i]->orientation() == Qt::Horizontal;
        QCPRange& range = ranges[i];
        if (keys & Qt::ShiftModifier) {
            if (horizontal) range += -notches * kWheelScroll * range.size();
        } else if (horizontal != bool(keys & Qt::ControlModifier)) {
            const double centre = axisValueAt(all[i], horizontal ? at.x() : at.y());
            const double factor = std::pow(kWheelZoom, notches);
            range = QCPRange(centre + (range.lower - centre) * factor, centre + (range.upper - centre) * factor);
        }
    }
    const bool remember = !mWheelTurning;
    changeRanges(ranges, remember);
    mWheelTurning = true;
    replot(rpQueuedReplot);
    event->accept();
}

void ScopeChart::paintEvent(QPaintEvent* event) {
    // The one paint buffer is opaque (the plot area's black covers it): copied over the widget
    // rather than blended onto a background filled first.
    if (mPaintBuffers.size() != 1) return QCustomPlot::paintEvent(event);
    QCPPainter painter(this);
    if (!painter.isActive()) return;
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    mPaintBuffers.front()->draw(&painter);
}

void ScopeChart::resizeEvent(QResizeEvent* event) {
    QCustomPlot::resizeEvent(event);
    updateLayout();
    emit resized();
}

void ScopeChart::setGraticuleShown(bool shown) {
    mGrid->setVisible(shown);
    mLabels->setVisible(shown);
}

void ScopeChart::setLevelLine(bool shown, double y, const QColor& colour) {
    // Made when first set, after the items the chart's users made first.
    if (!mLevelLine) {
        mLevelLine = new QCPItemStraightLine(this);
        mLevelLine->setSelectable(false);
    }
    mLevelLine->setVisible(shown);
    mLevelLine->setPen(QPen(colour, 1, Qt::DashLine));
    if (mGesture == Gesture::Level) return;  // the drag holds the line
    mLevelLine->point1->setCoords(0, y);
    mLevelLine->point2->setCoords(1, y);
}

void ScopeChart::setEventMarker(bool shown, double x) {
    if (!mEventMarker) {
        mEventMarker = new QCPItemStraightLine(this);
        mEventMarker->setSelectable(false);
        mEventMarker->setPen(QPen(QColor(0xFF, 0x80, 0x00), 1, Qt::DashLine));  // orange: no trace uses it
    }
    mEventMarker->setVisible(shown);
    mEventMarker->point1->setCoords(x, 0);
    mEventMarker->point2->setCoords(x, 1);
    replot(rpQueuedReplot);
}

std::optional<double> ScopeChart::eventMarker() const {
    if (!mEventMarker || !mEventMarker->visible()) return std::nullopt;
    return mEventMarker->point1->coords().x();
}

bool ScopeChart::levelLineShown() const {
    return mLevelLine && mLevelLine->visible();
}

void ScopeChart::setBands(std::span<const std::pair<double, double>> ranges) {
    mBandRanges = JoinStretches(ranges);
    mBandCount = static_cast<int>(mBandRanges.size());
    placeBands();
}

void ScopeChart::placeBands() {
    // Only the bands of the view, merged per pixel column: the same work for any number of gaps.
    BandsInView(mBandRanges, xAxis->range().lower, xAxis->range().upper, std::max(1, plotWidth()),
                static_cast<int>(kMinBandPixels), mBandsShown);
    while (mBands.size() < mBandsShown.size()) {
        auto* band = new QCPItemRect(this);
        band->setLayer(QStringLiteral("grid"));  // behind the series
        band->setPen(Qt::NoPen);
        band->setBrush(QColor(0x80, 0x80, 0x80, 0x90));
        band->topLeft->setType(QCPItemPosition::ptPlotCoords);
        band->bottomRight->setType(QCPItemPosition::ptPlotCoords);
        mBands.push_back(band);
    }
    for (std::size_t i = 0; i < mBands.size(); ++i) {
        QCPItemRect& band = *mBands[i];
        band.setVisible(i < mBandsShown.size());
        if (i >= mBandsShown.size()) continue;
        band.topLeft->setCoords(mBandsShown[i].first, kLeftMax);
        band.bottomRight->setCoords(mBandsShown[i].second, kLeftMin);
    }
}

void ScopeChart::paintWithLegend(QCPPainter& painter, const Legend& legend) {
    // The export's legend takes the place of the one on screen.
    mLegend->setVisible(false);
    toPainter(&painter, width(), height());
    mLegend->setVisible(true);
    // Right of the overlaid axes' labels, as on screen.
    PaintLegend(painter, *this, legend.Entries, legend.Span, mLabels->visible() ? mLabels->leftWidth() : 0);
}

QImage ScopeChart::image(const Legend& legend) {
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    QCPPainter painter(&image);
    paintWithLegend(painter, legend);
    return image;
}

QByteArray ScopeChart::imageFile(const QString& suffix, const Legend& legend, const QString& title) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    // Vector output at the chart's dots per inch, so text keeps its size against the plot.
    if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size());
        svg.setViewBox(QRect(QPoint(), size()));
        svg.setResolution(logicalDpiX());
        svg.setTitle(title);
        QCPPainter painter(&svg);
        paintWithLegend(painter, legend);
    } else if (suffix == QLatin1String("pdf")) {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(logicalDpiX());
        pdf.setPageSize(QPageSize(QSizeF(size()), QPageSize::Point, QString(), QPageSize::ExactMatch));
        pdf.setPageMargins(QMarginsF());
        pdf.setTitle(title);
        QCPPainter painter(&pdf);
        painter.setWindow(QRect(QPoint(), size()));
        paintWithLegend(painter, legend);
    } else if (QImageWriter::supportedImageFormats().contains(suffix.toLatin1())) {
        image(legend).save(&buffer, suffix.toLatin1().constData());
    }
    return buffer.data();
}

}  // namespace altrix
