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
    const double margin = kLaneMargin * (range.Upper - range.Lower);
    return {range.Lower - margin, range.Upper + margin};
}

// ScopeDisplay's part in the chart's layout.

float ScopeDisplay::PlotScale(int t) const {
    const bool channel = t <= kChannelCount;
    const float scale = channel ? context_.view.ChannelScale[t - 1] : context_.view.RefScale[t - kChannelCount - 1];
    if (scale != 0) return scale;
    // Not taken yet: the scale the next drawing takes.
    const int row = channel ? Channel(t).YScale : Reference(t - kChannelCount).YScale;
    return YScaleGain(kYScaleTexts[static_cast<std::size_t>(std::clamp(row, 0, int(kYScaleTexts.size()) - 1))]);
}

std::optional<PlottedRange> ScopeDisplay::rangeOver(int t, PositionStretch stretch) const {
    if (stretch.empty()) return std::nullopt;
    const float scale = PlotScale(t);
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

void ScopeDisplay::growFit(int t) {
    const std::optional<PlottedRange> whole = rangeOver(t, {0, context_.source->length() - 1});
    std::optional<PlottedRange>& fit = fits_[static_cast<std::size_t>(t - 1)];
    if (!fit)
        fit = whole;
    else if (whole)
        fit = PlottedRange{std::min(fit->Lower, whole->Lower), std::max(fit->Upper, whole->Upper)};
}

PlottedRange ScopeDisplay::fitOf(int t) const {
    // Before its first fit, a trace's lane holds every value it could take.
    const std::optional<PlottedRange>& fit = fits_[static_cast<std::size_t>(t - 1)];
    const double scale = PlotScale(t);
    return fit ? *fit : PlottedRange{-32768 * scale, 32767 * scale};
}

std::vector<Lane> ScopeDisplay::Lanes() const {
    std::vector<int> traces;
    std::vector<PlottedRange> fits;
    for (int t = 1; t <= kTraceCount; ++t) {
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
    for (int u = 1; u <= kTraceCount; ++u) {
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
    for (int t = 1; t <= kTraceCount; ++t)
        if (trace == 0 || t == trace)
            fits_[static_cast<std::size_t>(t - 1)] = TraceShown(t) ? rangeOver(t, ViewStretch()) : std::nullopt;
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
    for (int t = 1; t <= kTraceCount; ++t) {
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
    // Units per plotted unit: the gain over the Y-scale.
    const double perPlotted = GainFactorOf(t) / PlotScale(t);
    const std::optional<Lane> lane = laneOf(t);
    if (!lane) return {0, perPlotted};
    const LinearScale plotted = PlottedScaleOf(*lane);
    return {plotted.Offset * perPlotted, plotted.Factor * perPlotted};
}

double ScopeDisplay::PlotCoordinate(int t, double plotted) const {
    const std::optional<Lane> lane = laneOf(t);
    return lane ? LaneCoordinate(*lane, plotted) : plotted;
}

GraticuleScales ScopeDisplay::Scales() const {
    // The Time readout's seconds: a window's position x is set x + 1, a recording's set x from 0.
    GraticuleScales scales{{Times().Seconds(0), kSamplePeriodSeconds}, "Time (s)", {}};
    constexpr double kAll = std::numeric_limits<double>::infinity();
    if (!lanesShown_) {
        const int t = YAxisTrace();
        scales.Bands.push_back({-kAll, kAll, ValueScale(t), TraceName(t).toStdString()});
        return scales;
    }
    for (const Lane& lane : Lanes())
        scales.Bands.push_back({lane.Lower, lane.Upper, ValueScale(lane.Trace), TraceName(lane.Trace).toStdString()});
    return scales;
}

std::vector<LegendItem> ScopeDisplay::LegendItems(bool atCursor) const {
    const bool values = atCursor && context_.view.ReadoutEnabled && context_.InSource(context_.view.CursorPosition);
    std::vector<LegendItem> items;
    for (int t = 1; t <= kTraceCount; ++t) {
        if (!TraceShown(t)) continue;
        const QString name = TraceName(t);
        items.push_back({SeriesOfTrace(t), name, QString::fromStdString(UnitOfLabel(name.toStdString())),
                         values ? ReadoutTexts()[static_cast<std::size_t>(DataReadout(t))] : QString()});
    }
    const QString notice = MathNotice();
    for (int m = 1; m <= kMathCount; ++m) {
        if (!TraceShown(kTraceCount + m)) continue;
        const MathItem math = MathLegendItem(m);
        QString value;
        if (values) {
            const double at = MathValueAt(m, context_.view.CursorPosition);
            if (std::isfinite(at)) value = QString::number(at, 'g', 6);
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
