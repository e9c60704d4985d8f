// Redraw figures of the main window, offscreen: four traces refilled and one replot, as a
// capture tick does at each point count, and the stopped redraw after a zoom. Baseline: the
// same tick at 4 x 2000 points, the Simplified mode's capture density. The Envelope mode's
// tick and stopped redraw have the High precision ones as baselines.

#include <benchmark/benchmark.h>

#include "FourTraceWindow.h"

#include <QPushButton>
#include <QToolButton>


namespace {

using namespace altrix;

struct BenchWindow : bench::FourTraceWindow {
    void click(const char* button) const { form->findChild<QToolButton*>(QLatin1String(button))->click(); }
};

BenchWindow& Window() {
    static BenchWindow window;
    return window;
}

void DrawFourTracesAndReplot(benchmark::State& state, const char* mode, std::int32_t pointCount) {
    BenchWindow& window = Window();
    window.click("SpeedButton4");
    window.form->findChild<QAction*>(QLatin1String(mode))->trigger();
    // While a capture runs (RUN disabled) the repaint keeps the tick's point count.
    window.form->findChild<QPushButton*>(QStringLiteral("Button1"))->setEnabled(false);
    ScopeDisplay& display = window.form->display();
    for (auto _ : state) {
        for (int k = 1; k <= kChannelCount; ++k) display.DrawWaveform(k, pointCount, display.View().ChannelScale[k - 1], k);
        window.chart().replot();
    }
    window.form->findChild<QPushButton*>(QStringLiteral("Button1"))->setEnabled(true);
    state.SetItemsProcessed(state.iterations() * kChannelCount * pointCount);
}

// A capture tick's redraw at the full view: four traces of range(0) points, one replot.
void CaptureTickRedraw(benchmark::State& state) {
    DrawFourTracesAndReplot(state, "HighprecisionMode", static_cast<std::int32_t>(state.range(0)));
}

void CaptureTickRedraw_Baseline(benchmark::State& state) {
    DrawFourTracesAndReplot(state, "HighprecisionMode", 2000);
}

// A capture tick's redraw in Envelope mode at the full view: every sample of the four
// windows reduced to pixel columns, one replot. Baseline: the High precision tick (4 x 10000).
void EnvelopeTickRedraw(benchmark::State& state) {
    DrawFourTracesAndReplot(state, "EnvelopeMode1", kWindowPositions);
}

void EnvelopeTickRedraw_Baseline(benchmark::State& state) {
    DrawFourTracesAndReplot(state, "HighprecisionMode", 10000);
}

// A stopped redraw after zooming in six times at High precision: the repaint recounts to
// 100000 points per trace, refills the four traces and draws them.
void StoppedRedraw4x100000(benchmark::State& state) {
    BenchWindow& window = Window();
    window.click("SpeedButton4");
    window.form->findChild<QAction*>(QStringLiteral("HighprecisionMode"))->trigger();
    for (int n = 0; n < 6; ++n) window.click("SpeedButton5");
    DisplayView& view = window.form->display().View();
    for (auto _ : state) {
        view.DrawPointCount = 50000;  // so that the repaint finds a change
        window.chart().replot();
    }
    if (view.DrawPointCount != 100000) state.SkipWithError("the view did not ask for 100000 points");
    window.click("SpeedButton4");
}

// A stopped redraw in Envelope mode at the full view: each repaint finds the view moved by a
// millionth of a sample, so it refills the four traces from every sample and draws them.
// Baseline: the High precision redraw of 4 x 100000 points.
void StoppedRedrawEnvelope(benchmark::State& state) {
    BenchWindow& window = Window();
    window.click("SpeedButton4");
    window.form->findChild<QAction*>(QStringLiteral("EnvelopeMode1"))->trigger();
    double shift = 0;
    for (auto _ : state) {
        shift = shift == 0 ? 1e-6 : 0;
        window.chart().xAxis->setRange(shift, ScopeChart::kBottomMax + shift);
        window.chart().replot();
    }
    if (window.chart().pointCount(1) > 2 * ScopeChart::kWidth + 2) state.SkipWithError("not an envelope");
    window.click("SpeedButton4");
    window.form->findChild<QAction*>(QStringLiteral("HighprecisionMode"))->trigger();
}

void StoppedRedrawEnvelope_Baseline(benchmark::State& state) {
    StoppedRedraw4x100000(state);
}

// An ordinary stopped repaint: the count stays, nothing is refilled.
void StoppedRepaintUnchanged(benchmark::State& state) {
    BenchWindow& window = Window();
    window.click("SpeedButton4");
    window.form->findChild<QAction*>(QStringLiteral("HighprecisionMode"))->trigger();
    for (auto _ : state) window.chart().replot();
}

BENCHMARK(CaptureTickRedraw_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(CaptureTickRedraw)
    ->Arg(2000)->Arg(2500)->Arg(5000)->Arg(6500)->Arg(10000)->Arg(20000)->Arg(50000)->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(EnvelopeTickRedraw_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(EnvelopeTickRedraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(StoppedRedraw4x100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(StoppedRedrawEnvelope_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(StoppedRedrawEnvelope)->Unit(benchmark::kMicrosecond);
BENCHMARK(StoppedRepaintUnchanged)->Unit(benchmark::kMicrosecond);

}  // namespace
