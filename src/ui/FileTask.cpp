#include "ExportTask.h"

#include <QThread>

namespace altrix {

ExportTask::ExportTask(ExportJob job, QObject* parent) : QObject(parent), job_(std::move(job)) {}

ExportTask::~ExportTask() {
    if (!thread_) return;
    cancel_ = true;
    thread_->wait();
    delete thread_;
}

void ExportTask::start() {
    if (thread_) return;
    thread_ = QThread::create([this] {
        const ExportProgress progress{[this](std::int64_t done, std::int64_t total) { emit progressed(done, total); }, &cancel_};
        result_ = job_.Run(progress);
    });
    thread_->setObjectName(QStringLiteral("ExportThread"));
    // Emitted on the ended thread; queued to this object on the window's.
    connect(thread_, &QThread::finished, this, &ExportTask::finished);
    thread_->start(QThread::LowPriority);
}

}  // namespace altrix
