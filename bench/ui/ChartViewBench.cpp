// What the graticule, the legend and the lanes cost: a stopped full redraw of four traces in
// Envelope mode (each repaint finds the view moved by a millionth of a sample, so it refills
// the traces from every sample), offscreen.
//   LargeEnvelopeRedraw: the chart at 1920 x 1080 with axes and legend; baseline: the chart at
//   its default 1000 x 360 without them, the redraw as it was before either existed.
//   LanesRedraw: the same large chart in stacked lanes; baseline: overlaid.

#include <benchmark/benchmark.h>

#include "FourTraceWindow.h"

#include <QAction>

namespace {

using namespace altrix;

struct BenchWindow : bench::FourTraceWindow {
    BenchWindow() : FourTraceWindow(QSize(1940, 1500)) {
        action("EnvelopeMode1")->trigger();
        QCoreApplication::processEvents();
    }

    QAction* action(const char* name) const { return form->findChild<QAction*>(QLatin1String(name)); }
    // The chart's size and what it draws besides the traces.
    void set(QSize size, bool decorated, bool lanes) {
        chart().resize(size);
        action("AxesAction")->setChecked(decorated);
        action("LegendAction")->setChecked(decorated);
        action("LanesAction")->setChecked(lanes);
        QCoreApplication::processEvents();
    }
};

BenchWindow& Window() {
    static BenchWindow window;
    return window;
}

void EnvelopeRedraw(benchmark::State& state, QSize size, bool decorated, bool lanes) {
    BenchWindow& window = Window();
    window.set(size, decorated, lanes);
    ScopeChart& chart = window.chart();
    double shift = 0;
    for (auto _ : state) {
        shift = shift == 0 ? 1e-6 : 0;
        chart.xAxis->setRange(shift, ScopeChart::kBottomMax + shift);
        chart.replot();
    }
    if (chart.pointCount(1) > 2 * size.width() + 2 || chart.pointCount(1) <= size.width())
        state.SkipWithError("not an envelope of the chart's columns");
    window.set(QSize(ScopeChart::kWidth, ScopeChart::kHeight), true, false);
}

const QSize kLarge(1920, 1080);

void LargeEnvelopeRedraw(benchmark::State& state) {
    EnvelopeRedraw(state, kLarge, true, false);
}

void LargeEnvelopeRedraw_Baseline(benchmark::State& state) {
    EnvelopeRedraw(state, QSize(ScopeChart::kWidth, ScopeChart::kHeight), false, false);
}

void LanesRedraw(benchmark::State& state) {
    EnvelopeRedraw(state, kLarge, true, true);
}

void LanesRedraw_Baseline(benchmark::State& state) {
    EnvelopeRedraw(state, kLarge, true, false);
}

BENCHMARK(LargeEnvelopeRedraw_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(LargeEnvelopeRedraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(LanesRedraw_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(LanesRedraw)->Unit(benchmark::kMicrosecond);

}  // namespace
