#include "CoalescedUpdate.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>

namespace altrix {

CoalescedUpdate::CoalescedUpdate(QWidget& window, int capturingIntervalMs, std::function<void()> work)
    : QObject(&window), window_(window), capturingIntervalMs_(capturingIntervalMs), work_(std::move(work)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CoalescedUpdate::run);
    window.installEventFilter(this);
}

void CoalescedUpdate::request(bool capturing) {
    if (!window_.isVisible() || timer_.isActive()) return;
    const qint64 wait = capturing && sinceLastRun_.isValid()
                            ? std::max<qint64>(0, capturingIntervalMs_ - sinceLastRun_.elapsed())
                            : 0;
    timer_.start(static_cast<int>(wait));
}

bool CoalescedUpdate::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Show) {
        timer_.stop();
        run();
    }
    return QObject::eventFilter(watched, event);
}

void CoalescedUpdate::run() {
    sinceLastRun_.start();
    work_();
}

}  // namespace altrix
