// TForm1: the link's health in the status bar under the control panel, and the word to the user
// when a capture's link is lost.

#include "Mainframe.h"

#include "ScopeChart.h"
#include "ui_Mainframe.h"

#include <QLabel>
#include <QLocale>
#include <QStatusBar>

namespace altrix {

namespace {

QLabel* AddStatusLabel(QStatusBar& bar, const char* name) {
    auto* label = new QLabel(&bar);
    label->setObjectName(QLatin1String(name));
    bar.addWidget(label);
    return label;
}

}  // namespace

void TForm1::buildLinkStatus() {
    QStatusBar& bar = *ui_->LinkStatusBar;
    linkLabels_ = {AddStatusLabel(bar, "LinkRateLabel"), AddStatusLabel(bar, "LinkLostLabel"),
                   AddStatusLabel(bar, "LinkResyncLabel"), AddStatusLabel(bar, "LinkIdleLabel")};
    showLinkHealth();
    connect(&session_, &CaptureSession::linkLost, this, &TForm1::showLinkLost);
    connect(ui_->AutoReconnect1, &QAction::toggled, &session_, &CaptureSession::SetAutoReconnect);
}

void TForm1::showLinkHealth() {
    const LinkHealth& health = session_.Health();
    const QLocale locale;
    linkLabels_[0]->setText(QStringLiteral("%1 of 5000 sets/s").arg(locale.toString(health.SetsPerSecond, 'f', 0)));
    linkLabels_[1]->setText(QStringLiteral("Blocks lost: %1").arg(health.BlocksLost));
    linkLabels_[2]->setText(QStringLiteral("Resyncs: %1, %2 bytes discarded").arg(health.Resyncs).arg(health.BytesDiscarded));
    linkLabels_[3]->setText(session_.Reconnecting()
                                ? QStringLiteral("Link lost %1 s ago, reconnecting").arg(locale.toString(health.SecondsSinceLastByte, 'f', 0))
                                : QStringLiteral("Last byte %1 s ago").arg(locale.toString(health.SecondsSinceLastByte, 'f', 1)));
}

void TForm1::showLinkLost(const QDateTime& lastByteAt) {
    prompts_.showMessage(QStringLiteral("Link lost"),
                         QStringLiteral("The link to the drive was lost at %1: no data has arrived since.\n"
                                        "The capture up to then is kept.")
                             .arg(lastByteAt.toString(QStringLiteral("HH:mm:ss"))),
                         MessageIcon::Warning, MessageButtons::Ok);
}

}  // namespace altrix
