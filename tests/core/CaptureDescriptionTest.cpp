// The capture description beside a waveform file: every field back as written, the keys as
// the README names them, the descriptions that are not read and why, and the waveform bytes
// untouched.

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
    CaptureDescription d;
    d.Channels[0] = {true, "DC_bus (Vdc)", "9042", "0.1", "2"};
    d.Channels[1] = {false, "", " ", "1", "1"};            // as after a load without description
    d.Channels[2] = {true, "", "  12ab", "0,5x", "0.2"};   // a typed address, an invalid gain
    d.Channels[3] = {true, "PG2 velocity (rpm)", "9024", "54.61", "50"};
    d.References[0] = {"Output current (A rms)", "0.01", "0.67"};
    d.References[1] = {"\"quoted\" source", "2", "1"};
    d.DrawingMode = 2;
    d.Trigger = {TriggerMode::Single, 3, TriggerCondition::BitCleared, "-12.5", 15, 100};
    d.TriggerPosition = 99999;
    d.TriggerSeconds = "15.0002";
    d.DriveTypeCode = 7;
    d.DriveTypeLabel = "A-7";
    d.StartUtc = "2026-12-07T16:30:00.125Z";
    d.EndUtc = "2026-12-07T16:30:21Z";
    d.ProgramVersion = "1.4.0";
    d.Note = "Motor 3 \xC3\xBC" "ber 50 Hz\n\tC:\\logs\\x.txt\r\n ; [not a section]\n";
    return d;
}

class CaptureDescriptionTest : public testing::ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        wfd_ = PathOf("capture.wfd");
        record_ = std::make_unique<CaptureRecord>();
        for (int c = 0; c < kChannelCount; ++c)
            for (int s = 0; s < kTraceSlots; ++s) record_->ChannelTrace[c][s] = static_cast<std::int16_t>(s * 7 + c);
        record_->NextSample = 1234;
        ASSERT_TRUE(WriteWaveformFile(*record_, wfd_, '.').Ok);
    }
    std::string wfd_;
    std::unique_ptr<CaptureRecord> record_;
};

TEST_F(CaptureDescriptionTest, EveryFieldReadsBackAsWritten) {
    CaptureDescription bare;  // nothing known: no trigger, drive, times or note
    const CaptureDescription table[] = {Full(), bare};
    for (const CaptureDescription& written : table) {
        const std::string bytes = ReadBytes(wfd_);
        ASSERT_TRUE(WriteSidecar(written, wfd_).Ok);
        EXPECT_EQ(ReadBytes(wfd_), bytes);
        const SidecarRead read = ReadSidecar(wfd_);
        ASSERT_EQ(read.Status, SidecarStatus::Read) << read.Problem;
        EXPECT_EQ(read.Problem, "");
        EXPECT_EQ(read.Description, written);
    }
}

TEST_F(CaptureDescriptionTest, KeysAreThoseTheReadmeNames) {
    ASSERT_TRUE(WriteSidecar(Full(), wfd_).Ok);
    const std::string text = ReadBytes(SidecarPath(wfd_));
    EXPECT_EQ(SidecarPath(wfd_), wfd_ + ".ini");
    for (const char* line : {"[Capture]\r\nFormat=1\r\nProgramVersion=1.4.0\r\n", "\r\nDriveTypeCode=7\r\nDriveType=A-7\r\n",
                             "\r\nDrawingMode=Envelope\r\n", "\r\nStartUtc=2026-12-07T16:30:00.125Z\r\n",
                             "[Channel1]\r\nEnabled=1\r\nQuantity=DC_bus (Vdc)\r\nAddress=9042\r\nGain=0.1\r\nYScale=2\r\n",
                             "[Channel2]\r\nEnabled=0\r\nQuantity=\r\nAddress=\" \"\r\n",
                             "[Ref1]\r\nSource=Output current (A rms)\r\nGain=0.01\r\nYScale=0.67\r\n",
                             "[Trigger]\r\nMode=Single\r\nSource=3\r\nCondition=Bit cleared\r\nLevel=-12.5\r\nBit=15\r\n"
                             "PreTrigger=100\r\nPosition=99999\r\nTime=15.0002\r\n",
                             "Note=Motor 3 \xC3\xBC" "ber 50 Hz\\n\tC:\\\\logs\\\\x.txt\\r\\n ; [not a section]\\n\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    // The waveform's size and digest tie the description to its bytes.
    EXPECT_NE(text.find("WaveformBytes=" + std::to_string(ReadBytes(wfd_).size()) + "\r\n"), std::string::npos);
    EXPECT_NE(text.find("WaveformDigest=fnv1a64:"), std::string::npos);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST_F(CaptureDescriptionTest, ADescriptionThatCannotBeUsedSaysWhy) {
    ASSERT_TRUE(WriteSidecar(Full(), wfd_).Ok);
    const std::string good = ReadBytes(SidecarPath(wfd_));
    const std::string samples = ReadBytes(wfd_);
    struct Case {
        const char* what;
        std::string sidecar;  // empty: none
        std::string waveform;
        SidecarStatus status;
        std::string problem;  // a part of the reason
    };
    const Case table[] = {
        {"none", "", samples, SidecarStatus::Missing, ""},
        {"a NUL byte", good + std::string(1, '\0'), samples, SidecarStatus::Damaged, "NUL byte"},
        {"a Y-scale not in the list", Replaced(good, "YScale=2\r\n", "YScale=7\r\n"), samples, SidecarStatus::Damaged,
         "[Channel1] YScale is no Y-scale"},
        {"an unknown quantity", Replaced(good, "Quantity=DC_bus (Vdc)", "Quantity=Speed"), samples,
         SidecarStatus::Damaged, "[Channel1] Quantity"},
        {"a flag that is no flag", Replaced(good, "Enabled=0", "Enabled=no"), samples, SidecarStatus::Damaged,
         "[Channel2] Enabled"},
        {"a bit beyond 15", Replaced(good, "Bit=15", "Bit=16"), samples, SidecarStatus::Damaged, "[Trigger] Bit"},
        {"a position beyond the window", Replaced(good, "Position=99999", "Position=100000"), samples,
         SidecarStatus::Damaged, "[Trigger] Position"},
        {"a missing gain", Replaced(good, "Gain=54.61\r\n", ""), samples, SidecarStatus::Damaged, "[Channel4] Gain is missing"},
        {"a time that is none", Replaced(good, "StartUtc=2026-12-07T16:30:00.125Z", "StartUtc=yesterday"), samples,
         SidecarStatus::Damaged, "[Capture] StartUtc"},
        {"a settings file", "[Parameter]\r\nListFilePath=a.plf\r\n", samples, SidecarStatus::Foreign, "no capture description"},
        {"a newer format", Replaced(good, "Format=1", "Format=2"), samples, SidecarStatus::Newer, "format 2"},
        {"a changed sample", good, Replaced(samples, " 7 ", " 8 "), SidecarStatus::Mismatched, "other waveform data"},
        {"a shorter file", good, samples.substr(0, samples.size() / 2), SidecarStatus::Mismatched, "other waveform data"},
    };
    for (const Case& row : table) {
        SCOPED_TRACE(row.what);
        std::filesystem::remove(SidecarPath(wfd_));
        if (!row.sidecar.empty()) WriteBytes(SidecarPath(wfd_), row.sidecar);
        WriteBytes(wfd_, row.waveform);
        const SidecarRead read = ReadSidecar(wfd_);
        EXPECT_EQ(read.Status, row.status);
        EXPECT_NE(read.Problem.find(row.problem), std::string::npos) << read.Problem;
        EXPECT_EQ(read.Description, CaptureDescription{});
    }
}

}  // namespace
}  // namespace altrix
