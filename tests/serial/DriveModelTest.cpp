// The simulated drive's signal model: a believable motor run behind the preset addresses,
// a plain test wave behind every other address.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <numeric>
#include <string_view>
#include <vector>

#include "DriveModel.h"
#include "Presets.h"
#include "ScopeProtocol.h"

namespace altrix::sim {
namespace {

std::uint16_t PresetAddress(std::string_view itemText) {
    for (const QuantityPreset& preset : kQuantityPresets) {
        if (preset.ItemText == itemText) return *ParseChannelAddress(preset.Address);
    }
    ADD_FAILURE() << "no preset " << itemText;
    return 0;
}

std::uint64_t Set(double seconds) { return static_cast<std::uint64_t>(seconds * 5000.0 + 0.5); }

std::vector<int> Trace(std::string_view item, double from, double to) {
    const std::uint16_t address = PresetAddress(item);
    std::vector<int> values;
    for (std::uint64_t n = Set(from); n < Set(to); ++n) values.push_back(SampleValue(address, n));
    return values;
}

double Mean(const std::vector<int>& v) {
    return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

int Value(std::string_view item, double seconds) {
    return SampleValue(PresetAddress(item), Set(seconds));
}

TEST(DriveModel, MotorRampsToFiftyHertzInAboutTwoSecondsAndHolds) {
    const std::vector<int> ramp = Trace("Output frequency (Hz)", 0.0, 2.0);
    EXPECT_EQ(ramp.front(), 0);
    EXPECT_TRUE(std::is_sorted(ramp.begin(), ramp.end()));
    EXPECT_EQ(Value("Output frequency (Hz)", 2.0), 5000);
    const std::vector<int> hold = Trace("Output frequency (Hz)", 2.0, 20.0);
    EXPECT_TRUE(std::all_of(hold.begin(), hold.end(), [](int f) { return f == 5000; }));

    const std::vector<int> command = Trace("Frequency Command (Hz)", 0.0, 20.0);
    EXPECT_TRUE(std::all_of(command.begin(), command.end(), [](int f) { return f == 5000; }));
}

TEST(DriveModel, SpeedVoltageAndCurrentFollowTheRun) {
    // Speed: 30 rpm per Hz for a four-pole motor, less a little slip.
    EXPECT_EQ(Value("Motor speed (rpm)", 0.0), 0);
    for (double t : {1.0, 1.5, 5.0, 15.0}) {
        const double sync = Value("Output frequency (Hz)", t) * 0.01 * 30.0;
        EXPECT_LE(Value("Motor speed (rpm)", t), sync);
        EXPECT_GT(Value("Motor speed (rpm)", t), sync * 0.95) << t;
    }
    // Output voltage rises with frequency to 230 V.
    EXPECT_EQ(Value("Output voltage (Vac)", 0.0), 0);
    EXPECT_LT(Value("Output voltage (Vac)", 0.8), Value("Output voltage (Vac)", 1.2));
    EXPECT_NEAR(Value("Output voltage (Vac)", 10.0), 2300, 5);
    // The load cycles over 12 s: heaviest at 6 s, lightest at 12 s; current and torque
    // (1024 = 100 %) follow it.
    EXPECT_GT(Mean(Trace("Output current (A rms)", 5.5, 6.5)),
              Mean(Trace("Output current (A rms)", 11.5, 12.5)) + 40);
    EXPECT_NEAR(Mean(Trace("Torque Command (%)", 5.9, 6.1)), 0.55 * 1024, 10);
}

TEST(DriveModel, EncoderPositionsCountAndWrap) {
    const std::vector<int> pg1 = Trace("PG1 position", 0.0, 20.0);
    int wraps = 0;
    for (std::size_t i = 1; i < pg1.size(); ++i) {
        const int step = pg1[i] - pg1[i - 1];
        if (step < -30000) ++wraps;
        else EXPECT_GE(step, 0) << "at set " << i;
    }
    EXPECT_GT(wraps, 10);

    const std::vector<int> z = Trace("PG1 Z-position", 0.0, 20.0);
    EXPECT_TRUE(std::all_of(z.begin(), z.end(), [](int v) { return v >= 0 && v < 4096; }));
    EXPECT_NE(Trace("PG2 position", 5.0, 5.01), Trace("PG2 position", 5.01, 5.02));
    EXPECT_NEAR(Value("PG2 velocity (rpm)", 10.0) * 54.61, Value("Motor speed (rpm)", 10.0), 55);
}

// Other addresses: wave = address % 3 (sawtooth, triangle, square), period
// 100 x (1 + (address >> 2) % 16) sets, amplitude 1000 x (1 + (address >> 6) % 8).
TEST(DriveModel, OtherAddressesGiveATestWaveDerivedFromTheAddress) {
    struct Case {
        std::uint16_t Address;
        std::uint64_t N;
        std::int16_t Expected;
    };
    const Case cases[] = {
        {0x0000, 0, -1000},  {0x0000, 25, -500},   {0x0000, 99, 980},   {0x0000, 100, -1000},
        {0x0001, 0, -1000},  {0x0001, 25, 0},      {0x0001, 50, 1000},  {0x0001, 75, 0},
        {0x0002, 49, 1000},  {0x0002, 50, -1000},  {0x1234, 700, 1000}, {0x1234, 1400, -1000},
        {0x0046, 100, 2000}, {0x0046, 150, 0},     {0x00c2, 200, 4000}, {0x00c2, 250, -4000},
        {0xffff, 0, -8000},  {0xffff, 800, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SampleValue(c.Address, c.N), c.Expected)
            << "address " << std::hex << c.Address << std::dec << " set " << c.N;
    }
}

}  // namespace
}  // namespace altrix::sim
