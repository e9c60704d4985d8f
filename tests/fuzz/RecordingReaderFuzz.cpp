// The recording reader on any file. An input that begins as an SQLite file is the file itself;
// any other input describes a valid recording and hostile rows put into it (counts, offsets,
// blob sizes and summary values chosen by the input), so that the reader meets well-formed
// databases whose rows lie. Every file it opens answers sets, bucket extremes, summaries, the
// exporters' reads and a search within its length (or says it cannot); a file it refuses gives
// a reason. Nothing may crash or read out of bounds.

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "RecordingReader.h"
#include "RecordingSearch.h"
#include "RecordingWriter.h"

using namespace altrix;

namespace {

// The input read from its start; zeros once it is used up.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
    std::int64_t Raw64() {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= std::uint64_t{Byte()} << (8 * i);
        return static_cast<std::int64_t>(v);
    }
    // A count or an offset: the edges that overflow a product or a sum, or near the file's sets.
    std::int64_t Number(std::int64_t sets) {
        constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
        constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
        switch (Byte() % 12) {
            case 0: return 0;
            case 1: return -1;
            case 2: return (std::int64_t{1} << 61) + 1;
            case 3: return kMax;
            case 4: return kMin;
            case 5: return sets;
            case 6: return sets - 1;
            case 7: return sets + 1;
            case 8: return Word();
            case 9: return kMax / kSetBytes + 1;
            case 10: return -static_cast<std::int64_t>(Word());
            default: return Raw64();
        }
    }
    std::vector<std::uint8_t> Blob(std::size_t size) {
        std::vector<std::uint8_t> blob(size);
        for (std::uint8_t& b : blob) b = Byte();
        return blob;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void Bind(sqlite3_stmt* s, int i, const std::vector<std::uint8_t>& blob) {
    sqlite3_bind_blob(s, i, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
}

// A recording of up to 20000 sets, then up to 8 hostile changes to its rows.
void MakeRecording(const std::string& path, Input& in) {
    const std::int64_t sets = in.Word() % 20000;
    {
        RecordingWriter writer;
        if (!writer.Create(path, {}).empty()) std::abort();
        std::vector<std::int16_t> samples(static_cast<std::size_t>(sets) * kRecordingChannels);
        for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 7919 % 65536);
        std::vector<RecordingGap> gaps;
        if (sets > 10) gaps.push_back({sets / 3, sets / 10, "lost blocks"});
        if (!writer.Write(samples, gaps)) std::abort();
        writer.Close();
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
    const int changes = in.Byte() % 9;
    for (int k = 0; k < changes; ++k) {
        const int kind = in.Byte() % 9;
        static const char* const kSql[] = {
            "INSERT OR REPLACE INTO chunks VALUES(?1, ?2, ?3)",
            "UPDATE chunks SET set_count = ?2 WHERE first_set = ?1",
            "INSERT OR REPLACE INTO minmax VALUES(?4, ?1, ?2, ?3)",
            "UPDATE minmax SET data = ?3 WHERE level = ?4 AND first_block = ?1",
            "INSERT OR REPLACE INTO sums VALUES(?1, ?2, ?3)",
            "INSERT INTO gaps VALUES(?1, ?2, 'lost blocks')",
            "INSERT INTO events VALUES(?1, 'trigger', ?3)",
            "DELETE FROM chunks WHERE first_set = ?1",
            "UPDATE chunks SET data = ?3 WHERE first_set = ?1",
        };
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, kSql[kind], -1, &s, nullptr) != SQLITE_OK) std::abort();
        sqlite3_bind_int64(s, 1, kind == 3 ? in.Word() % 512 : in.Number(sets));
        sqlite3_bind_int64(s, 2, in.Number(sets));
        Bind(s, 3, in.Blob(in.Byte() % 4 == 0 ? in.Word() % 8192 : (in.Byte() % 9) * 16));
        sqlite3_bind_int64(s, 4, in.Byte() % 9);
        sqlite3_step(s);
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = (fuzz::ScratchDir() / "input.arec").string();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    constexpr char kSqliteFile[] = "SQLite format 3";
    if (size >= sizeof kSqliteFile && std::memcmp(data, kSqliteFile, sizeof kSqliteFile) == 0) {
        fuzz::WriteInput("input.arec", data, size);
    } else {
        Input in(data, size);
        MakeRecording(path, in);
    }
    const std::uintmax_t fileBytes = std::filesystem::file_size(path);
    const RecordingReader::Opened opened = RecordingReader::Open(path);
    if (!opened.Reader) {
        FUZZ_CHECK(!opened.Error.empty());
        return 0;
    }
    RecordingReader& reader = *opened.Reader;
    const std::int64_t sets = reader.Sets();
    FUZZ_CHECK(sets >= 0 && static_cast<std::uint64_t>(sets) * kSetBytes <= fileBytes);
    for (const RecordingGap& gap : reader.Gaps()) FUZZ_CHECK(gap.FirstSet >= 0 && gap.SetCount >= 0 && gap.SetCount <= sets - gap.FirstSet);

    // Every read the program makes: sets at the ends and outside, buckets at every level,
    // summaries, the exporters' reader and a search each way.
    std::vector<std::int16_t> out(static_cast<std::size_t>(std::min<std::int64_t>(sets, 1000)) * kRecordingChannels);
    for (const std::int64_t first : {std::int64_t{0}, sets - 1000, sets / 2, sets, std::int64_t{-1}, std::numeric_limits<std::int64_t>::max()})
        reader.ReadSets(first, std::min<std::int64_t>(sets, 1000), out);
    std::vector<SetExtremes> buckets(100);
    for (const double width : {1.0, 130.0, 1100.0, 9000.0, static_cast<double>(sets) / 100 + 1, 1e300})
        for (const std::int64_t first : {std::int64_t{0}, sets / 3, std::numeric_limits<std::int64_t>::min() / 2})
            reader.BucketExtremes(first, width, buckets);
    if (const std::optional<StretchSummary> s = reader.Summary(0, sets - 1)) FUZZ_CHECK(s->Count == sets);
    reader.Summary(sets / 7, sets - sets / 5);
    if (sets > 0) {
        SetReader channels = RecordingSetReader(reader, {1, 4});
        std::vector<std::int16_t> two(2 * static_cast<std::size_t>(std::min<std::int64_t>(sets, 500)));
        channels(0, std::min<std::int64_t>(sets, 500), two);
    }
    const TriggerLogic logic(MakeRawCondition({1, TriggerCondition::Rising, "0"}, "1"));
    for (const SearchDirection direction : {SearchDirection::Next, SearchDirection::Previous}) {
        RecordingSearch search(reader, logic, direction, sets / 2);
        search.Run();
        if (search.State() == RecordingSearch::Status::Found) FUZZ_CHECK(search.Found() >= 1 && search.Found() < sets);
    }
    return 0;
}
