// Math traces over a source longer than a window, as a recording on show or the command line
// computes them.

#include "MathTraces.h"

#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <string>
#include <vector>

namespace altrix::testing {
namespace {

// A source longer than a window: sample n of channel 1 is n % 2000 - 1000.
class LongSource final : public TraceSource {
public:
    int length() const override { return 100000; }
    double sampleRateHz() const override { return 5000; }
    WindowSamples samples(int) const override { return {}; }
    SampleRuns samplesOver(int, PositionStretch stretch) const override {
        run_.clear();
        for (std::int32_t n = stretch.First; n <= stretch.Last; ++n) run_.push_back(static_cast<std::int16_t>(n % 2000 - 1000));
        return {{std::span<const std::int16_t>(run_), {}}};
    }

private:
    mutable std::vector<std::int16_t> run_;
};

// Over a long source, math traces are computed through the samples of the stretch asked for,
// with the history before it read in pieces of the limit, or left out with the reason.
TEST(MathTracesOverTest, ComputedWithTheirHistoryWithinTheLimitElseLeftOut) {
    const LongSource source;
    const auto mean = [](std::int32_t n, std::int32_t count) {
        double sum = 0;
        for (std::int32_t i = n - count + 1; i <= n; ++i) sum += i % 2000 - 1000;
        return sum / count;
    };
    const struct { const char* expression; PositionStretch stretch; std::int32_t averaged; const char* leftOut; } cases[] = {
        {"mean(ch1, 0.2)", {5000, 5999}, 1000, nullptr},  // 999 sets of history in a piece of their own
        {"mean(ch1, 0.02)", {30, 1029}, 100, nullptr},    // none before set 0: NaN up to set 98
        {"mean(ch1, 0.02)", {5000, 6000}, 0, "zoom in"},
        {"lowpass(ch1, 0.1)", {5000, 5999}, 0, "before the view"},
    };
    for (const auto& c : cases) {
        MathTraces math;
        math.Define(1, {true, "", "", c.expression});
        math.UpdateOver(source, c.stretch, {"1", "1", "1", "1", "1", "1"}, 1000);
        const std::span<const double> values = math.Values(1);
        if (c.leftOut) {
            EXPECT_TRUE(values.empty()) << c.expression;
            EXPECT_NE(math.LeftOut().find(c.leftOut), std::string::npos) << math.LeftOut();
            continue;
        }
        EXPECT_EQ(math.LeftOut(), "");
        EXPECT_EQ(math.First(), c.stretch.First);
        ASSERT_EQ(values.size(), std::size_t(c.stretch.count())) << c.expression;
        for (std::int32_t n = c.stretch.First; n <= c.stretch.Last; ++n) {
            const double v = values[std::size_t(n - c.stretch.First)];
            if (n + 1 < c.averaged)
                EXPECT_TRUE(std::isnan(v)) << n;
            else
                ASSERT_NEAR(v, mean(n, c.averaged), 1e-9) << c.expression << " at " << n;
        }
    }
}

}  // namespace
}  // namespace altrix::testing
