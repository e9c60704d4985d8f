#pragma once
// RecordingWriter: creates a recording file and appends sets to it, each Write one SQLite
// transaction (WAL, synchronous), so that a crash or a kill loses at most the sets of the write
// under way and leaves a file that opens. The pyramid's and the sums' rows grow with the sets:
// the row of the blocks completed so far is rewritten by each Write.

#include "RecordingFormat.h"
#include "Sqlite.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace altrix {

class RecordingWriter {
public:
    RecordingWriter();
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Makes `path` a new, empty recording (an old file of that name is replaced). The reason
    // for the user when it cannot, else empty.
    std::string Create(const std::string& path, const RecordingHeader& header);
    // Appends `sets` (four samples a set, channel 1 first), the gaps and the events in one
    // transaction; a gap that starts where the last one written ends lengthens its row. False when that failed: what was written before stays, the file is closed
    // and Error() says why.
    bool Write(std::span<const std::int16_t> sets, std::span<const RecordingGap> gaps = {},
               std::span<const RecordingEvent> events = {});
    // Folds the journal into the file and closes it; false when the fold failed (a full disk):
    // the journal beside the file then holds part of it and Error() says so.
    bool Close();

    bool IsOpen() const { return db_ != nullptr; }
    // Sets held by committed transactions.
    std::int64_t Sets() const { return sets_; }
    const std::string& Error() const { return error_; }

private:
    struct Row {
        std::int64_t First = 0;  // first block of the row
        std::vector<std::uint8_t> Data;
        std::int64_t Blocks = 0;
        bool Dirty = false;
    };
    // A row growing, and the rows completed since the last Write.
    struct Rows {
        Row Pending;
        std::vector<Row> Full;
        void add(std::span<const std::uint8_t> block);
    };
    struct Level {
        SetExtremes Partial = kNoExtremes;
        std::int64_t Units = 0;  // sets (level 1) or blocks of the level below in Partial
        Rows Out;
    };
    void completeBlock(int level, const SetExtremes& e);
    bool writeRows(sqlite::Statement& insert, int level, Rows& rows);
    bool fail(const char* what);
    bool failWith(const std::string& why);
    // Claims room in the file for what it holds (the journal's part folded in) and `extra`
    // bytes more; false when the disk has none.
    bool reserve(std::int64_t extra);
    // True once the file is gone from its path or another file took its name.
    bool moved();

    sqlite::Database db_;
    sqlite::Statement insertChunk_, insertLevel_, insertSums_, insertGap_, growGap_, insertEvent_;
    std::vector<Level> levels_;
    SetSums partialSums_;
    std::int64_t partialSumSets_ = 0;
    Rows sumsRows_;
    std::vector<std::uint8_t> chunk_;
    std::int64_t sets_ = 0;
    std::string error_;
    std::string path_;
    std::int64_t pageSize_ = 4096;
    // The last gap row written, so that a gap carrying it on lengthens it.
    std::int64_t lastGapRow_ = 0, lastGapEnd_ = 0;
    std::string lastGapReason_;
};

}  // namespace altrix
