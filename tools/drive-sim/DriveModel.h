#pragma once
// The simulated drive's signal model: what each drive memory address reads at each sample set
// of a capture, and the bytes of the blocks and replies built from those values.
// Pure functions; no state, no I/O.

#include <array>
#include <cstdint>

#include "CaptureRecord.h"
#include "ScopeProtocol.h"

namespace altrix::sim {

inline constexpr int kSampleSetsPerSecond = 5000;
using altrix::kSetsPerBlock;
inline constexpr std::int64_t kBlockPeriodUs = 1'000'000LL * kSetsPerBlock / kSampleSetsPerSecond;
inline constexpr double kStreamBytesPerSecond =
    static_cast<double>(kSampleSetsPerSecond) * kBlockBytes / kSetsPerBlock;  // 40625

using altrix::ChannelAddresses;
using StreamBlock = std::array<std::uint8_t, kBlockBytes>;
using IdentifyReplyBytes = std::array<std::uint8_t, kIdentifyReplyBytes>;

// Raw value that `address` reads at sample set n of a capture (n = 0 is the first set after
// the start exchange, 0.0002 s of drive time per set). The 18 preset quantities follow one
// motor run: standstill at n = 0, 50 Hz after about 2 s, a slowly cycling load. Any other
// address gives a sawtooth, triangle or square wave whose shape, period and amplitude are
// derived from the address.
std::int16_t SampleValue(std::uint16_t address, std::uint64_t n);

// Block k = `blockIndex` of a capture: first header byte the low byte of k, then
// `secondHeaderByte`, then sample sets 16k .. 16k + 15 in channel rotation 1, 2, 3, 4,
// each word low byte first.
StreamBlock MakeStreamBlock(const ChannelAddresses& channels, std::uint64_t blockIndex,
                            std::uint8_t secondHeaderByte = kGoodBlockMarker);

// The ten-byte identify reply: header 3B 0A, the type code, firmware version 102, two zero words.
IdentifyReplyBytes MakeIdentifyReply(std::int16_t typeCode);

}  // namespace altrix::sim
