#include "LinkStatus.h"

#include <QLabel>
#include <QLocale>
#include <QStatusBar>

namespace altrix {

LinkStatus::LinkStatus(QStatusBar& bar, const CaptureSession& session, QObject* parent)
    : QObject(parent), session_(session) {
    const std::array<const char*, 4> names{"LinkRateLabel", "LinkLostLabel", "LinkResyncLabel", "LinkIdleLabel"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        labels_[i] = new QLabel(&bar);
        labels_[i]->setObjectName(QLatin1String(names[i]));
        bar.addWidget(labels_[i]);
    }
    show();
    for (auto signal : {&CaptureSession::started, &CaptureSession::stopped})
        connect(&session_, signal, this, &LinkStatus::show);
    connect(&session_, &CaptureSession::ticked, this, &LinkStatus::show);
}

void LinkStatus::show() {
    const LinkHealth& health = session_.Health();
    const QLocale locale;
    labels_[0]->setText(QStringLiteral("%1 of 5000 sets/s").arg(locale.toString(health.SetsPerSecond, 'f', 0)));
    labels_[1]->setText(QStringLiteral("Blocks lost: %1").arg(health.BlocksLost));
    labels_[2]->setText(QStringLiteral("Resyncs: %1, %2 bytes discarded").arg(health.Resyncs).arg(health.BytesDiscarded));
    // No capture runs (before the first, after STOP or a lost link): nothing is counted.
    labels_[3]->setText(session_.Reconnecting()
                            ? QStringLiteral("Link lost %1 s ago, reconnecting").arg(locale.toString(health.SecondsSinceLastByte, 'f', 0))
                        : session_.IsRunning()
                            ? QStringLiteral("Last byte %1 s ago").arg(locale.toString(health.SecondsSinceLastByte, 'f', 1))
                            : QStringLiteral("Last byte -"));
}

}  // namespace altrix
