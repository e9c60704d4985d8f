#pragma once
// A file written on a thread of its own (an export, a waveform save), so that the window and a
// running capture's tick go on meanwhile: it reports its progress as it goes and stops at the
// writer's next chunk when cancelled; its result is read once it finished. Destroying it
// cancels it and waits for its thread. `ShowProgress` gives it the window's progress dialog.

#include "SafeFile.h"

#include <QObject>

#include <atomic>
#include <functional>

class QProgressDialog;
class QThread;
class QWidget;

namespace altrix {

class FileTask : public QObject {
    Q_OBJECT
public:
    // The writing, run once on the task's thread; it refers to nothing the window may change.
    using Work = std::function<FileResult(const ExportProgress&)>;
    // The progress dialog shows after this long.
    static constexpr int kProgressDelayMs = 500;

    explicit FileTask(Work work, QObject* parent = nullptr);
    ~FileTask() override;

    void start();
    void cancel() { cancel_ = true; }
    bool cancelRequested() const { return cancel_; }
    // Blocks until the writing ended, whole or cancelled; finished() still comes queued.
    void waitFinished();
    // What it wrote, once finished() was emitted.
    const FileResult& result() const { return result_; }

signals:
    // Done so far of `total`; emitted on the writing thread, received queued.
    void progressed(qint64 done, qint64 total);
    // The thread ended: result() holds what it wrote.
    void finished();

private:
    Work work_;
    std::atomic<bool> cancel_{false};
    FileResult result_;
    QThread* thread_ = nullptr;
};

// A non-modal progress dialog over `window` for `task` (named `objectName`), shown once the
// task lasts kProgressDelayMs, whose Cancel cancels it; deleted once the task finished.
QProgressDialog* ShowProgress(FileTask& task, QWidget& window, const QString& objectName, const QString& title,
                              const QString& label);

}  // namespace altrix
