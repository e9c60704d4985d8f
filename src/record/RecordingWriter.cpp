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
    error_ = std::string(what) + ": " + (db_ ? sqlite3_errmsg(db_.get()) : "no database");
    if (db_) sqlite::Exec(db_.get(), "ROLLBACK");
    Close();
    return false;
}

std::string RecordingWriter::Create(const std::string& path, const RecordingHeader& header) {
    Close();
    error_.clear();
    sets_ = 0;
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
    insertChunk_ = sqlite::Statement(db, "INSERT INTO chunks VALUES(?1, ?2, ?3)");
    insertLevel_ = sqlite::Statement(db, "INSERT OR REPLACE INTO minmax VALUES(?1, ?2, ?3, ?4)");
    insertSums_ = sqlite::Statement(db, "INSERT OR REPLACE INTO sums VALUES(?2, ?3, ?4)");
    insertGap_ = sqlite::Statement(db, "INSERT INTO gaps VALUES(?1, ?2, ?3)");
    insertEvent_ = sqlite::Statement(db, "INSERT INTO events VALUES(?1, ?2, ?3)");
    if (!insertChunk_.ok() || !insertLevel_.ok() || !insertSums_.ok() || !insertGap_.ok() || !insertEvent_.ok()) {
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
    const auto count = static_cast<std::int64_t>(sets.size() / kRecordingChannels);
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
    for (const RecordingGap& gap : gaps) {
        insertGap_.reset();
        insertGap_.bind(1, gap.FirstSet);
        insertGap_.bind(2, gap.SetCount);
        insertGap_.bind(3, gap.Reason);
        if (insertGap_.step() != SQLITE_DONE) return fail("Cannot write the recording");
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
    return true;
}

void RecordingWriter::Close() {
    insertChunk_ = {};
    insertLevel_ = {};
    insertSums_ = {};
    insertGap_ = {};
    insertEvent_ = {};
    db_.reset();
}

}  // namespace altrix
