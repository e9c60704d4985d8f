#pragma once
// Store-and-decode step of the capture tick: received bytes go into the stream ring, and
// every block whose header is in step is split into the four channel traces, 16 sample sets
// from channel 1. A block is taken once the counter byte of the block after it has arrived
// and follows its own, so a block that lost or gained a byte is never decoded.
//
// A block out of step (wrong counter, marker not 0xFF, or not followed by the next counter)
// sets DataError and starts a resynchronisation: bytes are discarded until a header is beyond
// doubt the stream's. It must be followed by three more in line (0xFF markers, consecutive
// counters), its counter must continue the refused block's by the blocks lost, near their
// byte grid, and no rival may lie within a block either side (a header in line with the
// next that claims the same block or a neighbour). Anything else
// is discarded and counted, never guessed at: samples of small negative values (high byte
// 0xFF) can look like headers, and a channel counting in its low byte under 0xFF makes a
// second grid of them that only a stream without lost or gained bytes tells apart. The counter tells
// the blocks lost modulo 256; the bytes discarded tell how many whole cycles of it to add, and
// a hunt that runs a whole cycle past its start counts those blocks as it goes. The blocks
// lost are filled with the newest good values, so later sets keep their time, and recorded in
// the record's gap ring (a gap that carries on the newest grows it). A block that is followed
// by a header pair in line is whole even when the counter jumps (the drive skipped blocks),
// and is kept. Allocates nothing.

#include <array>
#include <cstdint>
#include <span>

#include "CaptureRecord.h"

namespace altrix {

using ChannelEnables = std::array<bool, kChannelCount>;

// `received` holds at most kReceiveCapacity bytes (normally the start of ReceiveBuffer).
// Channels whose enable flag is false consume their words without storing them (also in
// filled gaps). A partial block, or a hunt that needs more bytes, waits for the next call.
void StoreAndDecode(CaptureRecord& record, std::span<const std::uint8_t> received,
                    const ChannelEnables& enabled);

// The drive starts a new stream that numbers its blocks from 0 with the next byte to arrive
// (after the link came back and the start exchange was sent again). Undecoded bytes of the
// old stream are discarded; `missedSets` sample sets, the time without a stream, are
// filled with the newest good values and recorded as a gap (at most a whole trace).
// Neither DataError nor the resync count changes.
void RestartStream(CaptureRecord& record, std::int64_t missedSets, const ChannelEnables& enabled);

}  // namespace altrix
