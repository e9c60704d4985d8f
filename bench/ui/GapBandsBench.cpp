// What a recording's gaps cost the chart, offscreen at 1920 x 1080 over the whole of 8 hours:
//   GapBandsSet: handing the chart 300,000 gaps (a recording is opened); baseline: 10 gaps.
//   GapBandsRedraw: a replot after the view moved, with 300,000 gaps; baseline: 10 gaps.
// The gaps are 50 sets each, spread evenly.

#include <benchmark/benchmark.h>

#include "BenchApplication.h"
#include "ScopeChart.h"

#include <QCoreApplication>

#include <utility>
#include <vector>

namespace {

using namespace altrix;

constexpr double kEightHours = 8.0 * 3600 * 5000;

std::vector<std::pair<double, double>> Gaps(int count) {
    std::vector<std::pair<double, double>> gaps;
    const double step = kEightHours / count;
    for (int i = 0; i < count; ++i) gaps.emplace_back(i * step, i * step + 49);
    return gaps;
}

ScopeChart& Chart() {
    static ScopeChart* chart = [] {
        bench::Application();
        auto* c = new ScopeChart;
        c->resize(1920, 1080);
        c->show();
        QCoreApplication::processEvents();
        c->xAxis->setRange(0, kEightHours);
        return c;
    }();
    return *chart;
}

void GapBandsSet(benchmark::State& state, int count) {
    ScopeChart& chart = Chart();
    const std::vector<std::pair<double, double>> gaps = Gaps(count);
    for (auto _ : state) {
        chart.setBands(gaps);
        state.PauseTiming();
        chart.setBands({});
        state.ResumeTiming();
    }
}

void GapBandsRedraw(benchmark::State& state, int count) {
    ScopeChart& chart = Chart();
    chart.setBands(Gaps(count));
    double shift = 0;
    for (auto _ : state) {
        shift = shift == 0 ? 1 : 0;
        chart.xAxis->setRange(shift, kEightHours + shift);
        chart.replot();
    }
    chart.setBands({});
}

void GapBandsSet_Baseline(benchmark::State& state) { GapBandsSet(state, 10); }
void GapBandsSet(benchmark::State& state) { GapBandsSet(state, 300'000); }
void GapBandsRedraw_Baseline(benchmark::State& state) { GapBandsRedraw(state, 10); }
void GapBandsRedraw(benchmark::State& state) { GapBandsRedraw(state, 300'000); }

}  // namespace

BENCHMARK(GapBandsSet_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(GapBandsSet)->Unit(benchmark::kMillisecond);
BENCHMARK(GapBandsRedraw_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(GapBandsRedraw)->Unit(benchmark::kMillisecond);
