#pragma once
// The simulated drive's signal model: what each drive memory address reads at each sample set
// of a capture, and the bytes of the blocks and replies built from those values.
// Pure functions; no state, no I/O.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "CaptureRecord.h"
#include "ScopeProtocol.h"

namespace altrix::sim {

inline constexpr int kSampleSetsPerSecond = 5000;
using altrix::kSetsPerBlock;
inline constexpr std::int64_t kBlockPeriodUs = 1'000'000LL * kSetsPerBlock / kSampleSetsPerSecond;
inline constexpr double kStreamBytesPerSecond =
    static_cast<double>(kSampleSetsPerSecond) * kBlockBytes / kSetsPerBlock;  // 40625

using DriveTime = std::chrono::microseconds;  // since the drive was switched on

// The drive's clock against the PC's: `Speed` drive seconds per PC second, and a sample clock
// `ErrorPpm` parts per million fast (above 0) or slow, so the stream runs at
// 5000 x Speed x (1 + ErrorPpm / 1e6) sets per PC second.
struct DriveClock {
    double Speed = 1.0;
    double ErrorPpm = 0.0;

    double Rate() const { return Speed * (1.0 + ErrorPpm * 1e-6); }
    // The drive time `pc` after switch-on, to the nearest microsecond.
    DriveTime DriveAt(std::chrono::nanoseconds pc) const;
    // The first PC instant (since switch-on, to the nanosecond) at which DriveAt reaches `drive`.
    std::chrono::nanoseconds PcAt(DriveTime drive) const;
};

// The DC bus step: for kBusStepSets sets (one second of the drive's time) from its first set,
// the DC bus reads kBusStepVolts less.
inline constexpr std::int64_t kBusStepSets = kSampleSetsPerSecond;
inline constexpr double kBusStepVolts = 50.0;
inline constexpr std::uint16_t kBusAddress = 0x9042;

// The first set of a capture whose stream started at drive time `streamStart` that is taken at
// or after drive time `at` (set n is taken n x 200 us after the start): ceil((at - start) / 200 us),
// negative when `at` came before the capture.
std::int64_t FirstSetAtOrAfter(DriveTime streamStart, DriveTime at);
// The same for PC instants since switch-on: the stream started at `streamStart`, `at` on the
// drive's clock, each to its microsecond of drive time.
std::int64_t FirstSetAtOrAfter(const DriveClock& clock, std::chrono::nanoseconds streamStart,
                               std::chrono::nanoseconds at);

using altrix::ChannelAddresses;
using StreamBlock = std::array<std::uint8_t, kBlockBytes>;
using IdentifyReplyBytes = std::array<std::uint8_t, kIdentifyReplyBytes>;

// Raw value that `address` reads at sample set n of a capture (n = 0 is the first set after
// the start exchange, 0.0002 s of drive time per set). The 18 preset quantities follow one
// motor run: standstill at n = 0, 50 Hz after about 2 s, a slowly cycling load. Any other
// address gives a sawtooth, triangle or square wave whose shape, period and amplitude are
// derived from the address.
// With `busStep`, sets busStep .. busStep + kBusStepSets - 1 of the DC bus read 50 V less.
std::int16_t SampleValue(std::uint16_t address, std::uint64_t n, std::optional<std::int64_t> busStep = {});

// Block k = `blockIndex` of a capture: first header byte the low byte of k, then
// `secondHeaderByte`, then sample sets 16k .. 16k + 15 in channel rotation 1, 2, 3, 4,
// each word low byte first (with the DC bus step from set `busStep`, if any).
StreamBlock MakeStreamBlock(const ChannelAddresses& channels, std::uint64_t blockIndex,
                            std::uint8_t secondHeaderByte = kGoodBlockMarker,
                            std::optional<std::int64_t> busStep = {});

// The ten-byte identify reply: header 3B 0A, the type code, firmware version 102, two zero words.
IdentifyReplyBytes MakeIdentifyReply(std::int16_t typeCode);

}  // namespace altrix::sim
