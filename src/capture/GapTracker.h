#pragma once
// GapTracker: the filled sets among those a recorder takes from the record's traces. The
// decoder records a loss as a gap when it begins and grows the newest gap in place while the
// loss goes on, so the newest gap is followed across takes: every filled set is reported,
// whichever take it arrived in.

#include "CaptureRecord.h"

#include <cstdint>
#include <vector>

namespace altrix {

class GapTracker {
public:
    // A stretch of filled sets, counted from the first set the recorder took.
    struct Stretch {
        std::int64_t First = 0;
        std::int64_t Sets = 0;
        bool Grown = false;  // the continuation of a gap reported before
    };

    // Follows the gaps of `record` from its next set on (those stored before are not taken;
    // the newest one, when it ends there, may still grow).
    void Start(const CaptureRecord& record);
    // The filled sets among the `count` (at most kTraceSlots) sets that end before slot `nextSample`, which are sets
    // `firstSet` .. firstSet + count - 1 of the recording, in order; appended to `out`.
    void Take(const CaptureRecord& record, std::int32_t nextSample, std::int64_t count, std::int64_t firstSet,
              std::vector<Stretch>& out);

private:
    std::uint64_t seen_ = 0;           // gaps of the record accounted for
    bool tracking_ = false;            // the newest gap (index seen_ - 1) may grow
    std::int64_t newestFirst_ = 0;     // its first set, counted as the recording's sets
    std::int64_t newestReported_ = 0;  // the set after the last of it reported
};

}  // namespace altrix
