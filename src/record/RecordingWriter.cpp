#include "RecordingWriter.h"

#include "SafeFile.h"

#include <array>
#include <cstdio>
#include <filesystem>

namespace altrix {

namespace {

constexpr char kSchema[] =
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT);"
    "CREATE TABLE channels(channel INTEGER PRIMARY KEY, address TEXT, name TEXT, gain TEXT, unit TEXT);"
    "CREATE TABLE chunks(first_set INTEGER PRIMARY KEY, set_count INTEGER, data BLOB);"
    "CREATE TABLE gaps(first_set INTEGER, set_count INTEGER, reason TEXT);"
    "CREATE TABLE events(set_index INTEGER, kind TEXT, text TEXT);"
    "CREATE TABLE minmax(level INTEGER, first_block INTEGER, block_count INTEGER, data BLOB,"
    " PRIMARY KEY(level, first_block));"
    "CREATE TABLE sums(first_block INTEGER PRIMARY KEY, block_count INTEGER, data BLOB);"
    "CREATE TABLE math(trace INTEGER PRIMARY KEY, enabled INTEGER, name TEXT, unit TEXT, expression TEXT);";

constexpr std::size_t kExtremesBytes = 2 * 2 * kRecordingChannels;
// The file's growth step, and the room claimed beyond a write's sets for its rows.
constexpr int kGrowthBytes = 256 * 1024;
constexpr std::int64_t kReserveMargin = 128 * 1024;
constexpr char kNoRoom[] = "Cannot write the recording: the disk has no room for its next sets";
constexpr std::size_t kSumsBytes = 2 * 8 * kRecordingChannels;

std::array<std::uint8_t, kExtremesBytes> ExtremesBytes(const SetExtremes& e) {
    std::array<std::uint8_t, kExtremesBytes> out;
    for (int c = 0; c < kRecordingChannels; ++c) {
        sqlite::PutInt16(&out[4 * c], e.Low[c]);
        sqlite::PutInt16(&out[4 * c + 2], e.High[c]);
    }
    return out;
}

std::array<std::uint8_t, kSumsBytes> SumsBytes(const SetSums& s) {
    std::array<std::uint8_t, kSumsBytes> out;
    for (int c = 0; c < kRecordingChannels; ++c) {
        sqlite::PutInt64(&out[16 * c], s.Sum[c]);
        sqlite::PutInt64(&out[16 * c + 8], s.Squares[c]);
    }
    return out;
}

}  // namespace

RecordingWriter::RecordingWriter() = default;

RecordingWriter::~RecordingWriter() {
    Close();
}

bool RecordingWriter::fail(const char* what) {
    return failWith(std::string(what) + ": " + (db_ ? sqlite3_errmsg(db_.get()) : "no database"));
}

bool RecordingWriter::failWith(const std::string& why) {
    error_ = why;
    if (db_) sqlite::Exec(db_.get(), "ROLLBACK");
    Close();
    error_ += JournalNote(path_);
    return false;
}

bool RecordingWriter::reserve(std::int64_t extra) {
    sqlite::Statement pages(db_.get(), "PRAGMA page_count");
    if (!pages.ok() || pages.step() != SQLITE_ROW) return false;
    sqlite3_int64 bytes = pages.integer(0) * pageSize_ + extra;
    return sqlite3_file_control(db_.get(), "main", SQLITE_FCNTL_SIZE_HINT, &bytes) == SQLITE_OK;
}

bool RecordingWriter::moved() {
    int moved = 0;
    return db_ && sqlite3_file_control(db_.get(), "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

std::string RecordingWriter::Create(const std::string& path, const RecordingHeader& header) {
    Close();
    error_.clear();
    path_ = path;
    sets_ = 0;
    lastGapRow_ = lastGapEnd_ = 0;
    levels_.assign(kPyramidLevels, Level{});
    partialSums_ = {};
    partialSumSets_ = 0;
    sumsRows_ = {};
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        if (const std::string problem = RegularFileProblem(path); !problem.empty()) return problem;
        // A recording is made afresh; an old file and its journal would be taken up into it.
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, ec);
    }
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_.reset(db);
    if (opened != SQLITE_OK) {
        error_ = db ? sqlite3_errmsg(db) : "out of memory";
        db_.reset();
        return error_;
    }
    // WAL with a sync at each commit: a commit that returned survives a power cut.
    if (!sqlite::Exec(db, "PRAGMA journal_mode=WAL") || !sqlite::Exec(db, "PRAGMA synchronous=FULL") ||
        !sqlite::Exec(db, "BEGIN") || !sqlite::Exec(db, kSchema)) {
        fail("Cannot create the recording");
        return error_;
    }
    sqlite::Statement meta(db, "INSERT INTO meta(key, value) VALUES(?1, ?2)");
    const auto put = [&meta](const std::string& key, const std::string& value) {
        meta.reset();
        meta.bind(1, key);
        meta.bind(2, value);
        return meta.step() == SQLITE_DONE;
    };
    bool ok = meta.ok() && put("format", kRecordingFormat) && put("format_version", std::to_string(kRecordingFormatVersion)) &&
              put("sample_rate_hz", std::to_string(kRecordingSampleRateHz)) && put("started_utc", header.StartedUtc) &&
              put("program_version", header.ProgramVersion) &&
              put("pyramid_level_one_sets", std::to_string(kLevelOneSets)) &&
              put("pyramid_factor", std::to_string(kLevelFactor)) && put("pyramid_levels", std::to_string(kPyramidLevels)) &&
              put("row_blocks", std::to_string(kBlocksPerRow)) && put("sum_block_sets", std::to_string(kSumBlockSets));
    if (ok && !header.DriveTypeCode.empty()) ok = put("drive_type", header.DriveTypeCode);
    sqlite::Statement channel(db, "INSERT INTO channels VALUES(?1, ?2, ?3, ?4, ?5)");
    ok = ok && channel.ok();
    for (int k = 1; ok && k <= kRecordingChannels; ++k) {
        const RecordingChannel& c = header.Channels[k - 1];
        channel.reset();
        channel.bind(1, k);
        channel.bind(2, c.Address);
        channel.bind(3, c.Name);
        channel.bind(4, c.Gain);
        channel.bind(5, c.Unit);
        ok = channel.step() == SQLITE_DONE;
    }
    // A math trace with an expression, on or off.
    sqlite::Statement math(db, "INSERT INTO math VALUES(?1, ?2, ?3, ?4, ?5)");
    ok = ok && math.ok();
    for (int m = 1; ok && header.Math && m <= kMathCount; ++m) {
        const MathDefinition& d = (*header.Math)[static_cast<std::size_t>(m - 1)];
        if (d.Expression.empty()) continue;
        math.reset();
        math.bind(1, m);
        math.bind(2, d.Enabled ? 1 : 0);
        math.bind(3, d.Name);
        math.bind(4, d.Unit);
        math.bind(5, d.Expression);
        ok = math.step() == SQLITE_DONE;
    }
    if (!ok || !sqlite::Exec(db, "COMMIT")) {
        fail("Cannot create the recording");
        return error_;
    }
    // The file grows a stretch at a time, so that reserve() can claim the room for a write.
    int chunkBytes = kGrowthBytes;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_CHUNK_SIZE, &chunkBytes);
    sqlite::Statement pageSize(db, "PRAGMA page_size");
    pageSize_ = pageSize.ok() && pageSize.step() == SQLITE_ROW ? pageSize.integer(0) : 4096;
    insertChunk_ = sqlite::Statement(db, "INSERT INTO chunks VALUES(?1, ?2, ?3)");
    insertLevel_ = sqlite::Statement(db, "INSERT OR REPLACE INTO minmax VALUES(?1, ?2, ?3, ?4)");
    insertSums_ = sqlite::Statement(db, "INSERT OR REPLACE INTO sums VALUES(?2, ?3, ?4)");
    insertGap_ = sqlite::Statement(db, "INSERT INTO gaps VALUES(?1, ?2, ?3)");
    growGap_ = sqlite::Statement(db, "UPDATE gaps SET set_count = set_count + ?2 WHERE rowid = ?1");
    insertEvent_ = sqlite::Statement(db, "INSERT INTO events VALUES(?1, ?2, ?3)");
    if (!insertChunk_.ok() || !insertLevel_.ok() || !insertSums_.ok() || !insertGap_.ok() || !growGap_.ok() || !insertEvent_.ok()) {
        fail("Cannot create the recording");
        return error_;
    }
    return {};
}

void RecordingWriter::Rows::add(std::span<const std::uint8_t> block) {
    Pending.Data.insert(Pending.Data.end(), block.begin(), block.end());
    Pending.Dirty = true;
    if (++Pending.Blocks < kBlocksPerRow) return;
    const std::int64_t next = Pending.First + kBlocksPerRow;
    Full.push_back(std::move(Pending));
    Pending = Row{next, {}, 0, false};
}

void RecordingWriter::completeBlock(int level, const SetExtremes& e) {
    levels_[static_cast<std::size_t>(level - 1)].Out.add(ExtremesBytes(e));
    if (level == kPyramidLevels) return;
    Level& up = levels_[static_cast<std::size_t>(level)];
    FoldExtremes(up.Partial, e);
    if (++up.Units == kLevelFactor) {
        completeBlock(level + 1, up.Partial);
        up.Partial = kNoExtremes;
        up.Units = 0;
    }
}

bool RecordingWriter::writeRows(sqlite::Statement& insert, int level, Rows& rows) {
    const auto put = [&](Row& row) {
        if (!row.Dirty) return true;
        insert.reset();
        insert.bind(1, level);
        insert.bind(2, row.First);
        insert.bind(3, row.Blocks);
        insert.bindBlob(4, row.Data);
        row.Dirty = false;
        return insert.step() == SQLITE_DONE;
    };
    for (Row& row : rows.Full)
        if (!put(row)) return false;
    rows.Full.clear();
    return put(rows.Pending);
}

bool RecordingWriter::Write(std::span<const std::int16_t> sets, std::span<const RecordingGap> gaps,
                            std::span<const RecordingEvent> events) {
    if (!db_) return false;
    if (moved()) return failWith("The file was deleted or replaced while recording; what was recorded is gone with it");
    const auto count = static_cast<std::int64_t>(sets.size() / kRecordingChannels);
    // Room in the file for these sets and their rows before the journal takes them, so that
    // a full disk stops the recording where the file alone holds every set committed.
    if (!reserve(count * kSetBytes * 5 / 4 + kReserveMargin)) return failWith(kNoRoom);
    chunk_.resize(static_cast<std::size_t>(count) * kSetBytes);
    Level& first = levels_[0];
    for (std::int64_t s = 0; s < count; ++s) {
        const std::int16_t* set = &sets[static_cast<std::size_t>(s) * kRecordingChannels];
        for (int c = 0; c < kRecordingChannels; ++c) {
            sqlite::PutInt16(&chunk_[static_cast<std::size_t>(s) * kSetBytes + 2 * c], set[c]);
            partialSums_.Sum[c] += set[c];
            partialSums_.Squares[c] += std::int64_t{set[c]} * set[c];
        }
        if (++partialSumSets_ == kSumBlockSets) {
            sumsRows_.add(SumsBytes(partialSums_));
            partialSums_ = {};
            partialSumSets_ = 0;
        }
        FoldSet(first.Partial, set);
        if (++first.Units == kLevelOneSets) {
            completeBlock(1, first.Partial);
            first.Partial = kNoExtremes;
            first.Units = 0;
        }
    }
    if (!sqlite::Exec(db_.get(), "BEGIN")) return fail("Cannot write the recording");
    if (count > 0) {
        insertChunk_.reset();
        insertChunk_.bind(1, sets_);
        insertChunk_.bind(2, count);
        insertChunk_.bindBlob(3, chunk_);
        if (insertChunk_.step() != SQLITE_DONE) return fail("Cannot write the recording");
    }
    for (int l = 1; l <= kPyramidLevels; ++l)
        if (!writeRows(insertLevel_, l, levels_[static_cast<std::size_t>(l - 1)].Out))
            return fail("Cannot write the recording");
    // The sums' rows go through the same code as the pyramid's (their statement skips the level).
    if (!writeRows(insertSums_, 0, sumsRows_)) return fail("Cannot write the recording");
    std::int64_t lastGapRow = lastGapRow_, lastGapEnd = lastGapEnd_;
    for (const RecordingGap& gap : gaps) {
        // A gap that carries on the last one written (a loss that went on) lengthens its row.
        if (lastGapRow > 0 && gap.FirstSet == lastGapEnd && gap.Reason == lastGapReason_) {
            growGap_.reset();
            growGap_.bind(1, lastGapRow);
            growGap_.bind(2, gap.SetCount);
            if (growGap_.step() != SQLITE_DONE) return fail("Cannot write the recording");
        } else {
            insertGap_.reset();
            insertGap_.bind(1, gap.FirstSet);
            insertGap_.bind(2, gap.SetCount);
            insertGap_.bind(3, gap.Reason);
            if (insertGap_.step() != SQLITE_DONE) return fail("Cannot write the recording");
            lastGapRow = sqlite3_last_insert_rowid(db_.get());
            lastGapReason_ = gap.Reason;
        }
        lastGapEnd = gap.FirstSet + gap.SetCount;
    }
    for (const RecordingEvent& event : events) {
        insertEvent_.reset();
        insertEvent_.bind(1, event.SetIndex);
        insertEvent_.bind(2, event.Kind);
        insertEvent_.bind(3, event.Text);
        if (insertEvent_.step() != SQLITE_DONE) return fail("Cannot write the recording");
    }
    if (!sqlite::Exec(db_.get(), "COMMIT")) return fail("Cannot write the recording");
    sets_ += count;
    lastGapRow_ = lastGapRow;
    lastGapEnd_ = lastGapEnd;
    // The journal folded into the file at once, so that the file alone holds what was
    // committed (a full disk then stops the fold, not the commit: the journal keeps the rest).
    if (!reserve(0)) return failWith(kNoRoom);
    const int folded = sqlite3_wal_checkpoint_v2(db_.get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    if (folded != SQLITE_OK && folded != SQLITE_BUSY) return fail("Cannot write the recording");
    return true;
}

bool RecordingWriter::Close() {
    insertChunk_ = {};
    insertLevel_ = {};
    insertSums_ = {};
    insertGap_ = {};
    growGap_ = {};
    insertEvent_ = {};
    bool folded = true;
    if (db_) {
        // A fold the disk has no room for would leave a file that reads only with its journal.
        const bool room = reserve(0);
        if (!room) sqlite3_db_config(db_.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        folded = room && sqlite3_wal_checkpoint_v2(db_.get(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) == SQLITE_OK;
        if (!folded && error_.empty())
            error_ = std::string("The recording's journal could not be folded into it: ") + sqlite3_errmsg(db_.get()) + JournalNote(path_);
    }
    db_.reset();
    return folded;
}

}  // namespace altrix
