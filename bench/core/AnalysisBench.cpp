// Measurement and spectrum figures. Baselines: a plain sum over the same samples for the
// measurements, FFTW's bare transform of the same length for the spectrum.

#include <benchmark/benchmark.h>

#include <fftw3.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <numeric>
#include <vector>

#include "Spectrum.h"
#include "Statistics.h"

namespace {

using namespace altrix;

constexpr double kRate = 5000;

// A record whose six traces hold a sine of its own frequency with a little ripple, the
// channel window wrapping round the end of the ring.
std::unique_ptr<CaptureRecord> FilledRecord() {
    auto rec = std::make_unique<CaptureRecord>();
    rec->NextSample = 30000;
    auto value = [](int trace, int i) {
        const double t = i / kRate;
        return static_cast<std::int16_t>(8000 * std::sin(2 * std::numbers::pi * (20 + 15 * trace) * t) +
                                         300 * std::sin(2 * std::numbers::pi * 1234 * t) + 100 * trace);
    };
    for (int k = 0; k < kChannelCount; ++k)
        for (int i = 0; i < kTraceSlots; ++i) rec->ChannelTrace[k][i] = value(k, i);
    for (int r = 0; r < kReferenceCount; ++r)
        for (int i = 0; i < kWindowPositions; ++i) rec->ReferenceTrace[r][i] = value(kChannelCount + r, i);
    return rec;
}

std::vector<SampleRuns> SixTraces(const CaptureRecord& rec, PositionStretch stretch) {
    std::vector<SampleRuns> traces;
    for (const auto& trace : rec.ChannelTrace) traces.push_back(ChannelSamplesOver(trace, rec.NextSample, stretch));
    for (const auto& trace : rec.ReferenceTrace) traces.push_back(ReferenceSamplesOver(trace, stretch));
    return traces;
}

// Six traces over the whole window, as the measurements table shows them.
void MeasureSixTraces(benchmark::State& state) {
    const auto rec = FilledRecord();
    const auto traces = SixTraces(*rec, {0, kNewestPosition});
    for (auto _ : state) {
        for (const SampleRuns& samples : traces) {
            Measurement m = Measure(samples, 0.01, kRate);
            benchmark::DoNotOptimize(m);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 6 * kWindowPositions);
}

void MeasureSixTraces_Baseline(benchmark::State& state) {
    const auto rec = FilledRecord();
    const auto traces = SixTraces(*rec, {0, kNewestPosition});
    for (auto _ : state) {
        for (const SampleRuns& samples : traces) {
            std::int64_t sum = 0;
            for (const auto& run : samples.Runs) sum = std::accumulate(run.begin(), run.end(), sum);
            benchmark::DoNotOptimize(sum);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 6 * kWindowPositions);
}

BENCHMARK(MeasureSixTraces)->Unit(benchmark::kMicrosecond);
BENCHMARK(MeasureSixTraces_Baseline)->Unit(benchmark::kMicrosecond);

constexpr int kSpectrumLength = 65536;

// The spectrum of one trace over 65536 positions: mean, window, transform, amplitudes, peak.
void Spectrum65536(benchmark::State& state) {
    const auto rec = FilledRecord();
    const SampleRuns samples =
        ChannelSamplesOver(rec->ChannelTrace[0], rec->NextSample, {0, kSpectrumLength - 1});
    SpectrumAnalyzer analyzer;
    for (auto _ : state) {
        analyzer.compute(samples, 0.01, kRate);
        benchmark::DoNotOptimize(analyzer.peak());
    }
}

void Spectrum65536_Baseline(benchmark::State& state) {
    double* in = fftw_alloc_real(kSpectrumLength);
    fftw_complex* out = fftw_alloc_complex(kSpectrumLength / 2 + 1);
    const fftw_plan plan = fftw_plan_dft_r2c_1d(kSpectrumLength, in, out, FFTW_ESTIMATE);
    const auto rec = FilledRecord();
    for (int i = 0; i < kSpectrumLength; ++i) in[i] = rec->ReferenceTrace[0][i];
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out[1][0]);
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

BENCHMARK(Spectrum65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(Spectrum65536_Baseline)->Unit(benchmark::kMicrosecond);

}  // namespace
