#include "Decimation.h"

#include <algorithm>

namespace altrix {

WindowSamples ChannelWindow(const ChannelSamples& trace, std::int32_t nextSample) {
    const std::span<const std::int16_t> slots(trace);
    const auto oldest = static_cast<std::size_t>(SlotOfPosition(nextSample, 0));
    const std::size_t tail = std::min<std::size_t>(kWindowPositions, slots.size() - oldest);
    return {slots.subspan(oldest, tail), slots.first(kWindowPositions - tail)};
}

WindowSamples ReferenceWindow(const ReferenceSamples& trace) {
    return {std::span<const std::int16_t>(trace), {}};
}

}  // namespace altrix
