#pragma once
// RecordingReader: opens a recording file for reading, after checking that it is one this
// program reads (format, version, tables, the chunks in order from set 0), and answers the
// sets of a stretch, the extremes per bucket of sets through the pyramid, and the exact
// extremes and sums of any stretch. Memory stays bounded whatever the length.

#include "DataExport.h"
#include "RecordingFormat.h"
#include "Sqlite.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace altrix {

// The extremes and sums of a stretch, per channel; Count sets.
struct StretchSummary {
    std::int64_t Count = 0;
    SetExtremes Extremes = kNoExtremes;
    SetSums Sums;
};

class RecordingReader {
public:
    // The reader of `path`, or why it cannot be read (a sentence for the user).
    struct Opened {
        std::unique_ptr<RecordingReader> Reader;
        std::string Error;
    };
    static Opened Open(const std::string& path);

    std::int64_t Sets() const { return sets_; }
    const RecordingHeader& Header() const { return header_; }
    const std::vector<RecordingGap>& Gaps() const { return gaps_; }
    const std::vector<RecordingEvent>& Events() const { return events_; }

    // Sets first .. first + count - 1 into `out` (four samples a set), which holds count sets.
    // False when they are not all in the file or the file cannot be read; Error() says why.
    bool ReadSets(std::int64_t first, std::int64_t count, std::span<std::int16_t> out);

    // The extremes of `buckets` consecutive buckets of sets starting at `first`, bucket b
    // holding the sets from first + b x width (rounded down) to the next bucket's first. Read
    // from the coarsest pyramid level whose blocks are at most half a bucket, a block counted in
    // the bucket where it starts; from the sets themselves below 2 x 64 sets a bucket. A bucket with no set in it keeps kNoExtremes.
    bool BucketExtremes(std::int64_t first, double width, std::span<SetExtremes> buckets);

    // The exact extremes and sums of sets first .. last (both included, within the file).
    std::optional<StretchSummary> Summary(std::int64_t first, std::int64_t last);

    const std::string& Error() const { return error_; }

    // True once a summary read disagreed with what it summarises: the answers then came from
    // the sets (or the summaries below) there, and SummaryNote() says so for the user.
    bool SummariesDamaged() const { return summariesDamaged_; }
    std::string SummaryNote() const;

private:
    RecordingReader() = default;
    std::string open(const std::string& path);
    // The extremes of blocks first .. first + out.size() - 1 of a level, from its rows where
    // stored, from the level below (or the sets) for the blocks a recording that ended did not
    // complete.
    bool levelBlocks(int level, std::int64_t first, std::span<SetExtremes> out);
    // The blocks of a level its rows hold, as stored; the others in `out` are left alone.
    bool storedLevelBlocks(int level, std::int64_t first, std::span<SetExtremes> out);
    // Compares the blocks in `out` with the level next to it (a block is the fold of its eight
    // children) and replaces those that disagree by what is checked below them.
    bool checkLevelBlocks(int level, std::int64_t first, std::span<SetExtremes> out);
    bool foldSets(std::int64_t first, std::int64_t count, StretchSummary& into, bool sums);
    bool failRead(const std::string& what);

    sqlite::Database db_;
    sqlite::Statement chunkAt_, levelRows_, sumRows_;
    RecordingHeader header_;
    std::vector<RecordingGap> gaps_;
    std::vector<RecordingEvent> events_;
    std::int64_t sets_ = 0;
    std::vector<std::int64_t> storedBlocks_;  // per level, blocks its rows hold
    std::int64_t storedSumBlocks_ = 0;
    std::vector<std::int16_t> scratch_;
    bool summariesDamaged_ = false;
    std::string error_;
};

// The exporters' reader of channels (1..4) of a recording, which outlives it.
SetReader RecordingSetReader(RecordingReader& reader, std::vector<int> channels);

}  // namespace altrix
