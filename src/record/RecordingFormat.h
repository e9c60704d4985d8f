#pragma once
// The long recording file (*.arec): an SQLite 3 database of every sample set of a capture,
// written while the capture runs, with min/max summaries (a pyramid) and sums so that any view
// or measurement of hours reads little. docs/recording-format.md describes it for other readers.

#include "MathTrace.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace altrix {

inline constexpr char kRecordingFormat[] = "altrix-recording";
inline constexpr int kRecordingFormatVersion = 1;
inline constexpr int kRecordingSampleRateHz = 5000;
inline constexpr int kRecordingChannels = 4;
inline constexpr int kSetBytes = 2 * kRecordingChannels;  // four little-endian int16

// The min/max pyramid: level 1 summarises blocks of 64 sets, each further level blocks of 8
// blocks of the level below. Rows hold 64 consecutive blocks of one level.
inline constexpr int kPyramidLevels = 7;
inline constexpr std::int64_t kLevelOneSets = 64;
inline constexpr std::int64_t kLevelFactor = 8;
inline constexpr std::int64_t kBlocksPerRow = 64;
// Sums (for mean and RMS) over blocks of this many sets, rows of kBlocksPerRow blocks.
inline constexpr std::int64_t kSumBlockSets = 4096;

constexpr std::int64_t LevelBlockSets(int level) {
    std::int64_t sets = kLevelOneSets;
    for (int l = 1; l < level; ++l) sets *= kLevelFactor;
    return sets;
}

// The lowest and highest sample of each channel over a stretch of sets.
struct SetExtremes {
    std::array<std::int16_t, kRecordingChannels> Low;
    std::array<std::int16_t, kRecordingChannels> High;
};
// Extremes of nothing: every low above every high, so that folding in a sample sets both.
inline constexpr SetExtremes kNoExtremes{{32767, 32767, 32767, 32767}, {-32768, -32768, -32768, -32768}};

inline void FoldSet(SetExtremes& e, const std::int16_t* set) {
    for (int c = 0; c < kRecordingChannels; ++c) {
        if (set[c] < e.Low[c]) e.Low[c] = set[c];
        if (set[c] > e.High[c]) e.High[c] = set[c];
    }
}
inline void FoldExtremes(SetExtremes& e, const SetExtremes& other) {
    for (int c = 0; c < kRecordingChannels; ++c) {
        if (other.Low[c] < e.Low[c]) e.Low[c] = other.Low[c];
        if (other.High[c] > e.High[c]) e.High[c] = other.High[c];
    }
}

// Exact sums of each channel over a stretch of sets.
struct SetSums {
    std::array<std::int64_t, kRecordingChannels> Sum{};
    std::array<std::int64_t, kRecordingChannels> Squares{};
};

// What a recording says of its capture besides the samples.
struct RecordingChannel {
    std::string Address;  // the four hexadecimal digits sent to the drive, empty when off
    std::string Name;     // as the quantity list shows it, or "Mem <address>", or "Channel k"
    std::string Gain;     // "." as the point
    std::string Unit;
};
struct RecordingHeader {
    std::string StartedUtc;  // ISO 8601
    std::string ProgramVersion;
    std::string DriveTypeCode;  // empty when not known
    std::array<RecordingChannel, kRecordingChannels> Channels;
    // The math traces' definitions when the recording started (their samples are computed
    // from the channels); none in a file written before they were kept.
    std::optional<std::array<MathDefinition, kMathCount>> Math;
};
struct RecordingGap {
    std::int64_t FirstSet = 0;
    std::int64_t SetCount = 0;
    std::string Reason;
};
struct RecordingEvent {
    std::int64_t SetIndex = 0;
    std::string Kind;  // "trigger", "link lost", "reconnected"
    std::string Text;
};

// While a recording's journal (`path`-wal) exists and holds something, the sentence to add to
// any message about the file: the two belong together. Else empty.
std::string JournalNote(const std::string& path);

// True when `output` is the recording `input` or one of its journal files, by any path.
bool IsPartOfRecording(const std::string& input, const std::string& output);

}  // namespace altrix
