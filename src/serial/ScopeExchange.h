#pragma once
// The program's side of the scope protocol's exchanges, byte by byte through CommPort.
// Each call returns once its bytes are written; none waits for the drive.

#include <array>
#include <cstdint>

#include "CaptureRecord.h"
#include "ScopeProtocol.h"

namespace altrix {

class CommPort;

using ChannelAddresses = std::array<std::uint16_t, kChannelCount>;

// 3A 3A: ends a running stream (STOP, closing the window) and precedes a channel list.
void SendStreamReset(CommPort& port);

// Start a capture: the stream reset, a 100 ms pause on the calling thread, Purge, then one
// frame per channel: command 0x00 for channel 1, 0x01 for channels 2 to 4.
void SendStartCapture(CommPort& port, const ChannelAddresses& addresses);

// Identify request: 3B 3B, a 100 ms pause, Purge, then 3A 01 90 00 6F four times.
// The caller reads the reply.
void SendIdentifyRequest(CommPort& port);

}  // namespace altrix
