// The graticule's ticks: the nice step for a range and a tick budget, and the ticks it gives.

#include "AxisTicks.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace altrix::testing {
namespace {

TEST(NiceTicksTest, TakesTheSmallestOneTwoFiveStepWithinTheBudget) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const struct {
        double lower, upper;
        int maxTicks;
        double step;
        int decimals;
        std::vector<double> values;
    } cases[] = {
        {0, 20, 10, 2, 0, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20}},
        {0.0002, 20, 8, 5, 0, {5, 10, 15, 20}},  // 20 s of capture, 0.0002 s the first position
        {-33000, 33000, 5, 20000, 0, {-20000, 0, 20000}},
        {0.0124, 0.0131, 5, 0.0002, 4, {0.0124, 0.0126, 0.0128, 0.013}},
        {-1.5, -0.5, 4, 0.5, 1, {-1.5, -1, -0.5}},
        {0, 99, 10, 10, 0, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90}},
        {1, 1, 5, 0, 0, {}},
        {5, 0, 5, 0, 0, {}},
        {0, inf, 5, 0, 0, {}},
        {0, 1, 0, 0, 0, {}},
    };
    for (const auto& c : cases) {
        const AxisTicks ticks = NiceTicks(c.lower, c.upper, c.maxTicks);
        EXPECT_DOUBLE_EQ(ticks.Step, c.step) << c.lower << ".." << c.upper;
        EXPECT_EQ(ticks.Decimals, c.decimals) << c.lower << ".." << c.upper;
        ASSERT_EQ(ticks.Values.size(), c.values.size()) << c.lower << ".." << c.upper;
        for (std::size_t i = 0; i < c.values.size(); ++i)
            EXPECT_NEAR(ticks.Values[i], c.values[i], 1e-12) << c.lower << ".." << c.upper << " tick " << i;
    }
}

// A short axis keeps its labels: the budget grows until the range holds the least count.
TEST(NiceTicksTest, AtLeastTicksRaisesTheBudgetUntilEnoughTicksFall) {
    const struct {
        double lower, upper;
        int maxTicks, minTicks;
        double step;
        std::vector<double> values;
    } cases[] = {
        {0, 10, 1, 3, 5, {0, 5, 10}},             // one step of 10 gives two ticks
        {0.3, 1.7, 1, 3, 0.5, {0.5, 1, 1.5}},     // steps of 2 and 1 give none and one
        {0, 20, 10, 3, 2, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20}},  // enough already
        {1, 1, 5, 3, 0, {}},                       // no range, no ticks
    };
    for (const auto& c : cases) {
        const AxisTicks ticks = AtLeastTicks(c.lower, c.upper, c.maxTicks, c.minTicks);
        EXPECT_DOUBLE_EQ(ticks.Step, c.step) << c.lower << ".." << c.upper;
        ASSERT_EQ(ticks.Values.size(), c.values.size()) << c.lower << ".." << c.upper;
        for (std::size_t i = 0; i < c.values.size(); ++i) EXPECT_NEAR(ticks.Values[i], c.values[i], 1e-12);
    }
}

}  // namespace
}  // namespace altrix::testing
