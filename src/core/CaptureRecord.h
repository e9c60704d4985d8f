#pragma once
// The one in-memory model of a capture: link settings, stream staging, the four channel
// traces and the two reference traces. What the screen makes of them (scales, cursor, mark,
// density) is the display's.
// Every buffer is a fixed array inside the record; nothing allocates after construction
// (PortName only changes between captures). About 2.7 MB: keep it on the heap.

#include <array>
#include <cstdint>
#include <string>

namespace altrix {

inline constexpr int kChannelCount = 4;
inline constexpr int kReferenceCount = 2;
inline constexpr int kTraceSlots = 200000;        // slots of one channel ring
inline constexpr int kWindowPositions = 100000;   // bottom-axis positions 0..99999
inline constexpr int kNewestPosition = kWindowPositions - 1;
inline constexpr int kReceiveCapacity = 300000;   // bytes read per tick at most
inline constexpr int kStreamRingBytes = 390000;   // 3000 blocks of 130 bytes
inline constexpr int kRunClearedRingBytes = 260000;
inline constexpr std::int32_t kDefaultBaudRate = 625000;
inline constexpr std::int32_t kStartDrawPointCount = 20000;
inline constexpr std::int32_t kNoMark = -1;
inline constexpr double kSamplePeriodSeconds = 0.0002;

inline constexpr int kGapRingSize = 256;          // recent gaps kept for the chart

using ChannelSamples = std::array<std::int16_t, kTraceSlots>;
using ReferenceSamples = std::array<std::int16_t, kWindowPositions>;

// What the stream decoder has met since RUN.
struct StreamHealth {
    std::uint64_t BlocksDecoded = 0;
    std::uint64_t BlocksLost = 0;      // at each resync: the block counter's step, plus the whole
                                       // 256-block cycles that the bytes discarded tell of
    std::uint64_t Resyncs = 0;         // times a block was refused and headers were hunted for
    std::uint64_t BytesDiscarded = 0;  // bytes that went into no sample
};

// Sample sets the decoder filled with the last good values instead of lost blocks: slots
// FirstSlot .. FirstSlot + Sets - 1 of the channel traces, wrapping after 199999.
struct TraceGap {
    std::int32_t FirstSlot = 0;
    std::int32_t Sets = 0;
};

// Arrays are indexed from 0: channel 1 is ChannelTrace[0], Ref1 is ReferenceTrace[0].
struct CaptureRecord {
    // Link settings
    std::string PortName;
    std::int32_t BaudRate = kDefaultBaudRate;
    std::int32_t DriveTypeCode = 0;

    // Stream staging
    std::array<std::uint8_t, kReceiveCapacity> ReceiveBuffer{};
    std::int32_t ReceivedCount = 0;
    std::array<std::uint8_t, kStreamRingBytes> StreamRing{};
    std::int32_t RingWritePos = 0;
    std::int32_t LastBlockStart = 0;  // where the decoder expects the next block (in step)
    std::int32_t DecodedUpTo = 0;     // first ring byte not yet decoded or discarded
    bool DataError = false;
    std::uint8_t NextBlockCounter = 0;  // low byte of the block counter expected next
    bool Resynchronising = false;       // hunting for block headers that line up again
    std::int64_t HuntDistance = 0;      // bytes from the refused block's start to the hunt's position
    StreamHealth Health;
    std::array<TraceGap, kGapRingSize> Gaps{};  // the newest is Gaps[(GapCount - 1) % kGapRingSize]
    std::uint64_t GapCount = 0;                 // gaps recorded since RUN

    // Traces
    std::array<ChannelSamples, kChannelCount> ChannelTrace{};
    std::int32_t NextSample = 0;
    std::uint64_t SetCount = 0;      // sample sets stored since RUN, decoded or filled
    std::int32_t ChannelPhase = 0;   // 1 once a capture has started: every block begins with channel 1
    std::array<ReferenceSamples, kReferenceCount> ReferenceTrace{};
};

// Trace slot shown at bottom-axis position x (0..99999): NextSample + x - 100000,
// plus 200000 when negative.
int SlotOfPosition(std::int32_t nextSample, std::int32_t position);

// Slot of the newest stored sample set: NextSample - 1, or 199999 when NextSample is 0.
int NewestSlot(std::int32_t nextSample);

// True for a position inside the sample window 0..99999.
constexpr bool IsWindowPosition(std::int32_t position) {
    return position >= 0 && position <= kNewestPosition;
}

// The record's reset at RUN, done before the addresses are validated: stream positions,
// NextSample, ChannelPhase 1, no data error, block counter 0 expected, link health and gaps
// cleared, all channel slots and the first 260000 ring bytes zeroed.
void ResetForRun(CaptureRecord& record);

}  // namespace altrix
