#include "Decimation.h"

#include <limits>

namespace altrix {

namespace {

// The storage of window positions from .. to - 1 (from < to): one run, or two where the
// window's storage wraps; `second` continues where `first` ends.
struct Runs {
    std::span<const std::int16_t> first;
    std::span<const std::int16_t> second;
};

Runs RunsOf(const WindowSamples& window, int from, int to) {
    const int split = static_cast<int>(window.older.size());
    if (from >= split) return {window.newer.subspan(from - split, to - from), {}};
    if (to <= split) return {window.older.subspan(from, to - from), {}};
    return {window.older.subspan(from), window.newer.first(to - split)};
}

// Folds a run into the smallest and largest sample so far. GCC vectorizes this only with
// its dynamic cost model, which src/core/CMakeLists.txt sets for this file.
void Fold(std::span<const std::int16_t> run, std::int16_t& lowest, std::int16_t& highest) {
    std::int16_t low = lowest;
    std::int16_t high = highest;
    for (const std::int16_t sample : run) {
        low = std::min(low, sample);
        high = std::max(high, sample);
    }
    lowest = low;
    highest = high;
}

// Index of the first sample equal to `value` in `run`, or run.size(). Blocks of eight are
// tested whole first, which compilers do with vector comparisons.
std::size_t IndexOf(std::span<const std::int16_t> run, std::int16_t value) {
    constexpr std::size_t kBlock = 8;
    std::size_t i = 0;
    for (; i + kBlock <= run.size(); i += kBlock) {
        int hits = 0;
        for (std::size_t k = 0; k < kBlock; ++k) hits |= run[i + k] == value;
        if (hits) break;
    }
    while (i < run.size() && run[i] != value) ++i;
    return i;
}

}  // namespace

WindowSamples ChannelWindow(const ChannelSamples& trace, std::int32_t nextSample) {
    const std::span<const std::int16_t> slots(trace);
    const auto oldest = static_cast<std::size_t>(SlotOfPosition(nextSample, 0));
    const std::size_t tail = std::min<std::size_t>(kWindowPositions, slots.size() - oldest);
    return {slots.subspan(oldest, tail), slots.first(kWindowPositions - tail)};
}

WindowSamples ReferenceWindow(const ReferenceSamples& trace) {
    return {std::span<const std::int16_t>(trace), {}};
}

Extremes ExtremesOf(const WindowSamples& window, int from, int to) {
    const Runs runs = RunsOf(window, from, to);
    std::int16_t lowest = runs.first.front();
    std::int16_t highest = lowest;
    Fold(runs.first, lowest, highest);
    Fold(runs.second, lowest, highest);
    // A second pass finds where they are: cheaper than carrying positions through the first.
    const auto firstOf = [&runs, from](std::int16_t value) {
        const std::size_t found = IndexOf(runs.first, value);
        return from + static_cast<int>(found < runs.first.size() ? found
                                                                  : runs.first.size() + IndexOf(runs.second, value));
    };
    return {firstOf(lowest), firstOf(highest)};
}

Extremes ExtremesOf(const ValueWindow& window, int from, int to) {
    Extremes extremes{from, from};
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (int x = from; x < to; ++x) {
        const double v = window[x];
        if (v < low) {
            low = v;
            extremes.low = x;
        }
        if (v > high) {
            high = v;
            extremes.high = x;
        }
    }
    return extremes;
}

}  // namespace altrix
