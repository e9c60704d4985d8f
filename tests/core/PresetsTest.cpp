#include <gtest/gtest.h>

#include <set>

#include "Presets.h"
#include "ScopeProtocol.h"

namespace altrix {
namespace {

TEST(QuantityPresets, RowsThatDifferFromTheirNeighbours) {
    struct Case { int index; const char* item; const char* address; const char* gain; };
    const Case cases[] = {
        {0, "Frequency Command (Hz)", "9000", "0.01"},
        {2, "DC_bus (Vdc)", "9042", "0.1"},
        {3, "Output voltage (Vac)", "900c", "0.1"},
        {6, "Torque Command (%)", "9018", "0.09765"},
        {7, "PID reference (%)", "901a", "1"},
        {8, "PID feedback (%)", "9016", "1"},
        {12, "PG2 velocity (rpm)", "9024", "54.61"},
        {13, "AVI (%)", "9028", "1"},
        {14, "ACI (%)", "902a", "0.1"},
        {15, "AUI (%)", "902c", "0.1"},
        {16, "Digital input status", "902e", "0.1"},
        {17, "Digital output status", "9030", "1"},
    };
    for (const Case& c : cases) {
        const QuantityPreset& row = kQuantityPresets[c.index];
        EXPECT_EQ(row.ItemText, c.item);
        EXPECT_EQ(row.Address, c.address);
        EXPECT_EQ(row.Gain, c.gain);
    }
}

TEST(QuantityPresets, EveryAddressIsAcceptedByRunAndUnique) {
    std::set<std::uint16_t> seen;
    for (const QuantityPreset& row : kQuantityPresets) {
        const auto address = ParseChannelAddress(row.Address);
        ASSERT_TRUE(address.has_value()) << row.ItemText;
        EXPECT_TRUE(seen.insert(*address).second) << row.ItemText;
    }
}

TEST(DriveTypeTable, LabelsAndGaps) {
    struct Case { std::int32_t code; const char* label; };
    const Case cases[] = {
        {4, "ALTRIX 007-23"}, {5, "ALTRIX 007-43"}, {17, "ALTRIX 110-43"},
        {26, "ALTRIX 370-23"}, {27, "ALTRIX 370-43"}, {29, "ALTRIX 450-43"},
        {31, "ALTRIX 550-43"}, {33, "ALTRIX 750-43"},
        {0, "Error"}, {3, "Error"}, {28, "Error"}, {30, "Error"}, {32, "Error"},
        {34, "Error"}, {1024, "Error"}, {-1, "Error"}, {-32768, "Error"},
    };
    for (const Case& c : cases) EXPECT_EQ(DriveTypeLabel(c.code), c.label) << c.code;
}

TEST(DriveTypeTable, PairsShareTheirSizeEvenEndsIn23OddIn43) {
    for (int code = 4; code <= 27; code += 2) {
        const std::string_view even = DriveTypeLabel(code), odd = DriveTypeLabel(code + 1);
        EXPECT_EQ(even.substr(0, 10), odd.substr(0, 10)) << code;
        EXPECT_TRUE(even.ends_with("-23")) << code;
        EXPECT_TRUE(odd.ends_with("-43")) << code + 1;
    }
}

}  // namespace
}  // namespace altrix
