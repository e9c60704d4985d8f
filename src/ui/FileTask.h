#pragma once
// An export written on a thread of its own, so that the window and a running capture's tick go
// on meanwhile: it reports its progress as it goes and stops at the writer's next chunk when
// cancelled; its result is read once it finished. Destroying it cancels it and waits for its
// thread.

#include "Exports.h"

#include <QObject>

#include <atomic>
#include <cstdint>

class QThread;

namespace altrix {

class ExportTask : public QObject {
    Q_OBJECT
public:
    explicit ExportTask(ExportJob job, QObject* parent = nullptr);
    ~ExportTask() override;

    void start();
    void cancel() { cancel_ = true; }
    bool cancelRequested() const { return cancel_; }
    // The job's plan; its result once finished() was emitted.
    const ExportJob& job() const { return job_; }
    const FileResult& result() const { return result_; }

signals:
    // Sets written so far of `total`; emitted on the writing thread, received queued.
    void progressed(qint64 done, qint64 total);
    // The thread ended: result() holds what it wrote.
    void finished();

private:
    ExportJob job_;
    std::atomic<bool> cancel_{false};
    FileResult result_;
    QThread* thread_ = nullptr;
};

}  // namespace altrix
