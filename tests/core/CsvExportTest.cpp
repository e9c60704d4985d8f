// The CSV export of the display window, byte for byte: header names and quoting, the time
// column, the exact engineering texts and raw integers, and the position range.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "CaptureRecord.h"
#include "CsvExport.h"
#include "FileTestSupport.h"

namespace altrix {
namespace {

using testing::ReadBytes;

class CsvExportTest : public testing::ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        record_->NextSample = 123;  // the window wraps round the ring
        // Every other slot and reference element holds a marker value, so a misplaced read shows.
        for (ChannelSamples& trace : record_->ChannelTrace) trace.fill(-999);
        for (ReferenceSamples& trace : record_->ReferenceTrace) trace.fill(-999);
    }
    void setSet(int position, std::array<std::int16_t, 4> channels, std::array<std::int16_t, 2> refs) {
        const int slot = SlotOfPosition(record_->NextSample, position);
        for (int c = 0; c < kChannelCount; ++c) record_->ChannelTrace[c][slot] = channels[c];
        for (int r = 0; r < kReferenceCount; ++r) record_->ReferenceTrace[r][position] = refs[r];
    }
    std::string exported(const CsvExport& what) {
        const std::string path = PathOf("export.csv");
        EXPECT_TRUE(WriteCsvFile(WindowsOf(*record_), what, path).Ok);
        return ReadBytes(path);
    }

    std::unique_ptr<CaptureRecord> record_ = std::make_unique<CaptureRecord>();
};

CsvExport Quantities() {
    CsvExport what;
    what.Channels = {{{"Output frequency (Hz)", "0.01"},
                      {"DC_bus (Vdc)", "0.1"},
                      {"Torque Command (%)", "0.09765"},
                      {"Mem 9014", ""}}};
    return what;
}

TEST_F(CsvExportTest, RangesAreWrittenByteForByte) {
    setSet(0, {1, 2, 3, 4}, {5, 6});
    setSet(4999, {1234, -12, 1024, 0}, {-3, 7});
    setSet(5000, {0, 3100, -3, -32768}, {0, 1});
    setSet(5001, {5, -5, 1, 32767}, {32767, -32768});
    setSet(kNewestPosition - 1, {-65, 10, 0, 9}, {0, 0});
    setSet(kNewestPosition, {100, -1, 2048, -9}, {2, 3});

    struct Case {
        const char* name;
        bool raw;
        std::int32_t first, last;
        std::optional<CsvColumn> ref1, ref2;
        const char* refHeader;
        const char* lines;
    };
    const std::string header = "time_s,Output frequency (Hz),DC_bus (Vdc),Torque Command (%),Mem 9014";
    const Case cases[] = {
        {"engineering units", false, 4999, 5001, std::nullopt, std::nullopt, "",
         "1,12.34,-1.2,99.99360,0\r\n"
         "1.0002,.0,310.0,-.29295,-32768\r\n"
         "1.0004,.05,-.5,.09765,32767\r\n"},
        {"raw integers, references, range given backwards", true, 5001, 4999,
         CsvColumn{"Ref1 Motor speed (rpm)", "1"}, CsvColumn{"Ref2, \"copy\"", "0.5"},
         ",Ref1 Motor speed (rpm),\"Ref2, \"\"copy\"\"\"",
         "1,1234,-12,1024,0,-3,7\r\n"
         "1.0002,0,3100,-3,-32768,0,1\r\n"
         "1.0004,5,-5,1,32767,32767,-32768\r\n"},
        {"only Ref2, range beyond the window", false, kNewestPosition + 50, kNewestPosition - 1,
         std::nullopt, CsvColumn{"Ref2", "54.61"}, ",Ref2",
         "19.9998,-.65,1.0,.0,9,.0\r\n"
         "20,1.00,-.1,199.98720,-9,163.83\r\n"},
        {"oldest position reads the Time readout's 0.0002", false, -7, 0, CsvColumn{"Ref1", ""}, std::nullopt, ",Ref1",
         "0.0002,.01,.2,.29295,4,5\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CsvExport what = Quantities();
        what.Raw = c.raw;
        what.First = c.first;
        what.Last = c.last;
        what.References = {c.ref1, c.ref2};
        EXPECT_EQ(exported(what), header + c.refHeader + "\r\n" + c.lines);
    }
}

TEST(CsvColumnNames, QuantityThenTypedAddressThenChannelNumber) {
    EXPECT_EQ(ChannelColumnName(1, "DC_bus (Vdc)", "9042"), "DC_bus (Vdc)");
    EXPECT_EQ(ChannelColumnName(2, "", " 9014 "), "Mem 9014");
    EXPECT_EQ(ChannelColumnName(3, "", " "), "Channel 3");  // after a load
    EXPECT_EQ(ReferenceColumnName(1, ""), "Ref1");
    EXPECT_EQ(ReferenceColumnName(2, "DC_bus (Vdc)"), "Ref2 DC_bus (Vdc)");
}

}  // namespace
}  // namespace altrix
