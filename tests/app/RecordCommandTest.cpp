// altrix-scope --record's command line: what each good line asks the drive and the recording for,
// and the exact sentence for each wrong one. The channels' addresses and gains are the preset
// table's as the drive's documentation gives them, written out here.

#include "RecordCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace altrix {
namespace {

using Args = std::vector<std::string>;
using std::chrono::milliseconds;

Args Line(Args rest) {
    Args line{"--record", "out.arec", "--port", "COM3"};
    line.insert(line.end(), rest.begin(), rest.end());
    return line;
}

struct Channel {
    bool enabled;
    std::uint16_t asked;  // what the drive is asked for
    RecordingChannel recorded;
};
const Channel kOff1{false, 0x9000, {"", "Channel 1", "1", ""}};
const Channel kOff2{false, 0x9000, {"", "Channel 2", "1", ""}};
const Channel kOff3{false, 0x9000, {"", "Channel 3", "1", ""}};
const Channel kOff4{false, 0x9000, {"", "Channel 4", "1", ""}};

TEST(RecordCommandTest, QuantitiesBecomeTheChannelsAskedForAndRecorded) {
    const struct {
        const char* quantities;
        std::array<Channel, 4> channels;
    } table[] = {
        // By the preset's text or its name without the unit, in any case; by address, any case.
        {"DC_bus,Motor speed (rpm),9a0F,output CURRENT",
         {{{true, 0x9042, {"9042", "DC_bus (Vdc)", "0.1", "Vdc"}},
           {true, 0x9014, {"9014", "Motor speed (rpm)", "1", "rpm"}},
           {true, 0x9a0f, {"9a0f", "Mem 9a0f", "1", ""}},
           {true, 0x9010, {"9010", "Output current (A rms)", "0.01", "A rms"}}}}},
        // A preset's address given as an address is not the preset.
        {"9042", {{{true, 0x9042, {"9042", "Mem 9042", "1", ""}}, kOff2, kOff3, kOff4}}},
        // Fewer than four: the rest off; an empty entry leaves its channel off; blanks around names go.
        {" PG2 velocity , Torque Command (%)",
         {{{true, 0x9024, {"9024", "PG2 velocity (rpm)", "54.61", "rpm"}},
           {true, 0x9018, {"9018", "Torque Command (%)", "0.09765", "%"}}, kOff3, kOff4}}},
        {",PID feedback,,", {{kOff1, {true, 0x9016, {"9016", "PID feedback (%)", "1", "%"}}, kOff3, kOff4}}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.quantities);
        const RecordParse parsed = ParseRecordCommand(Line({"--quantities", row.quantities}));
        ASSERT_TRUE(parsed.Options) << parsed.Error;
        const RecordOptions& o = *parsed.Options;
        EXPECT_EQ(o.Output, "out.arec");
        EXPECT_EQ(o.Port, "COM3");
        for (std::size_t c = 0; c < 4; ++c) {
            const Channel& want = row.channels[c];
            EXPECT_EQ(o.Setup.Enabled[c], want.enabled) << c;
            EXPECT_EQ(o.Setup.Addresses[c], want.asked) << c;
            EXPECT_EQ(o.Setup.Gains[c], want.recorded.Gain) << c;
            EXPECT_EQ(o.Channels[c].Address, want.recorded.Address) << c;
            EXPECT_EQ(o.Channels[c].Name, want.recorded.Name) << c;
            EXPECT_EQ(o.Channels[c].Gain, want.recorded.Gain) << c;
            EXPECT_EQ(o.Channels[c].Unit, want.recorded.Unit) << c;
        }
        EXPECT_EQ(o.Setup.Trigger.Mode, TriggerMode::Off);
        EXPECT_FALSE(o.Duration);
    }
}

TEST(RecordCommandTest, DurationsReadInSecondsMinutesOrHours) {
    const struct {
        const char* text;
        milliseconds wanted;
    } table[] = {
        {"8h", milliseconds(8 * 3600 * 1000)}, {"90m", milliseconds(90 * 60 * 1000)},
        {"45s", milliseconds(45 * 1000)},      {"2.5", milliseconds(2500)},
        {"0.5h", milliseconds(1800 * 1000)},   {"10000h", milliseconds(10000LL * 3600 * 1000)},
    };
    for (const auto& row : table) {
        const RecordParse parsed = ParseRecordCommand(Line({"--quantities", "AVI", "--duration", row.text}));
        ASSERT_TRUE(parsed.Options) << parsed.Error;
        EXPECT_EQ(parsed.Options->Duration, row.wanted) << row.text;
    }
}

TEST(RecordCommandTest, TriggersBecomeANormalTrigger) {
    TriggerSettings rising;
    rising.Mode = TriggerMode::Normal;
    rising.Source = 2;
    rising.Level = "5";
    TriggerSettings band = rising;
    band.Source = 1;
    band.Condition = TriggerCondition::InsideBand;
    band.Level = "-1.5";
    band.Level2 = "2";
    band.PreTriggerPercent = 25;
    band.HoldoffMs = 60000;
    TriggerSettings bit = rising;
    bit.Condition = TriggerCondition::BitCleared;
    bit.Level = "0";
    bit.Bit = 15;
    bit.PreTriggerPercent = 0;
    const struct {
        Args options;
        TriggerSettings wanted;
        const char* folder;
    } table[] = {
        {{"--trigger", "ch2 rising 5"}, rising, ""},
        {{"--trigger", " CH1  Inside-Band -1.5 2", "--pretrigger", "25", "--holdoff", "60000", "--events-folder", "ev"},
         band, "ev"},
        {{"--events-folder", "-x", "--trigger", "ch2 bit-cleared 15", "--pretrigger", "0"}, bit, "-x"},
    };
    for (const auto& row : table) {
        Args line = Line({"--quantities", "DC_bus,AVI"});
        line.insert(line.end(), row.options.begin(), row.options.end());
        const RecordParse parsed = ParseRecordCommand(line);
        ASSERT_TRUE(parsed.Options) << parsed.Error;
        EXPECT_EQ(parsed.Options->Setup.Trigger, row.wanted) << row.options[1];
        EXPECT_EQ(parsed.Options->EventsFolder, row.folder);
    }
}

TEST(RecordCommandTest, WrongLinesSayWhatIsWrong) {
    const std::string syntax =
        "--trigger takes \"chK CONDITION VALUE [VALUE2]\": a channel ch1..ch4, then rising, falling or either and a "
        "level, bit-set or bit-cleared and a bit 0..15, or outside-band or inside-band and two levels";
    const std::string duration = "--duration takes a time above 0 such as 90s, 30m or 8h, at most 10000h";
    const std::string port = "a port name of the settings file, COMn or a device path";
    const struct {
        Args line;
        std::string error;
    } table[] = {
        {{"--port", "COM3", "--quantities", "AVI"}, "--record is missing: it takes the recording file to make, OUT.arec"},
        {{"--record", "out.arec", "--quantities", "AVI"}, "--port is missing: it takes " + port},
        {{"--record", "out.arec", "--port", "COM3"},
         "--quantities is missing: it takes up to four quantities, one a channel: Q1,Q2,Q3,Q4"},
        {{"--record", "out.csv", "--port", "COM3", "--quantities", "AVI"}, "out.csv: a recording file's name ends in .arec"},
        {Line({"--quantities", "AVI", "--port", "COM4"}), "--port is given twice"},
        {Line({"--quantities"}), "--quantities takes up to four quantities, one a channel: Q1,Q2,Q3,Q4"},
        {{"--record", "out.arec", "--quantities", "AVI", "--port"}, "--port takes " + port},
        {{"--record", "out.arec", "--quantities", "AVI", "--port", " "}, "--port takes " + port},
        {Line({"--quantities", "AVI", "extra"}), "unexpected argument \"extra\""},
        {Line({"--quantities", "AVI", "--", "x"}), "unexpected argument \"--\""},
        {Line({"--quantities", "DC_bus,Speed"}),
         "unknown quantity \"Speed\": name a preset (\"DC_bus\" or \"DC_bus (Vdc)\") or give four hexadecimal digits (\"9042\")"},
        {Line({"--quantities", "904"}),
         "unknown quantity \"904\": name a preset (\"DC_bus\" or \"DC_bus (Vdc)\") or give four hexadecimal digits (\"9042\")"},
        {Line({"--quantities", "9000,9001,9002,9003,9004"}), "--quantities takes at most four quantities, one a channel"},
        {Line({"--quantities", " , "}), "--quantities names no quantity"},
        {Line({"--quantities", "AVI", "--duration", "0"}), duration},
        {Line({"--quantities", "AVI", "--duration", "-5s"}), duration},
        {Line({"--quantities", "AVI", "--duration", "8d"}), duration},
        {Line({"--quantities", "AVI", "--duration", "10000.5h"}), duration},
        {Line({"--quantities", "AVI", "--duration", "h"}), duration},
        {Line({"--quantities", "AVI", "--trigger", "ch5 rising 1"}), syntax},
        {Line({"--quantities", "AVI", "--trigger", "ch1 rising"}), syntax},
        {Line({"--quantities", "AVI", "--trigger", "ch1 rising 1 2"}), syntax},
        {Line({"--quantities", "AVI", "--trigger", "ch1 above 1"}), syntax},
        {Line({"--quantities", "AVI", "--trigger", "ch1 bit-set 16"}), syntax},
        {Line({"--quantities", "AVI", "--trigger", "ch1 outside-band 1"}), syntax},
        {Line({"--quantities", "AVI", "--trigger", "ch1 rising 1,5"}),
         "--trigger: a level is a decimal number with \".\" as the point, such as -12.5"},
        {Line({"--quantities", "AVI", "--trigger", "ch1 inside-band 1 x"}),
         "--trigger: a level is a decimal number with \".\" as the point, such as -12.5"},
        {Line({"--quantities", "AVI,,DC_bus", "--trigger", "ch2 falling 1"}), "--trigger: ch2 has no quantity"},
        {Line({"--quantities", "AVI", "--pretrigger", "50"}), "--pretrigger needs --trigger"},
        {Line({"--quantities", "AVI", "--events-folder", "ev"}), "--events-folder needs --trigger"},
        {Line({"--quantities", "AVI", "--trigger", "ch1 rising 1", "--pretrigger", "101"}),
         "--pretrigger takes the share of the window before the trigger, 0 to 100 %"},
        {Line({"--quantities", "AVI", "--trigger", "ch1 rising 1", "--holdoff", "60001"}),
         "--holdoff takes a time in ms, 0 to 60000"},
    };
    for (const auto& row : table) {
        std::string line;
        for (const std::string& a : row.line) line += a + " ";
        const RecordParse parsed = ParseRecordCommand(row.line);
        EXPECT_FALSE(parsed.Options) << line;
        EXPECT_EQ(parsed.Error, row.error) << line;
    }
}

TEST(RecordCommandTest, OnlyARecordBeforeTheEndOfOptionsNamesTheCommand) {
    const struct {
        Args arguments;
        bool named;
    } table[] = {
        {{"--record", "a.arec"}, true},
        {{"--port", "x", "--record"}, true},
        {{"--", "--record"}, false},
        {{"--recording", "a.arec"}, false},
        {{}, false},
    };
    for (const auto& row : table) EXPECT_EQ(NamesRecordCommand(row.arguments), row.named) << row.arguments.size();
}

}  // namespace
}  // namespace altrix
