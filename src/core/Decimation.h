#pragma once
// The decimation of a trace into chart points. A window of 100000 samples (the newest sets of
// a channel, or a reference) becomes the points that a chart series draws, in ascending x:
// the samples at a fixed stride. Points go to a sink of the caller, called as sink(x, y), so
// that a chart's own container is filled in place without a copy.

#include "CaptureRecord.h"

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

    std::int16_t operator[](int position) const {
        const auto at = static_cast<std::size_t>(position);
        return at < older.size() ? older[at] : newer[at - older.size()];
    }
};

// A channel's window: position x shows slot SlotOfPosition(nextSample, x).
WindowSamples ChannelWindow(const ChannelSamples& trace, std::int32_t nextSample);
// A reference's window: position x is its own index x.
WindowSamples ReferenceWindow(const ReferenceSamples& trace);

// Stride of a point count (1..100000): 100000 / pointCount, integer division.
constexpr int StrideOf(std::int32_t pointCount) {
    return kWindowPositions / pointCount;
}

// A channel's window at the stride of pointCount: positions 0, s, 2s, ... below 99999, then the newest
// sample at 99999 unless the stride landed on 99999 itself, so stride 1 ends at 99998.
template <class Sink>
void PickChannelPoints(const WindowSamples& window, std::int32_t pointCount, float scale, Sink&& sink) {
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

}  // namespace altrix
