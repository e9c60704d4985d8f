#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <vector>

#include "Statistics.h"

namespace altrix {
namespace {

constexpr double kRate = 5000;

std::vector<std::int16_t> Samples(int count, const std::function<double(int)>& value) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::lround(value(i)));
    return samples;
}

SampleRuns Runs(const std::vector<std::int16_t>& samples) { return {{std::span<const std::int16_t>(samples)}}; }

TEST(Measure, KnownSequencesInEngineeringUnits) {
    struct Case {
        const char* name;
        std::vector<std::int16_t> samples;
        double gain;
        Measurement expected;
    };
    const double sineRms = 10 / std::numbers::sqrt2;
    const Case cases[] = {
        {"constant", Samples(1000, [](int) { return 5; }), 0.5, {1000, 2.5, 2.5, 2.5, 2.5, 0, 0, std::nullopt}},
        // 50 Hz, 100 samples a period, 50 whole periods; peaks fall on samples.
        {"sine", Samples(5000, [](int i) { return 1000 * std::sin(2 * std::numbers::pi * i / 100); }), 0.01,
         {5000, -10, 10, 0, sineRms, 20, sineRms, 50.0}},
        // 125 Hz, 20 samples high then 20 low.
        {"square", Samples(4000, [](int i) { return i % 40 < 20 ? 200 : -200; }), 1,
         {4000, -200, 200, 0, 200, 400, 200, 125.0}},
        {"single sample", Samples(1, [](int) { return -7; }), 2, {1, -14, -14, -14, 14, 0, 0, std::nullopt}},
        {"empty", {}, 2, {}},
    };
    for (const Case& c : cases) {
        const Measurement m = Measure(Runs(c.samples), c.gain, kRate);
        const Measurement& e = c.expected;
        EXPECT_EQ(m.Count, e.Count) << c.name;
        EXPECT_DOUBLE_EQ(m.Min, e.Min) << c.name;
        EXPECT_DOUBLE_EQ(m.Max, e.Max) << c.name;
        EXPECT_NEAR(m.Mean, e.Mean, 1e-9) << c.name;
        EXPECT_NEAR(m.Rms, e.Rms, 1e-3) << c.name;
        EXPECT_DOUBLE_EQ(m.PeakToPeak, e.PeakToPeak) << c.name;
        EXPECT_NEAR(m.StdDev, e.StdDev, 1e-3) << c.name;
        ASSERT_EQ(m.FrequencyHz.has_value(), e.FrequencyHz.has_value()) << c.name;
        if (e.FrequencyHz) {
            EXPECT_NEAR(*m.FrequencyHz, *e.FrequencyHz, 1e-6) << c.name;
        }
    }
}

// A frequency needs two whole periods between rising crossings of the mean, counted once the
// signal has fallen below it: a 50 Hz sine (100 sets a period) starting on its rise crosses
// first about 100 sets in, one starting in its trough about 27 sets in. Both measures, of raw
// samples and of values in units, follow the rule.
TEST(Measure, AFrequencyNeedsTwoWholePeriods) {
    const auto rising = [](int i) { return 1000 * std::sin(2 * std::numbers::pi * i / 100); };
    const auto fromTrough = [](int i) { return -1000 * std::cos(2 * std::numbers::pi * i / 100); };
    const struct {
        const char* name;
        int count;
        std::function<double(int)> value;
        std::optional<double> hz;
    } table[] = {
        {"13 sets", 13, rising, std::nullopt},
        {"1.5 periods: one crossing", 150, rising, std::nullopt},
        {"2.5 periods from the rise: two crossings, one period", 250, rising, std::nullopt},
        {"3.5 periods from the rise: three crossings", 350, rising, 50.0},
        {"2.4 periods from the trough: three crossings", 240, fromTrough, 50.0},
    };
    for (const auto& row : table) {
        const auto samples = Samples(row.count, row.value);
        const std::vector<double> values(samples.begin(), samples.end());
        const Measurement raw = Measure(Runs(samples), 1, kRate), units = Measure(values, kRate);
        for (const Measurement& m : {raw, units}) {
            ASSERT_EQ(m.FrequencyHz.has_value(), row.hz.has_value()) << row.name;
            if (row.hz) {
                EXPECT_NEAR(*m.FrequencyHz, *row.hz, 1e-6) << row.name;
            }
        }
    }
}

TEST(Measure, NoiseAroundTheMeanIsNoCrossingAndOffBinFrequenciesInterpolate) {
    // 37.3 Hz with a ripple of 400 at 1 kHz on an offset: the ripple crosses the mean
    // many times near each zero, the hysteresis counts each period once.
    const auto samples = Samples(20000, [](int i) {
        const double t = i / kRate;
        return 2000 + 3000 * std::sin(2 * std::numbers::pi * 37.3 * t) + 400 * std::sin(2 * std::numbers::pi * 1000 * t);
    });
    const Measurement m = Measure(Runs(samples), 1, kRate);
    ASSERT_TRUE(m.FrequencyHz);
    EXPECT_NEAR(*m.FrequencyHz, 37.3, 0.01);
}

TEST(Measure, NoiseHasNoFrequency) {
    std::uint32_t state = 12345;
    const auto samples = Samples(20000, [&state](int) {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 20) - 2048;
    });
    const Measurement m = Measure(Runs(samples), 1, kRate);
    EXPECT_GT(m.StdDev, 1000);
    EXPECT_FALSE(m.FrequencyHz) << *m.FrequencyHz;
}

TEST(Measure, AStretchRoundTheRingEndMeasuresAsOneRun) {
    // The crossing interpolation spans the seam between the two runs.
    auto ring = std::make_unique<ChannelSamples>();
    for (int slot = 0; slot < kTraceSlots; ++slot) (*ring)[slot] = static_cast<std::int16_t>(std::lround(
        4000 * std::sin(2 * std::numbers::pi * 31 * (slot + 77) / kRate)));
    const int nextSample = 40000;  // positions 0..59999 lie in slots 140000..199999
    const PositionStretch stretch{50000, 70000};
    const SampleRuns runs = ChannelSamplesOver(*ring, nextSample, stretch);
    ASSERT_EQ(runs.Runs[0].size(), 10000u);
    ASSERT_EQ(runs.Runs[1].size(), 10001u);
    std::vector<std::int16_t> joined(runs.Runs[0].begin(), runs.Runs[0].end());
    joined.insert(joined.end(), runs.Runs[1].begin(), runs.Runs[1].end());
    for (int x = stretch.First; x <= stretch.Last; ++x)
        ASSERT_EQ(joined[static_cast<std::size_t>(x - stretch.First)], (*ring)[SlotOfPosition(nextSample, x)]) << x;
    const Measurement split = Measure(runs, 0.1, kRate), whole = Measure(Runs(joined), 0.1, kRate);
    EXPECT_EQ(split.Mean, whole.Mean);
    EXPECT_EQ(split.StdDev, whole.StdDev);
    EXPECT_EQ(split.FrequencyHz, whole.FrequencyHz);
}

TEST(AnalysisStretch, MarkToCursorElseTheVisiblePositionsClampedToTheWindow) {
    struct Case { std::int32_t mark, cursor; double low, high; PositionStretch stretch; };
    const Case cases[] = {
        {1000, 2000, 0, 99999, {1000, 2000}},
        {2000, 1000, 0, 99999, {1000, 2000}},
        {500, 500, 0, 99999, {500, 500}},
        {-20, 300, 0, 99999, {0, 300}},
        {99000, 123456, 0, 99999, {99000, 99999}},
        {100001, 100500, 0, 99999, {}},
        {kNoMark, 300, 0, 99999, {0, 99999}},
        {kNoMark, 300, 10.5, 200.7, {11, 200}},
        {kNoMark, 300, -5000, 5000, {0, 5000}},
        {kNoMark, 300, 99999.5, 120000, {}},
        {kNoMark, 300, 10.2, 10.8, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AnalysisStretch(c.mark, c.cursor, c.low, c.high), c.stretch) << c.mark << " " << c.low;
}

}  // namespace
}  // namespace altrix
