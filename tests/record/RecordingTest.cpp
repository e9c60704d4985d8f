// The recording file: what a writer put in comes out of the reader, sets, bucket extremes and
// sums each checked against the plain samples; a writer killed mid-capture leaves a file that
// opens; files that are no recording of this format are refused with the reason.

#include "CaptureRecord.h"
#include "FileTestSupport.h"
#include "LongRecorder.h"
#include "RecordingReader.h"
#include "RecordingWriter.h"

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <iostream>
#include <thread>
#include <vector>

namespace altrix::testing {
namespace {

// Sample of channel c at set n: a slow wave with a fast ripple, and a spike every 9973 sets.
std::int16_t Sample(int c, std::int64_t n) {
    if (n % 9973 == 1234) return static_cast<std::int16_t>(c % 2 ? 32767 : -32768);
    return static_cast<std::int16_t>(20000 * std::sin(double(n) / (700.0 + 300 * c)) + ((n * 7919 + c * 31) % 997) - 498);
}

std::vector<std::int16_t> Sets(std::int64_t first, std::int64_t count) {
    std::vector<std::int16_t> sets;
    for (std::int64_t n = first; n < first + count; ++n)
        for (int c = 0; c < kRecordingChannels; ++c) sets.push_back(Sample(c, n));
    return sets;
}

class RecordingFileTest : public ScratchDir {
protected:
    // A recording of `sets` sets, written in writes of uneven sizes.
    std::string record(std::int64_t sets) {
        const std::string path = PathOf("r.arec");
        RecordingWriter writer;
        EXPECT_EQ(writer.Create(path, {"2026-12-07T10:00:00Z", "test", "", {}}), "");
        for (std::int64_t at = 0, step = 1; at < sets; at += step, step = step * 3 % 20011 + 1)
            EXPECT_TRUE(writer.Write(Sets(at, std::min(step, sets - at))));
        return path;
    }
};

TEST_F(RecordingFileTest, ReadsBackSetsBucketExtremesAndSumsAsThePlainSamplesHaveThem) {
    constexpr std::int64_t kSets = 1'234'567;  // ends in blocks no level completed
    const RecordingReader::Opened opened = RecordingReader::Open(record(kSets));
    ASSERT_TRUE(opened.Reader) << opened.Error;
    RecordingReader& reader = *opened.Reader;
    ASSERT_EQ(reader.Sets(), kSets);
    std::vector<std::int16_t> got(40000 * kRecordingChannels);
    ASSERT_TRUE(reader.ReadSets(kSets - 40000, 40000, got));
    EXPECT_EQ(got, Sets(kSets - 40000, 40000));

    // Bucket b holds the sets from first + b x width on; a summary block is counted whole in
    // the bucket where it starts (blocks of 64 x 8^k sets, the largest at most half a bucket).
    const struct { std::int64_t first; double width; int buckets; } buckets[] = {
        {0, 3.5, 100}, {5, 127.9, 300}, {1000, 128, 200}, {70000, 5000, 240}, {0, kSets / 1920.0, 1920}, {kSets - 3000, 100.0, 50},
    };
    for (const auto& b : buckets) {
        std::vector<SetExtremes> out(static_cast<std::size_t>(b.buckets));
        ASSERT_TRUE(reader.BucketExtremes(b.first, b.width, out));
        std::int64_t block = 1;  // the sets themselves
        for (std::int64_t size = kLevelOneSets; size * 2 <= b.width; size *= kLevelFactor) block = size;
        // Whole blocks: the last one may reach beyond the buckets.
        const std::int64_t end = std::min<std::int64_t>(kSets, (b.first + std::int64_t(std::floor(b.buckets * b.width)) + block - 1) / block * block);
        std::vector<SetExtremes> expected(out.size(), kNoExtremes);
        for (std::int64_t n = b.first / block * block; n < end; ++n) {
            const std::int64_t start = std::max(b.first, n / block * block);
            const auto bucket = std::clamp<std::int64_t>(std::int64_t(std::floor(double(start - b.first) / b.width)), 0, b.buckets - 1);
            const std::vector<std::int16_t> set = Sets(n, 1);
            FoldSet(expected[static_cast<std::size_t>(bucket)], set.data());
        }
        for (std::size_t i = 0; i < out.size(); ++i)
            ASSERT_TRUE(out[i].Low == expected[i].Low && out[i].High == expected[i].High) << b.width << " bucket " << i;
    }

    const std::pair<std::int64_t, std::int64_t> stretches[] = {{0, 0}, {17, 4100}, {4095, 8192}, {3, kSets - 1}, {kSets - 5000, kSets + 10}};
    for (const auto& [first, last] : stretches) {
        const std::optional<StretchSummary> s = reader.Summary(first, last);
        ASSERT_TRUE(s);
        StretchSummary expected;
        for (std::int64_t n = first; n <= std::min(last, kSets - 1); ++n) {
            const std::vector<std::int16_t> set = Sets(n, 1);
            FoldSet(expected.Extremes, set.data());
            for (int c = 0; c < kRecordingChannels; ++c) {
                expected.Sums.Sum[c] += set[c];
                expected.Sums.Squares[c] += std::int64_t{set[c]} * set[c];
            }
            ++expected.Count;
        }
        EXPECT_EQ(s->Count, expected.Count) << first;
        EXPECT_TRUE(s->Extremes.Low == expected.Extremes.Low && s->Extremes.High == expected.Extremes.High) << first;
        EXPECT_TRUE(s->Sums.Sum == expected.Sums.Sum && s->Sums.Squares == expected.Sums.Squares) << first;
    }
}

TEST_F(RecordingFileTest, AWriterKilledMidCaptureLeavesAFileHoldingAllButItsLastSecond) {
    const std::string path = PathOf("killed.arec");
    int progress[2];
    ASSERT_EQ(pipe(progress), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A capture at its own pace: 250 sets a 50 ms tick, each tick's count told to the parent.
        auto record = std::make_unique<CaptureRecord>();
        LongRecorder recorder;
        if (!recorder.Start(path, {}, *record).empty()) _exit(1);
        for (std::int64_t n = 0;;) {
            for (int i = 0; i < 250; ++i, ++n) {
                for (int c = 0; c < kChannelCount; ++c) record->ChannelTrace[c][record->NextSample] = Sample(c, n);
                record->NextSample = (record->NextSample + 1) % kTraceSlots;
            }
            recorder.Append(*record, record->NextSample, 250);
            if (::write(progress[1], &n, sizeof n) != sizeof n) _exit(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    close(progress[1]);
    std::int64_t handed = 0;
    while (handed < 15000 && read(progress[0], &handed, sizeof handed) == sizeof handed) {}
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(progress[0]);
    ASSERT_EQ(handed, 15000);
    const RecordingReader::Opened opened = RecordingReader::Open(path);
    ASSERT_TRUE(opened.Reader) << opened.Error;
    const std::int64_t sets = opened.Reader->Sets();
    EXPECT_GE(sets, handed - kRecordingSampleRateHz - 250) << "at most the last second and a tick lost";
    std::vector<std::int16_t> got(static_cast<std::size_t>(sets * kRecordingChannels));
    ASSERT_TRUE(opened.Reader->ReadSets(0, sets, got));
    EXPECT_EQ(got, Sets(0, sets));
}

// Every end of a recording folds its journal into the file: the file copied alone holds every
// set the writer committed, at a STOP and after a full disk (a file size limit in a child
// process, or a full 3 MB file system where the test may mount one, where the journal and
// the file share the room); a journal that could not be folded is named in the message.
TEST_F(RecordingFileTest, TheFileAloneHoldsTheRecordingAtEveryEnd) {
    const struct { const char* name; rlim_t limit; bool fails; bool smallDisk = false; } cases[] = {
        {"stopped.arec", RLIM_INFINITY, false},
        {"full.arec", 3'000'000, true},
        {"fuller.arec", 1'500'000, true},
        {"disk.arec", RLIM_INFINITY, true, true},
    };
    for (const auto& c : cases) {
        std::string path = PathOf(c.name);
        const std::string disk = PathOf("disk");
        if (c.smallDisk) {
            std::filesystem::create_directory(disk);
            if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=3m") != 0) {
                std::cout << "[ SKIPPED  ] " << c.name << ": no file system could be mounted\n";
                continue;
            }
            path = disk + "/" + c.name;
        }
        struct Unmount {
            std::string at;
            ~Unmount() { if (!at.empty()) umount(at.c_str()); }
        } unmount{c.smallDisk ? disk : std::string()};
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{c.limit, c.limit};
            setrlimit(RLIMIT_FSIZE, &limit);
            // Two seconds a write, up to two minutes.
            RecordingWriter writer;
            if (!writer.Create(path, {}).empty()) _exit(2);
            for (std::int64_t at = 0; at < 600'000 && writer.Write(Sets(at, 10'000)); at += 10'000) {}
            writer.Close();
            const std::int64_t sets = writer.Sets();
            const std::string error = writer.Error();
            if (::write(report[1], &sets, sizeof sets) != sizeof sets || ::write(report[1], error.data(), error.size()) < 0) _exit(3);
            _exit(0);
        }
        close(report[1]);
        std::int64_t committed = -1;
        ASSERT_EQ(read(report[0], &committed, sizeof committed), static_cast<ssize_t>(sizeof committed));
        std::string error(1000, '\0');
        error.resize(static_cast<std::size_t>(std::max<ssize_t>(0, read(report[0], error.data(), error.size()))));
        close(report[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.name;
        EXPECT_EQ(!error.empty(), c.fails) << c.name << ": " << error;
        const bool journal = std::filesystem::exists(path + "-wal") && std::filesystem::file_size(path + "-wal") > 0;
        EXPECT_EQ(journal, error.find(std::string(c.name) + "-wal") != std::string::npos) << c.name << ": " << error;

        const std::string alone = PathOf(std::string("alone-") + c.name);
        std::filesystem::copy_file(path, alone);
        const RecordingReader::Opened opened = RecordingReader::Open(alone);
        ASSERT_TRUE(opened.Reader) << c.name << ": " << opened.Error;
        // A journal not folded holds at most the last write.
        EXPECT_GE(opened.Reader->Sets(), committed - (journal ? 10'000 : 0)) << c.name;
        EXPECT_GT(opened.Reader->Sets(), 0) << c.name;
        std::vector<std::int16_t> got(static_cast<std::size_t>(opened.Reader->Sets() * kRecordingChannels));
        ASSERT_TRUE(opened.Reader->ReadSets(0, opened.Reader->Sets(), got));
        EXPECT_EQ(got, Sets(0, opened.Reader->Sets())) << c.name;
    }
}

// A recording whose file is deleted, or replaced by another file of its name, ends within two
// seconds with a message; what the ticks hand over after is refused.
TEST_F(RecordingFileTest, ARecordingWhoseFileWentEndsWithinTwoSecondsWithAMessage) {
    const struct { const char* name; void (*change)(const std::string& path); } cases[] = {
        {"deleted.arec", [](const std::string& p) { std::filesystem::remove(p); }},
        {"replaced.arec", [](const std::string& p) { std::ofstream(p + ".new") << "other"; std::filesystem::rename(p + ".new", p); }},
    };
    for (const auto& c : cases) {
        const std::string path = PathOf(c.name);
        auto record = std::make_unique<CaptureRecord>();
        LongRecorder recorder;
        ASSERT_EQ(recorder.Start(path, {}, *record), "");
        const auto tick = [&] {
            record->NextSample = (record->NextSample + 250) % kTraceSlots;
            return recorder.Append(*record, record->NextSample, 250);
        };
        ASSERT_TRUE(tick());
        c.change(path);
        const auto changed = std::chrono::steady_clock::now();
        bool recording = true;
        while (recording && std::chrono::steady_clock::now() - changed < std::chrono::seconds(3)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            recording = tick();
        }
        EXPECT_FALSE(recording) << c.name;
        EXPECT_LE(std::chrono::steady_clock::now() - changed, std::chrono::milliseconds(2100)) << c.name;
        EXPECT_NE(recorder.Error().find("deleted or replaced"), std::string::npos) << c.name << ": " << recorder.Error();
        EXPECT_FALSE(recorder.Active()) << c.name;
    }
}

// An export's output that is the recording or one of its journal files, by any path, is part
// of it; a file beside it is not.
TEST_F(RecordingFileTest, TheRecordingsJournalsArePartOfIt) {
    const std::string path = record(100);
    std::ofstream(path + "-wal") << "journal";
    std::filesystem::create_directory(PathOf("links"));
    std::filesystem::create_symlink(path, PathOf("links/link.arec"));
    const struct { std::string input, output; bool part; } cases[] = {
        {path, path, true},
        {path, path + "-wal", true},
        {path, path + "-shm", true},
        {path, PathOf("links/../r.arec-shm"), true},
        {PathOf("links/link.arec"), path + "-wal", true},
        {PathOf("links/link.arec"), PathOf("links/link.arec-wal"), true},
        {path, path + "-wal.csv", false},
        {path, PathOf("other.arec-wal"), false},
        {path, PathOf("r.csv"), false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsPartOfRecording(c.input, c.output), c.part) << c.input << " -> " << c.output;
}

TEST_F(RecordingFileTest, RefusesWhatIsNoRecordingOfThisFormatAndSaysWhy) {
    const std::string good = record(20000);
    std::ifstream in(good, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const auto sql = [](const std::string& path, const char* statements) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    };
    const struct { const char* name; std::function<void(const std::string&)> make; const char* reason; } cases[] = {
        {"text.arec", [](const std::string& p) { std::ofstream(p) << "time_s,A\r\n0,1\r\n"; }, "not an SQLite database"},
        {"empty.arec", [](const std::string& p) { std::ofstream{p}; }, "without the recording's tables"},
        {"truncated.arec", [&](const std::string& p) { std::ofstream(p, std::ios::binary) << bytes.substr(0, bytes.size() / 2); }, "damaged"},
        {"scribbled.arec", [&](const std::string& p) { std::string b = bytes; for (std::size_t i = 4096; i < b.size(); i += 4096) b[i] = '\x55'; std::ofstream(p, std::ios::binary) << b; }, "damaged"},
        {"other.arec", [&](const std::string& p) { sql(p, "CREATE TABLE meta(key, value); INSERT INTO meta VALUES('format', 'other')"); }, "format is \"other\""},
        {"newer.arec", [&](const std::string& p) { std::filesystem::copy_file(good, p); sql(p, "UPDATE meta SET value = '2' WHERE key = 'format_version'"); }, "format version 2, newer"},
        {"schema.arec", [&](const std::string& p) { std::filesystem::copy_file(good, p); sql(p, "ALTER TABLE gaps ADD COLUMN extra"); }, "table \"gaps\""},
        {"math.arec", [&](const std::string& p) { std::filesystem::copy_file(good, p); sql(p, "ALTER TABLE math RENAME COLUMN expression TO e"); }, "table \"math\""},
        // Counts and offsets from the file that overflow or point outside it.
        {"overflow.arec", [&](const std::string& p) { std::filesystem::copy_file(good, p); sql(p, "DELETE FROM chunks; INSERT INTO chunks VALUES(0, 2305843009213693953, x'0100020003000400')"); }, "not stored in order"},
        {"negative.arec", [&](const std::string& p) { std::filesystem::copy_file(good, p); sql(p, "DELETE FROM chunks; INSERT INTO chunks VALUES(0, -9223372036854775807, x'0100020003000400')"); }, "not stored in order"},
        {"longgap.arec", [&](const std::string& p) { std::filesystem::copy_file(good, p); sql(p, "INSERT INTO gaps VALUES(100, 9223372036854775807, 'lost blocks')"); }, "gap of it lies outside"},
        {"gapbefore.arec", [&](const std::string& p) { std::filesystem::copy_file(good, p); sql(p, "INSERT INTO gaps VALUES(-5, 10, 'lost blocks')"); }, "gap of it lies outside"},
        {"rows.arec", [&](const std::string& p) { std::filesystem::copy_file(good, p); sql(p, "INSERT INTO minmax VALUES(1, 312, 4611686018427387905, x'00000000000000000000000000000000')"); }, "summaries of level 1"},
        {"hole.arec", [&](const std::string& p) { std::filesystem::copy_file(good, p); sql(p, "DELETE FROM chunks WHERE first_set = (SELECT MAX(first_set) FROM chunks WHERE first_set < 10000)"); }, "not stored in order"},
    };
    for (const auto& c : cases) {
        const std::string path = PathOf(c.name);
        c.make(path);
        const RecordingReader::Opened opened = RecordingReader::Open(path);
        EXPECT_FALSE(opened.Reader) << c.name;
        EXPECT_NE(opened.Error.find(c.reason), std::string::npos) << c.name << ": " << opened.Error;
    }
}

// The math definitions come back as written (those without an expression are not kept); a file
// written before they were kept (no table) opens with none.
TEST_F(RecordingFileTest, MathDefinitionsRoundTripAndOlderFilesOpenWithout) {
    using Math = std::array<MathDefinition, kMathCount>;
    const Math written{{{true, "Power", "kW", "ch1*ch2"}, {false, "", "", "ddt(ch3)"}, {true, "Unused", "V", ""}, {}}};
    const Math kept{{{true, "Power", "kW", "ch1*ch2"}, {false, "", "", "ddt(ch3)"}, {}, {}}};
    const struct { const char* name; std::optional<Math> math; const char* change; std::optional<Math> read; } cases[] = {
        {"defined.arec", written, nullptr, kept},
        {"none.arec", std::nullopt, nullptr, Math{}},
        {"older.arec", written, "DROP TABLE math", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::string path = PathOf(c.name);
        {
            RecordingWriter writer;
            RecordingHeader header{"2026-12-07T10:00:00Z", "test", "", {}, c.math};
            ASSERT_EQ(writer.Create(path, header), "");
            ASSERT_TRUE(writer.Write(Sets(0, 3000)));
        }
        if (c.change) {
            sqlite3* db = nullptr;
            sqlite3_open(path.c_str(), &db);
            EXPECT_EQ(sqlite3_exec(db, c.change, nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        const RecordingReader::Opened opened = RecordingReader::Open(path);
        ASSERT_TRUE(opened.Reader) << c.name << ": " << opened.Error;
        EXPECT_EQ(opened.Reader->Header().Math, c.read) << c.name;
    }
}

}  // namespace
}  // namespace altrix::testing
