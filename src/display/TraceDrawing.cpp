#include "TraceDrawing.h"

#include "CaptureSession.h"
#include "DisplaySettings.h"
#include "Readout.h"

#include <algorithm>
#include <cmath>

namespace altrix {

TraceDrawing::TraceDrawing(DisplayContext& context, const DisplaySettings& settings, DrawingView layout)
    : context_(context), settings_(settings), layout_(std::move(layout)) {}

void TraceDrawing::Repaint(bool queued) {
    if (context_.sink) context_.sink->redraw(queued);
}

void TraceDrawing::ClearSeries(int series) {
    if (context_.sink) context_.sink->refill(series);
}

void TraceDrawing::DrawVerticalLine(int series, std::int32_t position) {
    if (!context_.sink) return;
    // From -32768 to 32767 at the position, a point mark at each end.
    SeriesPoints& points = context_.sink->refill(series);
    points.add(position, 32767);
    points.add(position, -32768);
}

void TraceDrawing::TakeChannelScales() {
    for (int k = 1; k <= kChannelCount; ++k) context_.view.ChannelScale[k - 1] = settings_.YScaleGainOf(k);
}

void TraceDrawing::DrawWaveform(int series, std::int32_t pointCount, float scale, int channel) {
    if (!context_.sink) return;
    SeriesPoints& points = context_.sink->refill(series);
    layout_.fitLane(channel);
    const std::optional<Lane> lane = layout_.laneOf(channel);
    const auto append = [&points, &lane](double x, double y) { points.add(x, lane ? LaneCoordinate(*lane, y) : y); };
    if (context_.recording) {
        // Whatever the mode, about two points a pixel column of the view.
        context_.recording->envelope(channel, layout_.columns, scale, append);
        return;
    }
    const WindowSamples window = context_.source->samples(channel);
    if (settings_.Density().Envelope)
        EnvelopePoints(window, layout_.columns, scale, append);
    else
        PickChannelPoints(window, pointCount, scale, append);
}

void TraceDrawing::RedrawShownChannels() {
    const DisplayView& view = context_.view;
    for (int k = 1; k <= kChannelCount; ++k) {
        if (settings_.ChannelShown(k))
            DrawWaveform(k, view.DrawPointCount, view.ChannelScale[k - 1], k);
        else
            ClearSeries(k);
    }
    DrawMath();
}

void TraceDrawing::DrawRef() {
    for (int r = 1; r <= kReferenceCount; ++r) context_.view.RefScale[r - 1] = settings_.YScaleGainOf(kChannelCount + r);
    DrawReferences();
}

void TraceDrawing::DrawReferences() {
    if (!context_.sink) return;
    const DisplayView& view = context_.view;
    for (int r = 1; r <= kReferenceCount; ++r) {
        const int t = kChannelCount + r;
        const bool shown = settings_.Reference(r).Shown;
        SeriesPoints& points = context_.sink->refill(SeriesOfTrace(t));
        if (shown) layout_.fitLane(t);
        const std::optional<Lane> lane = layout_.laneOf(t);
        const auto append = [&points, &lane](double x, double y) { points.add(x, lane ? LaneCoordinate(*lane, y) : y); };
        const WindowSamples window = context_.source->samples(t);
        // A hidden reference keeps its closing point in every mode.
        if (settings_.Density().Envelope && shown)
            EnvelopePoints(window, layout_.columns, view.RefScale[r - 1], append);
        else
            PickReferencePoints(window, view.DrawPointCount, view.RefScale[r - 1], shown, append);
    }
}

void TraceDrawing::followViewWithEnvelope() {
    if (layout_.columns == layout_.envelopeColumns) return;
    RedrawShownChannels();
    DrawReferences();
    layout_.envelopeColumns = layout_.columns;
}

void TraceDrawing::checkzoom_andredraw() {
    if (context_.recording) {
        followViewWithEnvelope();
        return;
    }
    // Whole positions at the view's edges; the visible fraction is kept as a 32-bit float, so
    // the row limits are the widths 45000 and 30000 exactly.
    const double right = std::trunc(layout_.columns.right);
    const double left = std::trunc(layout_.columns.left);
    const float r = static_cast<float>(static_cast<long double>(right - left) * (1.0L / kNewestPosition));
    const int row = r > 0.45L ? 0 : r >= 0.3L ? 1 : 2;
    std::int32_t& count = context_.view.DrawPointCount;
    const std::int32_t previous = count;
    count = settings_.Density().StoppedPointCounts[static_cast<std::size_t>(row)];
    // An envelope follows every change of the view. Otherwise the references keep the density
    // of their last DrawRef.
    if (settings_.Density().Envelope)
        followViewWithEnvelope();
    else if (count != previous)
        RedrawShownChannels();
}

void TraceDrawing::BeforeDrawSeries() {
    // A capture keeps its own density, but an envelope follows the view in a capture too.
    if (!context_.session.IsRunning())
        checkzoom_andredraw();
    else if (settings_.Density().Envelope)
        followViewWithEnvelope();
}

void TraceDrawing::ShowGaps() {
    const CaptureRecord& rec = context_.session.record();
    // The gaps the decoder filled, newest last, as window positions; older ones have left it.
    const std::uint64_t kept = std::min<std::uint64_t>(rec.GapCount, kGapRingSize);
    gapBands_.clear();
    for (std::uint64_t n = rec.GapCount - kept; n < rec.GapCount; ++n) {
        const TraceGap& gap = rec.Gaps[n % kGapRingSize];
        int first = gap.FirstSlot - rec.NextSample + kWindowPositions;
        if (first < 0) first += kTraceSlots;
        const int last = first + gap.Sets - 1;
        if (gap.Sets > 0 && last >= 0 && first <= kNewestPosition)
            gapBands_.emplace_back(std::max(first, 0), std::min(last, kNewestPosition));
    }
    if (context_.sink) context_.sink->setBands(gapBands_);
}

void TraceDrawing::ShowRecordingGaps() {
    gapBands_.clear();
    for (const RecordingGap& gap : context_.recording->Reader().Gaps())
        gapBands_.emplace_back(double(gap.FirstSet), double(gap.FirstSet + gap.SetCount - 1));
    if (context_.sink) context_.sink->setBands(gapBands_);
}

void TraceDrawing::ClearGaps() {
    if (context_.sink) context_.sink->setBands({});
}

void TraceDrawing::refreshMath() const {
    std::array<std::string, kTraceCount> gains;
    for (int t = 1; t <= kTraceCount; ++t) gains[t - 1] = settings_.Gain(t).Text;
    if (context_.recording) {
        // The view and the analysed stretch together while they fit, else the view.
        const PositionStretch view = layout_.viewStretch();
        const PositionStretch analysed = layout_.analysisStretch();
        const PositionStretch both{std::min(view.First, analysed.First), std::max(view.Last, analysed.Last)};
        math_.UpdateOver(*context_.source, both.count() <= RecordingSource::kStretchLimit ? both : view, gains,
                         RecordingSource::kStretchLimit);
        return;
    }
    // The first channel's storage stands for all four: a frozen window replaces them together.
    math_.Follow(&context_.session.ShownTrace(1), context_.session.ShownNextSample());
    math_.Update(*context_.source, gains);
}

std::span<const double> TraceDrawing::MathValues(int m) const {
    if (context_.recording || !MathShown(m)) return {};
    refreshMath();
    return math_.Values(m);
}

std::span<const double> TraceDrawing::MathValuesOver(int m, PositionStretch stretch) const {
    if (!MathShown(m)) return {};
    refreshMath();
    const std::span<const double> values = math_.Values(m);
    const std::int64_t from = std::int64_t{stretch.First} - math_.First();
    if (stretch.empty() || from < 0 || from + stretch.count() > static_cast<std::int64_t>(values.size())) return {};
    return values.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(stretch.count()));
}

double TraceDrawing::MathValueAt(int m, std::int32_t position) const {
    const std::span<const double> values = MathValuesOver(m, {position, position});
    return values.empty() ? std::nan("") : values.front();
}

std::vector<DataVector> TraceDrawing::MathVectorsOver(PositionStretch stretch, std::vector<std::string>& leftOut) const {
    if (!layout_.holdsSets()) return {};
    refreshMath();
    return math_.VectorsOver(stretch, leftOut);
}

QString TraceDrawing::MathNotice() const {
    bool shown = false;
    for (int m = 1; m <= kMathCount; ++m) shown = shown || MathShown(m);
    if (!context_.recording || !shown) return {};
    refreshMath();
    return math_.LeftOut().empty() ? QString() : QStringLiteral("not drawn: ") + QString::fromStdString(math_.LeftOut());
}

void TraceDrawing::ClearMath() {
    for (int m = 1; m <= kMathCount; ++m)
        if (mathDrawn_[m - 1]) ClearSeries(SeriesOfTrace(kTraceCount + m));
}

bool TraceDrawing::DrawMath() {
    if (!context_.sink) return false;
    refreshMath();
    const ColumnView& columns = layout_.columns;
    bool drawn = false;
    for (int m = 1; m <= kMathCount; ++m) {
        const int series = SeriesOfTrace(kTraceCount + m);
        const bool shown = MathShown(m);
        if (!shown && mathDrawn_[m - 1]) ClearSeries(series);
        drawn = drawn || shown || mathDrawn_[m - 1];
        mathDrawn_[m - 1] = shown;
        if (!shown) continue;
        layout_.fitLane(kTraceCount + m);
        const std::optional<Lane> lane = layout_.laneOf(kTraceCount + m);
        SeriesPoints& points = context_.sink->refill(series);
        const auto place = [&lane](double y) { return lane ? LaneCoordinate(*lane, y) : y; };
        const auto append = [&points, &place](double x, double y) { points.add(x, place(y)); };
        const ValueWindow window{math_.Values(m)};
        const auto scale = static_cast<float>(kMathPlotSpan / math_.FullScale(m));
        if (context_.recording) {
            // As its channels: the envelope of the view in every mode, from the stretch computed.
            const double shift = math_.First();
            if (window.size() > 0)
                EnvelopePoints(window, ColumnView{columns.left - shift, columns.right - shift, columns.columns}, scale,
                               [&points, shift, &place](double x, double y) { points.add(x + shift, place(y)); });
        } else if (settings_.Density().Envelope)
            EnvelopePoints(window, columns, scale, append);
        else
            PickChannelPoints(window, context_.view.DrawPointCount, scale, append);
    }
    return drawn;
}

}  // namespace altrix
