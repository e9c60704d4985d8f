#pragma once
// The stretch of window positions that the measurements and the spectrum work on, and the
// samples a trace holds over it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "CaptureRecord.h"

namespace altrix {

// Positions First..Last of the window, both included; empty when Last < First.
struct PositionStretch {
    std::int32_t First = 0;
    std::int32_t Last = -1;

    std::int32_t count() const { return Last >= First ? Last - First + 1 : 0; }
    bool empty() const { return Last < First; }
    bool operator==(const PositionStretch&) const = default;
};

// The raw samples of one trace over a stretch, oldest first, in at most two runs: a channel's
// stretch may wrap round the end of its ring.
struct SampleRuns {
    std::array<std::span<const std::int16_t>, 2> Runs{};

    std::size_t size() const { return Runs[0].size() + Runs[1].size(); }
};

// The analysed stretch: from the mark to the cursor, in either order, when a mark is set;
// otherwise the whole positions inside the bottom axis's visible range viewLow..viewHigh.
// Always clamped to the positions 0..last (the window 0..99999 unless a longer source is shown).
PositionStretch AnalysisStretch(std::int32_t markPosition, std::int32_t cursorPosition, double viewLow,
                                double viewHigh, std::int32_t last = kNewestPosition);

// A channel's samples over a stretch by the window rule of SlotOfPosition.
SampleRuns ChannelSamplesOver(const ChannelSamples& trace, std::int32_t nextSample, PositionStretch stretch);
// A reference's samples, stored by position.
SampleRuns ReferenceSamplesOver(const ReferenceSamples& trace, PositionStretch stretch);

}  // namespace altrix
