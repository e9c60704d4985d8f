#include "StreamDecoder.h"

#include <algorithm>

#include "ScopeProtocol.h"

namespace altrix {

namespace {

// A block is judged with the counter byte of the block after it.
constexpr int kBlockCheckBytes = kBlockBytes + 1;
// A header in line: its block, then the next block's header.
constexpr int kLineUpBytes = kBlockBytes + kBlockHeaderBytes;

using BlockBytes = std::array<std::uint8_t, kBlockCheckBytes>;

int RingIndex(int pos, int offset) {
    const int i = pos + offset;
    return i >= kStreamRingBytes ? i - kStreamRingBytes : i;
}

std::uint8_t At(const CaptureRecord& rec, int pos, int offset) {
    return rec.StreamRing[static_cast<std::size_t>(RingIndex(pos, offset))];
}

// `count` ring bytes from `pos` in one piece: in place, or copied into `scratch` when they
// wrap past the ring's end.
const std::uint8_t* Contiguous(const CaptureRecord& rec, int pos, int count, BlockBytes& scratch) {
    const int inPlace = kStreamRingBytes - pos;
    if (count <= inPlace) return &rec.StreamRing[static_cast<std::size_t>(pos)];
    std::copy_n(&rec.StreamRing[static_cast<std::size_t>(pos)], inPlace, scratch.begin());
    std::copy_n(rec.StreamRing.begin(), count - inPlace, scratch.begin() + inPlace);
    return scratch.data();
}

bool LinedUp(const CaptureRecord& rec, int pos) {
    return At(rec, pos, 1) == kGoodBlockMarker && At(rec, pos, kBlockBytes + 1) == kGoodBlockMarker &&
           At(rec, pos, kBlockBytes) == static_cast<std::uint8_t>(At(rec, pos, 0) + 1);
}

void StoreReceived(CaptureRecord& rec, std::span<const std::uint8_t> received) {
    const auto at = static_cast<std::size_t>(rec.RingWritePos);
    const std::size_t first = std::min(received.size(), rec.StreamRing.size() - at);
    std::copy_n(received.begin(), first, rec.StreamRing.begin() + static_cast<std::ptrdiff_t>(at));
    std::copy(received.begin() + static_cast<std::ptrdiff_t>(first), received.end(), rec.StreamRing.begin());
    rec.RingWritePos = RingIndex(rec.RingWritePos, static_cast<int>(received.size()));
}

void StoreBlock(CaptureRecord& rec, const std::uint8_t* block, const ChannelEnables& enabled) {
    const std::uint8_t* word = block + kBlockHeaderBytes;
    for (int set = 0; set < kSetsPerBlock; ++set) {
        for (int c = 0; c < kChannelCount; ++c, word += 2) {
            if (enabled[c]) rec.ChannelTrace[c][rec.NextSample] = ReadWord(word);
        }
        if (++rec.NextSample == kTraceSlots) rec.NextSample = 0;
    }
    ++rec.Health.BlocksDecoded;
    ++rec.NextBlockCounter;
}

void FillGap(CaptureRecord& rec, std::int64_t sets, const ChannelEnables& enabled) {
    if (sets <= 0) return;
    const int count = static_cast<int>(std::min<std::int64_t>(sets, kTraceSlots));
    rec.Gaps[rec.GapCount++ % kGapRingSize] = {rec.NextSample, count};
    const int newest = NewestSlot(rec.NextSample);
    for (int c = 0; c < kChannelCount; ++c) {
        if (!enabled[c]) continue;
        ChannelSamples& trace = rec.ChannelTrace[c];
        const std::int16_t last = trace[newest];
        const int run = std::min(count, kTraceSlots - rec.NextSample);
        std::fill_n(trace.begin() + rec.NextSample, run, last);
        std::fill_n(trace.begin(), count - run, last);
    }
    rec.NextSample = (rec.NextSample + count) % kTraceSlots;
}

// Discards bytes up to the next header in line and carries on from it. False when the
// pending bytes ran out first: the hunt goes on with the next call.
bool Resynchronise(CaptureRecord& rec, int& pos, int& pending, const ChannelEnables& enabled) {
    for (; pending >= kLineUpBytes; pos = RingIndex(pos, 1), --pending) {
        if (!LinedUp(rec, pos)) {
            ++rec.Health.BytesDiscarded;
            continue;
        }
        const std::uint8_t counter = At(rec, pos, 0);
        const auto lost = static_cast<std::uint8_t>(counter - rec.NextBlockCounter);
        rec.Health.BlocksLost += lost;
        FillGap(rec, std::int64_t{lost} * kSetsPerBlock, enabled);
        rec.NextBlockCounter = counter;
        rec.Resynchronising = false;
        return true;
    }
    return false;
}

void DecodeStream(CaptureRecord& rec, const ChannelEnables& enabled) {
    int pos = rec.DecodedUpTo;
    int pending = rec.RingWritePos - pos;
    if (pending < 0) pending += kStreamRingBytes;
    BlockBytes scratch;
    for (;;) {
        if (rec.Resynchronising && !Resynchronise(rec, pos, pending, enabled)) break;
        if (pending < kBlockCheckBytes) break;
        const std::uint8_t* block = Contiguous(rec, pos, kBlockCheckBytes, scratch);
        const std::uint8_t counter = rec.NextBlockCounter;
        bool whole = false;
        if (block[0] == counter && block[1] == kGoodBlockMarker) {
            whole = block[kBlockBytes] == static_cast<std::uint8_t>(counter + 1);
            if (!whole) {
                // The counter jumps: whole only if a header in line follows.
                if (pending < kBlockBytes + kLineUpBytes) break;
                whole = LinedUp(rec, RingIndex(pos, kBlockBytes));
            }
        }
        if (!whole) {
            rec.DataError = true;
            rec.Resynchronising = true;
            ++rec.Health.Resyncs;
            continue;
        }
        StoreBlock(rec, block, enabled);
        pos = RingIndex(pos, kBlockBytes);
        pending -= kBlockBytes;
    }
    rec.DecodedUpTo = pos;
    if (!rec.Resynchronising) rec.LastBlockStart = pos;
}

}  // namespace

void StoreAndDecode(CaptureRecord& record, std::span<const std::uint8_t> received,
                    const ChannelEnables& enabled) {
    StoreReceived(record, received.first(std::min<std::size_t>(received.size(), kReceiveCapacity)));
    DecodeStream(record, enabled);
}

void RestartStream(CaptureRecord& record, std::int64_t missedSets, const ChannelEnables& enabled) {
    int pending = record.RingWritePos - record.DecodedUpTo;
    if (pending < 0) pending += kStreamRingBytes;
    record.Health.BytesDiscarded += static_cast<std::uint64_t>(pending);
    record.DecodedUpTo = record.RingWritePos;
    record.LastBlockStart = record.RingWritePos;
    record.NextBlockCounter = 0;
    record.Resynchronising = false;
    FillGap(record, missedSets, enabled);
}

}  // namespace altrix
