// StoreAndDecode from the state RUN leaves. Byte 0 with bit 7 clear: any received bytes in any
// chunks; the stream positions stay inside the ring, NextSample inside the traces and
// ChannelPhase names a channel. Then bits 0..3 are the channel enables, byte 1 how many more
// times the whole chunk sequence is fed (so a small input can go round the ring), then chunks,
// each a length byte n followed by up to 4n bytes.
//
// Byte 0 with bit 7 set: a stream of 600 blocks (every counter value twice) built here from a
// known model, damaged as the input says, fed in chunks of 16 x (byte 3 + 1) bytes; every set
// decoded must be the one sent at its index, or lie in a gap the decoder reported. Byte 1 gives
// each channel (two bits, channel 1 lowest) its samples: small negative values (high byte
// 0xFF), header lookalikes (the block counter plus byte 2 in the low byte under 0xFF), the same
// bytes swapped, or 0xFFFF; byte 0's low bits vary the first kind. The rest, four bytes a
// fault: blocks to skip (after the first fault at least kFaultSpacingBlocks more), the offset
// in the block (mod 130), the kind (low two bits: 0 a bit flipped, bit number in bits 5..7;
// 1 the byte lost; 2 or 3 a byte gained before it) and the byte gained. A flipped bit inside
// a sample cannot be told by the protocol: that one sample is exempt. Faults closer together
// are left out: two bytes lost or gained near each other shift the stream by a word, which a
// stream of header lookalikes makes indistinguishable from no loss at all.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "FuzzSupport.h"
#include "ScopeProtocol.h"
#include "StreamDecoder.h"

using namespace altrix;

namespace {

void CheckPositions(const CaptureRecord& record) {
    const auto inRing = [](std::int32_t position) { return position >= 0 && position < kStreamRingBytes; };
    FUZZ_CHECK(inRing(record.RingWritePos));
    FUZZ_CHECK(inRing(record.LastBlockStart));
    FUZZ_CHECK(inRing(record.DecodedUpTo));
    FUZZ_CHECK(record.NextSample >= 0 && record.NextSample < kTraceSlots);
    FUZZ_CHECK(record.ChannelPhase >= 1 && record.ChannelPhase <= kChannelCount);
}

constexpr int kSentBlocks = 600;
constexpr int kSentSets = kSentBlocks * kSetsPerBlock;
// Blocks between faults: the decoder finds the stream again within two blocks of a small
// loss and confirms it over three more.
constexpr int kFaultSpacingBlocks = 6;

struct Model {
    std::array<int, kChannelCount> Kind{};
    int Shift = 0;
    int Vary = 0;

    std::int16_t Sample(int set, int channel) const {
        const int block = set / kSetsPerBlock;
        const auto counter = static_cast<std::uint8_t>(block + Shift);
        switch (Kind[static_cast<std::size_t>(channel)]) {
        case 0: return static_cast<std::int16_t>(-1 - (set * (channel + 1 + Vary) / 40 + set % (channel + 2)) % 300);
        case 1: return static_cast<std::int16_t>(0xFF00 | counter);
        case 2: return static_cast<std::int16_t>(counter << 8 | 0xFF);
        default: return -1;
        }
    }
};

enum class FaultKind { Flip, Lose, Gain };

struct Fault {
    std::size_t At;  // byte of the stream as sent
    FaultKind Kind;
    std::uint8_t Byte;  // the bit flipped, or the byte gained
};

void CheckSentOrInAGap(CaptureRecord& record, const std::uint8_t* data, std::size_t size) {
    Model model;
    for (int c = 0; c < kChannelCount; ++c) model.Kind[static_cast<std::size_t>(c)] = data[1] >> (2 * c) & 3;
    model.Shift = static_cast<std::int8_t>(data[2]);
    model.Vary = data[0] & 0x7F;

    std::vector<std::uint8_t> stream;
    stream.reserve(kSentBlocks * kBlockBytes);
    for (int block = 0; block < kSentBlocks; ++block) {
        stream.push_back(static_cast<std::uint8_t>(block));
        stream.push_back(kGoodBlockMarker);
        for (int word = 0; word < kWordsPerBlock; ++word) {
            const auto value = static_cast<std::uint16_t>(model.Sample(block * kSetsPerBlock + word / kChannelCount, word % kChannelCount));
            stream.push_back(static_cast<std::uint8_t>(value));
            stream.push_back(static_cast<std::uint8_t>(value >> 8));
        }
    }

    std::vector<Fault> faults;
    std::vector<bool> flipped(static_cast<std::size_t>(kSentSets * kChannelCount));
    for (std::size_t i = 4, block = 0; i + 3 < size; i += 4) {
        block += data[i] + (faults.empty() ? 0 : kFaultSpacingBlocks);
        if (block >= kSentBlocks) break;
        const auto offset = static_cast<std::size_t>(data[i + 1] % kBlockBytes);
        const int kind = data[i + 2] & 3;
        const std::size_t at = block * kBlockBytes + offset;
        if (kind == 0) {
            faults.push_back({at, FaultKind::Flip, static_cast<std::uint8_t>(1 << (data[i + 2] >> 5))});
            if (offset >= kBlockHeaderBytes) flipped[at / kBlockBytes * kWordsPerBlock + (offset - kBlockHeaderBytes) / 2] = true;
        } else {
            faults.push_back({at, kind == 1 ? FaultKind::Lose : FaultKind::Gain, data[i + 3]});
        }
    }
    // From the end, so each fault's place in the stream as sent holds.
    for (auto f = faults.rbegin(); f != faults.rend(); ++f) {
        const auto at = stream.begin() + static_cast<std::ptrdiff_t>(f->At);
        if (f->Kind == FaultKind::Flip) *at ^= f->Byte;
        else if (f->Kind == FaultKind::Lose) stream.erase(at);
        else stream.insert(at, f->Byte);
    }

    const std::size_t chunk = 16u * (data[3] + 1u);
    for (std::size_t from = 0; from < stream.size(); from += chunk)
        StoreAndDecode(record, std::span(stream).subspan(from, std::min(chunk, stream.size() - from)), {true, true, true, true});
    CheckPositions(record);
    FUZZ_CHECK(record.SetCount == static_cast<std::uint64_t>(record.NextSample));
    FUZZ_CHECK(record.SetCount <= static_cast<std::uint64_t>(kSentSets));
    FUZZ_CHECK(record.GapCount <= static_cast<std::uint64_t>(kGapRingSize));

    std::vector<bool> inGap(static_cast<std::size_t>(record.NextSample));
    for (std::uint64_t g = 0; g < record.GapCount; ++g) {
        const TraceGap& gap = record.Gaps[g];
        FUZZ_CHECK(gap.Sets > 0 && gap.FirstSlot + gap.Sets <= record.NextSample);
        std::fill_n(inGap.begin() + gap.FirstSlot, gap.Sets, true);
    }
    for (int set = 0; set < record.NextSample; ++set) {
        if (inGap[static_cast<std::size_t>(set)]) continue;
        for (int c = 0; c < kChannelCount; ++c) {
            if (flipped[static_cast<std::size_t>(set * kChannelCount + c)]) continue;
            FUZZ_CHECK(record.ChannelTrace[c][set] == model.Sample(set, c));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    static const auto record = std::make_unique<CaptureRecord>();
    ResetForRun(*record);
    if (data[0] & 0x80) {
        CheckSentOrInAGap(*record, data, size);
        return 0;
    }
    ChannelEnables enabled{};
    for (int c = 0; c < kChannelCount; ++c) enabled[c] = (data[0] >> c & 1) != 0;
    const int passes = data[1] + 1;
    const std::span<const std::uint8_t> chunks(data + 2, size - 2);
    for (int pass = 0; pass < passes; ++pass) {
        for (std::size_t at = 0; at < chunks.size();) {
            const std::size_t length = std::min<std::size_t>(chunks[at] * 4u, chunks.size() - at - 1);
            StoreAndDecode(*record, chunks.subspan(at + 1, length), enabled);
            CheckPositions(*record);
            at += 1 + length;
        }
    }
    return 0;
}
