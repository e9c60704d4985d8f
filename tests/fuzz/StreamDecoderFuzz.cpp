// StoreAndDecode from the state RUN leaves. Byte 0 with bit 7 clear: any received bytes in any
// chunks; the stream positions stay inside the ring, NextSample inside the traces and
// ChannelPhase names a channel. Then bits 0..3 are the channel enables, byte 1 how many more
// times the whole chunk sequence is fed (so a small input can go round the ring), then chunks,
// each a length byte n followed by up to 4n bytes.
// Byte 0 with bit 7 set: a stream of good blocks whose samples look like headers (channel 1
// counts the blocks in its low byte under 0xFF when bit 0 is set, from byte 1; the others hold
// small negative values), damaged by the rest of the input taken three bytes at a time: a
// distance in bytes from the last damage, then a bit flipped (kinds 0..3), a byte lost (4) or
// a byte gained (5..7); fed in chunks of 16 x (byte 2 + 1) bytes. Every set stored is the one
// sent at its index, or lies in a recorded gap.

#include <algorithm>
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

constexpr int kSentBlocks = 1500;

std::int16_t SentSample(const std::uint8_t* head, int channel, int set) {
    if (channel == 0 && (head[0] & 1)) return static_cast<std::int16_t>(0xFF00 | ((set / kSetsPerBlock + head[1]) & 0xFF));
    return static_cast<std::int16_t>(-1 - (set * (channel + 1) / 40 + set % (channel + 2)) % 300);
}

void CheckSentOrLost(CaptureRecord& record, const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> stream;
    for (int block = 0; block < kSentBlocks; ++block) {
        stream.push_back(static_cast<std::uint8_t>(block));
        stream.push_back(kGoodBlockMarker);
        for (int word = 0; word < kWordsPerBlock; ++word) {
            const auto value = static_cast<std::uint16_t>(SentSample(data, word % kChannelCount, block * kSetsPerBlock + word / kChannelCount));
            stream.push_back(static_cast<std::uint8_t>(value));
            stream.push_back(static_cast<std::uint8_t>(value >> 8));
        }
    }
    // The flips first, where they land in the sets sent; then the bytes lost and gained, which
    // spoil the block they land in (one lost and one gained in the same block leave its header
    // and its follower's in place: nothing can tell).
    std::vector<bool> damaged(stream.size() / kBlockBytes * kSetsPerBlock);
    for (const bool shifts : {false, true}) {
        std::size_t at = 0;
        std::ptrdiff_t gained = 0;
        for (std::size_t i = 3; i + 2 < size; i += 3) {
            at += data[i] | (data[i + 1] & 0x7f) << 8;
            if (at >= stream.size()) break;
            const int kind = data[i + 2] & 7;
            if (kind < 4 && !shifts) {
                stream[at] ^= static_cast<std::uint8_t>(1 << (data[i + 2] >> 5));
                if (at % kBlockBytes >= kBlockHeaderBytes) damaged[at / kBlockBytes * kSetsPerBlock + (at % kBlockBytes - 2) / 8] = true;
            } else if (kind >= 4 && shifts) {
                const auto block = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(at) - gained)) / kBlockBytes;
                for (int set = 0; set < kSetsPerBlock && block < kSentBlocks; ++set) damaged[block * kSetsPerBlock + set] = true;
                if (kind == 4) stream.erase(stream.begin() + static_cast<std::ptrdiff_t>(at));
                else stream.insert(stream.begin() + static_cast<std::ptrdiff_t>(at), data[i + 2]);
                gained += kind == 4 ? -1 : 1;
            }
        }
    }
    const std::size_t chunk = 16u * (data[2] + 1u);
    for (std::size_t from = 0; from < stream.size(); from += chunk)
        StoreAndDecode(record, std::span(stream).subspan(from, std::min(chunk, stream.size() - from)), {true, true, true, true});
    CheckPositions(record);
    FUZZ_CHECK(record.SetCount == static_cast<std::uint64_t>(record.NextSample));
    if (record.GapCount > kGapRingSize) return;
    for (int set = 0; set < record.NextSample; ++set) {
        bool lost = set < static_cast<int>(damaged.size()) && damaged[static_cast<std::size_t>(set)];
        for (std::uint64_t g = 0; g < record.GapCount; ++g)
            lost = lost || (set >= record.Gaps[g].FirstSlot && set < record.Gaps[g].FirstSlot + record.Gaps[g].Sets);
        for (int c = 0; c < kChannelCount && !lost; ++c) FUZZ_CHECK(record.ChannelTrace[c][set] == SentSample(data, c, set));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    static const auto record = std::make_unique<CaptureRecord>();
    ResetForRun(*record);
    if (data[0] & 0x80) {
        CheckSentOrLost(*record, data, size);
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
