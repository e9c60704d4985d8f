#include "CaptureWindowSource.h"

#include "CaptureSession.h"

namespace altrix {

WindowSamples CaptureWindowSource::samples(int t) const {
    if (t <= kChannelCount) return ChannelWindow(session_.ShownTrace(t), session_.ShownNextSample());
    return ReferenceWindow(session_.record().ReferenceTrace[t - kChannelCount - 1]);
}

SampleRuns CaptureWindowSource::samplesOver(int t, PositionStretch stretch) const {
    if (t <= kChannelCount) return ChannelSamplesOver(session_.ShownTrace(t), session_.ShownNextSample(), stretch);
    return ReferenceSamplesOver(session_.record().ReferenceTrace[t - kChannelCount - 1], stretch);
}

}  // namespace altrix
