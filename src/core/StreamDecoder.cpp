#include "StreamDecoder.h"

#include <algorithm>

#include "ScopeProtocol.h"

namespace altrix {

namespace {

// A block and the next block's header.
constexpr int kNextHeaderBytes = kBlockBytes + kBlockHeaderBytes;
using BlockBytes = std::array<std::uint8_t, kBlockBytes>;

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

// The counter whose header is two marker bytes: a byte lost or gained beside it can leave
// 0xFF 0xFF where the header should be, so only the header after it tells where it is.
constexpr std::uint8_t kMarkerLikeCounter = kGoodBlockMarker;

// A header in line: its marker, and the next block's header with the following counter (that
// of counter 0xFF with the header after it). Reads up to kInLineBytes from `pos`.
constexpr int kInLineBytes = 2 * kBlockBytes + kBlockHeaderBytes;

bool LinedUp(const CaptureRecord& rec, int pos) {
    const auto next = static_cast<std::uint8_t>(At(rec, pos, 0) + 1);
    if (At(rec, pos, 1) != kGoodBlockMarker || At(rec, pos, kBlockBytes) != next ||
        At(rec, pos, kBlockBytes + 1) != kGoodBlockMarker)
        return false;
    return next != kMarkerLikeCounter ||
           (At(rec, pos, 2 * kBlockBytes) == 0 && At(rec, pos, 2 * kBlockBytes + 1) == kGoodBlockMarker);
}

// How many headers after the next one a block's verdict may read.
constexpr int kFollowingHeaders = 2;

enum class Verdict { Yes, No, Wait };

// Whether the header `offset` bytes after `pos` is in place with `counter`: both bytes, and
// not the counter 0xFF; else (a header of two marker bytes, or its counter with a damaged
// marker) when the header after it is in place, up to `depth` headers on. Wait while bytes
// it needs are missing.
Verdict HeaderInPlace(const CaptureRecord& rec, int pos, int offset, std::uint8_t counter, int pending, int depth) {
    if (pending < offset + kBlockHeaderBytes) return Verdict::Wait;
    if (At(rec, pos, offset) != counter) return Verdict::No;
    if (At(rec, pos, offset + 1) == kGoodBlockMarker && counter != kMarkerLikeCounter) return Verdict::Yes;
    if (depth == 0) return Verdict::No;
    return HeaderInPlace(rec, pos, offset + kBlockBytes, static_cast<std::uint8_t>(counter + 1), pending, depth - 1);
}

// Whether the block at `pos`, whose header is in step, is whole: nothing lost or gained in
// it, so the next block's header is where it belongs; or the counter jumps (the drive skipped
// blocks) and the header after it is in line with it.
Verdict BlockWhole(const CaptureRecord& rec, int pos, std::uint8_t counter, int pending) {
    const auto next = static_cast<std::uint8_t>(counter + 1);
    if (At(rec, pos, kBlockBytes) == next) return HeaderInPlace(rec, pos, kBlockBytes, next, pending, kFollowingHeaders);
    if (pending < kBlockBytes + kInLineBytes) return Verdict::Wait;
    return LinedUp(rec, RingIndex(pos, kBlockBytes)) ? Verdict::Yes : Verdict::No;
}

// A resynchronisation takes a header only with this many headers in line after it.
constexpr int kConfirmingHeaders = 3;
// ... and never one further off the grid of the blocks lost than this (bytes gained, or lost
// before they were read).
constexpr std::int64_t kMaxSlipBytes = 4 * kBlockBytes;
// What the one-byte block counter can tell apart.
constexpr std::int64_t kCounterCycleBlocks = 256;
constexpr std::int64_t kCounterCycleBytes = kCounterCycleBlocks * kBlockBytes;
// A damaged header, or a byte lost or gained, puts the stream's next headers at most this far
// off the grid of the blocks lost, within the two blocks after the refused one.
constexpr std::int64_t kNearSlipBytes = 1;
constexpr std::int64_t kNearDistanceBytes = 2 * kBlockBytes + kNearSlipBytes;
// Bytes a hunt position needs: the farthest header its judgement reads (a rival two blocks
// and two bytes on) in line.
constexpr int kJudgeBytes = 2 * kBlockBytes + 2 * kNearSlipBytes + kInLineBytes;
static_assert(kJudgeBytes >= (kConfirmingHeaders - 1) * kBlockBytes + kInLineBytes);

bool ConfirmedHeader(const CaptureRecord& rec, int pos) {
    for (int i = 0; i < kConfirmingHeaders; ++i)
        if (!LinedUp(rec, RingIndex(pos, i * kBlockBytes))) return false;
    return true;
}

// A header `distance` bytes after the refused block's start, read as the refused block's
// counter plus the blocks lost: the counter's step, and the whole cycles of it that the
// distance tells of. `slip`: how far it lies off the grid of the blocks lost.
struct Candidate {
    std::int64_t Lost;
    std::int64_t Slip;
};

Candidate Judge(const CaptureRecord& rec, int pos, std::int64_t distance) {
    const std::int64_t step = static_cast<std::uint8_t>(At(rec, pos, 0) - rec.NextBlockCounter);
    const std::int64_t cycles =
        std::max<std::int64_t>(0, (distance - step * kBlockBytes + kCounterCycleBytes / 2) / kCounterCycleBytes);
    const std::int64_t lost = step + cycles * kCounterCycleBlocks;
    return {lost, distance - lost * kBlockBytes};
}

// True when the confirmed header at `pos` is the only one within a byte of that grid: no
// other header bytes of its block there (the header of counter 0xFF, two marker bytes, can
// stand a byte either side of a marker or a data byte 0xFF, and then nothing tells which block
// lost or gained the byte), and no header in line of the next two blocks off its grid there
// (where a lost byte took a header's counter, the headers after it still show where the grid
// went). Only bytes of this hunt are looked at. A channel that counts in its low byte under
// 0xFF makes a second grid of headers two or more bytes off the first.
bool OnlyNearOne(const CaptureRecord& rec, int pos, std::int64_t distance, const Candidate& c) {
    const std::uint8_t counter = At(rec, pos, 0);
    for (int block = 0; block <= 2; ++block) {
        for (std::int64_t slip = -kNearSlipBytes; slip <= kNearSlipBytes; ++slip) {
            const auto i = static_cast<int>(block * kBlockBytes + slip - c.Slip);
            if (slip == c.Slip || i < -distance) continue;
            const int other = RingIndex(pos + (i < 0 ? kStreamRingBytes : 0), i);
            if (At(rec, other, 0) != static_cast<std::uint8_t>(counter + block)) continue;
            if (block == 0 ? At(rec, other, 1) == kGoodBlockMarker : LinedUp(rec, other)) return false;
        }
    }
    return true;
}

// True when a confirmed header at `pos` is beyond doubt the stream's after a loss larger than
// a damaged header or a byte: near the grid of the blocks lost, and no rival within a block
// and a header either side (only bytes of this hunt are looked at): a header in line with the
// next that claims this block or a neighbour off this header's grid. Once more bytes were lost
// or gained, nothing tells a channel's grid of lookalikes from the stream's, and where they
// were the two grids can even join into one confirmed run.
bool Unambiguous(const CaptureRecord& rec, int pos, std::int64_t distance, const Candidate& c) {
    if (c.Slip < -kMaxSlipBytes || c.Slip > kMaxSlipBytes) return false;
    constexpr int kReach = kBlockBytes + kBlockHeaderBytes;
    const std::uint8_t counter = At(rec, pos, 0);
    for (int i = -static_cast<int>(std::min<std::int64_t>(kReach, distance)); i <= kReach; ++i) {
        const int other = RingIndex(pos + (i < 0 ? kStreamRingBytes : 0), i);
        const int claim = static_cast<std::int8_t>(At(rec, other, 0) - counter);
        if (claim >= -1 && claim <= 1 && i != claim * kBlockBytes && LinedUp(rec, other)) return false;
    }
    return true;
}

bool Acceptable(const CaptureRecord& rec, int pos, std::int64_t distance, const Candidate& c) {
    const bool near = distance <= kNearDistanceBytes && c.Slip >= -kNearSlipBytes && c.Slip <= kNearSlipBytes;
    return near ? OnlyNearOne(rec, pos, distance, c) : Unambiguous(rec, pos, distance, c);
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
    rec.SetCount += kSetsPerBlock;
}

void FillGap(CaptureRecord& rec, std::int64_t sets, const ChannelEnables& enabled) {
    if (sets <= 0) return;
    const int count = static_cast<int>(std::min<std::int64_t>(sets, kTraceSlots));
    // A gap that carries on the newest one grows it (a hunt counts a long loss a cycle at a time).
    TraceGap& newest = rec.Gaps[(rec.GapCount + kGapRingSize - 1) % kGapRingSize];
    if (rec.GapCount > 0 && (newest.FirstSlot + newest.Sets) % kTraceSlots == rec.NextSample)
        newest.Sets = std::min(newest.Sets + count, kTraceSlots);
    else
        rec.Gaps[rec.GapCount++ % kGapRingSize] = {rec.NextSample, count};
    const int newestSlot = NewestSlot(rec.NextSample);
    for (int c = 0; c < kChannelCount; ++c) {
        if (!enabled[c]) continue;
        ChannelSamples& trace = rec.ChannelTrace[c];
        const std::int16_t last = trace[newestSlot];
        const int run = std::min(count, kTraceSlots - rec.NextSample);
        std::fill_n(trace.begin() + rec.NextSample, run, last);
        std::fill_n(trace.begin(), count - run, last);
    }
    rec.NextSample = (rec.NextSample + count) % kTraceSlots;
    rec.SetCount += static_cast<std::uint64_t>(count);
}

void LoseBlocks(CaptureRecord& rec, std::int64_t blocks, const ChannelEnables& enabled) {
    rec.Health.BlocksLost += static_cast<std::uint64_t>(blocks);
    FillGap(rec, blocks * kSetsPerBlock, enabled);
}

// Discards bytes up to the next header that is beyond doubt the stream's and carries on from
// it, the blocks lost filled. A hunt that outruns the counter's cycle (and the slip) has lost a
// whole cycle of blocks for certain: they are filled as it goes. False when the pending bytes
// ran out first: the hunt goes on with the next call.
bool Resynchronise(CaptureRecord& rec, int& pos, int& pending, const ChannelEnables& enabled) {
    for (; pending >= kJudgeBytes; pos = RingIndex(pos, 1), --pending, ++rec.HuntDistance, ++rec.Health.BytesDiscarded) {
        if (rec.HuntDistance >= kCounterCycleBytes + kMaxSlipBytes) {
            rec.HuntDistance -= kCounterCycleBytes;
            LoseBlocks(rec, kCounterCycleBlocks, enabled);
        }
        if (!ConfirmedHeader(rec, pos)) continue;
        const Candidate candidate = Judge(rec, pos, rec.HuntDistance);
        if (!Acceptable(rec, pos, rec.HuntDistance, candidate)) continue;
        LoseBlocks(rec, candidate.Lost, enabled);
        rec.NextBlockCounter = At(rec, pos, 0);
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
        if (pending < kNextHeaderBytes) break;
        const bool inStep = At(rec, pos, 0) == rec.NextBlockCounter && At(rec, pos, 1) == kGoodBlockMarker;
        const Verdict whole = inStep ? BlockWhole(rec, pos, rec.NextBlockCounter, pending) : Verdict::No;
        if (whole == Verdict::Wait) break;
        if (whole == Verdict::No) {
            rec.DataError = true;
            rec.Resynchronising = true;
            rec.HuntDistance = 0;
            ++rec.Health.Resyncs;
            continue;
        }
        StoreBlock(rec, Contiguous(rec, pos, kBlockBytes, scratch), enabled);
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
