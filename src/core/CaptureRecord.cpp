#include "CaptureRecord.h"

#include <algorithm>

namespace altrix {

int SlotOfPosition(std::int32_t nextSample, std::int32_t position) {
    int slot = nextSample + position - kWindowPositions;
    return slot < 0 ? slot + kTraceSlots : slot;
}

int NewestSlot(std::int32_t nextSample) {
    return nextSample == 0 ? kTraceSlots - 1 : nextSample - 1;
}

void ResetForRun(CaptureRecord& record) {
    record.DataError = false;
    record.RingWritePos = 0;
    record.LastBlockStart = 0;
    record.DecodedUpTo = 0;
    record.NextSample = 0;
    record.ChannelPhase = 1;
    record.NextBlockCounter = 0;
    record.Resynchronising = false;
    record.HuntDistance = 0;
    record.SetCount = 0;
    record.Health = {};
    record.GapCount = 0;
    for (auto& trace : record.ChannelTrace) trace.fill(0);
    std::fill_n(record.StreamRing.begin(), kRunClearedRingBytes, std::uint8_t{0});
}

}  // namespace altrix
