// Math trace figures: a product of two channels over a window of 100000 sets, evaluated by
// muParser position by position, against a plain loop forming the same product; and the
// same from the raw samples, each converted to units by its gain, against a plain loop doing
// the same conversion and product.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "MathTrace.h"
#include "Readout.h"

namespace {

using namespace altrix;

constexpr std::size_t kSets = 100000;

struct Columns {
    std::vector<std::int16_t> raw1, raw2;
    std::vector<double> ch1, ch2, out;
    Columns() : raw1(kSets), raw2(kSets), ch1(kSets), ch2(kSets), out(kSets) {
        for (std::size_t i = 0; i < kSets; ++i) {
            raw1[i] = static_cast<std::int16_t>(8000 * std::sin(0.01 * static_cast<double>(i)));
            raw2[i] = static_cast<std::int16_t>(6000 * std::cos(0.013 * static_cast<double>(i)));
            ch1[i] = raw1[i] * 0.1;
            ch2[i] = raw2[i] * 0.01;
        }
    }
};

void MathProduct(benchmark::State& state) {
    Columns c;
    MathExpression expression;
    if (expression.Compile("ch1*ch2")) state.SkipWithError("does not compile");
    const MathInputs in{{c.ch1.data(), c.ch2.data()}, kSets, 5000};
    for (auto _ : state) {
        expression.Evaluate(in, 0, c.out);
        benchmark::DoNotOptimize(c.out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSets));
}

void MathProduct_Baseline(benchmark::State& state) {
    Columns c;
    for (auto _ : state) {
        for (std::size_t i = 0; i < kSets; ++i) c.out[i] = c.ch1[i] * c.ch2[i];
        benchmark::DoNotOptimize(c.out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSets));
}

// From raw samples: both channels into units as the display does it, then the product.
void MathProductFromSamples(benchmark::State& state) {
    Columns c;
    MathExpression expression;
    if (expression.Compile("ch1*ch2")) state.SkipWithError("does not compile");
    const ReadoutGain gain1("0.1"), gain2("0.01");
    const MathInputs in{{c.ch1.data(), c.ch2.data()}, kSets, 5000};
    for (auto _ : state) {
        for (std::size_t i = 0; i < kSets; ++i) c.ch1[i] = gain1.Value(c.raw1[i]);
        for (std::size_t i = 0; i < kSets; ++i) c.ch2[i] = gain2.Value(c.raw2[i]);
        expression.Evaluate(in, 0, c.out);
        benchmark::DoNotOptimize(c.out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSets));
}

void MathProductFromSamples_Baseline(benchmark::State& state) {
    Columns c;
    const ReadoutGain gain1("0.1"), gain2("0.01");
    for (auto _ : state) {
        for (std::size_t i = 0; i < kSets; ++i) c.out[i] = gain1.Value(c.raw1[i]) * gain2.Value(c.raw2[i]);
        benchmark::DoNotOptimize(c.out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSets));
}

BENCHMARK(MathProduct_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(MathProduct)->Unit(benchmark::kMicrosecond);
BENCHMARK(MathProductFromSamples_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(MathProductFromSamples)->Unit(benchmark::kMicrosecond);

}  // namespace
