#pragma once
// A trace source: what the chart shows, with a length and a sample rate, answering the
// samples of trace t over a stretch of its positions. Traces 1..4 are the channels, 5 and 6
// the references. The drawing modes, readouts, measurements, spectrum and exports ask the
// source on screen, never another.

#include "CaptureRecord.h"
#include "Decimation.h"
#include "Stretch.h"

namespace altrix {

class CaptureSession;

class TraceSource {
public:
    virtual ~TraceSource() = default;
    // Positions 0..length() - 1, oldest first.
    virtual int length() const = 0;
    virtual double sampleRateHz() const = 0;
    // Every sample of trace t, position 0 the oldest.
    virtual WindowSamples samples(int t) const = 0;
    // Trace t over a stretch, in at most two runs of storage.
    virtual SampleRuns samplesOver(int t, PositionStretch stretch) const = 0;
};

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
