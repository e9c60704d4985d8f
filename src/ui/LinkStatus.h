#pragma once
// The link's health in the status bar: the sets decoded per second, the blocks lost, the
// resynchronisations with the bytes they discarded, and the time since the last byte while a
// capture runs ("-" while none does; the time since the link was lost while it is tried
// again). Follows the capture session's start, ticks and stop.

#include "CaptureSession.h"

#include <QObject>

#include <array>

class QLabel;
class QStatusBar;

namespace altrix {

class LinkStatus : public QObject {
    Q_OBJECT
public:
    // Adds LinkRateLabel, LinkLostLabel, LinkResyncLabel and LinkIdleLabel to `bar`.
    LinkStatus(QStatusBar& bar, const CaptureSession& session, QObject* parent = nullptr);

    void show();

private:
    const CaptureSession& session_;
    std::array<QLabel*, 4> labels_{};
};

}  // namespace altrix
