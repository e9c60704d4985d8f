#pragma once
// The program's side of the scope protocol's exchanges, byte by byte through CommPort.
// Each send returns once its bytes are written, or gives up when the whole exchange has taken
// kExchangeLimit (a port that stops accepting bytes); only ReadReply waits for the drive.

#include <array>
#include <chrono>
#include <cstdint>
#include <span>

#include "ScopeProtocol.h"

namespace altrix {

class CommPort;

// Longest time one exchange may spend sending, pauses included.
inline constexpr std::chrono::milliseconds kExchangeLimit{1000};

// Each send is true when every byte left in time, false when it gave up.

// 3A 3A: ends a running stream (STOP, closing the window) and precedes a channel list.
bool SendStreamReset(CommPort& port);

// Start a capture: the stream reset, a 100 ms pause on the calling thread, Purge, then one
// frame per channel: command 0x00 for channel 1, 0x01 for channels 2 to 4.
bool SendStartCapture(CommPort& port, const ChannelAddresses& addresses);

// Identify request: 3B 3B, a 100 ms pause, Purge, then 3A 01 90 00 6F four times.
// The caller reads the reply.
bool SendIdentifyRequest(CommPort& port);

// How long a drive may take to answer the identify request.
inline constexpr std::chrono::milliseconds kIdentifyReplyWait{300};

// Reads a reply into `reply` until it is complete or `wait` has passed, whichever comes
// first; returns how many bytes arrived (at the start of `reply`).
std::int32_t ReadReply(CommPort& port, std::span<std::uint8_t> reply,
                       std::chrono::milliseconds wait);

}  // namespace altrix
