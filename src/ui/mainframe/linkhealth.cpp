// TForm1: the link's health in the status bar under the control panel, and the word to the user
// when a capture's link is lost.

#include "Mainframe.h"

#include "LinkStatus.h"
#include "ui_Mainframe.h"

namespace altrix {

void TForm1::buildLinkStatus() {
    linkStatus_ = new LinkStatus(*ui_->LinkStatusBar, session_, this);
    connect(&session_, &CaptureSession::linkLost, this, &TForm1::showLinkLost);
    connect(ui_->AutoReconnect1, &QAction::toggled, &session_, &CaptureSession::SetAutoReconnect);
}

void TForm1::showLinkLost(const QDateTime& lastByteAt) {
    prompts_.showMessage(QStringLiteral("Link lost"),
                         QStringLiteral("The link to the drive was lost at %1: no data has arrived since.\n"
                                        "The capture up to then is kept.")
                             .arg(lastByteAt.toString(QStringLiteral("HH:mm:ss"))),
                         MessageIcon::Warning, MessageButtons::Ok);
}

}  // namespace altrix
