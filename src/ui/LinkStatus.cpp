#include "LinkStatus.h"

#include <QLabel>
#include <QLocale>
#include <QStatusBar>

namespace altrix {

LinkStatus::LinkStatus(QStatusBar& bar, const CaptureSession& session, const ScopeDisplay& display, Prompts& prompts,
                       std::function<QString()> portName, QObject* parent)
    : QObject(parent), session_(session), display_(display), prompts_(prompts), portName_(std::move(portName)) {
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
    // A load or a recording shown (each tells its trigger setup).
    connect(&display_, &ScopeDisplay::triggerChanged, this, &LinkStatus::show);
    connect(&session_, &CaptureSession::linkFailed, this, &LinkStatus::showLinkFailure);
    connect(&session_, &CaptureSession::linkLost, this, &LinkStatus::showLinkLost);
}

void LinkStatus::showLinkFailure(LinkFailure why) {
    // The original's texts, then a line that names the port and the system's reason.
    const std::string& failure = session_.port().OpenFailure();
    const QString detail = why == LinkFailure::ExchangeStalled || failure.empty()
                               ? QStringLiteral("%1: the port stopped taking bytes").arg(portName_())
                               : QString::fromStdString(failure);
    if (why == LinkFailure::SettingsRefused)
        prompts_.showMessage(QStringLiteral("Set Error"), QStringLiteral("通訊埠設定錯誤!!!\n") + detail,
                             MessageIcon::None, MessageButtons::Ok);
    prompts_.showMessage(QStringLiteral("Comm Error"), QStringLiteral("開啟通訊埠錯誤！！\n") + detail,
                         MessageIcon::None, MessageButtons::Ok);
}

void LinkStatus::showLinkLost(const QDateTime& lastByteAt) {
    prompts_.showMessage(QStringLiteral("Link lost"),
                         QStringLiteral("The link to the drive was lost at %1: no data has arrived since.\n"
                                        "The capture up to then is kept.")
                             .arg(lastByteAt.toString(QStringLiteral("HH:mm:ss"))),
                         MessageIcon::Warning, MessageButtons::Ok);
}

void LinkStatus::show() {
    const LinkHealth& health = session_.Health();
    const QLocale locale;
    if (display_.ShowsFile() && !session_.IsRunning()) {
        labels_[0]->setText(QStringLiteral("- sets/s"));
        labels_[1]->setText(QStringLiteral("Blocks lost: -"));
        labels_[2]->setText(QStringLiteral("Resyncs: -"));
        labels_[3]->setText(QStringLiteral("Last byte -"));
        return;
    }
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
