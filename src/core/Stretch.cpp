#include "Stretch.h"

#include <algorithm>
#include <cmath>

namespace altrix {

PositionStretch AnalysisStretch(std::int32_t markPosition, std::int32_t cursorPosition, double viewLow,
                                double viewHigh, std::int32_t lastPosition) {
    if (markPosition != kNoMark) {
        const auto [low, high] = std::minmax(markPosition, cursorPosition);
        // A mark and a cursor both beyond the same end of the window enclose nothing.
        if (high < 0 || low > lastPosition) return {};
        return {std::max(low, 0), std::min(high, lastPosition)};
    }
    // Whole positions only; a view beyond the window on either side holds none of them.
    const double first = std::max(std::ceil(viewLow), 0.0);
    const double last = std::min(std::floor(viewHigh), static_cast<double>(lastPosition));
    if (!(first <= last)) return {};
    return {static_cast<std::int32_t>(first), static_cast<std::int32_t>(last)};
}

SampleRuns ChannelSamplesOver(const ChannelSamples& trace, std::int32_t nextSample, PositionStretch stretch) {
    if (stretch.empty()) return {};
    const std::size_t first = static_cast<std::size_t>(SlotOfPosition(nextSample, stretch.First));
    const std::size_t count = static_cast<std::size_t>(stretch.count());
    const std::span<const std::int16_t> ring(trace);
    const std::size_t head = std::min(count, ring.size() - first);
    return {{ring.subspan(first, head), ring.first(count - head)}};
}

SampleRuns ReferenceSamplesOver(const ReferenceSamples& trace, PositionStretch stretch) {
    if (stretch.empty()) return {};
    return {{std::span<const std::int16_t>(trace).subspan(static_cast<std::size_t>(stretch.First),
                                                           static_cast<std::size_t>(stretch.count()))}};
}

}  // namespace altrix
