// Redraw of an 8-hour recording on show (written directly by the fixture), offscreen: four
// traces refilled from the recording and one replot, at the whole view and at a view of one
// second scrolled through the recording. Baseline: the stopped Envelope redraw of a 20 s
// window (4 x 100000 samples) at its full view. And the redraw of a view of the longest
// stretch math traces are computed over (about 3.5 min) scrolled through a 10-minute recording
// with two math traces shown (a product and a moving RMS), against the same without them.

#include <benchmark/benchmark.h>

#include "BenchApplication.h"
#include "CaptureSession.h"
#include "Mainframe.h"
#include "Prompts.h"
#include "RecordingFixture.h"
#include "ScopeChart.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

#include <cmath>

namespace {

using namespace altrix;

struct BenchWindow {
    BenchWindow() : form((bench::Application(), new TForm1(prompts, session, display))) {
        form->show();
        QCoreApplication::processEvents();
    }
    ~BenchWindow() { delete form; }
    ScopeChart& chart() const { return *form->findChild<ScopeChart*>(QStringLiteral("Chart1")); }

    DefaultPrompts prompts;
    CaptureSession session;
    ScopeDisplay display{session};
    TForm1* form;
};

// `first`, `width`: the view of iteration i, in positions.
template <class View>
void Redraw(benchmark::State& state, BenchWindow& window, View view) {
    std::int64_t i = 0;
    for (auto _ : state) {
        const auto [first, width] = view(i++);
        window.chart().xAxis->setRange(first, first + width);
        window.chart().replot();
    }
    if (window.chart().pointCount(1) > 2 * ScopeChart::kWidth + 4) state.SkipWithError("more than two points a column");
}

void RecordingRedraw(benchmark::State& state, bool whole) {
    const std::string path = bench::FixturePath(8 * 3600);
    RecordingReader::Opened opened = RecordingReader::Open(path);
    if (!opened.Reader) {
        state.SkipWithError("the fixture did not open");
        return;
    }
    BenchWindow window;
    window.form->display().ShowRecording(std::make_unique<RecordingSource>(std::move(opened.Reader), window.form->record(), path));
    const double sets = window.form->display().Source().length();
    if (whole)
        Redraw(state, window, [sets](std::int64_t i) { return std::pair{(i % 2) * 1e-6, sets - 1}; });
    else
        Redraw(state, window, [sets](std::int64_t i) { return std::pair{std::fmod(i * 287.0 * 5000, sets - 5000), 5000.0}; });
}

void RecordingRedraw8hWhole(benchmark::State& state) { RecordingRedraw(state, true); }
void RecordingRedraw8hOneSecond(benchmark::State& state) { RecordingRedraw(state, false); }

void WindowRedraw(benchmark::State& state) {
    BenchWindow window;
    CaptureRecord& rec = window.form->record();
    for (int k = 1; k <= kChannelCount; ++k) {
        for (int slot = 0; slot < kTraceSlots; ++slot)
            rec.ChannelTrace[k - 1][slot] = bench::FixtureSample(k - 1, slot);
        window.form->findChild<QLineEdit*>(QStringLiteral("Edit%1").arg(k))->setText(QStringLiteral("9000"));
        window.form->findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(k))->setChecked(true);
    }
    window.form->findChild<QAction*>(QStringLiteral("EnvelopeMode1"))->trigger();
    Redraw(state, window, [](std::int64_t i) { return std::pair{(i % 2) * 1e-6, double(kNewestPosition)}; });
}

void RecordingMathRedraw(benchmark::State& state, bool math) {
    const std::string path = bench::FixturePath(600);
    RecordingReader::Opened opened = RecordingReader::Open(path);
    if (!opened.Reader) {
        state.SkipWithError("the fixture did not open");
        return;
    }
    BenchWindow window;
    ScopeDisplay& display = window.form->display();
    display.ShowRecording(std::make_unique<RecordingSource>(std::move(opened.Reader), window.form->record(), path));
    if (math) {
        display.SetMath(1, {true, "Power", "kW", "ch2*ch3/1000"});
        display.SetMath(2, {true, "Current", "A rms", "rms(ch2, 0.02)"});
    }
    const double sets = display.Source().length();
    const double width = RecordingSource::kStretchLimit - 1;
    Redraw(state, window, [sets, width](std::int64_t i) { return std::pair{std::fmod(i * 61.0 * 5000, sets - width), width}; });
    if (math && window.chart().pointCount(SeriesOfTrace(kFirstMathTrace)) == 0) state.SkipWithError("no math trace drawn");
}

void RecordingMathRedraw3Min(benchmark::State& state) { RecordingMathRedraw(state, true); }
void RecordingMathRedraw3Min_Baseline(benchmark::State& state) { RecordingMathRedraw(state, false); }

void RecordingRedraw8hWhole_Baseline(benchmark::State& state) { WindowRedraw(state); }
void RecordingRedraw8hOneSecond_Baseline(benchmark::State& state) { WindowRedraw(state); }

}  // namespace

BENCHMARK(RecordingRedraw8hWhole_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordingRedraw8hWhole)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordingRedraw8hOneSecond_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordingRedraw8hOneSecond)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordingMathRedraw3Min_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(RecordingMathRedraw3Min)->Unit(benchmark::kMillisecond);
