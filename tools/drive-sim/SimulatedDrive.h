#pragma once
// The simulated drive's side of the scope protocol as a state machine: bytes in, bytes out,
// with the drive's clock passed in by the caller. No I/O and no clock of its own, so a test
// can feed it bytes and take exactly the bytes a drive would send by a given moment.
//
// What it understands:
//   3A 3A                          stream reset: stops the stream, expects a new channel list
//   3A 00 hh ll cc, then three 3A 01 hh ll cc
//                                  channels 1 .. 4 after a reset; the stream starts with the
//                                  fourth frame, one block per 16 sample sets of drive time
//   3B 3B, then 3A 01 90 00 6F     identify: one ten-byte reply
// Frames whose bytes 1 .. 4 do not sum to 0 mod 256 are ignored, as are frames that arrive
// out of that order.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "DriveModel.h"

namespace altrix::sim {

struct DriveOptions {
    std::int16_t TypeCode = 4;
    bool AnswerIdentify = true;
    DriveTime IdentifyDelay{0};
    // Faults, counted from the start of each capture's stream:
    std::optional<std::uint64_t> DropByteAfter;   // byte N + 1 (after the first N) is not sent
    std::optional<std::uint64_t> BadHeaderBlock;  // block K (0-based) carries 0xFE, not 0xFF
    // Line noise: one bit flipped in a random stream byte NoiseRate times per second of
    // stream on average (at most once a byte), drawn from NoiseSeed across all captures.
    double NoiseRate = 0.0;
    std::uint64_t NoiseSeed = 1;
    // The DC bus steps down 50 V for one second from the first set of a capture taken at or
    // after this drive time (FirstSetAtOrAfter from the capture's stream start).
    std::optional<DriveTime> BusStepAt;
};

inline constexpr std::uint8_t kBadBlockMarker = 0xFE;

class SimulatedDrive {
public:
    explicit SimulatedDrive(DriveOptions options = {});

    // Bytes from the program, arriving at drive time `now`.
    void Receive(std::span<const std::uint8_t> bytes, DriveTime now);

    // Appends to `out` every byte the drive has sent by `now` and not handed out before.
    void Transmit(DriveTime now, std::vector<std::uint8_t>& out);

    // When the next byte is due to be sent, if anything is pending.
    std::optional<DriveTime> NextOutputDue() const;

    bool Streaming() const { return streaming_; }
    const ChannelAddresses& StreamChannels() const { return streamChannels_; }
    const DriveOptions& Options() const { return options_; }
    void SetBusStepAt(std::optional<DriveTime> at) { options_.BusStepAt = at; }
    // The current capture's first stepped set, if it has a step.
    std::optional<std::int64_t> BusStepSet() const { return busStepSet_; }

private:
    enum class Parse { Hunt, AfterColon, AfterSemicolon, InFrame };
    enum class Expect { Nothing, Channels, IdentifyFrame };

    void Accept(std::uint8_t byte, DriveTime now);
    void OnFrame(DriveTime now);
    void AppendBlock(std::vector<std::uint8_t>& out);
    std::uint8_t WithNoise(std::uint8_t byte);

    DriveOptions options_;
    Parse parse_ = Parse::Hunt;
    std::array<std::uint8_t, 5> frame_{};
    int frameBytes_ = 0;
    Expect expect_ = Expect::Nothing;
    ChannelAddresses pendingChannels_{};
    int channelsReceived_ = 0;

    bool streaming_ = false;
    ChannelAddresses streamChannels_{};
    DriveTime streamStart_{0};
    std::uint64_t blocksSent_ = 0;
    std::optional<std::int64_t> busStepSet_;
    std::uint64_t streamBytes_ = 0;  // bytes of this capture's stream, the dropped one included

    std::deque<DriveTime> repliesDue_;  // in order: the delay is the same for every reply

    std::mt19937_64 noise_;
    std::geometric_distribution<std::uint64_t> cleanRun_;  // good bytes before the next flip
    std::uint64_t cleanBytesLeft_ = 0;
};

}  // namespace altrix::sim
