#pragma once
// Drawing the source on show into the sink: the channels at the density of the drawing mode
// (or the envelope of the view), the references, the math traces (kept here, computed over the
// source as it moves), the cursor's and mark's lines and the gaps' bands; the density recount
// and the envelope that follow the view.

#include "ChartLayout.h"
#include "Decimation.h"
#include "DisplayContext.h"
#include "MathTraces.h"
#include "Stretch.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace altrix {

class DisplaySettings;

// What the drawing reads of the view and the lanes, which the display keeps.
struct DrawingView {
    // The bottom axis split into its pixel columns, and the columns of the last full envelope
    // redraw.
    const ColumnView& columns;
    ColumnView& envelopeColumns;
    // Lanes shown: trace t's lane fitted to the view while it has no range.
    std::function<void(int t)> fitLane;
    // The lane trace t is drawn into; none overlaid.
    std::function<std::optional<Lane>(int t)> laneOf;
    std::function<PositionStretch()> viewStretch;
    std::function<PositionStretch()> analysisStretch;
    // The source on show holds sets: a capture took some, or a file or a recording is shown.
    std::function<bool()> holdsSets;
};

class TraceDrawing {
public:
    TraceDrawing(DisplayContext& context, const DisplaySettings& settings, DrawingView layout);

    void DrawWaveform(int series, std::int32_t pointCount, float scale, int channel);
    // The shown channels drawn, the others cleared, then the math traces.
    void RedrawShownChannels();
    // Takes both reference scales from their Y-scales, then draws both references.
    void DrawRef();
    // Both references at the scales last taken.
    void DrawReferences();
    // The chart is about to paint: the density follows the view while stopped, the envelope
    // whenever the view changed.
    void BeforeDrawSeries();
    void TakeChannelScales();

    void DrawVerticalLine(int series, std::int32_t position);
    void ClearSeries(int series);
    void Repaint(bool queued);

    // The decoder's recent gaps as bands, as window positions; a recording's gaps; none.
    void ShowGaps();
    void ShowRecordingGaps();
    void ClearGaps();

    // The math traces: kept up to date with the source when read, drawn with the channels.
    const MathTraces& Math() const { return math_; }
    // Math trace m is drawn and measured: shown by its definition, over a source that holds
    // sets (a window nothing was taken into has no values to compute from).
    bool MathShown(int m) const { return math_.Shown(m) && layout_.holdsSets(); }
    // False when the definition is the one there.
    bool DefineMath(int m, const MathDefinition& definition) { return math_.Define(m, definition); }
    // The source's samples changed under the math traces.
    void InvalidateMath() { math_.Invalidate(); }
    // The math traces drawn (or cleared once hidden); true when a series was refilled.
    bool DrawMath();
    // A capture starts: the math series drawn are cleared.
    void ClearMath();
    std::span<const double> MathValues(int m) const;
    std::span<const double> MathValuesOver(int m, PositionStretch stretch) const;
    double MathValueAt(int m, std::int32_t position) const;
    std::vector<DataVector> MathVectorsOver(PositionStretch stretch, std::vector<std::string>& leftOut) const;
    QString MathNotice() const;

private:
    void followViewWithEnvelope();
    // The density recount of a stopped capture after the view changed, and the redraw it asks.
    void checkzoom_andredraw();
    void refreshMath() const;

    DisplayContext& context_;
    const DisplaySettings& settings_;
    DrawingView layout_;
    std::vector<std::pair<double, double>> gapBands_;  // kept for its storage
    mutable MathTraces math_;                          // brought up to date when read
    std::array<bool, kMathCount> mathDrawn_{};
};

}  // namespace altrix
