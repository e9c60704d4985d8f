#include "WaveformFiles.h"

#include "FileTask.h"
#include "ScopeDisplay.h"
#include "WaveformFile.h"
#include "files.h"

#include <QCoreApplication>
#include <QDir>
#include <QProgressDialog>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace altrix {

FileResult ReadWaveformWithProgress(CaptureRecord& record, const QString& fileName, QWidget& window) {
    constexpr int kProgressSteps = 1000;
    QProgressDialog progress(QStringLiteral("Loading %1").arg(QDir::toNativeSeparators(fileName)),
                             QStringLiteral("Cancel"), 0, kProgressSteps, &window);
    progress.setWindowTitle(QStringLiteral("Load Waveform file"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(FileTask::kProgressDelayMs);
    progress.setValue(0);
    return ReadWaveformFile(record, NativePath(fileName), [&progress](std::uint64_t done, std::uint64_t total) {
        if (total > 0)
            progress.setValue(static_cast<int>(std::min(done, total) * kProgressSteps / total));
        QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents);
        return !progress.wasCanceled();
    });
}

WaveformSaving::WaveformSaving(QWidget& window, const ScopeDisplay& display, Prompts& prompts, Saved saved)
    : QObject(&window), window_(window), prompts_(prompts), saved_(std::move(saved)) {
    connect(&display, &ScopeDisplay::captureStarting, this, [this] { superseded_ = true; });
    connect(&display, &ScopeDisplay::lengthChanged, this, [this] { superseded_ = true; });
}

WaveformSaving::~WaveformSaving() {
    if (task_) task_->waitFinished();
}

bool WaveformSaving::start(WaveformSave save, const QString& fileName) {
    if (task_) return false;
    superseded_ = false;
    auto written = std::make_shared<WaveformSave>(std::move(save));
    task_ = new FileTask([written](const ExportProgress& progress) { return written->Run(progress); }, this);
    progress_ = ShowProgress(*task_, window_, QStringLiteral("SaveProgress"), QStringLiteral("Save Waveform file"),
                             QStringLiteral("Saving %1").arg(QDir::toNativeSeparators(fileName)));
    connect(task_, &FileTask::finished, this, [this, fileName, written] { finish(fileName, written); });
    task_->start();
    return true;
}

bool WaveformSaving::wait() {
    if (progress_) progress_->setWindowModality(Qt::WindowModal);
    while (task_)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                        (progress_ && progress_->isVisible() ? QEventLoop::AllEvents
                                                                             : QEventLoop::ExcludeUserInputEvents));
    return lastWritten_;
}

void WaveformSaving::finish(const QString& fileName, const std::shared_ptr<WaveformSave>& save) {
    const FileResult result = task_->result();
    task_->deleteLater();
    task_ = nullptr;
    lastWritten_ = result.Ok;
    // A cancelled save left every file as it was and needs no word.
    if (result.Cancelled) return;
    if (!result.Ok) {
        prompts_.showMessage(QStringLiteral("Save Error"), FailureText("write", fileName, result), MessageIcon::Error,
                             MessageButtons::Ok);
        return;
    }
    if (!superseded_) saved_(fileName, *save);
}

}  // namespace altrix
