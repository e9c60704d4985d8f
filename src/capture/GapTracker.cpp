#include "GapTracker.h"

#include <algorithm>

namespace altrix {

void GapTracker::Start(const CaptureRecord& record) {
    seen_ = record.GapCount;
    tracking_ = false;
    if (record.GapCount == 0) return;
    const TraceGap& newest = record.Gaps[(record.GapCount - 1) % kGapRingSize];
    // Only a gap that ends at the next set can grow; its sets stored before are not taken.
    if ((newest.FirstSlot + newest.Sets) % kTraceSlots != record.NextSample) return;
    tracking_ = true;
    newestFirst_ = -static_cast<std::int64_t>(newest.Sets);
    newestReported_ = 0;
}

void GapTracker::Take(const CaptureRecord& record, std::int32_t nextSample, std::int64_t count, std::int64_t firstSet,
                      std::vector<Stretch>& out) {
    if (count <= 0) return;
    // A new capture (RUN) started the record's gaps afresh.
    if (record.GapCount < seen_) {
        seen_ = 0;
        tracking_ = false;
    }
    const std::int64_t end = firstSet + count;
    // The newest gap of the last take grew into this one.
    if (tracking_ && record.GapCount - seen_ < kGapRingSize) {
        const TraceGap& gap = record.Gaps[(seen_ - 1) % kGapRingSize];
        const std::int64_t gapEnd = std::min(end, newestFirst_ + gap.Sets);
        const std::int64_t from = std::max(firstSet, newestReported_);
        if (gapEnd > from) {
            out.push_back({from, gapEnd - from, true});
            newestReported_ = gapEnd;
        }
    }
    std::int32_t firstSlot = nextSample - static_cast<std::int32_t>(count);
    if (firstSlot < 0) firstSlot += kTraceSlots;
    for (; seen_ < record.GapCount; ++seen_) {
        tracking_ = false;
        // Gaps the ring no longer holds are beyond telling (more than its size in one take).
        if (record.GapCount - seen_ > kGapRingSize) continue;
        const TraceGap& gap = record.Gaps[seen_ % kGapRingSize];
        // A gap begins at the decoder's next set, which is in this take.
        const std::int64_t offset = (gap.FirstSlot - firstSlot + kTraceSlots) % kTraceSlots;
        if (offset >= count || gap.Sets <= 0) continue;
        const std::int64_t sets = std::min<std::int64_t>(gap.Sets, count - offset);
        out.push_back({firstSet + offset, sets, false});
        tracking_ = true;
        newestFirst_ = firstSet + offset;
        newestReported_ = firstSet + offset + sets;
    }
}

}  // namespace altrix
