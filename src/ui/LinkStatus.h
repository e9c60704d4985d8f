#pragma once
// The link's health in the status bar: the sets decoded per second, the blocks lost, the
// resynchronisations with the bytes they discarded, and the time since the last byte while a
// capture runs ("-" while none does; the time since the link was lost while it is tried
// again). Follows the capture session's start, ticks and stop, and tells the user when the
// link could not be opened or a capture's link was lost. While a waveform file or a recording
// is on show the figures, which are of no capture there, read "-".

#include "CaptureSession.h"
#include "Prompts.h"
#include "ScopeDisplay.h"

#include <QObject>

#include <array>
#include <functional>

class QLabel;
class QStatusBar;

namespace altrix {

class LinkStatus : public QObject {
    Q_OBJECT
public:
    // Adds LinkRateLabel, LinkLostLabel, LinkResyncLabel and LinkIdleLabel to `bar`; the
    // messages name the port `portName` gives.
    LinkStatus(QStatusBar& bar, const CaptureSession& session, const ScopeDisplay& display, Prompts& prompts,
               std::function<QString()> portName, QObject* parent = nullptr);

    void show();

private:
    void showLinkFailure(LinkFailure why);
    void showLinkLost(const QDateTime& lastByteAt);

    const CaptureSession& session_;
    const ScopeDisplay& display_;
    Prompts& prompts_;
    std::function<QString()> portName_;
    std::array<QLabel*, 4> labels_{};
};

}  // namespace altrix
