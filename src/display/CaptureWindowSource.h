#pragma once
// The capture window on show as a trace source.

#include "TraceSource.h"

namespace altrix {

class CaptureSession;

// The capture window on show: the live traces while a capture rolls, a Normal trigger's frozen
// window while the capture runs on behind it, the traces of a loaded file, and the references.
class CaptureWindowSource final : public TraceSource {
public:
    explicit CaptureWindowSource(const CaptureSession& session) : session_(session) {}

    int length() const override { return kWindowPositions; }
    double sampleRateHz() const override { return 1.0 / kSamplePeriodSeconds; }
    WindowSamples samples(int t) const override;
    SampleRuns samplesOver(int t, PositionStretch stretch) const override;

private:
    const CaptureSession& session_;
};

}  // namespace altrix
