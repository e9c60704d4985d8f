#pragma once
// The plot control: a black QCustomPlot with thirteen line series, four fixed hidden axes and
// no margins, so that pixel columns 0 and width() of the chart map exactly to the ends of the
// bottom-axis range whatever its size. It knows nothing of captures or channels: it takes the
// points of numbered series as a TraceSink, and the scales and legend to draw over them.

#include "ChartDecorations.h"
#include "TraceSink.h"
#include "ZoomHistory.h"

#include <qcustomplot.h>

#include <QRect>

#include <array>
#include <optional>
#include <span>
#include <vector>

class QRubberBand;

namespace altrix {

class ScopeChart : public QCustomPlot, public TraceSink {
    Q_OBJECT
public:
    // Series are addressed by their number 1..13 ("Series1" .. "Series13"); the chart holds
    // and draws them in the order 8, 9, 1, 2, 3, 4, 10, 11, 12, 13, 5, 6, 7 (later ones on
    // top). Series 10..13 are grey until their owner colours them (setSeriesColour).
    static constexpr int kSeriesCount = 13;
    // The chart's default size (its size hint); it takes any other.
    static constexpr int kWidth = 1000, kHeight = 360;

    explicit ScopeChart(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {kWidth, kHeight}; }
    // The plot's size in pixels: the columns 0 .. plotWidth() span the bottom-axis range.
    int plotWidth() const { return axisRect()->width(); }
    int plotHeight() const { return axisRect()->height(); }

    QCPGraph* series(int number) const;
    void setSeriesColour(int number, const QColor& colour);
    void clearSeries(int number);
    // Appends a point; points are always appended in ascending x.
    void addPoint(int number, double x, double y);
    int pointCount(int number) const;
    // The sink's side: a series refilled in place (its container keeps its storage), the
    // bands, and a replot, queued or at once.
    SeriesPoints& refill(int number) override;
    void redraw(bool queued) override;

    // Bottom-axis value at a pixel column of the chart (through the zero-line series' key axis).
    double valueAtPixel(double column) const;

    // Every axis range shrinks (percent > 100) or grows (percent < 100) about its centre by
    // (max - min) x (percent - 100) / 100 at each end; ranges are saved before the first zoom.
    void zoomPercent(double percent);
    // Restores the ranges saved before the first zoom and repaints ("Zoom all").
    void undoZoom();
    // Zooms every axis to the pixel rectangle (chart pixel coordinates) and repaints. Its edges
    // are the columns x .. x + width and the rows y .. y + height; column 0 and plotWidth() are
    // the ends of the horizontal ranges, row 0 the top and row plotHeight() the bottom of the
    // vertical ones, so QRect(s, 0, plotWidth(), plotHeight()) shifts the view sideways and
    // keeps every range's width.
    void zoomToPixelRect(const QRect& pixels);
    bool isZoomed() const;
    // The bottom and top axes show 0 .. last unzoomed (the window's 99999, or a longer source's
    // last position); the vertical ranges stay.
    void setWholeRange(double last);
    // The left and right axes mapped so that the left one shows lower..upper ("Fit", the
    // vertical wheel zoom); a zoom like the others.
    void zoomVertical(double lower, double upper);
    // The bottom and top axes show lower..upper (a found event, a chosen one); a zoom like the
    // others.
    void zoomHorizontal(double lower, double upper);
    // Every view change above (and the wheel's, the drags', "Zoom all") first keeps the view it
    // leaves in the zoom history; zoomBack returns to the last one kept, and is false when none
    // is. The history is the chart's own until the owner of the view hands in its own
    // (which must outlive the chart, or be taken back with nullptr).
    bool zoomBack();
    // While on, a rectangle drawn with the mouse zooms the horizontal axes only and hands its
    // rows on as left-axis values (rectangleRows); off, it zooms every axis.
    void setRectangleKeepsVertical(bool on) { mRectangleKeepsVertical = on; }
    void setZoomHistory(ZoomHistory* history) { mHistory = history ? history : &mOwnHistory; }
    void clearZoomHistory() { mHistory->Clear(); }
    int zoomHistoryDepth() const { return mHistory->Depth(); }

    // Initial ranges of the four axes.
    static constexpr double kBottomMin = 0, kBottomMax = 99999;
    static constexpr double kLeftMin = -33000, kLeftMax = 33000;
    static constexpr double kTopMin = 0, kTopMax = 99999;
    static constexpr double kRightMin = -32768, kRightMax = 32767;

    // Grey bands behind the series over the bottom-axis ranges [first, last], drawn per pixel
    // column of the view, each at least kMinBandPixels wide; replaces the bands set before.
    // bandCount() is the number of ranges once those that overlap or touch are joined.
    void setBands(std::span<const std::pair<double, double>> ranges) override;
    int bandCount() const { return mBandCount; }
    static constexpr double kMinBandPixels = 3;

    // The chart as shown with a legend box: each entry's name after its series' colour, then
    // the span; as an image, or as the bytes of a file in the format its suffix names (PNG,
    // SVG, PDF, another raster format Qt writes; empty for none).
    using LegendEntry = altrix::LegendEntry;
    struct Legend {
        std::vector<LegendEntry> Entries;
        QString Span;  // lines under the entries, "\n" between them
    };
    QImage image(const Legend& legend);
    QByteArray imageFile(const QString& suffix, const Legend& legend, const QString& title);

    // The graticule labelled on `scales` (none while its time title is empty) and the legend
    // in the top left corner (none while empty); both drawn at the next replot.
    void setGraticule(const GraticuleScales& scales) {
        if (!(scales == mScales)) mScales = scales;
    }
    void setGraticuleShown(bool shown);
    void setLegendEntries(const std::vector<LegendEntry>& entries) {
        if (!(entries == mLegendEntries)) mLegendEntries = entries;
    }
    // A dashed horizontal line at left-axis value y in `colour`, which a left drag moves
    // (levelDragged at the release); hidden by setLevelLine(false, ...).
    void setLevelLine(bool shown, double y, const QColor& colour);
    bool levelLineShown() const;
    // A vertical orange line at bottom-axis value x marking an event found or chosen; hidden
    // by setEventMarker(false). Its place while shown, else none.
    void setEventMarker(bool shown, double x = 0);
    std::optional<double> eventMarker() const;

signals:
    // Raised at every replot before the series are drawn; series refilled by a slot
    // connected here are drawn in the same replot.
    void beforeDrawSeries();
    // The chart took a new size; its pixel conversions hold for it already.
    void resized();
    void levelDragged(double y);
    // A rectangle zoom with setRectangleKeepsVertical: its bottom and top rows as left-axis
    // values, raised after the horizontal zoom and before its replot.
    void rectangleRows(double lower, double upper);

protected:
    // Left drag: rectangle zoom; a rectangle drawn right to left acts as undoZoom, and drags
    // shorter than a few pixels are ignored so that clicks never zoom. Right drag: scrolls all
    // four axes with the mouse. Both count as zooms. Over the line of Series1..4 the mouse
    // cursor takes that series' shape. Every event still reaches QCustomPlot's own signals.
    // A left drag that starts on the level line moves it instead.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The wheel zooms the bottom axes about the pointer, with Ctrl the vertical ones, with
    // Shift it scrolls sideways; the notches of one turn are one step of the zoom history.
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Ranges of the bottom, left, top and right axes, in that order.
    using Ranges = std::array<QCPRange, 4>;
    enum class Gesture { None, ZoomRect, Scroll, Level };

    std::array<QCPAxis*, 4> axes() const;
    Ranges currentRanges() const;
    void applyRanges(const Ranges& ranges);
    // Applies a view change, saving the ranges first when no zoom is in force; `remember`
    // keeps the view it leaves in the zoom history.
    void changeRanges(const Ranges& ranges, bool remember = true);
    void rememberView();
    // Axis value at a pixel column (horizontal axes) or row (vertical axes).
    double axisValueAt(const QCPAxis* axis, double pixel) const;
    void finishZoomRect(const QPoint& end);
    void scrollTo(const QPoint& pos);
    void updateCursorShape(const QPointF& pos);

    std::array<QCPGraph*, kSeriesCount> mSeries{};  // by series number - 1
    Ranges mSavedRanges{};
    bool mZoomed = false;
    Gesture mGesture = Gesture::None;
    QPoint mGestureStart;
    QPoint mLastScrollPos;
    QRubberBand* mRubberBand = nullptr;
    ZoomHistory mOwnHistory;
    ZoomHistory* mHistory = &mOwnHistory;
    bool mWheelTurning = false;  // the last view change was the wheel's
    bool mRectangleKeepsVertical = false;
    GraticuleScales mScales;
    std::vector<LegendEntry> mLegendEntries;
    ChartGraticule* mGrid = nullptr;
    ChartGraticule* mLabels = nullptr;
    ChartLegend* mLegend = nullptr;
    QCPItemStraightLine* mLevelLine = nullptr;
    QCPItemStraightLine* mEventMarker = nullptr;
    // The stretches joined once; the bands of the view drawn by items made once and reused
    // (at most one per two pixel columns), the others hidden.
    std::vector<QCPItemRect*> mBands;
    std::vector<std::pair<double, double>> mBandRanges, mBandsShown;
    // Appends to one series' container directly: ScopeChart::addPoint's shared-pointer copy
    // per point made a 4 x 100000 redraw three times as long.
    class Appender final : public SeriesPoints {
    public:
        void add(double x, double y) override { points->add(QCPGraphData(x, y)); }
        QCPGraphDataContainer* points = nullptr;
    };
    Appender mAppender;
    int mBandCount = 0;
    void placeBands();
    void paintWithLegend(QCPPainter& painter, const Legend& legend);
};

}  // namespace altrix
