#pragma once
// ScopeDisplay: what the screen shows and what the user set, as plain values: per channel its
// enable, address, quantity, gain and Y-scale; the two references; the drawing mode and its
// density rule; cursor, mark and the view; the trigger settings; engineering mode. It draws the
// trace source on screen into a TraceSink, computes the readout texts, and tells listeners what
// changed. No widget: the main window binds its controls to it.
//
// A facade over its parts: DisplaySettings (what the user set), DisplayReadouts (the readout
// texts), CaptureFactsKeeper (what is known of the capture), TraceDrawing (the points in the
// sink and the math traces), sharing a DisplayContext; it keeps the view and the lanes, runs
// each event through the parts in order and emits the signals.

#include "CaptureDescription.h"
#include "CaptureFactsKeeper.h"
#include "ChartLayout.h"
#include "CaptureRecord.h"
#include "CaptureSession.h"
#include "Decimation.h"
#include "DisplayContext.h"
#include "DisplayReadouts.h"
#include "DisplaySettings.h"
#include "MathTraces.h"
#include "Stretch.h"
#include "TraceDrawing.h"
#include "TraceSink.h"
#include "RecordingSource.h"
#include "Timeline.h"
#include "TraceSource.h"
#include "Trigger.h"
#include "ZoomHistory.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace altrix {

struct CsvColumn;

class ScopeDisplay : public QObject {
    Q_OBJECT
public:
    // `session` runs the captures and holds the record whose window is on show; it outlives
    // the display.
    explicit ScopeDisplay(CaptureSession& session, QObject* parent = nullptr);
    ~ScopeDisplay() override;

    // The sink the traces are drawn into (the chart); none draws nothing.
    void SetSink(TraceSink* sink) { context_.sink = sink; }
    const TraceSource& Source() const { return *context_.source; }

    const ChannelSetting& Channel(int k) const { return settings_.Channel(k); }
    const ReferenceSetting& Reference(int r) const { return settings_.Reference(r); }
    const GainSetting& Gain(int t) const { return settings_.Gain(t); }
    DrawingMode Mode() const { return settings_.Mode(); }
    const DisplayView& View() const { return context_.view; }
    DisplayView& View() { return context_.view; }
    const Readouts& ReadoutTexts() const { return readouts_.Texts(); }
    // The unit of trace t's readouts (1..6); empty when its name gives none.
    QString ReadoutUnit(int t) const { return readouts_.Unit(t); }
    const TriggerSettings& Trigger() const { return settings_.Trigger(); }
    // False only for a level the trigger would wait for that is no number.
    bool TriggerLevelValid() const { return settings_.TriggerLevelValid(); }
    bool Engineering() const { return settings_.Engineering(); }

    // Math traces m (1..4): their definitions and errors, their values by window position
    // over the window on screen (NaN where there is none; empty while not shown or while a
    // recording is), and what a legend shows of them. A new definition redraws the trace.
    const MathTraces& Math() const { return drawing_.Math(); }
    void SetMath(int m, const MathDefinition& definition);
    std::span<const double> MathValues(int m) const;
    // Its values over a stretch of positions (empty while not shown, and for a recording
    // outside the stretch computed: the view, with the analysed stretch while both fit in
    // RecordingSource::kStretchLimit sets), and its value at a position (NaN for none).
    std::span<const double> MathValuesOver(int m, PositionStretch stretch) const;
    double MathValueAt(int m, std::int32_t position) const;
    // The shown math traces as the exporters take them over a stretch; those not computed over
    // all of it (a recording's stretch beyond the one computed) are named in `leftOut` instead.
    std::vector<DataVector> MathVectorsOver(PositionStretch stretch, std::vector<std::string>& leftOut) const;
    // Why the shown math traces are not drawn over the recording's view ("not drawn: ...");
    // empty while they are.
    QString MathNotice() const;
    struct MathItem {
        QString Name;  // "Power (kW)", "Math 1"
        QString Unit;
        std::uint32_t Colour;  // 0xRRGGBB
    };
    MathItem MathLegendItem(int m) const;

    // Channel k is shown when enabled with a non-empty address.
    bool ChannelShown(int k) const { return settings_.ChannelShown(k); }
    // Traces 1..10: the channels, the references, the math traces.
    bool TraceShown(int t) const;
    // Names as the analysis windows show them ("Channel 2", "Ref 1" without one), as CSV
    // columns name them (also of math traces), and the gain factor and text of trace t (1..6).
    QString TraceName(int t) const;
    // The unit trace t's values are in: its name's last parenthesis, a math trace's own.
    QString UnitOf(int t) const;
    std::string ColumnName(int t) const;
    double GainFactorOf(int t) const;
    std::vector<CsvColumn> ChannelColumns() const;

    const CaptureFacts& Facts() const { return facts_.Facts(); }
    void SetNote(const QString& note) { facts_.SetNote(note); }
    // The capture on show went to a file.
    void MarkSaved() { facts_.MarkSaved(); }
    // Replacing the capture on show would lose sets no file holds (OnlyOnScreen).
    bool CaptureOnlyOnScreen() const { return OnlyOnScreen(facts_.Copies()); }
    // The trigger setup of the loaded capture on show (CaptureFacts::Trigger) becomes the
    // user's; false when it names none.
    bool ApplyCapturedTrigger();
    // The capture on show as its sidecar describes it.
    CaptureDescription Describe(const std::string& programVersion) const;

    // Setters of what the user set. Each does what its control's event does: draws, recounts
    // readouts, repaints; a value that does not change does nothing.
    void SetChannelEnabled(int k, bool on);
    // A new address enables the channel while it is not empty.
    void SetChannelAddress(int k, const QString& address);
    // A chosen quantity fills in its address and gain ("1" and the address kept without one).
    void ChooseQuantity(int k, int row);
    // While an address is typed no quantity is named.
    void ClearQuantity(int k);
    void SetChannelYScale(int k, int row);
    void SetGain(int t, const QString& typed);
    void SetReferenceShown(int r, bool shown);
    void SetReferenceSource(int r, const QString& source);
    // The new scale is taken by the next DrawRef, at once while no capture runs.
    void SetReferenceYScale(int r, int row);
    // Copies channel c's window, name, Y-scale, gain and mark value into reference r, and shows it.
    void SaveChannelToReference(int r, int c);
    void SetEngineering(bool on) { settings_.SetEngineering(on); }
    void SetTrigger(const TriggerSettings& settings);

    // The drawing mode: restored (named only) or chosen (every trace redrawn at the menu's
    // density, then one repaint).
    void ShowDrawingMode(DrawingMode mode);
    void ChooseDrawingMode(DrawingMode mode);

    // The bottom axis as the chart shows it: split into its pixel columns, and its range.
    void SetView(const ColumnView& columns, double lower, double upper);
    // The chart is about to paint: the density follows the view while stopped, the envelope
    // whenever the view changed.
    void BeforeDrawSeries();
    // The cursor moved to a position; a double click sets the mark there.
    void MoveCursor(std::int32_t position);
    void SetMark();
    void SetReadoutEnabled(bool on) { context_.view.ReadoutEnabled = on; }

    // Drawing.
    void DrawWaveform(int series, std::int32_t pointCount, float scale, int channel) {
        drawing_.DrawWaveform(series, pointCount, scale, channel);
    }
    void RedrawShownChannels() { drawing_.RedrawShownChannels(); }
    // Takes both reference scales from their Y-scales, then draws both references.
    void DrawRef() { drawing_.DrawRef(); }
    // The capture's values for RUN, or what refuses them (DisplaySettings.h).
    using RunSetup = altrix::RunSetup;
    RunSetup CaptureSetupForRun() const { return settings_.CaptureSetupForRun(); }

    // What a capture and a load do to the display.
    void ShowCaptureStarted();
    void ShowCaptureStopped();
    void ShowCaptureTick();
    // After a file was read into the record: every channel shown without address or quantity,
    // no mark, no gaps.
    void ShowLoadedTraces();
    // After ShowLoadedTraces, for a file with a description: the channels' enables, quantities,
    // addresses, gains and Y-scales, the drawing mode and what is known of the capture (its
    // trigger setup among it), drawn once. The user's trigger setup stays until
    // ApplyCapturedTrigger; the references keep their settings: their traces are not in the file.
    void ShowDescribedCapture(const CaptureDescription& description);
    // Channel k as the user left it at the last run (its enable, quantity, address, gain and
    // Y-scale), and as it is now, to be remembered.
    void RestoreChannel(int k, const ChannelDescription& remembered);
    ChannelDescription ChannelDescribed(int k) const;
    // The decoder's recent gaps as bands, as window positions.
    void ShowGaps() { drawing_.ShowGaps(); }
    // A recording file on show instead of the window, until the next RUN: its channels as it
    // names them, its math traces as it defines them (taken over as the channels are; a file
    // without definitions keeps the user's), no mark, its gaps as bands, its start as the
    // capture's.
    void ShowRecording(std::unique_ptr<RecordingSource> recording);
    // The recording on show; none while the window is.
    const RecordingSource* Recording() const { return context_.recording; }
    // The times of the source on show: every time the screen shows or an export writes.
    Timeline Times() const;

    // The stretch the measurements and spectrum read: mark to cursor, else the view.
    PositionStretch AnalysisStretch() const;
    // The positions in the view, whether or not a mark is set.
    PositionStretch ViewStretch() const;
    bool Capturing() const;
    // The source on show holds sets: a capture took some since the start, or a file or a
    // recording is shown. Math traces over a window that holds none are not drawn.
    bool HoldsSets() const;
    // A waveform file or a recording is on show, not a capture of this run.
    bool ShowsFile() const { return facts_.Loaded(); }

    // The chart's layout (ChartLayout.cpp). Lanes: each shown trace in a band of its own,
    // fitted to what the view shows of it when first drawn with samples (turning lanes on, RUN,
    // a load, a recording, a capture's first sets); a range then stays until Fit, "Fit lane" or
    // a rectangle zoom in the lane changes it.
    bool LanesShown() const { return lanesShown_; }
    void ShowLanes(bool on);
    // The graticule and the legend on or off; the chart draws what these say.
    bool AxesShown() const { return axesShown_; }
    bool LegendShown() const { return legendShown_; }
    void ShowAxes(bool on);
    void ShowLegend(bool on);
    // The views the chart left, for stepping back; every capture starts its own.
    ZoomHistory& ZoomSteps() { return zoomSteps_; }
    // `trace` 0 fits every lane, a trace's number its lane alone, to what the view shows.
    void FitLanes(int trace = 0);
    // Trace t's lane shows the vertical-axis coordinates lower..upper of its band (a
    // rectangle drawn in it) over the whole band.
    void ZoomLane(int t, double lower, double upper);
    // Back: before the zoom history steps back from a view a rectangle in a lane left, that
    // lane (and every lane) gets the range it had before the rectangle. Call before ZoomSteps().Back().
    void StepLanesBack();
    std::vector<Lane> Lanes() const;
    // The plotted range of every shown trace over the view (an overlaid "Fit"); none when no
    // trace is shown. During a capture only the positions that hold its sets count.
    std::optional<PlottedRange> ShownRange() const;
    // The overlaid axis drawn first, on the left, with the grid: the chosen trace's while it
    // is shown, else the first shown trace's (1 when none is).
    int YAxisTrace() const;
    void SetYAxisTrace(int t) { yAxisTrace_ = t; }
    // The engineering value at each vertical-axis coordinate of trace t, overlaid or in its lane.
    LinearScale ValueScale(int t) const;
    // The vertical-axis coordinate of trace t's plotted value: itself overlaid, in its lane else.
    double PlotCoordinate(int t, double plotted) const;
    // The Y-scale factor trace t is drawn with (a math trace's: its full scale's).
    float PlotScale(int t) const;
    // The time axis, and the vertical axes: in lanes one band a lane; overlaid one axis per
    // trace in its units, shared by traces of one unit on one scale, YAxisTrace's first on the
    // left, the others alternating right and left.
    GraticuleScales Scales() const;
    // The shown traces in drawing order, with their values: stopped, at the cursor when
    // `atCursor` and the readouts follow it; during a capture, at the mouse when `atCursor`,
    // else the newest.
    std::vector<LegendItem> LegendItems(bool atCursor) const;

signals:
    void channelChanged(int k);
    void referenceChanged(int r);
    void drawingModeChanged(altrix::DrawingMode mode);
    // A capture starts: the view moves to the newest sets before the traces are cleared.
    void captureStarting();
    // Another source is on show, to be seen whole: the bottom axis is to show 0 .. positions - 1
    // (a recording shown; RUN after a file or a recording brings back the live window).
    void lengthChanged(int positions);
    // The graticule, the legend or the lanes were turned on or off.
    void decorationsChanged();
    // The readouts whose bit (1 << n for readout n) is set were written, whether
    // or not their text changed; the others keep what they show.
    void readoutsChanged(std::uint32_t written);
    // The trigger settings changed, or the loaded capture's trigger setup (CaptureFacts::Trigger).
    void triggerChanged();
    // Math trace m's definition changed.
    void mathChanged(int m);
    // The traces, their names, gains or visibility, the cursor, the mark or the view changed.
    void traceViewChanged();

private:
    // The readouts written since the last signal.
    void emitReadouts() { emit readoutsChanged(readouts_.TakeWritten()); }

    std::optional<PlottedRange> rangeOver(int t, PositionStretch stretch) const;
    // The positions of `stretch` that hold samples: during a capture its sets so far.
    PositionStretch withSamples(PositionStretch stretch) const;
    // Lanes shown: trace t's lane fitted to the view when it has no range yet.
    void fitIfNone(int t);
    double unitsPerPlotted(int t) const;
    std::optional<Lane> laneOf(int t) const;
    PlottedRange fitOf(int t) const;
    // Every trace drawn again in the layout, at once.
    void redrawLayout();

    CaptureSession& session_;
    DisplayContext context_;
    DisplaySettings settings_;
    CaptureFactsKeeper facts_;
    DisplayReadouts readouts_;
    ColumnView columns_{0, kNewestPosition, 1000};
    double viewLower_ = 0;
    double viewUpper_ = kNewestPosition;
    ColumnView envelopeColumns_{};  // the view of the last full envelope redraw
    bool lanesShown_ = false;
    bool axesShown_ = true;
    bool legendShown_ = true;
    ZoomHistory zoomSteps_;
    int yAxisTrace_ = 0;  // none chosen
    std::array<std::optional<PlottedRange>, kLastMathTrace> fits_{};
    // The lanes' ranges before each rectangle zoom in a lane, with the depth of the zoom history
    // that zoom's view left (ZoomLane, StepLanesBack).
    struct LaneStep {
        int Depth;
        std::array<std::optional<PlottedRange>, kLastMathTrace> Fits;
    };
    std::vector<LaneStep> laneSteps_;
    TraceDrawing drawing_;
};

}  // namespace altrix
