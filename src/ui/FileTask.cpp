#include "FileTask.h"

#include <QProgressDialog>
#include <QThread>

#include <algorithm>

namespace altrix {

FileTask::FileTask(Work work, QObject* parent) : QObject(parent), work_(std::move(work)) {}

FileTask::~FileTask() {
    if (!thread_) return;
    cancel_ = true;
    thread_->wait();
    delete thread_;
}

void FileTask::waitFinished() {
    if (thread_) thread_->wait();
}

void FileTask::start() {
    if (thread_) return;
    thread_ = QThread::create([this] {
        const ExportProgress progress{[this](std::int64_t done, std::int64_t total) { emit progressed(done, total); }, &cancel_};
        result_ = work_(progress);
    });
    thread_->setObjectName(QStringLiteral("FileTaskThread"));
    // Emitted on the ended thread; queued to this object on the window's.
    connect(thread_, &QThread::finished, this, &FileTask::finished);
    thread_->start(QThread::LowPriority);
}

QProgressDialog* ShowProgress(FileTask& task, QWidget& window, const QString& objectName, const QString& title,
                              const QString& label) {
    constexpr int kSteps = 1000;
    // Parented to the window, so that it stays over it; gone once the task finished.
    auto* progress = new QProgressDialog(label, QStringLiteral("Cancel"), 0, kSteps, &window);
    QObject::connect(&task, &FileTask::finished, progress, &QObject::deleteLater);
    progress->setObjectName(objectName);
    progress->setWindowTitle(title);
    progress->setWindowModality(Qt::NonModal);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    progress->setMinimumDuration(FileTask::kProgressDelayMs);
    progress->setValue(0);
    QObject::connect(progress, &QProgressDialog::canceled, &task, &FileTask::cancel);
    QObject::connect(&task, &FileTask::progressed, progress, [progress](qint64 done, qint64 total) {
        if (total > 0) progress->setValue(static_cast<int>(std::clamp<qint64>(done * kSteps / total, 0, kSteps)));
    });
    return progress;
}

}  // namespace altrix
