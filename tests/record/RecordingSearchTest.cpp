// The search through a recording: from every event of a plain scan with TriggerLogic over all
// sets, and from the sets beside it, Find next and Find previous land on the scan's neighbours,
// for conditions on pulses at summary block edges, a bit among noisy bits, a band and joins.

#include "FileTestSupport.h"
#include "RecordingReader.h"
#include "RecordingSearch.h"
#include "RecordingWriter.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <cmath>
#include <vector>

namespace altrix::testing {
namespace {

// Channel 1 pulses (at edges of blocks of every level, and inside them); channel 2 bit 3 on
// in stretches, under bits 0..2 that change every set and bit 15 set over a stretch; channel 3
// a sine of about 50000 sets; channel 4 zero.
bool Pulse(std::int64_t n) {
    const std::int64_t pulses[][2] = {{0, 1}, {2, 3}, {127, 129}, {1023, 1024}, {8192, 8193}, {65535, 65537}, {196608, 196672},
                                      {524287, 532480}, {700001, 700002}, {1048576, 1048577}, {1234566, 1234567}};
    return std::any_of(std::begin(pulses), std::end(pulses), [n](const auto& p) { return n >= p[0] && n < p[1]; });
}
std::int16_t Sample(int c, std::int64_t n) {
    switch (c) {
        case 0: return static_cast<std::int16_t>((Pulse(n) ? 5000 : 100) + n * 7919 % 97);
        case 1: return static_cast<std::int16_t>(static_cast<std::uint16_t>(
                    (n >= 600000 && n < 800000 ? 0x8000 : 0) | ((n / 40000) % 3 == 1 || n == 4096 || n == 262143 ? 8 : 0) | n % 8));
        case 2: return static_cast<std::int16_t>(std::lround(10000 * std::sin(double(n) / 8000)));
        default: return 0;
    }
}

class RecordingSearchTest : public ScratchDir {
protected:
    std::string record(std::int64_t sets) {
        const std::string path = PathOf(std::to_string(sets) + ".arec");
        RecordingWriter writer;
        EXPECT_EQ(writer.Create(path, {"2026-12-07T10:00:00Z", "test", "", {}}), "");
        for (std::int64_t at = 0, step = 5; at < sets; at += step, step = step * 7 % 30011 + 3) {
            std::vector<std::int16_t> chunk;
            for (std::int64_t n = at; n < std::min(sets, at + step); ++n)
                for (int c = 0; c < kRecordingChannels; ++c) chunk.push_back(Sample(c, n));
            EXPECT_TRUE(writer.Write(chunk));
        }
        return path;
    }
};

std::int64_t Search(RecordingReader& reader, const TriggerLogic& logic, SearchDirection to, std::int64_t from, bool sliced) {
    RecordingSearch search(reader, logic, to, from);
    // A deadline already past: one step a call, each resumed from where the last stopped.
    while (search.State() == RecordingSearch::Status::Searching)
        sliced ? search.Continue(std::chrono::steady_clock::time_point::min()) : search.Run();
    EXPECT_NE(search.State(), RecordingSearch::Status::Failed) << search.Error();
    return search.State() == RecordingSearch::Status::Found ? search.Found() : -1;
}

TEST_F(RecordingSearchTest, FindsFromEveryEventTheNeighboursAPlainScanFinds) {
    const std::array<std::string, kChannelCount> gains{"1", "1", "0.5", "1"};
    using C = TriggerCondition;
    const struct { TriggerTerm first; TriggerJoin join = TriggerJoin::None; TriggerTerm second{}; bool sliced = false; } cases[] = {
        {{1, C::Rising, "1000"}},
        {{1, C::Falling, "1000"}, TriggerJoin::None, {}, true},
        {{1, C::Either, "1000"}},
        {{2, C::BitSet, "0", "0", 3}},
        {{2, C::BitCleared, "0", "0", 3}},
        {{3, C::OutsideBand, "-2500", "2500"}},
        {{3, C::InsideBand, "1000", "1500"}},
        {{1, C::Rising, "1000"}, TriggerJoin::And, {3, C::Rising, "0"}},
        {{2, C::BitSet, "0", "0", 3}, TriggerJoin::Or, {3, C::Falling, "-4000.5"}},
        {{1, C::Either, "1000"}, TriggerJoin::And, {2, C::BitCleared, "0", "0", 3}, true},
    };
    // Blocks every level left incomplete at the end; a few sets; one stretch and a set.
    for (const std::int64_t sets : {1'234'567, 3, 129}) {
        const RecordingReader::Opened opened = RecordingReader::Open(record(sets));
        ASSERT_TRUE(opened.Reader) << opened.Error;
        for (const auto& c : cases) {
            const TriggerTerm& t = c.first;
            const TriggerLogic logic = TriggerLogic::Of({TriggerMode::Off, t.Source, t.Condition, t.Level, t.Bit, 50, t.Level2, 0, c.join, c.second}, gains);
            TriggerLogic scan = logic;
            std::vector<std::int64_t> events;
            for (std::int64_t n = 0; n < sets; ++n)
                if (scan.Step(Sample(logic.FirstSource() - 1, n), Sample(logic.SecondSource() - 1, n)) && n > 0) events.push_back(n);
            ASSERT_TRUE(sets < 1000 || events.size() > 3) << "case " << &c - cases << " tests too little";
            std::vector<std::int64_t> froms{-1, 0, sets - 1, sets};
            for (const std::int64_t e : events) froms.insert(froms.end(), {e - 1, e, e + 1});
            for (const std::int64_t from : froms) {
                SCOPED_TRACE(::testing::Message() << sets << " sets, case " << &c - cases << ", from " << from);
                const auto after = std::upper_bound(events.begin(), events.end(), from);
                const auto before = std::lower_bound(events.begin(), events.end(), from);
                EXPECT_EQ(Search(*opened.Reader, logic, SearchDirection::Next, from, c.sliced), after == events.end() ? -1 : *after);
                EXPECT_EQ(Search(*opened.Reader, logic, SearchDirection::Previous, from, c.sliced),
                          before == events.begin() ? -1 : *(before - 1));
            }
        }
    }
}

// Summary rows zeroed or with bits flipped: the search still lands where the plain scan does
// (reading the sets where a summary disagrees with what it summarises), and the reader says
// its summaries are damaged; an intact file says nothing.
TEST_F(RecordingSearchTest, DamagedSummariesAreFoundOutAndTheSearchStillMatchesAPlainScan) {
    constexpr std::int64_t kSets = 1'234'567;
    const std::string good = record(kSets);
    // Applies `change` to the blob of every summary row of `level` whose first block is a multiple of `every`.
    const auto damage = [](const std::string& path, int level, std::int64_t every, void (*change)(std::vector<std::uint8_t>&)) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_stmt* rows = nullptr;
        sqlite3_prepare_v2(db, "SELECT first_block, data FROM minmax WHERE level = ?1", -1, &rows, nullptr);
        sqlite3_bind_int(rows, 1, level);
        std::vector<std::pair<std::int64_t, std::vector<std::uint8_t>>> changed;
        while (sqlite3_step(rows) == SQLITE_ROW) {
            if (sqlite3_column_int64(rows, 0) / kBlocksPerRow % every != 0) continue;
            const auto* b = static_cast<const std::uint8_t*>(sqlite3_column_blob(rows, 1));
            std::vector<std::uint8_t> data(b, b + sqlite3_column_bytes(rows, 1));
            change(data);
            changed.emplace_back(sqlite3_column_int64(rows, 0), std::move(data));
        }
        sqlite3_finalize(rows);
        sqlite3_stmt* update = nullptr;
        sqlite3_prepare_v2(db, "UPDATE minmax SET data = ?3 WHERE level = ?1 AND first_block = ?2", -1, &update, nullptr);
        for (const auto& [first, data] : changed) {
            sqlite3_reset(update);
            sqlite3_bind_int(update, 1, level);
            sqlite3_bind_int64(update, 2, first);
            sqlite3_bind_blob(update, 3, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
            EXPECT_EQ(sqlite3_step(update), SQLITE_DONE);
        }
        sqlite3_finalize(update);
        sqlite3_close(db);
        EXPECT_FALSE(changed.empty());
    };
    const auto zero = [](std::vector<std::uint8_t>& d) { std::fill(d.begin(), d.end(), 0); };
    // Bit 12 of channel 1's high in every third block: a pulse of 5000 reads as about 900.
    const auto flipHigh = [](std::vector<std::uint8_t>& d) { for (std::size_t b = 0; b < d.size(); b += 3 * 16) d[b + 3] ^= 0x10; };
    // Bit 15 of channel 3's low: a low of -10000 reads as about 22768, above every sample.
    const auto flipLow = [](std::vector<std::uint8_t>& d) { for (std::size_t b = 0; b < d.size(); b += 16) d[b + 9] ^= 0x80; };
    const struct { const char* name; int level; std::int64_t every; void (*change)(std::vector<std::uint8_t>&); } damages[] = {
        {"intact", 0, 1, nullptr},
        {"level 1 zeroed", 1, 1, zero},
        {"level 3 zeroed, every other row", 3, 2, zero},
        {"level 5 zeroed", 5, 1, zero},
        {"level 2 high flipped", 2, 1, flipHigh},
        {"level 4 low flipped", 4, 1, flipLow},
        {"level 5 high flipped", 5, 1, flipHigh},
    };
    const std::array<std::string, kChannelCount> gains{"1", "1", "1", "1"};
    using C = TriggerCondition;
    const TriggerTerm terms[] = {{1, C::Rising, "1000"}, {3, C::Falling, "-9000"}, {3, C::InsideBand, "12000", "30000"}};
    for (const auto& d : damages) {
        const std::string path = PathOf(std::string(d.name) + ".arec");
        std::filesystem::copy_file(good, path);
        if (d.change) damage(path, d.level, d.every, d.change);
        const RecordingReader::Opened opened = RecordingReader::Open(path);
        ASSERT_TRUE(opened.Reader) << d.name << ": " << opened.Error;
        for (const TriggerTerm& t : terms) {
            const TriggerLogic logic = TriggerLogic::Of({TriggerMode::Off, t.Source, t.Condition, t.Level, t.Bit, 50, t.Level2}, gains);
            TriggerLogic scan = logic;
            std::vector<std::int64_t> events;
            for (std::int64_t n = 0; n < kSets; ++n)
                if (scan.Step(Sample(logic.FirstSource() - 1, n), Sample(logic.FirstSource() - 1, n)) && n > 0) events.push_back(n);
            std::vector<std::int64_t> froms{-1, kSets};
            for (const std::int64_t e : events) froms.insert(froms.end(), {e - 1, e});
            for (const std::int64_t from : froms) {
                SCOPED_TRACE(::testing::Message() << d.name << ", source " << t.Source << ", from " << from);
                const auto after = std::upper_bound(events.begin(), events.end(), from);
                const auto before = std::lower_bound(events.begin(), events.end(), from);
                EXPECT_EQ(Search(*opened.Reader, logic, SearchDirection::Next, from, false), after == events.end() ? -1 : *after);
                EXPECT_EQ(Search(*opened.Reader, logic, SearchDirection::Previous, from, false),
                          before == events.begin() ? -1 : *(before - 1));
            }
        }
        EXPECT_EQ(opened.Reader->SummariesDamaged(), d.change != nullptr) << d.name;
        EXPECT_EQ(opened.Reader->SummaryNote().empty(), d.change == nullptr) << d.name;
    }
}

TEST_F(RecordingSearchTest, ASetThatCannotBeReadFailsTheSearchWithTheReason) {
    const std::string path = record(200'000);
    const RecordingReader::Opened opened = RecordingReader::Open(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, "DELETE FROM chunks WHERE first_set > 100000", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    // The sine rises through 0 at 50265 x k: from 130000 the search must read the sets deleted.
    const TriggerLogic logic(MakeRawCondition({3, TriggerCondition::Rising, "0"}, "1"));
    ASSERT_TRUE(opened.Reader) << opened.Error;
    RecordingSearch search(*opened.Reader, logic, SearchDirection::Next, 130000);
    EXPECT_EQ(search.Run(), RecordingSearch::Status::Failed);
    EXPECT_NE(search.Error(), "");
}

}  // namespace
}  // namespace altrix::testing
