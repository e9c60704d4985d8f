// The clock fit: the alignment error after an hour and after 8 hours of a generated stream
// (+200 ppm, bursts of 64 blocks handed over 0-8 ms late), as counters, and the cost of one
// block. Baselines: the same stream generated and kept as its running minimum only; one
// running minimum over the same arrivals.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "ClockFit.h"

namespace {

using altrix::ClockFit;

constexpr double kPpm = 200.0;
constexpr double kSetSeconds = 1.0 / (5000.0 * (1.0 + kPpm * 1e-6));
constexpr int kBurst = 64;
constexpr double kJitter = 0.008;

// Calls `take(k, arrival)` for every block of `seconds` of stream from instant 1000, the blocks
// of a burst handed over together, after its last is due, late by a uniform 0 .. 8 ms.
template <typename Take>
std::int64_t Generate(double seconds, std::mt19937_64& random, Take&& take) {
    std::uniform_real_distribution<double> late(0.0, kJitter);
    const auto blocks = static_cast<std::int64_t>(seconds / (16 * kSetSeconds));
    for (std::int64_t first = 0; first < blocks; first += kBurst) {
        const std::int64_t last = std::min<std::int64_t>(first + kBurst, blocks) - 1;
        const double handOver = 1000.0 + static_cast<double>(16 * (last + 1)) * kSetSeconds + late(random);
        for (std::int64_t k = first; k <= last; ++k) take(k, handOver);
    }
    return blocks;
}

// One iteration: a whole stream of range(0) seconds fitted. Counters: the error of the newest
// set's time, the fit's own estimate of it, the rate's error, and the fit's time a block.
void ClockFitStream(benchmark::State& state) {
    const auto seconds = static_cast<double>(state.range(0));
    double error = 0.0, estimate = 0.0, rateError = 0.0;
    std::int64_t blocks = 0;
    for (auto _ : state) {
        std::mt19937_64 random(7);
        ClockFit fit;
        blocks = Generate(seconds, random, [&](std::int64_t k, double at) { fit.Add(k, at); });
        const std::int64_t newest = 16 * blocks - 1;
        error = std::abs(fit.TimeOfSet(newest) - (1000.0 + static_cast<double>(newest) * kSetSeconds));
        estimate = fit.ErrorEstimateSeconds();
        rateError = fit.RatePpm() - kPpm;
        benchmark::DoNotOptimize(error);
    }
    state.counters["error_us"] = error * 1e6;
    state.counters["estimate_us"] = estimate * 1e6;
    state.counters["rate_error_ppm"] = rateError;
    state.counters["blocks"] = static_cast<double>(blocks);
}

void ClockFitStream_Baseline(benchmark::State& state) {
    const auto seconds = static_cast<double>(state.range(0));
    for (auto _ : state) {
        std::mt19937_64 random(7);
        double earliest = 1e300;
        Generate(seconds, random, [&](std::int64_t k, double at) {
            earliest = std::min(earliest, at - static_cast<double>(k) * 0.0032);
        });
        benchmark::DoNotOptimize(earliest);
    }
}

// A cycle of 2^16 arrivals of that stream; block k + 2^16 arrives 2^16 block periods later.
struct Arrivals {
    static constexpr std::int64_t kCycle = 1 << 16;
    std::vector<double> At;
    Arrivals() {
        std::mt19937_64 random(7);
        At.reserve(kCycle);
        Generate(static_cast<double>(kCycle) * 16 * kSetSeconds, random,
                 [&](std::int64_t, double at) { At.push_back(at); });
        At.resize(kCycle, At.back());
    }
    double operator()(std::int64_t k) const {
        return At[static_cast<std::size_t>(k % kCycle)] + static_cast<double>(k / kCycle * kCycle) * 16 * kSetSeconds;
    }
};

// One block added to a running fit.
void ClockFitAdd(benchmark::State& state) {
    const Arrivals arrivals;
    ClockFit fit;
    std::int64_t k = 0;
    for (auto _ : state) {
        fit.Add(k, arrivals(k));
        ++k;
    }
    benchmark::DoNotOptimize(fit.TimeOfSet(16 * k));
}

void ClockFitAdd_Baseline(benchmark::State& state) {
    const Arrivals arrivals;
    double earliest = 1e300;
    std::int64_t k = 0;
    for (auto _ : state) {
        earliest = std::min(earliest, arrivals(k) - static_cast<double>(k) * 0.0032);
        benchmark::DoNotOptimize(earliest);
        ++k;
    }
}

}  // namespace

BENCHMARK(ClockFitStream)->Arg(3600)->Arg(8 * 3600)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ClockFitStream_Baseline)->Arg(3600)->Arg(8 * 3600)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ClockFitAdd);
BENCHMARK(ClockFitAdd_Baseline);
