// A waveform save made on one thread and written on another: the samples as they were when it
// was made, the description beside the file once the file is whole, and a cancel that leaves
// both files as they were (or none) and no temporary file.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CaptureDescription.h"
#include "FileTestSupport.h"
#include "WaveformFile.h"
#include "WaveformSave.h"

namespace altrix {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

std::vector<std::string> Entries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct SaveCase {
    const char* name;
    int cancelAtReport;  // the report during which Cancel is pressed; 0: never
    bool existing;       // a file and a description of that name are there before
    bool written;        // the new file and description replace them
    friend void PrintTo(const SaveCase& c, std::ostream* out) { *out << c.name; }
};

// 100000 lines reported every 4096: 24 reports while lines are left, then one at the end.
const SaveCase kSaveCases[] = {
    {"whole", 0, false, true},
    {"whole over older files", 0, true, true},
    {"cancelled at the first report", 1, false, false},
    {"cancelled midway keeps the older files", 12, true, false},
    {"cancelled with lines left keeps the older files", 24, true, false},
    {"cancelled once every line is written comes too late", 25, true, true},
};

class WaveformSaveTest : public testing::ScratchDir, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(WaveformSaveTest, WritesBothFilesWholeOrLeavesThemAsTheyWere) {
    const SaveCase& c = GetParam();
    auto record = std::make_unique<CaptureRecord>();
    for (int s = 0; s < kTraceSlots; ++s) record->ChannelTrace[1][s] = static_cast<std::int16_t>(s % 3000 - 1500);
    record->NextSample = 1234;
    const std::string expected = PathOf("expected.wfd");
    ASSERT_TRUE(WriteWaveformFile(*record, expected, '.').Ok);
    const std::string expectedBytes = ReadBytes(expected);
    std::filesystem::remove(expected);

    const std::string path = PathOf("saved.wfd");
    if (c.existing) {
        WriteBytes(path, "0.0002 1 2 3 4\r\n");
        WriteBytes(SidecarPath(path), "[older]\r\n");
    }
    CaptureDescription description;
    description.Note = "the saved one";
    WaveformSave save(*record, description, path, '.');
    // What the capture does after the save was made is not in the file.
    record->ChannelTrace[1].fill(7);
    record->NextSample = 5;

    std::atomic<bool> cancel{false};
    int reports = 0;
    std::int64_t lastDone = 0, lastTotal = 0;
    const FileResult result = save.Run({[&](std::int64_t done, std::int64_t total) {
                                            if (++reports == c.cancelAtReport) cancel = true;
                                            lastDone = done;
                                            lastTotal = total;
                                        },
                                        &cancel});

    if (c.written) {
        ASSERT_TRUE(result.Ok) << result.Error;
        EXPECT_EQ(reports, 25);
        EXPECT_EQ(lastDone, 100000);
        EXPECT_EQ(lastTotal, 100000);
        EXPECT_EQ(ReadBytes(path), expectedBytes);
        ASSERT_TRUE(save.Described().Ok) << save.Described().Error;
        const SidecarRead read = ReadSidecar(path);
        ASSERT_EQ(read.Status, SidecarStatus::Read) << read.Problem;
        EXPECT_EQ(read.Description.Note, "the saved one");
    } else {
        EXPECT_FALSE(result.Ok);
        EXPECT_TRUE(result.Cancelled);
        EXPECT_TRUE(result.Error.empty());
        EXPECT_EQ(reports, c.cancelAtReport) << "no report after the cancel";
        if (c.existing) {
            EXPECT_EQ(ReadBytes(path), "0.0002 1 2 3 4\r\n");
            EXPECT_EQ(ReadBytes(SidecarPath(path)), "[older]\r\n");
        }
    }
    const std::vector<std::string> both{"saved.wfd", "saved.wfd.ini"};
    EXPECT_EQ(Entries(dir_), c.written || c.existing ? both : std::vector<std::string>{}) << "no other file";
}

INSTANTIATE_TEST_SUITE_P(Cases, WaveformSaveTest, ::testing::ValuesIn(kSaveCases));

}  // namespace
}  // namespace altrix
