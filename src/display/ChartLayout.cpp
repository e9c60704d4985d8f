#include "ChartLayout.h"

#include "DataExport.h"
#include "Readout.h"
#include "ScopeDisplay.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace altrix {

namespace {

// A fit with no height, widened about its value: by a tenth of it, at least one count.
PlottedRange Widened(PlottedRange range) {
    if (range.Upper > range.Lower) return range;
    const double half = std::max(1.0, std::abs(range.Lower) * 0.1);
    return {range.Lower - half, range.Lower + half};
}

}  // namespace

Lane LaneAt(int trace, PlottedRange fit, std::size_t index, std::size_t count) {
    const double height = (kLanesUpper - kLanesLower) / static_cast<double>(std::max<std::size_t>(1, count));
    const double upper = kLanesUpper - static_cast<double>(index) * height;
    return {trace, Widened(fit), upper - height, upper};
}

std::vector<Lane> LayOutLanes(std::span<const int> traces, std::span<const PlottedRange> fits) {
    std::vector<Lane> lanes;
    for (std::size_t i = 0; i < traces.size(); ++i) lanes.push_back(LaneAt(traces[i], fits[i], i, traces.size()));
    return lanes;
}

LinearScale PlottedScaleOf(const Lane& lane) {
    const double margin = kLaneMargin * (lane.Upper - lane.Lower);
    const double bottom = lane.Lower + margin, top = lane.Upper - margin;
    const double factor = (lane.Fit.Upper - lane.Fit.Lower) / (top - bottom);
    return {lane.Fit.Lower - bottom * factor, factor};
}

double LaneCoordinate(const Lane& lane, double plotted) {
    return std::clamp(PlottedScaleOf(lane).coordinateOf(plotted), lane.Lower, lane.Upper);
}

PlottedRange FittedView(PlottedRange range) {
    range = Widened(range);
    const double margin = kFitMargin * (range.Upper - range.Lower);
    return {range.Lower - margin, range.Upper + margin};
}

// ScopeDisplay's part in the chart's layout.

namespace {

PlottedRange Ordered(double a, double b) {
    return {std::min(a, b), std::max(a, b)};
}

}  // namespace

float ScopeDisplay::PlotScale(int t) const {
    if (t >= kFirstMathTrace) return static_cast<float>(kMathPlotSpan / Math().FullScale(t - kTraceCount));
    const bool channel = t <= kChannelCount;
    const float scale = channel ? context_.view.ChannelScale[t - 1] : context_.view.RefScale[t - kChannelCount - 1];
    if (scale != 0) return scale;
    // Not taken yet: the scale the next drawing takes.
    const int row = channel ? Channel(t).YScale : Reference(t - kChannelCount).YScale;
    return YScaleGain(kYScaleTexts[static_cast<std::size_t>(std::clamp(row, 0, int(kYScaleTexts.size()) - 1))]);
}

double ScopeDisplay::unitsPerPlotted(int t) const {
    // The gain over the Y-scale; a math trace's values are in units already.
    const double gain = t >= kFirstMathTrace ? 1.0 : GainFactorOf(t);
    const double factor = gain / PlotScale(t);
    return std::isfinite(factor) && factor != 0 ? factor : 1.0;
}

PositionStretch ScopeDisplay::withSamples(PositionStretch stretch) const {
    if (!Capturing() || context_.recording) return stretch;
    // The live window fills from its newest end.
    const std::uint64_t sets = session_.record().SetCount;
    const std::int32_t first = sets >= std::uint64_t(kWindowPositions) ? 0 : kWindowPositions - std::int32_t(sets);
    return {std::max(stretch.First, first), stretch.Last};
}

std::optional<PlottedRange> ScopeDisplay::rangeOver(int t, PositionStretch stretch) const {
    stretch = withSamples(stretch);
    if (stretch.empty()) return std::nullopt;
    const float scale = PlotScale(t);
    if (t >= kFirstMathTrace) {
        std::optional<PlottedRange> range;
        for (const double v : MathValuesOver(t - kTraceCount, stretch)) {
            if (!std::isfinite(v)) continue;
            const double plotted = v * scale;
            range = range ? PlottedRange{std::min(range->Lower, plotted), std::max(range->Upper, plotted)}
                          : PlottedRange{plotted, plotted};
        }
        return range;
    }
    if (!context_.source->windowed()) {
        // A recording: its extremes from its summaries, whatever the stretch's length.
        const Measurement raw = context_.source->measure(t, stretch, 1.0);
        if (raw.Count == 0) return std::nullopt;
        return PlottedRange{PlottedValue(static_cast<std::int16_t>(raw.Min), scale),
                            PlottedValue(static_cast<std::int16_t>(raw.Max), scale)};
    }
    const WindowSamples window = context_.source->samples(t);
    const Extremes extremes = ExtremesOf(window, stretch.First, stretch.Last + 1);
    return PlottedRange{PlottedValue(window[extremes.low], scale), PlottedValue(window[extremes.high], scale)};
}

void ScopeDisplay::fitIfNone(int t) {
    std::optional<PlottedRange>& fit = fits_[static_cast<std::size_t>(t - 1)];
    if (!lanesShown_ || fit) return;
    // Kept in units, so that a new gain, Y-scale or math full scale keeps the lane's values.
    if (const std::optional<PlottedRange> range = rangeOver(t, ViewStretch())) {
        const double factor = unitsPerPlotted(t);
        fit = Ordered(range->Lower * factor, range->Upper * factor);
    }
}

PlottedRange ScopeDisplay::fitOf(int t) const {
    // Before its first fit, a trace's lane holds every value it could take.
    const std::optional<PlottedRange>& fit = fits_[static_cast<std::size_t>(t - 1)];
    if (!fit) {
        const double scale = t >= kFirstMathTrace ? 1.0 : PlotScale(t);
        return t >= kFirstMathTrace ? PlottedRange{-kMathPlotSpan, kMathPlotSpan}
                                    : PlottedRange{-32768 * scale, 32767 * scale};
    }
    const double factor = unitsPerPlotted(t);
    return Ordered(fit->Lower / factor, fit->Upper / factor);
}

std::vector<Lane> ScopeDisplay::Lanes() const {
    std::vector<int> traces;
    std::vector<PlottedRange> fits;
    for (int t = 1; t <= kLastMathTrace; ++t) {
        if (!TraceShown(t)) continue;
        traces.push_back(t);
        fits.push_back(fitOf(t));
    }
    return LayOutLanes(traces, fits);
}

std::optional<Lane> ScopeDisplay::laneOf(int t) const {
    // Without allocating: it serves every drawing, during a capture too.
    if (!lanesShown_ || !TraceShown(t)) return std::nullopt;
    std::size_t index = 0, count = 0;
    for (int u = 1; u <= kLastMathTrace; ++u) {
        if (!TraceShown(u)) continue;
        if (u == t) index = count;
        ++count;
    }
    return LaneAt(t, fitOf(t), index, count);
}

void ScopeDisplay::ShowLanes(bool on) {
    if (lanesShown_ == on) return;
    lanesShown_ = on;
    emit decorationsChanged();
    if (on)
        FitLanes();
    else
        redrawLayout();
}

void ScopeDisplay::ShowAxes(bool on) {
    if (axesShown_ == on) return;
    axesShown_ = on;
    emit decorationsChanged();
    drawing_.Repaint(true);
}

void ScopeDisplay::ShowLegend(bool on) {
    if (legendShown_ == on) return;
    legendShown_ = on;
    emit decorationsChanged();
    drawing_.Repaint(true);
}

void ScopeDisplay::FitLanes(int trace) {
    for (int t = 1; t <= kLastMathTrace; ++t)
        if (trace == 0 || t == trace) {
            fits_[static_cast<std::size_t>(t - 1)].reset();
            fitIfNone(t);
        }
    redrawLayout();
}

void ScopeDisplay::ZoomLane(int t, double lower, double upper) {
    const std::optional<Lane> lane = laneOf(t);
    if (!lane || !(lower < upper)) return;
    // The rows lower..upper become the band's edges: the fit spans them less the margins.
    const LinearScale plotted = PlottedScaleOf(*lane);
    const double a = plotted.valueAt(std::max(lower, lane->Lower)), b = plotted.valueAt(std::min(upper, lane->Upper));
    const double margin = kLaneMargin * (b - a);
    const double factor = unitsPerPlotted(t);
    laneSteps_.push_back({zoomSteps_.Depth(), fits_});
    fits_[static_cast<std::size_t>(t - 1)] = Ordered((a + margin) * factor, (b - margin) * factor);
    redrawLayout();
}

void ScopeDisplay::StepLanesBack() {
    // Steps of views the history no longer holds (cleared, or stepped back past) are gone.
    const int depth = zoomSteps_.Depth();
    while (!laneSteps_.empty() && laneSteps_.back().Depth > depth) laneSteps_.pop_back();
    if (laneSteps_.empty() || laneSteps_.back().Depth != depth || depth == 0) return;
    fits_ = laneSteps_.back().Fits;
    laneSteps_.pop_back();
    redrawLayout();
}

void ScopeDisplay::redrawLayout() {
    drawing_.RedrawShownChannels();
    drawing_.DrawReferences();
    envelopeColumns_ = columns_;
    drawing_.Repaint(true);
    emit traceViewChanged();
}

std::optional<PlottedRange> ScopeDisplay::ShownRange() const {
    std::optional<PlottedRange> all;
    for (int t = 1; t <= kLastMathTrace; ++t) {
        if (!TraceShown(t)) continue;
        const std::optional<PlottedRange> range = rangeOver(t, ViewStretch());
        if (!range) continue;
        all = all ? PlottedRange{std::min(all->Lower, range->Lower), std::max(all->Upper, range->Upper)} : *range;
    }
    return all;
}

int ScopeDisplay::YAxisTrace() const {
    if (yAxisTrace_ > 0 && TraceShown(yAxisTrace_)) return yAxisTrace_;
    for (int t = 1; t <= kTraceCount; ++t)
        if (TraceShown(t)) return t;
    return 1;
}

LinearScale ScopeDisplay::ValueScale(int t) const {
    const double perPlotted = unitsPerPlotted(t);
    const std::optional<Lane> lane = laneOf(t);
    if (!lane) return {0, perPlotted};
    const LinearScale plotted = PlottedScaleOf(*lane);
    return {plotted.Offset * perPlotted, plotted.Factor * perPlotted};
}

double ScopeDisplay::PlotCoordinate(int t, double plotted) const {
    const std::optional<Lane> lane = laneOf(t);
    return lane ? LaneCoordinate(*lane, plotted) : plotted;
}

QString ScopeDisplay::UnitOf(int t) const {
    if (t >= kFirstMathTrace) return QString::fromStdString(Math().Definition(t - kTraceCount).Unit);
    return QString::fromStdString(UnitOfLabel(TraceName(t).toStdString()));
}

GraticuleScales ScopeDisplay::Scales() const {
    // The Time readout's seconds: a window's position x is set x + 1, a recording's set x from 0.
    GraticuleScales scales{{Times().Seconds(0), kSamplePeriodSeconds}, "Time (s)", {}};
    constexpr double kAll = std::numeric_limits<double>::infinity();
    if (lanesShown_) {
        for (const Lane& lane : Lanes())
            scales.Bands.push_back({lane.Lower, lane.Upper, ValueScale(lane.Trace), TraceName(lane.Trace).toStdString(),
                                    {SeriesOfTrace(lane.Trace)}});
        return scales;
    }
    // One axis per unit and scale: a trace with a unit joins the axis of one with the same unit
    // read on the same scale; the chosen trace's axis first.
    const int first = YAxisTrace();
    const auto join = [&](int t) {
        const LinearScale scale = ValueScale(t);
        const QString unit = UnitOf(t);
        for (ScaleBand& band : scales.Bands)
            if (!unit.isEmpty() && band.Title == unit.toStdString() && band.Scale.Factor == scale.Factor) {
                band.Series.push_back(SeriesOfTrace(t));
                return;
            }
        const bool right = scales.Bands.size() % 2 == 1;
        scales.Bands.push_back({-kAll, kAll, scale, (unit.isEmpty() ? TraceName(t) : unit).toStdString(),
                                {SeriesOfTrace(t)}, right, scales.Bands.empty()});
    };
    if (TraceShown(first)) join(first);
    for (int t = 1; t <= kLastMathTrace; ++t)
        if (t != first && TraceShown(t)) join(t);
    if (scales.Bands.empty()) scales.Bands.push_back({-kAll, kAll, ValueScale(first), TraceName(first).toStdString()});
    return scales;
}

std::vector<LegendItem> ScopeDisplay::LegendItems(bool atCursor) const {
    const bool cursorOn = atCursor && context_.InSource(context_.view.CursorPosition);
    // During a capture the readouts rest: the values are read from the window, at the mouse
    // or the newest set.
    const bool live = Capturing() && !context_.recording;
    const bool values = live || (cursorOn && context_.view.ReadoutEnabled);
    const std::int32_t at = live && !cursorOn ? kNewestPosition : context_.view.CursorPosition;
    std::vector<LegendItem> items;
    for (int t = 1; t <= kTraceCount; ++t) {
        if (!TraceShown(t)) continue;
        QString value;
        if (live)
            value = QString::fromStdString(CountDataValue(context_.source->samples(t)[at], Gain(t).Text).Text);
        else if (values)
            value = ReadoutTexts()[static_cast<std::size_t>(DataReadout(t))];
        items.push_back({SeriesOfTrace(t), TraceName(t), UnitOf(t), value});
    }
    const QString notice = MathNotice();
    for (int m = 1; m <= kMathCount; ++m) {
        if (!TraceShown(kTraceCount + m)) continue;
        const MathItem math = MathLegendItem(m);
        QString value;
        if (values) {
            const double v = MathValueAt(m, at);
            if (std::isfinite(v)) value = QString::number(v, 'g', 6);
        }
        // A math trace left out of the view says why in place of its value.
        if (!notice.isEmpty())
            items.push_back({SeriesOfTrace(kTraceCount + m), math.Name, {}, notice});
        else
            items.push_back({SeriesOfTrace(kTraceCount + m), math.Name, math.Unit, value});
    }
    return items;
}

}  // namespace altrix
