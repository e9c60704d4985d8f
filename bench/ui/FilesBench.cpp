// Whole save and load commands of the main window, offscreen: the file dialog answered at
// once with a scratch path, the overwrite question with Yes; the load includes the window's
// reset and its repaint. Baselines: the core writer and reader alone on the same file.

#include <benchmark/benchmark.h>

#include "BenchApplication.h"
#include "CaptureSession.h"
#include "Mainframe.h"
#include "Prompts.h"
#include "WaveformFile.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>

namespace {

using namespace altrix;

// Answers every file dialog with one path and every question with Yes.
class FixedPrompts final : public Prompts {
public:
    QString fileName;
    MessageAnswer showMessage(const QString&, const QString&, MessageIcon, MessageButtons buttons) override {
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    QString askSaveFileName(const FileDialogSpec&) override { return fileName; }
    QString askOpenFileName(const FileDialogSpec&) override { return fileName; }
    QString askFolder(const QString&, const QString&) override { return {}; }
};

// A shown window holding a full capture.
struct BenchWindow {
    BenchWindow() : form((bench::Application(), new TForm1(prompts, session, display))) {
        CaptureRecord& rec = form->record();
        rec.NextSample = 54321;
        for (int k = 1; k <= kChannelCount; ++k)
            for (int slot = 0; slot < kTraceSlots; ++slot)
                rec.ChannelTrace[k - 1][slot] = static_cast<std::int16_t>(std::sin(slot * (0.002 + 0.001 * k)) * 20000.0);
        prompts.fileName = dir.filePath(QStringLiteral("capture.wfd"));
        form->show();
        QCoreApplication::processEvents();
    }
    ~BenchWindow() { delete form; }

    void trigger(const char* item) const { form->findChild<QAction*>(QLatin1String(item))->trigger(); }
    std::string path() const { return QFile::encodeName(prompts.fileName).toStdString(); }

    QTemporaryDir dir;
    FixedPrompts prompts;
    CaptureSession session;
    ScopeDisplay display{session};
    TForm1* form;
};

BenchWindow& Window() {
    static BenchWindow window;
    return window;
}

// "Save Waveform to File" over an existing file: the question, the write beside and the rename.
void SaveCommand(benchmark::State& state) {
    BenchWindow& window = Window();
    for (auto _ : state) window.trigger("SaveWaveformFile1");
}

void SaveCommand_Baseline(benchmark::State& state) {
    BenchWindow& window = Window();
    for (auto _ : state) benchmark::DoNotOptimize(WriteWaveformFile(window.form->record(), window.path(), '.'));
}

// "Load Waveform file": the read, the reset of the channel controls, four traces redrawn and
// the repaint that follows.
void LoadCommand(benchmark::State& state) {
    BenchWindow& window = Window();
    window.trigger("SaveWaveformFile1");
    for (auto _ : state) {
        window.trigger("Loadwaveformfile1");
        QCoreApplication::processEvents();
    }
    if (window.form->record().NextSample != kWindowPositions) state.SkipWithError("the file did not load");
}

void LoadCommand_Baseline(benchmark::State& state) {
    BenchWindow& window = Window();
    window.trigger("SaveWaveformFile1");
    for (auto _ : state) benchmark::DoNotOptimize(ReadWaveformFile(window.form->record(), window.path()));
}

BENCHMARK(SaveCommand_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveCommand)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadCommand_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadCommand)->Unit(benchmark::kMillisecond);

}  // namespace
