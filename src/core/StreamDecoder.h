#pragma once
// Store-and-decode step of the capture tick: received bytes go into the stream ring, and
// every block whose header is in step is split into the four channel traces, 16 sample sets
// from channel 1. A block is taken only once the next block's header has arrived where it
// belongs, both bytes (counter and 0xFF marker), so a block that lost or gained a byte is never
// decoded. The header of counter 0xFF is two marker bytes, which a byte lost or gained beside
// it can mimic: the block before it waits for the header after it as well. A follower with
// the right counter but a damaged marker counts as in place when the header after it is. So
// the newest blocks wait for the next bytes (at most 392 bytes, about 10 ms of stream); at
// STOP they are not decoded.
//
// A block out of step (wrong counter, marker not 0xFF, or the next header not in place) sets
// DataError and starts a resynchronisation: bytes are discarded until a header is the
// stream's. It must be followed by three more in line (0xFF markers, consecutive counters,
// and after counter 0xFF the next header too), and its counter must continue the refused
// block's by the blocks lost. Where only a header was damaged or a byte lost or gained, the
// stream's next headers lie at most a byte off the grid of the blocks lost within the two
// blocks after the refused one: such a header is taken when no other bytes of its block's
// header, and no header in line of the two blocks after it, lie within a byte of that grid.
// After a larger loss a header is taken only when it is beyond doubt: near the grid (at most
// four blocks off), and no rival within a block and a header either side (a header in line
// that claims the same block or a neighbour, off this header's grid). Anything else is
// discarded and counted, never guessed at: samples of small negative values (high byte 0xFF)
// can look like headers, and a channel counting in its low byte under 0xFF makes a second grid
// of them that only a stream without lost or gained bytes tells apart (a byte lost while that
// grid lies two bytes after the headers leaves two candidates a byte either side of the grid:
// the hunt then goes on discarding). The counter tells the blocks lost modulo 256; the bytes
// discarded tell how many whole cycles of it to add, and a hunt that runs a whole cycle past
// its start counts those blocks as it goes. The blocks lost are filled with the newest good
// values, so later sets keep their time, and recorded in the record's gap ring (a gap that
// carries on the newest grows it). A block that is followed by a header pair in line is whole
// even when the counter jumps (the drive skipped blocks), and is kept. Allocates nothing.

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
