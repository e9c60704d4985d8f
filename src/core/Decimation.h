#pragma once
// The decimation of a trace into chart points. A window of 100000 samples (the newest sets of
// a channel, or a reference) becomes the points that a chart series draws, in ascending x:
// either the samples at a fixed stride, or the envelope of a view, the samples that hold the
// smallest and largest value of each pixel column. Points go to a sink of the caller, called
// as sink(x, y), so that a chart's own container is filled in place without a copy.

#include "CaptureRecord.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

namespace altrix {

// Plotted value of a raw sample: sample x scale, formed in double (exact for a 16-bit
// integer times a float) and truncated toward zero.
inline double PlottedValue(std::int16_t sample, float scale) {
    return std::trunc(static_cast<double>(sample) * static_cast<double>(scale));
}

// The samples of a window, oldest first, as at most two runs of storage: position x is
// older[x] below older.size() and newer[x - older.size()] from there on. Channel and
// reference windows hold 100000 samples.
struct WindowSamples {
    std::span<const std::int16_t> older;
    std::span<const std::int16_t> newer;

    int size() const { return static_cast<int>(older.size() + newer.size()); }
    std::int16_t operator[](int position) const {
        const auto at = static_cast<std::size_t>(position);
        return at < older.size() ? older[at] : newer[at - older.size()];
    }
};

// A window of values that are no raw samples (a math trace's), by position; NaN where there is
// none, which a chart draws as a gap.
struct ValueWindow {
    std::span<const double> values;

    int size() const { return static_cast<int>(values.size()); }
    double operator[](int position) const { return values[static_cast<std::size_t>(position)]; }
};

// The plotted value of a value: value x scale, NaN kept.
inline double PlottedValue(double value, float scale) {
    return value * static_cast<double>(scale);
}

// A channel's window: position x shows slot SlotOfPosition(nextSample, x).
WindowSamples ChannelWindow(const ChannelSamples& trace, std::int32_t nextSample);
// A reference's window: position x is its own index x.
WindowSamples ReferenceWindow(const ReferenceSamples& trace);

// Stride of a point count (1..100000): 100000 / pointCount, integer division.
constexpr int StrideOf(std::int32_t pointCount) {
    return kWindowPositions / pointCount;
}

// A channel's window (or a math trace's) at the stride of pointCount: positions 0, s, 2s, ...
// below 99999, then the newest sample at 99999 unless the stride landed on 99999 itself, so
// stride 1 ends at 99998.
template <class Window, class Sink>
void PickChannelPoints(const Window& window, std::int32_t pointCount, float scale, Sink&& sink) {
    const int stride = StrideOf(pointCount);
    int x = 0;
    for (; x < kNewestPosition; x += stride) sink(x, PlottedValue(window[x], scale));
    if (x > kNewestPosition) sink(kNewestPosition, PlottedValue(window[kNewestPosition], scale));
}

// A reference's window at the stride of pointCount: positions 0, s, 2s, ... below 100000 when shown,
// then the sample at 99999 whether shown or not, whatever the stride.
template <class Sink>
void PickReferencePoints(const WindowSamples& window, std::int32_t pointCount, float scale, bool shown,
                         Sink&& sink) {
    if (shown) {
        const int stride = StrideOf(pointCount);
        for (int x = 0; x < kWindowPositions; x += stride) sink(x, PlottedValue(window[x], scale));
    }
    sink(kNewestPosition, PlottedValue(window[kNewestPosition], scale));
}

// A view of the bottom axis split into pixel columns: `left` and `right` are the axis values
// at the left edge of the first column and the right edge of the last one.
struct ColumnView {
    double left;
    double right;
    int columns;
    bool operator==(const ColumnView&) const = default;
};

// Positions of the smallest and of the largest sample (first occurrences) among window
// positions from .. to - 1, from < to.
struct Extremes {
    int low;
    int high;
};
Extremes ExtremesOf(const WindowSamples& window, int from, int to);
// Among values, of those that are numbers; `from` for both when none is.
Extremes ExtremesOf(const ValueWindow& window, int from, int to);

// The envelope of a window over a view: for each pixel column, the samples holding the
// smallest and the largest value in it, in position order, or one sample when both are the
// same one. A column of one or two samples thus gives all of them: zoomed in that far, the
// trace is the plain line through every sample. The nearest sample beyond each edge of the
// view is added so that the trace runs through the edges. Needs a finite left < right and
// columns >= 1; any other view gives no points. Extremes of the raw samples are extremes of the plotted
// values too, since truncating a product with a fixed scale keeps the order. A math trace's window
// gives a gap (a NaN point) for a column without a number.
template <class Window, class Sink>
void EnvelopePoints(const Window& window, const ColumnView& view, float scale, Sink&& sink) {
    const double span = view.right - view.left;
    if (!(span > 0) || !std::isfinite(span) || view.columns < 1) return;
    // A view far beyond the window leaves only its nearest end; values are clamped before
    // they become positions.
    const auto position = [](double value, int lowest, int highest) {
        return static_cast<int>(std::clamp(value, double(lowest), double(highest)));
    };
    const int first = position(std::ceil(view.left) - 1, 0, window.size());
    const int end = position(std::ceil(view.right) + 1, first, window.size());
    const double width = span / view.columns;
    // Stretch 0 is the sample left of the view; stretch c + 1 is pixel column c, from the
    // first position at or right of its left edge up to that of the next column; the last
    // stretch is the sample at or right of the view's right edge.
    int from = first;
    for (int stretch = 0; stretch <= view.columns + 1; ++stretch) {
        const double edge = stretch == view.columns ? view.right : view.left + stretch * width;
        const int to = stretch == view.columns + 1 ? end : position(std::ceil(edge), from, end);
        if (from == to) continue;
        const Extremes extremes = ExtremesOf(window, from, to);
        const int earlier = std::min(extremes.low, extremes.high);
        const int later = std::max(extremes.low, extremes.high);
        sink(earlier, PlottedValue(window[earlier], scale));
        if (later != earlier) sink(later, PlottedValue(window[later], scale));
        from = to;
    }
}

}  // namespace altrix
