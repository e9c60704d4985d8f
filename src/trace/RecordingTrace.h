#pragma once
// A recording file as a trace source: its sets are positions 0..length() - 1 (set 0 the first), read from
// the file as they are asked for; views are drawn from its min/max pyramid, measurements of long
// stretches from its sums, so that neither memory nor time grows with its length. Traces 5 and 6
// (the references) are the record's windows.

#include "RecordingReader.h"
#include "Timeline.h"
#include "TraceSource.h"

#include <memory>
#include <string>

namespace altrix {

class RecordingTrace : public TraceSource {
public:
    // The longest stretch handed out as samples (measurements with the frequency, the spectrum,
    // the window a reference takes): about 3.5 minutes.
    static constexpr std::int32_t kStretchLimit = 1 << 20;

    RecordingTrace(std::unique_ptr<RecordingReader> reader, const CaptureRecord& record, std::string path);

    int length() const override { return static_cast<int>(reader_->Sets()); }
    double sampleRateHz() const override { return kRecordingSampleRateHz; }
    // The 100000 sets from the view's first (SetWindowStart) for channels; the references' windows.
    WindowSamples samples(int t) const override;
    // At most kStretchLimit sets; an empty stretch beyond it.
    SampleRuns samplesOver(int t, PositionStretch stretch) const override;
    bool windowed() const override { return false; }
    std::int16_t sampleAt(int t, std::int32_t position) const override;
    void envelope(int t, const ColumnView& view, float scale, const PointSink& sink) const override;
    Measurement measure(int t, PositionStretch stretch, double gain) const override;
    SetReader reader(const std::vector<int>& traces) const override;
    // Reads the channels through a connection of its own to the file, opened by the thread
    // that writes; the references' windows copied now.
    ReaderOpener detachedReader(const std::vector<int>& traces, PositionStretch stretch) const override;

    // The first set samples() hands out for the channels.
    void SetWindowStart(std::int32_t position);
    const std::string& Path() const { return path_; }
    RecordingReader& Reader() const { return *reader_; }
    // Its sets' times: set 0 at 0 s, at the UTC its header names (none when it names none).
    Timeline Times() const;
    // The read that failed last, for the user; empty while every read went through.
    const std::string& Problem() const { return problem_; }

private:
    // Reads sets first .. first + count - 1 into the cache unless it holds them already.
    bool cache(std::int64_t first, std::int64_t count) const;

    std::unique_ptr<RecordingReader> reader_;
    const CaptureRecord& record_;
    std::string path_;
    std::int32_t windowStart_ = 0;
    mutable std::vector<std::int16_t> sets_;  // four samples a set
    mutable std::int64_t cachedFirst_ = -1, cachedCount_ = 0;
    mutable std::vector<std::int16_t> trace_;  // one channel of the cache
    mutable std::vector<SetExtremes> buckets_;
    mutable ColumnView bucketView_{};
    mutable std::string problem_;
};

}  // namespace altrix
