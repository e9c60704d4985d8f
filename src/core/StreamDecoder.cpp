#include "StreamDecoder.h"

#include "ScopeProtocol.h"

namespace altrix {

namespace {

constexpr int kLastWordStart = kStreamRingBytes - 2;  // 389998

void StoreReceived(CaptureRecord& rec, std::span<const std::uint8_t> received) {
    int r = rec.RingWritePos;
    for (std::uint8_t byte : received) {
        rec.StreamRing[r] = byte;
        if (r % kBlockBytes == 0) rec.LastBlockStart = r;
        if (++r == kStreamRingBytes) r = 0;
    }
    rec.RingWritePos = r;
}

void DecodeCompleteBlocks(CaptureRecord& rec, const ChannelEnables& enabled) {
    if (rec.DecodedUpTo == rec.LastBlockStart) return;
    if (rec.ChannelPhase < 1 || rec.ChannelPhase > kChannelCount) rec.ChannelPhase = 1;
    int p = rec.DecodedUpTo + kBlockHeaderBytes;
    for (;;) {
        const std::int16_t word = ReadWord(&rec.StreamRing[p]);
        const int c = rec.ChannelPhase;
        if (enabled[c - 1]) rec.ChannelTrace[c - 1][rec.NextSample] = word;
        if (c == kChannelCount) {
            rec.ChannelPhase = 1;
            if (++rec.NextSample > kTraceSlots - 1) rec.NextSample = 0;
        } else {
            rec.ChannelPhase = c + 1;
        }
        p += 2;
        if (p > kLastWordStart) p = 0;
        if (p == rec.LastBlockStart) {
            rec.DecodedUpTo = rec.LastBlockStart;
            if (rec.LastBlockStart != 0 &&
                rec.StreamRing[rec.LastBlockStart - (kBlockBytes - 1)] != kGoodBlockMarker) {
                rec.DataError = true;
            }
            return;
        }
        if (p % kBlockBytes == 0) p += kBlockHeaderBytes;
    }
}

}  // namespace

void StoreAndDecode(CaptureRecord& record, std::span<const std::uint8_t> received,
                    const ChannelEnables& enabled) {
    StoreReceived(record, received.first(std::min<std::size_t>(received.size(), kReceiveCapacity)));
    DecodeCompleteBlocks(record, enabled);
}

}  // namespace altrix
