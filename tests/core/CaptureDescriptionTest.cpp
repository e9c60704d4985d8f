// The capture description beside a waveform file: every field back as written in the keys the
// README names, the descriptions that are not read and why, and the waveform bytes untouched.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "CaptureDescription.h"
#include "FileTestSupport.h"
#include "WaveformFile.h"

namespace altrix {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

CaptureDescription Full() {
    CaptureDescription d{{{{true, "DC_bus (Vdc)", "9042", "0.1", "2"},
                           {false, "", " ", "1", "1"},  // as after a load without description
                           {true, "", "  12ab", "0,5x", "0.2"},
                           {true, "PG2 velocity (rpm)", "9024", "54.61", "50"}}},
                         {{{"Output current (A rms)", "0.01", "0.67"}, {"\"quoted\" source", "2", "1"}}},
                         2, {TriggerMode::Single, 3, TriggerCondition::InsideBand, "-12.5", 15, 100, "40", 250, TriggerJoin::And,
                             {2, TriggerCondition::Falling, "7", "8", 3}}, 99999, "15.0002",
                         7, "A-7", "2026-12-07T16:30:00.125Z", "2026-12-07T16:30:21Z", "1.4.0",
                         "M3 \xC3\xBC" "ber\n\tC:\\x\r\n ; [no section]\n"};
    return d;
}

class CaptureDescriptionTest : public testing::ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        wfd_ = PathOf("capture.wfd");
        const auto record = std::make_unique<CaptureRecord>();
        for (int s = 0; s < kTraceSlots; ++s) record->ChannelTrace[2][s] = static_cast<std::int16_t>(s * 7);
        ASSERT_TRUE(WriteWaveformFile(*record, wfd_, '.').Ok);
    }
    std::string wfd_;
};

TEST_F(CaptureDescriptionTest, EveryFieldReadsBackAsWrittenInItsKey) {
    for (const CaptureDescription& written : {Full(), CaptureDescription{}}) {
        const std::string bytes = ReadBytes(wfd_);
        ASSERT_TRUE(WriteSidecar(written, wfd_).Ok);
        EXPECT_EQ(ReadBytes(wfd_), bytes);
        const SidecarRead read = ReadSidecar(wfd_);
        ASSERT_EQ(read.Status, SidecarStatus::Read) << read.Problem;
        EXPECT_EQ(read.Description, written);
    }
    ASSERT_TRUE(WriteSidecar(Full(), wfd_).Ok);
    const std::string text = ReadBytes(wfd_ + ".ini");
    for (const char* line : {"\r\nDriveType=A-7\r\nDrawingMode=Envelope\r\n", "Note=M3 \xC3\xBC" "ber\\n\tC:\\\\x\\r\\n ; [no",
                             "[Channel2]\r\nEnabled=0\r\nQuantity=\r\nAddress=\" \"\r\nGain=1\r\nYScale=1\r\n",
                             "\r\nPreTrigger=100\r\nLevel2=40\r\nHoldoff=250\r\nJoin=AND\r\nJoinSource=2\r\nJoinCondition=Falling\r\n",
                             "JoinLevel2=8\r\nPosition=99999\r\nTime=15.0002\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST_F(CaptureDescriptionTest, ADescriptionThatCannotBeUsedSaysWhy) {
    ASSERT_TRUE(WriteSidecar(Full(), wfd_).Ok);
    const std::string good = ReadBytes(wfd_ + ".ini");
    const std::string samples = ReadBytes(wfd_);
    // The description (empty: none), the waveform bytes, and what the read says.
    struct Case { std::string sidecar, waveform; SidecarStatus status; std::string problem; };
    const Case table[] = {
        {"", samples, SidecarStatus::Missing, ""},
        {good + '\0', samples, SidecarStatus::Damaged, "NUL byte"},
        {Replaced(good, "YScale=2\r\n", "YScale=7\r\n"), samples, SidecarStatus::Damaged, "[Channel1] YScale is no Y-scale"},
        {Replaced(good, "Gain=54.61\r\n", ""), samples, SidecarStatus::Damaged, "[Channel4] Gain is missing"},
        {"[Parameter]\r\nListFilePath=a.plf\r\n", samples, SidecarStatus::Foreign, "no capture description"},
        {Replaced(good, "Format=1", "Format=2"), samples, SidecarStatus::Newer, "format 2"},
        {good, Replaced(samples, " 7 ", " 8 "), SidecarStatus::Mismatched, "other waveform data"},
    };
    for (const Case& row : table) {
        SCOPED_TRACE(row.problem);
        std::filesystem::remove(wfd_ + ".ini");
        if (!row.sidecar.empty()) WriteBytes(wfd_ + ".ini", row.sidecar);
        WriteBytes(wfd_, row.waveform);
        const SidecarRead read = ReadSidecar(wfd_);
        EXPECT_EQ(read.Status, row.status);
        EXPECT_NE(read.Problem.find(row.problem), std::string::npos) << read.Problem;
        EXPECT_EQ(read.Description, CaptureDescription{});
    }
}

}  // namespace
}  // namespace altrix
