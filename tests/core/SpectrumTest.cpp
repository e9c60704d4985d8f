#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "Spectrum.h"

namespace altrix {
namespace {

constexpr double kRate = 5000;

struct Tone {
    double hz, amplitude, phase;
};

// Raw samples of a sum of tones on an offset, rounded as the drive's samples are.
std::vector<std::int16_t> Tones(int count, std::initializer_list<Tone> tones, double offset = 0) {
    std::vector<std::int16_t> samples;
    for (int i = 0; i < count; ++i) {
        double v = offset;
        for (const Tone& t : tones) v += t.amplitude * std::sin(2 * std::numbers::pi * t.hz * i / kRate + t.phase);
        samples.push_back(static_cast<std::int16_t>(std::lround(v)));
    }
    return samples;
}

SampleRuns Runs(const std::vector<std::int16_t>& samples) { return {{std::span<const std::int16_t>(samples)}}; }

TEST(Spectrum, ASineReadsItsBinFrequencyAndPeakAmplitude) {
    struct Case { int length; Tone tone; double gain; };
    const Case cases[] = {
        {5000, {200, 1000, 0.3}, 0.01},       // on bin 200 of 1 Hz
        {8192, {123.4, 1234, 0.7}, 0.1},      // between bins of 0.61 Hz
        {4999, {321.7, 2500, 2.0}, 1},        // odd length
        {1000, {52.5, 8000, 1.1}, 0.09765},   // half way between bins of 5 Hz
        {65536, {2345.6, 600, 0}, 54.61},     // near the top of the axis
    };
    SpectrumAnalyzer analyzer;  // one analyzer: every length makes a new plan
    for (const Case& c : cases) {
        analyzer.compute(Runs(Tones(c.length, {c.tone}, 777)), c.gain, kRate);
        ASSERT_EQ(analyzer.amplitudes().size(), static_cast<std::size_t>(c.length / 2 + 1)) << c.length;
        EXPECT_DOUBLE_EQ(analyzer.binHz(), kRate / c.length);
        const double amplitude = c.tone.amplitude * c.gain;
        const auto strongest = std::max_element(analyzer.amplitudes().begin(), analyzer.amplitudes().end());
        const double bin = c.tone.hz / analyzer.binHz();
        EXPECT_LE(std::abs(static_cast<double>(strongest - analyzer.amplitudes().begin()) - bin), 0.5) << c.length;
        if (bin == std::round(bin)) {
            // Whole periods: the bin reads the amplitude, and the offset is gone from DC.
            EXPECT_NEAR(*strongest, amplitude, amplitude * 1e-3) << c.length;
            EXPECT_LT(analyzer.amplitudes()[0], amplitude * 1e-3) << c.length;
        }
        const auto peak = analyzer.peak();
        ASSERT_TRUE(peak) << c.length;
        EXPECT_NEAR(peak->FrequencyHz, c.tone.hz, 0.05) << c.length;
        EXPECT_NEAR(peak->Amplitude, amplitude, amplitude * 2e-3) << c.length;
    }
}

TEST(Spectrum, TwoTonesAreResolved) {
    SpectrumAnalyzer analyzer;
    analyzer.compute(Runs(Tones(5000, {{100, 4000, 0}, {130, 1000, 1}})), 1, kRate);
    const auto a = analyzer.amplitudes();
    EXPECT_NEAR(a[100], 4000, 4);
    EXPECT_NEAR(a[130], 1000, 1);
    for (int k = 104; k <= 126; ++k) EXPECT_LT(a[static_cast<std::size_t>(k)], 1) << k;
    ASSERT_TRUE(analyzer.peak());
    EXPECT_NEAR(analyzer.peak()->FrequencyHz, 100, 1e-3);
}

TEST(Spectrum, FewerThanFourSamplesGiveNoSpectrum) {
    SpectrumAnalyzer analyzer;
    analyzer.compute(Runs(Tones(100, {{50, 100, 0}})), 1, kRate);
    analyzer.compute(Runs(Tones(3, {{50, 100, 0}})), 1, kRate);
    EXPECT_TRUE(analyzer.amplitudes().empty());
    EXPECT_FALSE(analyzer.peak());
}

}  // namespace
}  // namespace altrix
