#pragma once
// A trace source: what the chart shows, with a length and a sample rate, answering the
// samples of trace t over a stretch of its positions. Traces 1..4 are the channels, 5 and 6
// the references. The drawing modes, readouts, measurements, spectrum and exports ask the
// source on screen, never another.

#include "CaptureRecord.h"
#include "DataExport.h"
#include "Decimation.h"
#include "Statistics.h"
#include "Stretch.h"

#include <functional>
#include <memory>
#include <vector>

namespace altrix {

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

    // What a source longer than a window answers without handing out all its samples. The
    // window's answers come from samples() and samplesOver().
    // False for a source that cannot hand out its samples whole (a recording).
    virtual bool windowed() const { return true; }
    // Trace t at a position of the source.
    virtual std::int16_t sampleAt(int t, std::int32_t position) const { return samples(t)[position]; }
    // The envelope of trace t over a view, as EnvelopePoints draws it: about two points a pixel
    // column whatever the view's length.
    using PointSink = std::function<void(double x, double y)>;
    virtual void envelope(int t, const ColumnView& view, float scale, const PointSink& sink) const {
        EnvelopePoints(samples(t), view, scale, sink);
    }
    // The measurements of trace t over a stretch.
    virtual Measurement measure(int t, PositionStretch stretch, double gain) const {
        return Measure(samplesOver(t, stretch), gain, sampleRateHz());
    }
    // The exporters' reader of traces (1..6), position = set number.
    virtual SetReader reader(const std::vector<int>& traces) const {
        std::vector<WindowSamples> windows;
        for (int t : traces) windows.push_back(samples(t));
        return WindowReader(std::move(windows));
    }
    // The exporters' reader of traces over `stretch` for another thread: made here, on the
    // source's thread, it reads what the source holds now whatever becomes of the source; its
    // opener is called once on the thread that writes, which alone uses the reader it gives.
    // A window's stretch is copied (at most a window of sets); a recording's opener opens the
    // file again for the writing thread, so that memory stays bounded.
    using ReaderOpener = std::function<SetReader()>;
    virtual ReaderOpener detachedReader(const std::vector<int>& traces, PositionStretch stretch) const;
};

// A reader of sets first .. first + count - 1 copied out, trace after trace (as a SetReader
// fills its chunk); `copied` tells why they could not be copied, which each read then reports.
SetReader CopiedSetReader(std::shared_ptr<const std::vector<std::int16_t>> sets, std::int64_t first, std::int64_t count,
                          FileResult copied);

}  // namespace altrix
