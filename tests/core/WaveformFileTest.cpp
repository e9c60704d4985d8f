#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "CaptureRecord.h"
#include "FileTestSupport.h"
#include "Watchdog.h"
#include "WaveformFile.h"

namespace altrix {
namespace {

using testing::ExpectWithoutWriteAccess;
using testing::kDataDir;
using testing::ReadBytes;
using testing::WriteBytes;

std::int16_t Wrap16(int value) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(value)); }

// A value for every slot of every channel that differs between neighbours and seeds.
std::int16_t Pattern(int seed, int channel, int slot) {
    return Wrap16(slot * 37 + channel * 9973 + seed * 101);
}

void FillPattern(CaptureRecord& record, int seed) {
    for (int c = 0; c < kChannelCount; ++c) {
        for (int s = 0; s < kTraceSlots; ++s) record.ChannelTrace[c][s] = Pattern(seed, c, s);
    }
}

// Sample of channel `channel` (0-based) on line `line` (1-based) of a generated file.
std::int16_t LineSample(int line, int channel) { return Wrap16(line * 31 + channel * 7919 - 20000); }

std::string GeneratedFile(int lines) {
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 32);
    for (int line = 1; line <= lines; ++line) {
        text += std::to_string(line);
        for (int c = 0; c < kChannelCount; ++c) text += ' ' + std::to_string(LineSample(line, c));
        text += "\r\n";
    }
    return text;
}

// k x 0.0002 s as exact decimal text, worked out on integers.
std::string TimeText(int k, char separator) {
    const int tenThousandths = 2 * k;
    std::string text = std::to_string(tenThousandths / 10000);
    std::string fraction = std::to_string(10000 + tenThousandths % 10000).substr(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += separator + fraction;
    return text;
}

// The lines of `bytes`, each of which must end with CR LF.
std::vector<std::string> CrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "bytes after the last CR LF: " << bytes.substr(start, 40);
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> FolderEntries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

class WaveformFileTest : public testing::ScratchDir {
protected:
    std::unique_ptr<CaptureRecord> record_ = std::make_unique<CaptureRecord>();
};

TEST(ParseSampleField, FollowsTheSixCharacterRule) {
    struct Case { std::string_view field; int value; };
    const Case cases[] = {
        {"-32768", -32768}, {"32767", 32767}, {"0", 0},        {"-1", -1},
        {"65535", -1},      {"99999", -31073},                  // wrap to 16 bits
        {"12\r", 12},       {"1x2", 12},     {"1\r2", 12},      // other characters are skipped
        {"1234567", -7616}, {"123456", -7616}, {"-1234567", -12345},  // first six count
        {"", 0},            {"-", 0},        {"x12", 12},       {"+5", 5},  // no leading digit
        {"-65536", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSampleField(c.field), c.value) << '"' << c.field << '"';
    }
}

TEST_F(WaveformFileTest, WriterProducesTheExactLinesOfTheDisplayWindow) {
    record_->NextSample = 12345;
    FillPattern(*record_, 1);
    const int oldest = SlotOfPosition(record_->NextSample, 0);
    const int newest = SlotOfPosition(record_->NextSample, kNewestPosition);
    record_->ChannelTrace[0][oldest] = -32768;
    record_->ChannelTrace[1][oldest] = 32767;
    record_->ChannelTrace[2][oldest] = 0;
    record_->ChannelTrace[3][oldest] = -1;
    for (int c = 0; c < kChannelCount; ++c) record_->ChannelTrace[c][newest] = Wrap16(c + 1);

    for (const char separator : {'.', ','}) {
        SCOPED_TRACE(std::string("separator ") + separator);
        const std::string path = PathOf("saved.wfd");
        ASSERT_TRUE(WriteWaveformFile(*record_, path, separator).Ok);

        const std::vector<std::string> lines = CrLfLines(ReadBytes(path));
        ASSERT_EQ(lines.size(), 100000u);
        EXPECT_EQ(lines.front(), TimeText(1, separator) + " -32768 32767 0 -1");
        EXPECT_EQ(lines.front().substr(0, 6), std::string("0") + separator + "0002");
        EXPECT_EQ(lines[4999].substr(0, 2), "1 ");
        EXPECT_EQ(lines.back(), "20 1 2 3 4");
        for (int k = 1; k <= kWindowPositions; ++k) {
            const int slot = (record_->NextSample + k - 1 - kWindowPositions + kTraceSlots) % kTraceSlots;
            std::string expected = TimeText(k, separator);
            for (int c = 0; c < kChannelCount; ++c) {
                expected += ' ' + std::to_string(record_->ChannelTrace[c][slot]);
            }
            if (lines[k - 1] != expected) {
                ADD_FAILURE() << "line " << k << ": " << lines[k - 1] << " instead of " << expected;
                break;
            }
        }
    }
}

TEST_F(WaveformFileTest, SavedCaptureLoadsAtTheSamePositions) {
    record_->NextSample = 54321;
    FillPattern(*record_, 2);
    const std::string path = PathOf("capture.wfd");
    ASSERT_TRUE(WriteWaveformFile(*record_, path, '.').Ok);

    auto loaded = std::make_unique<CaptureRecord>();
    FillPattern(*loaded, 3);
    loaded->NextSample = 777;
    ASSERT_TRUE(ReadWaveformFile(*loaded, path).Ok);

    EXPECT_EQ(loaded->NextSample, 100000);
    for (int c = 0; c < kChannelCount; ++c) {
        for (int x = 0; x < kWindowPositions; ++x) {
            const int saved = record_->ChannelTrace[c][SlotOfPosition(record_->NextSample, x)];
            const int shown = loaded->ChannelTrace[c][SlotOfPosition(loaded->NextSample, x)];
            ASSERT_EQ(shown, saved) << "channel " << c + 1 << " position " << x;
        }
    }
}

TEST_F(WaveformFileTest, WriterReplacesAnExistingFileWhole) {
    const std::string path = PathOf("saved.wfd");
    WriteBytes(path, std::string(5'000'000, 'z'));  // longer than the new contents
    FillPattern(*record_, 4);
    ASSERT_TRUE(WriteWaveformFile(*record_, path, '.').Ok);

    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.find('z'), std::string::npos);
    EXPECT_EQ(CrLfLines(bytes).size(), 100000u);
    EXPECT_EQ(FolderEntries(dir_), std::vector<std::string>{"saved.wfd"});
}

TEST_F(WaveformFileTest, WriterReportsAMissingFolder) {
    const FileResult result = WriteWaveformFile(*record_, PathOf("missing/saved.wfd"), '.');
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, std::strerror(ENOENT));
    EXPECT_TRUE(FolderEntries(dir_).empty());
}

TEST_F(WaveformFileTest, WriterCannotReplaceAFolderAndLeavesNoTemporaryFile) {
    const std::string path = PathOf("saved.wfd");
    std::filesystem::create_directory(path);
    WriteBytes(dir_ / "saved.wfd" / "inside", "kept");

    const FileResult result = WriteWaveformFile(*record_, path, '.');
    EXPECT_FALSE(result.Ok);
    EXPECT_FALSE(result.Error.empty());
    EXPECT_EQ(ReadBytes(dir_ / "saved.wfd" / "inside"), "kept");
    EXPECT_EQ(FolderEntries(dir_), std::vector<std::string>{"saved.wfd"});
}

TEST_F(WaveformFileTest, WriteThatFailsHalfwayLeavesTheExistingFileAsItWas) {
    const std::string path = PathOf("saved.wfd");
    WriteBytes(path, "0.0002 1 2 3 4\r\n");

    // A file size limit makes the write fail after the first chunks.
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 1 << 20;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const FileResult result = WriteWaveformFile(*record_, path, '.');
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, std::strerror(EFBIG));
    EXPECT_EQ(ReadBytes(path), "0.0002 1 2 3 4\r\n");
    EXPECT_EQ(FolderEntries(dir_), std::vector<std::string>{"saved.wfd"});
}

struct FixtureCase {
    const char* file;
    int nextSample;
    std::vector<std::array<int, kChannelCount>> slots;  // expected slots 0, 1, ...
    friend void PrintTo(const FixtureCase& c, std::ostream* out) { *out << c.file; }
};

class WaveformFixtureTest : public WaveformFileTest,
                            public ::testing::WithParamInterface<FixtureCase> {};

TEST_P(WaveformFixtureTest, LoadsTheFixture) {
    const FixtureCase& c = GetParam();
    FillPattern(*record_, 5);
    ASSERT_TRUE(ReadWaveformFile(*record_, (kDataDir / c.file).string()).Ok);

    EXPECT_EQ(record_->NextSample, c.nextSample);
    // Every slot that the file does not fill reads 0, the far half of the ring included.
    for (int ch = 0; ch < kChannelCount; ++ch) {
        for (int s = 0; s < kTraceSlots; ++s) {
            const int expected = s < static_cast<int>(c.slots.size()) ? c.slots[s][ch] : 0;
            ASSERT_EQ(record_->ChannelTrace[ch][s], expected) << "channel " << ch + 1 << " slot " << s;
        }
    }
}

const std::array<int, kChannelCount> kExtremes{-32768, 32767, 0, -1};
const std::array<int, kChannelCount> kOneToFour{1, 2, 3, 4};

INSTANTIATE_TEST_SUITE_P(
    Fixtures, WaveformFixtureTest,
    ::testing::Values(
        FixtureCase{"crlf_lines.wfd", 2, {kExtremes, kOneToFour}},
        FixtureCase{"lf_lines.wfd", 2, {kExtremes, kOneToFour}},
        FixtureCase{"no_final_line_end.wfd", 2, {kExtremes, kOneToFour}},
        FixtureCase{"x_time_fields.wfd", 2, {kExtremes, kOneToFour}},
        // A long line is read whole, its long field by its first six characters, and
        // reading goes on after it.
        FixtureCase{"long_line.wfd", 2, {{-7616, -32768, 32767, -1}, kOneToFour}},
        // A CR that does not end the line is a character of its field.
        FixtureCase{"lone_cr_in_field.wfd", 1, {{12, 3, 4, 5}}},
        // A line of fewer than five fields does not advance; the next line overwrites it.
        FixtureCase{"short_line.wfd", 1, {kOneToFour}},
        // After the fourth sample the field count starts again, within the line too.
        FixtureCase{"extra_fields.wfd", 2, {kOneToFour, {5, 6, 7, 8}}}),
    [](const ::testing::TestParamInfo<FixtureCase>& info) {
        std::string name = info.param.file;
        name.resize(name.find('.'));
        return name;
    });

struct LongFileCase {
    int lines;
    int nextSample;
    int firstLinePosition;  // positions before it read 0
    int firstShownLine;
    friend void PrintTo(const LongFileCase& c, std::ostream* out) { *out << c.lines << " lines"; }
};

class LongWaveformFileTest : public WaveformFileTest,
                             public ::testing::WithParamInterface<LongFileCase> {};

TEST_P(LongWaveformFileTest, ShowsTheNewestLinesInTheWindow) {
    const LongFileCase& c = GetParam();
    const std::string path = PathOf("long.wfd");
    WriteBytes(path, GeneratedFile(c.lines));
    FillPattern(*record_, 6);

    const WaveformRead read = ReadWaveformFile(*record_, path);
    ASSERT_TRUE(read.Ok);
    EXPECT_EQ(read.Sets, static_cast<std::uint64_t>(c.lines));  // a whole ring is no empty file
    ASSERT_EQ(record_->NextSample, c.nextSample);
    for (int ch = 0; ch < kChannelCount; ++ch) {
        for (int x = 0; x < kWindowPositions; ++x) {
            const int slot = SlotOfPosition(record_->NextSample, x);
            const int expected =
                x < c.firstLinePosition ? 0 : LineSample(c.firstShownLine + x - c.firstLinePosition, ch);
            ASSERT_EQ(record_->ChannelTrace[ch][slot], expected) << "channel " << ch + 1 << " position " << x;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, LongWaveformFileTest,
                         ::testing::Values(LongFileCase{50000, 50000, 50000, 1},
                                           LongFileCase{150000, 150000, 0, 50001},
                                           LongFileCase{200000, 0, 0, 100001},
                                           LongFileCase{250000, 50000, 0, 150001}),
                         [](const ::testing::TestParamInfo<LongFileCase>& info) {
                             return std::to_string(info.param.lines);
                         });

// Pipes and devices are refused before they are opened, which could wait or read for ever.
TEST_F(WaveformFileTest, PathThatIsNoRegularFileIsRefusedAndTheRecordKept) {
    FillPattern(*record_, 7);
    record_->NextSample = 4321;
    const auto before = std::make_unique<CaptureRecord>(*record_);
    std::filesystem::create_directory(PathOf("folder.wfd"));
    ASSERT_EQ(mkfifo(PathOf("pipe.wfd").c_str(), 0600), 0);
    std::filesystem::create_symlink(PathOf("pipe.wfd"), PathOf("link.wfd"));

    const std::pair<std::string, std::string> cases[] = {
        {PathOf("missing.wfd"), std::strerror(ENOENT)}, {PathOf("folder.wfd"), kNotRegularFile},
        {PathOf("pipe.wfd"), kNotRegularFile},          {PathOf("link.wfd"), kNotRegularFile},
        {"/dev/zero", kNotRegularFile}};
    for (const auto& [path, error] : cases) {
        SCOPED_TRACE(path);
        const testing::Watchdog watchdog("reading " + path);
        const FileResult result = ReadWaveformFile(*record_, path);
        EXPECT_FALSE(result.Ok);
        EXPECT_EQ(result.Error, error);
        EXPECT_EQ(record_->NextSample, before->NextSample);
        EXPECT_TRUE(record_->ChannelTrace == before->ChannelTrace);
    }
}

// Progress comes after each chunk, up to the file's size; a cancel keeps the record as it was.
TEST_F(WaveformFileTest, ReadTellsItsProgressAndACancelKeepsTheRecord) {
    const std::string path = PathOf("long.wfd");
    const std::string bytes = GeneratedFile(120000);  // several chunks
    WriteBytes(path, bytes);
    FillPattern(*record_, 8);
    const auto before = std::make_unique<CaptureRecord>(*record_);
    for (const bool cancel : {true, false}) {
        std::vector<std::uint64_t> reported;
        const FileResult result = ReadWaveformFile(*record_, path, [&](std::uint64_t done, std::uint64_t total) {
            EXPECT_EQ(total, bytes.size());
            reported.push_back(done);
            return !cancel || reported.size() < 3;
        });
        EXPECT_EQ(result.Ok, !cancel);
        EXPECT_EQ(result.Cancelled, cancel);
        EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
        EXPECT_EQ(reported.size() == 3, cancel);
        EXPECT_EQ(reported.back() == bytes.size(), !cancel);
        EXPECT_EQ(record_->ChannelTrace == before->ChannelTrace, cancel);
    }
    EXPECT_EQ(record_->NextSample, 120000);
}

TEST_F(WaveformFileTest, ReadOnlyFileLoads) {
    const std::string path = PathOf("readonly.wfd");
    WriteBytes(path, ReadBytes(kDataDir / "crlf_lines.wfd"));
    ExpectWithoutWriteAccess(path, [&] {
        const FileResult result = ReadWaveformFile(*record_, path);
        return result.Ok && record_->NextSample == 2 && record_->ChannelTrace[0][0] == -32768 &&
               record_->ChannelTrace[3][1] == 4;
    });
}

}  // namespace
}  // namespace altrix
