// StoreAndDecode on any received bytes in any chunks, from the state RUN leaves: the stream
// positions stay inside the ring, NextSample inside the traces and ChannelPhase names a
// channel. Input: byte 0 the channel enables (bits 0..3), byte 1 how many more times the
// whole chunk sequence is fed (so a small input can go round the ring), then chunks, each a
// length byte n followed by up to 4n bytes.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>

#include "FuzzSupport.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static const auto record = std::make_unique<CaptureRecord>();
    ResetForRun(*record);
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
