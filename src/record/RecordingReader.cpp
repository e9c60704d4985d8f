#include "RecordingReader.h"

#include "SafeFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace altrix {

namespace {

constexpr std::size_t kExtremesBytes = 2 * 2 * kRecordingChannels;
constexpr std::size_t kSumsBytes = 2 * 8 * kRecordingChannels;
// Sets read from the file at a time while folding a stretch.
constexpr std::int64_t kFoldSets = 65536;

struct TableColumns {
    const char* Table;
    std::vector<std::string> Columns;
};
const TableColumns kTables[] = {
    {"meta", {"key", "value"}},
    {"channels", {"channel", "address", "name", "gain", "unit"}},
    {"chunks", {"first_set", "set_count", "data"}},
    {"gaps", {"first_set", "set_count", "reason"}},
    {"events", {"set_index", "kind", "text"}},
    {"minmax", {"level", "first_block", "block_count", "data"}},
    {"sums", {"first_block", "block_count", "data"}},
};

std::optional<std::int64_t> Integer(const std::string& text) {
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

SetExtremes ExtremesAt(const std::uint8_t* at) {
    SetExtremes e;
    for (int c = 0; c < kRecordingChannels; ++c) {
        e.Low[c] = sqlite::GetInt16(at + 4 * c);
        e.High[c] = sqlite::GetInt16(at + 4 * c + 2);
    }
    return e;
}

}  // namespace

RecordingReader::Opened RecordingReader::Open(const std::string& path) {
    std::unique_ptr<RecordingReader> reader(new RecordingReader);
    std::string error = reader->open(path);
    if (!error.empty()) {
        reader.reset();
        return {nullptr, std::move(error) + JournalNote(path)};
    }
    return {std::move(reader), {}};
}

std::string RecordingReader::open(const std::string& path) {
    if (const std::string problem = RegularFileProblem(path); !problem.empty()) return problem;
    sqlite3* db = nullptr;
    // Read-write so that a recording cut short finds its journal taken up; nothing is written.
    int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (opened != SQLITE_OK) {
        sqlite3_close_v2(db);
        db = nullptr;
        opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    }
    db_.reset(db);
    if (opened != SQLITE_OK) return std::string("cannot be opened: ") + (db ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_busy_timeout(db, 1000);
    const auto damaged = [db] { return std::string("is damaged: ") + sqlite3_errmsg(db); };

    sqlite::Statement meta(db, "SELECT key, value FROM meta");
    if (!meta.ok()) {
        const int code = sqlite3_errcode(db) & 0xff;
        if (code == SQLITE_NOTADB) return "is no recording: it is not an SQLite database";
        if (code == SQLITE_CORRUPT) return damaged();
        if (code == SQLITE_ERROR) return "is no recording: a database without the recording's tables";
        return std::string("cannot be read: ") + sqlite3_errmsg(db);
    }
    std::string format, version, rate;
    int step = SQLITE_ROW;
    while ((step = meta.step()) == SQLITE_ROW) {
        const std::string key = meta.text(0);
        if (key == "format") format = meta.text(1);
        else if (key == "format_version") version = meta.text(1);
        else if (key == "sample_rate_hz") rate = meta.text(1);
        else if (key == "started_utc") header_.StartedUtc = meta.text(1);
        else if (key == "program_version") header_.ProgramVersion = meta.text(1);
        else if (key == "drive_type") header_.DriveTypeCode = meta.text(1);
    }
    if (step != SQLITE_DONE) return damaged();
    if (format != kRecordingFormat) return "is no recording of this program: its format is \"" + format + "\", not \"" + kRecordingFormat + "\"";
    const std::optional<std::int64_t> v = Integer(version);
    if (!v || *v < 1) return "is damaged: its format version \"" + version + "\" is no version";
    if (*v > kRecordingFormatVersion)
        return "is a recording of format version " + version + ", newer than this program reads (" +
               std::to_string(kRecordingFormatVersion) + "); open it with a newer altrix-scope";
    if (Integer(rate) != kRecordingSampleRateHz)
        return "holds " + rate + " sets a second; this program reads recordings of " + std::to_string(kRecordingSampleRateHz);

    sqlite::Statement columns(db, "SELECT name FROM pragma_table_info(?1) ORDER BY cid");
    if (!columns.ok()) return damaged();
    for (const TableColumns& table : kTables) {
        columns.reset();
        columns.bind(1, std::string(table.Table));
        std::vector<std::string> names;
        while ((step = columns.step()) == SQLITE_ROW) names.push_back(columns.text(0));
        if (step != SQLITE_DONE) return damaged();
        if (names != table.Columns) return std::string("is damaged or of another schema: its table \"") + table.Table + "\" is not as format version 1 has it";
    }

    sqlite::Statement channels(db, "SELECT channel, address, name, gain, unit FROM channels");
    while ((step = channels.step()) == SQLITE_ROW) {
        const std::int64_t k = channels.integer(0);
        if (k < 1 || k > kRecordingChannels) continue;
        header_.Channels[static_cast<std::size_t>(k - 1)] = {channels.text(1), channels.text(2), channels.text(3), channels.text(4)};
    }
    if (step != SQLITE_DONE) return damaged();

    // The math definitions, in files written since they were kept.
    sqlite::Statement hasMath(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'math'");
    if (!hasMath.ok() || hasMath.step() != SQLITE_ROW) return damaged();
    if (hasMath.integer(0) > 0) {
        sqlite::Statement math(db, "SELECT trace, enabled, name, unit, expression FROM math");
        if (!math.ok()) return "is damaged or of another schema: its table \"math\" is not as format version 1 has it";
        header_.Math.emplace();
        while ((step = math.step()) == SQLITE_ROW) {
            const std::int64_t m = math.integer(0);
            if (m < 1 || m > kMathCount) continue;
            (*header_.Math)[static_cast<std::size_t>(m - 1)] = {math.integer(1) != 0, math.text(2), math.text(3), math.text(4)};
        }
        if (step != SQLITE_DONE) return damaged();
    }

    // The chunks: set 0 first, each following the one before, every set a whole blob.
    sqlite::Statement chunks(db, "SELECT first_set, set_count, length(data), typeof(data) FROM chunks ORDER BY first_set");
    if (!chunks.ok()) return damaged();
    while ((step = chunks.step()) == SQLITE_ROW) {
        const std::int64_t firstSet = chunks.integer(0), count = chunks.integer(1);
        // The blob's length tells the count (no product of a count read from the file).
        if (firstSet != sets_ || count < 1 || chunks.text(3) != "blob" || chunks.integer(2) % kSetBytes != 0 ||
            chunks.integer(2) / kSetBytes != count)
            return "is damaged: its sets from " + std::to_string(sets_) + " on are not stored in order";
        sets_ += count;
    }
    if (step != SQLITE_DONE) return damaged();

    // The pyramid's and the sums' rows: kBlocksPerRow blocks each in order, of blocks the sets complete.
    const auto countRows = [&](sqlite::Statement& rows, std::size_t blockBytes, std::int64_t blockSets, std::int64_t& stored) {
        stored = 0;
        int s = SQLITE_ROW;
        bool full = true;
        while ((s = rows.step()) == SQLITE_ROW) {
            const std::int64_t firstBlock = rows.integer(0), count = rows.integer(1);
            if (!full || firstBlock != stored || count < 1 || count > kBlocksPerRow ||
                rows.integer(2) != count * static_cast<std::int64_t>(blockBytes) || stored > sets_ / blockSets)
                return false;
            full = count == kBlocksPerRow;
            stored += count;
        }
        return s == SQLITE_DONE && stored <= sets_ / blockSets;
    };
    storedBlocks_.assign(kPyramidLevels, 0);
    sqlite::Statement levelScan(db, "SELECT first_block, block_count, length(data) FROM minmax WHERE level = ?1 ORDER BY first_block");
    if (!levelScan.ok()) return damaged();
    for (int l = 1; l <= kPyramidLevels; ++l) {
        levelScan.reset();
        levelScan.bind(1, l);
        if (!countRows(levelScan, kExtremesBytes, LevelBlockSets(l), storedBlocks_[static_cast<std::size_t>(l - 1)]))
            return "is damaged: its summaries of level " + std::to_string(l) + " do not match its sets";
    }
    sqlite::Statement sumScan(db, "SELECT first_block, block_count, length(data) FROM sums ORDER BY first_block");
    if (!sumScan.ok() || !countRows(sumScan, kSumsBytes, kSumBlockSets, storedSumBlocks_))
        return "is damaged: its sums do not match its sets";

    sqlite::Statement gaps(db, "SELECT first_set, set_count, reason FROM gaps ORDER BY first_set");
    while (gaps.ok() && (step = gaps.step()) == SQLITE_ROW) {
        const std::int64_t firstSet = gaps.integer(0), count = gaps.integer(1);
        if (firstSet < 0 || firstSet > sets_ || count < 0 || count > sets_ - firstSet)
            return "is damaged: a gap of it lies outside its sets";
        gaps_.push_back({firstSet, count, gaps.text(2)});
    }
    if (!gaps.ok() || step != SQLITE_DONE) return damaged();
    sqlite::Statement events(db, "SELECT set_index, kind, text FROM events ORDER BY set_index");
    while (events.ok() && (step = events.step()) == SQLITE_ROW) events_.push_back({events.integer(0), events.text(1), events.text(2)});
    if (!events.ok() || step != SQLITE_DONE) return damaged();

    chunkAt_ = sqlite::Statement(db, "SELECT first_set, set_count, data FROM chunks WHERE first_set <= ?1 ORDER BY first_set DESC LIMIT 1");
    levelRows_ = sqlite::Statement(db, "SELECT first_block, block_count, data FROM minmax WHERE level = ?1 AND first_block > ?2 - 64 AND first_block < ?3 ORDER BY first_block");
    sumRows_ = sqlite::Statement(db, "SELECT first_block, block_count, data FROM sums WHERE first_block > ?1 - 64 AND first_block < ?2 ORDER BY first_block");
    if (!chunkAt_.ok() || !levelRows_.ok() || !sumRows_.ok()) return damaged();
    // The last sets are read once, so that a file cut short is found out now.
    if (sets_ > 0) {
        std::vector<std::int16_t> last(kRecordingChannels);
        if (!ReadSets(sets_ - 1, 1, last)) return "is damaged: " + error_;
    }
    return {};
}

std::string RecordingReader::SummaryNote() const {
    return summariesDamaged_ ? "the file's summaries are damaged: the sets themselves were read there" : std::string();
}

bool RecordingReader::failRead(const std::string& what) {
    error_ = what + ": " + sqlite3_errmsg(db_.get());
    return false;
}

bool RecordingReader::ReadSets(std::int64_t first, std::int64_t count, std::span<std::int16_t> out) {
    if (first < 0 || count < 0 || first > sets_ || count > sets_ - first ||
        out.size() / kRecordingChannels < static_cast<std::size_t>(count)) {
        error_ = "sets outside the recording";
        return false;
    }
    std::int64_t at = first;
    std::size_t written = 0;
    while (at < first + count) {
        chunkAt_.reset();
        chunkAt_.bind(1, at);
        if (chunkAt_.step() != SQLITE_ROW) return failRead("the sets cannot be read");
        const std::int64_t chunkFirst = chunkAt_.integer(0), chunkCount = chunkAt_.integer(1);
        const std::span<const std::uint8_t> data = chunkAt_.blob(2);
        if (chunkCount < 1 || chunkFirst > at || data.size() % kSetBytes != 0 ||
            data.size() / kSetBytes != static_cast<std::uint64_t>(chunkCount) || at - chunkFirst >= chunkCount) {
            error_ = "the sets cannot be read: the file changed";
            return false;
        }
        const std::int64_t take = std::min(first + count, chunkFirst + chunkCount) - at;
        const std::uint8_t* from = data.data() + (at - chunkFirst) * kSetBytes;
        for (std::int64_t i = 0; i < take * kRecordingChannels; ++i) out[written++] = sqlite::GetInt16(from + 2 * i);
        at += take;
    }
    chunkAt_.reset();
    return true;
}

bool RecordingReader::storedLevelBlocks(int level, std::int64_t first, std::span<SetExtremes> out) {
    const std::int64_t stored = storedBlocks_[static_cast<std::size_t>(level - 1)];
    const std::int64_t end = first + static_cast<std::int64_t>(out.size());
    if (first >= stored) return true;
    levelRows_.reset();
    levelRows_.bind(1, level);
    levelRows_.bind(2, first);
    levelRows_.bind(3, std::min(end, stored));
    int step = SQLITE_ROW;
    while ((step = levelRows_.step()) == SQLITE_ROW) {
        const std::int64_t rowFirst = levelRows_.integer(0), rowCount = levelRows_.integer(1);
        const std::span<const std::uint8_t> data = levelRows_.blob(2);
        if (rowCount < 1 || rowCount > kBlocksPerRow || data.size() != static_cast<std::size_t>(rowCount) * kExtremesBytes)
            return failRead("the summaries changed");
        for (std::int64_t b = std::max(first, rowFirst); b < std::min(end, rowFirst + rowCount); ++b)
            out[static_cast<std::size_t>(b - first)] = ExtremesAt(data.data() + (b - rowFirst) * kExtremesBytes);
    }
    levelRows_.reset();
    if (step != SQLITE_DONE) return failRead("the summaries cannot be read");
    return true;
}

bool RecordingReader::checkLevelBlocks(int level, std::int64_t first, std::span<SetExtremes> out) {
    // Level 1 is checked through its parents of level 2, every other level through its children.
    const int parent = level == 1 ? 2 : level;
    const std::int64_t scale = level == 1 ? kLevelFactor : 1;
    const std::int64_t end = first + static_cast<std::int64_t>(out.size());
    const std::int64_t childrenStored = storedBlocks_[static_cast<std::size_t>(parent - 2)];
    const std::int64_t parentsEnd = std::min({(end + scale - 1) / scale, storedBlocks_[static_cast<std::size_t>(parent - 1)],
                                             childrenStored / kLevelFactor});
    constexpr std::int64_t kParentsAtATime = 512;
    std::vector<SetExtremes> parents, children;
    for (std::int64_t p0 = first / scale; p0 < parentsEnd; p0 += kParentsAtATime) {
        const std::int64_t p1 = std::min(parentsEnd, p0 + kParentsAtATime);
        // The parents are `out` itself above level 1 (read as stored just before).
        if (level == 1) {
            parents.assign(static_cast<std::size_t>(p1 - p0), kNoExtremes);
            if (!storedLevelBlocks(parent, p0, parents)) return false;
        } else {
            parents.assign(out.begin() + (p0 - first), out.begin() + (p1 - first));
        }
        children.assign(static_cast<std::size_t>((p1 - p0) * kLevelFactor), kNoExtremes);
        if (!storedLevelBlocks(parent - 1, p0 * kLevelFactor, children)) return false;
        for (std::int64_t p = p0; p < p1; ++p) {
            SetExtremes folded = kNoExtremes;
            for (std::int64_t c = 0; c < kLevelFactor; ++c)
                FoldExtremes(folded, children[static_cast<std::size_t>((p - p0) * kLevelFactor + c)]);
            const SetExtremes& stored = parents[static_cast<std::size_t>(p - p0)];
            if (folded.Low == stored.Low && folded.High == stored.High) continue;
            summariesDamaged_ = true;
            // The damaged stretch is taken from the sets (level 1) or from the checked level below.
            if (level == 1) {
                for (std::int64_t b = std::max(first, p * kLevelFactor); b < std::min(end, (p + 1) * kLevelFactor); ++b) {
                    StretchSummary s;
                    if (!foldSets(b * kLevelOneSets, kLevelOneSets, s, false)) return false;
                    out[static_cast<std::size_t>(b - first)] = s.Extremes;
                }
            } else if (p >= first) {
                std::array<SetExtremes, kLevelFactor> below;
                if (!levelBlocks(level - 1, p * kLevelFactor, below)) return false;
                SetExtremes& e = out[static_cast<std::size_t>(p - first)];
                e = kNoExtremes;
                for (const SetExtremes& part : below) FoldExtremes(e, part);
            }
        }
    }
    return true;
}

bool RecordingReader::levelBlocks(int level, std::int64_t first, std::span<SetExtremes> out) {
    const std::int64_t stored = storedBlocks_[static_cast<std::size_t>(level - 1)];
    const std::int64_t end = first + static_cast<std::int64_t>(out.size());
    if (!storedLevelBlocks(level, first, out) || !checkLevelBlocks(level, first, out)) return false;
    // Blocks the recording did not complete (its end, or a cut-off write) from the level below.
    const std::int64_t blockSets = LevelBlockSets(level);
    for (std::int64_t b = std::max(first, stored); b < end; ++b) {
        SetExtremes& e = out[static_cast<std::size_t>(b - first)];
        e = kNoExtremes;
        const std::int64_t from = b * blockSets;
        if (from >= sets_) continue;
        if (level == 1) {
            StretchSummary s;
            if (!foldSets(from, std::min(blockSets, sets_ - from), s, false)) return false;
            e = s.Extremes;
            continue;
        }
        std::array<SetExtremes, kLevelFactor> below;
        if (!levelBlocks(level - 1, b * kLevelFactor, below)) return false;
        for (const SetExtremes& part : below) FoldExtremes(e, part);
    }
    return true;
}

bool RecordingReader::foldSets(std::int64_t first, std::int64_t count, StretchSummary& into, bool sums) {
    for (std::int64_t at = first; at < first + count;) {
        const std::int64_t take = std::min(kFoldSets, first + count - at);
        scratch_.resize(static_cast<std::size_t>(take * kRecordingChannels));
        if (!ReadSets(at, take, scratch_)) return false;
        for (std::int64_t s = 0; s < take; ++s) {
            const std::int16_t* set = &scratch_[static_cast<std::size_t>(s * kRecordingChannels)];
            FoldSet(into.Extremes, set);
            if (sums)
                for (int c = 0; c < kRecordingChannels; ++c) {
                    into.Sums.Sum[c] += set[c];
                    into.Sums.Squares[c] += std::int64_t{set[c]} * set[c];
                }
        }
        into.Count += take;
        at += take;
    }
    return true;
}

bool RecordingReader::BucketExtremes(std::int64_t first, double width, std::span<SetExtremes> buckets) {
    std::fill(buckets.begin(), buckets.end(), kNoExtremes);
    if (buckets.empty() || !(width > 0) || first >= sets_) return true;
    const auto n = static_cast<std::int64_t>(buckets.size());
    const std::int64_t from = std::max<std::int64_t>(first, 0);
    // In doubles first: a width of any size gives no integer overflow.
    const double reach = static_cast<double>(first) + std::floor(static_cast<double>(n) * width);
    const std::int64_t end = reach >= static_cast<double>(sets_) ? sets_ : static_cast<std::int64_t>(reach);
    if (end <= from) return true;
    const auto bucketOf = [&](std::int64_t set) {
        return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(static_cast<double>(set - first) / width)), 0, n - 1);
    };
    int level = 0;
    while (level < kPyramidLevels && 2 * LevelBlockSets(level + 1) <= width) ++level;
    if (level == 0) {
        for (std::int64_t at = from; at < end;) {
            const std::int64_t take = std::min(kFoldSets, end - at);
            scratch_.resize(static_cast<std::size_t>(take * kRecordingChannels));
            if (!ReadSets(at, take, scratch_)) return false;
            for (std::int64_t s = 0; s < take; ++s)
                FoldSet(buckets[static_cast<std::size_t>(bucketOf(at + s))], &scratch_[static_cast<std::size_t>(s * kRecordingChannels)]);
            at += take;
        }
        return true;
    }
    const std::int64_t blockSets = LevelBlockSets(level);
    const std::int64_t firstBlock = from / blockSets;
    const std::int64_t endBlock = (end + blockSets - 1) / blockSets;
    std::vector<SetExtremes> blocks(static_cast<std::size_t>(endBlock - firstBlock));
    if (!levelBlocks(level, firstBlock, blocks)) return false;
    for (std::int64_t b = firstBlock; b < endBlock; ++b)
        FoldExtremes(buckets[static_cast<std::size_t>(bucketOf(std::max(b * blockSets, from)))],
                     blocks[static_cast<std::size_t>(b - firstBlock)]);
    return true;
}

std::optional<StretchSummary> RecordingReader::Summary(std::int64_t first, std::int64_t last) {
    first = std::max<std::int64_t>(first, 0);
    last = std::min(last, sets_ - 1);
    StretchSummary s;
    if (last < first) return s;
    const std::int64_t innerFirst = (first + kSumBlockSets - 1) / kSumBlockSets;
    const std::int64_t innerEnd = std::min((last + 1) / kSumBlockSets, storedSumBlocks_);
    if (innerFirst >= innerEnd) {
        if (!foldSets(first, last - first + 1, s, true)) return std::nullopt;
        return s;
    }
    if (!foldSets(first, innerFirst * kSumBlockSets - first, s, true) ||
        !foldSets(innerEnd * kSumBlockSets, last + 1 - innerEnd * kSumBlockSets, s, true))
        return std::nullopt;
    // The blocks between: extremes from the pyramid's level of sum blocks, sums from their rows.
    constexpr int kSumLevel = 3;
    static_assert(LevelBlockSets(kSumLevel) == kSumBlockSets);
    std::vector<SetExtremes> extremes;
    for (std::int64_t at = innerFirst; at < innerEnd;) {
        const std::int64_t take = std::min<std::int64_t>(kFoldSets, innerEnd - at);
        extremes.resize(static_cast<std::size_t>(take));
        if (!levelBlocks(kSumLevel, at, extremes)) return std::nullopt;
        for (const SetExtremes& e : extremes) FoldExtremes(s.Extremes, e);
        at += take;
    }
    sumRows_.reset();
    sumRows_.bind(1, innerFirst);
    sumRows_.bind(2, innerEnd);
    int step = SQLITE_ROW;
    while ((step = sumRows_.step()) == SQLITE_ROW) {
        const std::int64_t rowFirst = sumRows_.integer(0), rowCount = sumRows_.integer(1);
        const std::span<const std::uint8_t> data = sumRows_.blob(2);
        if (data.size() != static_cast<std::size_t>(rowCount) * kSumsBytes) {
            failRead("the sums changed");
            return std::nullopt;
        }
        for (std::int64_t b = std::max(innerFirst, rowFirst); b < std::min(innerEnd, rowFirst + rowCount); ++b) {
            const std::uint8_t* at = data.data() + (b - rowFirst) * kSumsBytes;
            for (int c = 0; c < kRecordingChannels; ++c) {
                s.Sums.Sum[c] += sqlite::GetInt64(at + 16 * c);
                s.Sums.Squares[c] += sqlite::GetInt64(at + 16 * c + 8);
            }
        }
    }
    sumRows_.reset();
    if (step != SQLITE_DONE) {
        failRead("the sums cannot be read");
        return std::nullopt;
    }
    s.Count += (innerEnd - innerFirst) * kSumBlockSets;
    return s;
}

SetReader RecordingSetReader(RecordingReader& reader, std::vector<int> channels) {
    auto sets = std::make_shared<std::vector<std::int16_t>>();
    return [&reader, channels = std::move(channels), sets](std::int64_t first, std::int64_t count, std::span<std::int16_t> out) {
        sets->resize(static_cast<std::size_t>(count * kRecordingChannels));
        if (!reader.ReadSets(first, count, *sets)) return FileResult{false, reader.Error(), false};
        for (std::size_t t = 0; t < channels.size(); ++t)
            for (std::int64_t i = 0; i < count; ++i)
                out[t * static_cast<std::size_t>(count) + static_cast<std::size_t>(i)] =
                    (*sets)[static_cast<std::size_t>(i * kRecordingChannels + channels[t] - 1)];
        return FileResult{};
    };
}

}  // namespace altrix
