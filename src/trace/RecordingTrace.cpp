#include "RecordingTrace.h"

#include <algorithm>
#include <cmath>

namespace altrix {

RecordingTrace::RecordingTrace(std::unique_ptr<RecordingReader> reader, const CaptureRecord& record, std::string path)
    : reader_(std::move(reader)), record_(record), path_(std::move(path)) {}

Timeline RecordingTrace::Times() const {
    return Timeline::Recording(ParseIsoUtc(reader_->Header().StartedUtc));
}

void RecordingTrace::SetWindowStart(std::int32_t position) {
    windowStart_ = std::clamp(position, 0, std::max(0, length() - 1));
}

bool RecordingTrace::cache(std::int64_t first, std::int64_t count) const {
    if (first >= cachedFirst_ && first + count <= cachedFirst_ + cachedCount_) return true;
    sets_.resize(static_cast<std::size_t>(count * kRecordingChannels));
    if (!reader_->ReadSets(first, count, sets_)) {
        problem_ = reader_->Error();
        cachedFirst_ = -1;
        cachedCount_ = 0;
        return false;
    }
    cachedFirst_ = first;
    cachedCount_ = count;
    return true;
}

WindowSamples RecordingTrace::samples(int t) const {
    if (t > kChannelCount) return ReferenceWindow(record_.ReferenceTrace[t - kChannelCount - 1]);
    const std::int64_t count = std::min<std::int64_t>(kWindowPositions, length() - windowStart_);
    trace_.assign(kWindowPositions, 0);
    if (count > 0 && cache(windowStart_, count))
        for (std::int64_t i = 0; i < count; ++i)
            trace_[static_cast<std::size_t>(i)] = sets_[static_cast<std::size_t>((windowStart_ - cachedFirst_ + i) * kRecordingChannels + t - 1)];
    return {trace_, {}};
}

SampleRuns RecordingTrace::samplesOver(int t, PositionStretch stretch) const {
    if (t > kChannelCount) return ReferenceSamplesOver(record_.ReferenceTrace[t - kChannelCount - 1],
                                                       {stretch.First, std::min(stretch.Last, kNewestPosition)});
    stretch.Last = std::min(stretch.Last, length() - 1);
    if (stretch.empty() || stretch.count() > kStretchLimit || !cache(stretch.First, stretch.count())) return {};
    trace_.resize(static_cast<std::size_t>(stretch.count()));
    for (std::int64_t i = 0; i < stretch.count(); ++i)
        trace_[static_cast<std::size_t>(i)] = sets_[static_cast<std::size_t>((stretch.First - cachedFirst_ + i) * kRecordingChannels + t - 1)];
    return {{std::span<const std::int16_t>(trace_), {}}};
}

std::int16_t RecordingTrace::sampleAt(int t, std::int32_t position) const {
    if (t > kChannelCount) return IsWindowPosition(position) ? record_.ReferenceTrace[t - kChannelCount - 1][position] : 0;
    if (position < 0 || position >= length() || !cache(position, 1)) return 0;
    return sets_[static_cast<std::size_t>((position - cachedFirst_) * kRecordingChannels + t - 1)];
}

void RecordingTrace::envelope(int t, const ColumnView& view, float scale, const PointSink& sink) const {
    if (t > kChannelCount) {
        EnvelopePoints(samples(t), view, scale, sink);
        return;
    }
    const double width = (view.right - view.left) / view.columns;
    if (!(width > 0) || !std::isfinite(width) || view.columns < 1 || length() == 0) return;
    if (width < 2 * kLevelOneSets) {
        // Few sets a column: the envelope of the sets themselves, and the plain line once a
        // column holds one or two, through the nearest set beyond each edge.
        const auto first = static_cast<std::int64_t>(std::clamp(std::ceil(view.left) - 1, 0.0, double(length() - 1)));
        const auto end = static_cast<std::int64_t>(std::clamp(std::ceil(view.right) + 1, double(first + 1), double(length())));
        if (!cache(first, end - first)) return;
        trace_.resize(static_cast<std::size_t>(end - first));
        for (std::int64_t i = 0; i < end - first; ++i)
            trace_[static_cast<std::size_t>(i)] = sets_[static_cast<std::size_t>((first - cachedFirst_ + i) * kRecordingChannels + t - 1)];
        const double shift = static_cast<double>(first);
        EnvelopePoints(WindowSamples{trace_, {}}, ColumnView{view.left - shift, view.right - shift, view.columns}, scale,
                       [&sink, shift](double x, double y) { sink(x + shift, y); });
        return;
    }
    // The pyramid's extremes per column, read once for the four channels of a view.
    if (!(bucketView_ == view) || buckets_.size() != static_cast<std::size_t>(view.columns)) {
        buckets_.resize(static_cast<std::size_t>(view.columns));
        if (!reader_->BucketExtremes(static_cast<std::int64_t>(std::floor(view.left)), width, buckets_)) {
            problem_ = reader_->Error();
            bucketView_ = {};
            return;
        }
        bucketView_ = view;
    }
    for (int c = 0; c < view.columns; ++c) {
        const SetExtremes& e = buckets_[static_cast<std::size_t>(c)];
        if (e.Low[t - 1] > e.High[t - 1]) continue;
        const double x = std::floor(view.left) + (c + 0.5) * width;
        sink(x, PlottedValue(e.Low[t - 1], scale));
        if (e.High[t - 1] != e.Low[t - 1]) sink(x, PlottedValue(e.High[t - 1], scale));
    }
}

Measurement RecordingTrace::measure(int t, PositionStretch stretch, double gain) const {
    if (t > kChannelCount || stretch.count() <= kStretchLimit) return TraceSource::measure(t, stretch, gain);
    const std::optional<StretchSummary> s = reader_->Summary(stretch.First, stretch.Last);
    if (!s) {
        problem_ = reader_->Error();
        return {};
    }
    const int c = t - 1;
    return MeasureSums(s->Count, s->Extremes.Low[c], s->Extremes.High[c], s->Sums.Sum[c], s->Sums.Squares[c], gain);
}

namespace {

using ReferenceCopies = std::array<std::vector<std::int16_t>, kReferenceCount>;

// Traces (1..6) by set: the channels read through `reader`, the references from their windows.
SetReader TracesOf(std::shared_ptr<RecordingReader> reader, std::vector<int> traces,
                   std::shared_ptr<const ReferenceCopies> references) {
    auto sets = std::make_shared<std::vector<std::int16_t>>();
    return [reader = std::move(reader), traces = std::move(traces), references = std::move(references),
            sets](std::int64_t first, std::int64_t count, std::span<std::int16_t> out) {
        sets->resize(static_cast<std::size_t>(count * kRecordingChannels));
        if (!reader->ReadSets(first, count, *sets)) return FileResult{false, reader->Error(), false};
        for (std::size_t i = 0; i < traces.size(); ++i) {
            const int t = traces[i];
            for (std::int64_t n = 0; n < count; ++n) {
                const std::int64_t set = first + n;
                const std::vector<std::int16_t>* window = t > kChannelCount ? &(*references)[t - kChannelCount - 1] : nullptr;
                out[i * static_cast<std::size_t>(count) + static_cast<std::size_t>(n)] =
                    !window ? (*sets)[static_cast<std::size_t>(n * kRecordingChannels + t - 1)]
                    : set < static_cast<std::int64_t>(window->size()) ? (*window)[static_cast<std::size_t>(set)]
                                                                       : std::int16_t{0};
            }
        }
        return FileResult{};
    };
}

std::shared_ptr<const ReferenceCopies> CopyReferences(const CaptureRecord& record, const std::vector<int>& traces) {
    auto copies = std::make_shared<ReferenceCopies>();
    for (int t : traces)
        if (t > kChannelCount) {
            const ReferenceSamples& window = record.ReferenceTrace[t - kChannelCount - 1];
            (*copies)[t - kChannelCount - 1].assign(window.begin(), window.end());
        }
    return copies;
}

}  // namespace

SetReader RecordingTrace::reader(const std::vector<int>& traces) const {
    // Not owned: the reader lives as long as this source.
    return TracesOf(std::shared_ptr<RecordingReader>(std::shared_ptr<RecordingReader>(), reader_.get()), traces,
                    CopyReferences(record_, traces));
}

TraceSource::ReaderOpener RecordingTrace::detachedReader(const std::vector<int>& traces, PositionStretch) const {
    return [path = path_, traces, references = CopyReferences(record_, traces)]() -> SetReader {
        RecordingReader::Opened opened = RecordingReader::Open(path);
        if (!opened.Reader) {
            const FileResult failed{false, "the recording " + path + " " + opened.Error, false};
            return [failed](std::int64_t, std::int64_t, std::span<std::int16_t>) { return failed; };
        }
        return TracesOf(std::shared_ptr<RecordingReader>(std::move(opened.Reader)), traces, references);
    };
}

}  // namespace altrix
