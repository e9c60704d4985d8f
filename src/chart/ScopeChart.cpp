#include "ScopeChart.h"

#include <QBuffer>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPageSize>
#include <QPdfWriter>
#include <QRubberBand>
#include <QSvgGenerator>

#include <algorithm>
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

}  // namespace

ScopeChart::ScopeChart(QWidget* parent) : QCustomPlot(parent) {
    setFixedSize(kWidth, kHeight);
    setViewport(rect());
    setBackground(QBrush(Qt::black));
    setInteractions(QCP::Interactions());
    setSelectionRectMode(QCP::srmNone);
    setAutoAddPlottableToLegend(false);
    legend->setVisible(false);
    setNotAntialiasedElements(QCP::aeAll);
    setMouseTracking(true);

    QCPAxisRect* area = axisRect();
    area->setBackground(QBrush(Qt::black));
    area->setAutoMargins(QCP::msNone);
    area->setMinimumMargins(QMargins());
    area->setMargins(QMargins());
    for (QCPAxis* axis : axes()) {
        axis->setVisible(false);
        axis->grid()->setVisible(false);
    }
    applyRanges({QCPRange(kBottomMin, kBottomMax), QCPRange(kLeftMin, kLeftMax),
                 QCPRange(kTopMin, kTopMax), QCPRange(kRightMin, kRightMax)});

    for (const SeriesStyle& style : kStyles) {
        QCPGraph* graph = addGraph(xAxis, yAxis);
        graph->setObjectName(QStringLiteral("Series%1").arg(style.number));
        graph->setName(QString::fromLatin1(style.title));
        graph->setPen(QPen(style.colour, 1, style.line));
        graph->setLineStyle(QCPGraph::lsLine);
        graph->setScatterStyle(QCPScatterStyle(style.marks, QPen(style.colour), Qt::NoBrush, kMarkSize));
        graph->setAdaptiveSampling(true);
        graph->setSelectable(QCP::stNone);
        mSeries[style.number - 1] = graph;
    }

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

void ScopeChart::undoZoom() {
    if (mZoomed) {
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

void ScopeChart::changeRanges(const Ranges& ranges) {
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
        zoomToPixelRect(QRect(QPoint(mGestureStart.x(), std::min(mGestureStart.y(), end.y())),
                              QSize(dx, std::abs(dy))));
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
    mLastScrollPos = pos;
    changeRanges(ranges);
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
            mLastScrollPos = pos;
        }
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
    case Gesture::None:
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
    }
    QCustomPlot::mouseReleaseEvent(event);
}

void ScopeChart::setBands(std::span<const std::pair<double, double>> ranges) {
    mBandRanges.clear();
    for (const auto& [first, last] : ranges) mBandRanges.emplace_back(first, last);
    while (mBands.size() < mBandRanges.size()) {
        auto* band = new QCPItemRect(this);
        band->setLayer(QStringLiteral("grid"));  // behind the series
        band->setPen(Qt::NoPen);
        band->setBrush(QColor(0x80, 0x80, 0x80, 0x90));
        band->topLeft->setType(QCPItemPosition::ptPlotCoords);
        band->bottomRight->setType(QCPItemPosition::ptPlotCoords);
        mBands.push_back(band);
    }
    mBandCount = static_cast<int>(mBandRanges.size());
    placeBands();
}

void ScopeChart::placeBands() {
    const double minWidth = kMinBandPixels * xAxis->range().size() / kWidth;
    for (std::size_t i = 0; i < mBands.size(); ++i) {
        QCPItemRect& band = *mBands[i];
        band.setVisible(i < mBandRanges.size());
        if (i >= mBandRanges.size()) continue;
        const QCPRange& range = mBandRanges[i];
        const double widen = std::max(0.0, minWidth - range.size()) / 2;
        band.topLeft->setCoords(range.lower - widen, kLeftMax);
        band.bottomRight->setCoords(range.upper + widen, kLeftMin);
    }
}

namespace {

// A box in the chart's top left corner: a line of each series' colour before its name, then
// the span. Sizes follow the painter's font, so the box suits every device.
void PaintLegend(QPainter& painter, const ScopeChart& chart, const ScopeChart::Legend& legend) {
    const std::vector<ScopeChart::LegendEntry>& entries = legend.Entries;
    const QString& span = legend.Span;
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    const int pad = std::max(2, line / 3);
    const int swatch = 2 * line;
    int textWidth = metrics.horizontalAdvance(span);
    for (const ScopeChart::LegendEntry& entry : entries)
        textWidth = std::max(textWidth, swatch + pad + metrics.horizontalAdvance(entry.Name));
    const QRect box(pad, pad, textWidth + 2 * pad, line * static_cast<int>(entries.size() + 1) + 2 * pad);

    painter.save();
    painter.setPen(QColor(0xC0, 0xC0, 0xC0));
    painter.setBrush(QColor(0, 0, 0, 200));
    painter.drawRect(box);
    int top = box.top() + pad;
    const int left = box.left() + pad;
    for (const ScopeChart::LegendEntry& entry : entries) {
        painter.setPen(QPen(chart.series(entry.Series)->pen().color(), 2));
        painter.drawLine(left, top + line / 2, left + swatch, top + line / 2);
        painter.setPen(Qt::white);
        painter.drawText(QRect(left + swatch + pad, top, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                         entry.Name);
        top += line;
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(left, top, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter, span);
    painter.restore();
}

}  // namespace

void ScopeChart::paintWithLegend(QCPPainter& painter, const Legend& legend) {
    toPainter(&painter, width(), height());
    PaintLegend(painter, *this, legend);
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
