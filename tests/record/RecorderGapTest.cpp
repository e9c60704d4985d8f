// The recorders over a decoder fed a stream with losses, a tick at a time: every set in the
// file is the simulated drive's set at its place, or lies in a gap the file records (.arec:
// its gaps table; CSV: the gap column), however long the loss and however many ticks it spans.

#include "CaptureRecord.h"
#include "FileTestSupport.h"
#include "LongRecorder.h"
#include "RecordingReader.h"
#include "Recorder.h"
#include "SimulatedDrive.h"
#include "StreamDecoder.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace altrix::testing {
namespace {

const sim::ChannelAddresses kChannels{0x1230, 0x1231, 0x2340, 0x9004};
constexpr ChannelEnables kAllOn{true, true, true, true};

std::int16_t Word(std::int64_t set, int c) {
    return sim::SampleValue(kChannels[c], static_cast<std::uint64_t>(set));
}

// A stream: runs of good blocks, each followed by a loss of that many blocks' bytes (zeros,
// which hold no header).
struct Loss {
    int goodBlocks;
    int lostBlocks;
};
std::vector<std::uint8_t> Stream(const std::vector<Loss>& runs) {
    std::vector<std::uint8_t> bytes;
    std::uint64_t block = 0;
    for (const Loss& r : runs) {
        for (int b = 0; b < r.goodBlocks; ++b, ++block) {
            const sim::StreamBlock s = sim::MakeStreamBlock(kChannels, block);
            bytes.insert(bytes.end(), s.begin(), s.end());
        }
        bytes.insert(bytes.end(), static_cast<std::size_t>(r.lostBlocks) * kBlockBytes, 0);
        block += static_cast<std::uint64_t>(r.lostBlocks);
    }
    return bytes;
}

class RecorderGapTest : public ScratchDir {};

TEST_F(RecorderGapTest, EverySetRecordedIsTheDrivesOrLiesInARecordedGap) {
    const struct { const char* name; std::vector<Loss> runs; std::int64_t lostSets; } streams[] = {
        // A loss costs its blocks and the good block before it, which no header follows.
        {"a few blocks", {{100, 5}, {100, 0}}, (5 + 1) * 16},
        {"a loss over many ticks", {{300, 3000}, {300, 0}}, (3000 + 1) * 16},
        {"two long losses", {{200, 1000}, {300, 600}, {300, 0}}, (1000 + 1 + 600 + 1) * 16},
        {"losses a tick apart", {{40, 300}, {16, 300}, {16, 700}, {200, 0}}, (300 + 1 + 300 + 1 + 700 + 1) * 16},
    };
    constexpr std::size_t kTickBytes = 2031;  // about 250 sets, a 50 ms tick at the drive's rate
    for (const auto& s : streams) {
        SCOPED_TRACE(s.name);
        auto record = std::make_unique<CaptureRecord>();
        ResetForRun(*record);
        const std::string arec = PathOf(std::string(s.name) + ".arec"), csv = PathOf(std::string(s.name) + ".csv");
        LongRecorder longRecorder;
        Recorder recorder;
        ASSERT_EQ(longRecorder.Start(arec, {}, *record), "");
        ASSERT_EQ(recorder.Start(csv, {{"A", "1"}, {"B", "1"}, {"C", "1"}, {"D", "1"}}, *record), "");
        const std::vector<std::uint8_t> bytes = Stream(s.runs);
        for (std::size_t at = 0; at < bytes.size(); at += kTickBytes) {
            const std::uint64_t before = record->SetCount;
            StoreAndDecode(*record, std::span(bytes).subspan(at, std::min(kTickBytes, bytes.size() - at)), kAllOn);
            const auto stored = static_cast<std::int64_t>(record->SetCount - before);
            if (stored == 0) continue;
            ASSERT_TRUE(longRecorder.Append(*record, record->NextSample, stored));
            ASSERT_TRUE(recorder.Append(*record, record->NextSample, stored));
        }
        ASSERT_TRUE(longRecorder.Stop()) << longRecorder.Error();
        ASSERT_TRUE(recorder.Stop()) << recorder.Error();

        // The .arec: each set outside its gaps is the drive's.
        const RecordingReader::Opened opened = RecordingReader::Open(arec);
        ASSERT_TRUE(opened.Reader) << opened.Error;
        const std::int64_t sets = opened.Reader->Sets();
        std::vector<std::int16_t> got(static_cast<std::size_t>(sets * kRecordingChannels));
        ASSERT_TRUE(opened.Reader->ReadSets(0, sets, got));
        std::vector<bool> inGap(static_cast<std::size_t>(sets), false);
        for (const RecordingGap& g : opened.Reader->Gaps())
            for (std::int64_t n = g.FirstSet; n < g.FirstSet + g.SetCount; ++n) inGap[static_cast<std::size_t>(n)] = true;
        std::int64_t gapSets = 0, wrong = 0;
        for (std::int64_t n = 0; n < sets; ++n) {
            if (inGap[static_cast<std::size_t>(n)]) {
                ++gapSets;
                continue;
            }
            for (int c = 0; c < kRecordingChannels; ++c)
                if (got[static_cast<std::size_t>(n * kRecordingChannels + c)] != Word(n, c)) ++wrong;
        }
        EXPECT_EQ(wrong, 0) << "values outside the .arec's gaps that the drive did not send";
        EXPECT_EQ(gapSets, s.lostSets);

        // The CSV: each line not marked as a gap holds the drive's set.
        std::ifstream in(csv);
        std::string line;
        std::getline(in, line);
        EXPECT_EQ(line, "time_s,A,B,C,D,gap\r");
        std::int64_t n = 0, csvGapSets = 0, csvWrong = 0;
        for (; std::getline(in, line); ++n) {
            std::vector<double> fields;
            std::stringstream row(line);
            for (std::string field; std::getline(row, field, ',');) fields.push_back(std::stod(field));
            ASSERT_EQ(fields.size(), 6u) << line;
            if (fields[5] == 1) {
                ++csvGapSets;
                continue;
            }
            EXPECT_EQ(fields[5], 0) << line;
            for (int c = 0; c < kRecordingChannels; ++c) csvWrong += fields[1 + c] != Word(n, c);
        }
        EXPECT_EQ(n, sets);
        EXPECT_EQ(csvWrong, 0) << "values outside the CSV's gaps that the drive did not send";
        EXPECT_EQ(csvGapSets, s.lostSets);
    }
}

}  // namespace
}  // namespace altrix::testing
