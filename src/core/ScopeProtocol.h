#pragma once
// Bytes of the drive's scope protocol: control sequences, the five-byte ScopeFrame,
// the ten-byte identify reply, and the words of a StreamBlock.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "CaptureRecord.h"

namespace altrix {

inline constexpr std::uint8_t kFrameStart = 0x3A;
inline constexpr std::array<std::uint8_t, 2> kStreamReset{0x3A, 0x3A};
inline constexpr std::array<std::uint8_t, 2> kIdentifyPrelude{0x3B, 0x3B};
inline constexpr std::uint8_t kFirstChannelCommand = 0x00;    // channel 1 of a new capture
inline constexpr std::uint8_t kFurtherChannelCommand = 0x01;  // channels 2..4; identify request
inline constexpr std::uint16_t kUnusedChannelAddress = 0x9000;
inline constexpr std::uint16_t kIdentifyAddress = 0x9000;
inline constexpr int kIdentifyRequestRepeats = 4;
inline constexpr int kIdentifyReplyBytes = 10;
inline constexpr int kBlockBytes = 130;
inline constexpr int kBlockHeaderBytes = 2;
inline constexpr int kWordsPerBlock = 64;
inline constexpr int kSetsPerBlock = kWordsPerBlock / 4;  // every block holds 16 whole sample sets
inline constexpr std::uint8_t kGoodBlockMarker = 0xFF;  // second header byte of a good block
// First header byte: the low byte of the block counter, 0 for the first block of a capture.
inline constexpr int kStartPauseMs = 100;

using ScopeFrame = std::array<std::uint8_t, 5>;

// The drive memory address streamed on each channel, channel 1 first.
using ChannelAddresses = std::array<std::uint16_t, kChannelCount>;

// 3A, command, address high, address low, checksum (bytes 1..4 sum to 0 mod 256).
ScopeFrame MakeScopeFrame(std::uint8_t command, std::uint16_t address);

// A 16-bit signed word, low byte first, at p[0], p[1].
constexpr std::int16_t ReadWord(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[1] << 8 | p[0]));
}

struct IdentifyReply {
    std::int16_t TypeCode = 0;
    std::array<std::int16_t, 3> OtherWords{};
};

// Decodes the reply from the bytes that arrived; bytes beyond `received` read as 0.
IdentifyReply DecodeIdentifyReply(std::span<const std::uint8_t> received);

// A channel address as RUN accepts it: exactly four characters "0".."9" / "a".."f".
std::optional<std::uint16_t> ParseChannelAddress(std::string_view text);

}  // namespace altrix
