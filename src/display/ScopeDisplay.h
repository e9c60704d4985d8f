#pragma once
// ScopeDisplay: what the screen shows and what the user set, as plain values: per channel its
// enable, address, quantity, gain and Y-scale; the two references; the drawing mode and its
// density rule; cursor, mark and the view; the trigger settings; engineering mode. It draws the
// trace source on screen into a TraceSink, computes the readout texts, and tells listeners what
// changed. No widget: the main window binds its controls to it.

#include "CaptureDescription.h"
#include "ChartLayout.h"
#include "CaptureRecord.h"
#include "CaptureSession.h"
#include "Decimation.h"
#include "MathTraces.h"
#include "Stretch.h"
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

inline constexpr int kTraceCount = kChannelCount + kReferenceCount;
// Math trace m (1..4) is trace kTraceCount + m.
inline constexpr int kFirstMathTrace = kTraceCount + 1;
inline constexpr int kLastMathTrace = kTraceCount + kMathCount;
// Series of the sink: channel k is series k, reference r series 7 + r, math trace m series 9 + m.
inline constexpr int kCursorSeries = 6;
inline constexpr int kMarkSeries = 7;
constexpr int SeriesOfTrace(int t) {
    return t <= kChannelCount ? t : t + 3;
}

// Seconds as the time readouts show them: up to 15 significant digits, the decimal separator of
// the default locale.
QString TimeText(double seconds);
// The time of `position` on `times` in the user's number format: "0.0002", "10.0002".
QString TimeText(const Timeline& times, std::int64_t position);

// A gain as typed (the user's decimal separator allowed) and as every reader takes it.
struct GainSetting {
    QString Typed = QStringLiteral("1");
    std::string Text = "1";  // "." as the point
    bool Valid = true;       // an invalid gain counts as 1
};

struct ChannelSetting {
    bool Enabled = false;
    QString Address;
    int Quantity = -1;  // row of the quantity presets; -1 for none
    GainSetting Gain;
    int YScale = kDefaultYScaleIndex;  // row of the Y-scale texts
};

struct ReferenceSetting {
    bool Shown = false;
    QString Source;
    GainSetting Gain;
    int YScale = kDefaultYScaleIndex;
};

// In the order in which the density recount tests them.
enum class DrawingMode { Simplified, Fast, Envelope, HighPrecision };

// The point counts a drawing mode asks for.
struct DensityRule {
    std::int32_t MenuPointCount;     // when chosen
    std::int32_t CapturePointCount;  // every capture tick
    // Stopped, by visible fraction r of the window: r > 0.45, 0.3 <= r <= 0.45, r < 0.3.
    std::array<std::int32_t, 3> StoppedPointCounts;
    bool Envelope;  // draws the envelope of the view instead of a stride
};
const DensityRule& DensityOf(DrawingMode mode);

// The view state the readouts and the drawing keep between events.
struct DisplayView {
    std::int32_t DrawPointCount = kStartDrawPointCount;
    std::int32_t CursorPosition = 0;
    std::int32_t CursorSample = 0;
    std::int32_t MarkPosition = kNoMark;
    std::array<std::int16_t, kChannelCount> MarkValues{};
    std::array<std::int16_t, kReferenceCount> MarkRefValues{};
    bool ReadoutEnabled = false;
    std::array<float, kChannelCount> ChannelScale{};
    std::array<float, kReferenceCount> RefScale{};
};

// The texts of the readouts, numbered: the cursor's time, the time from the mark, and per
// trace t its value at the cursor and its difference from the mark.
inline constexpr int kTimeReadout = 0;
inline constexpr int kMarkTimeReadout = 1;
constexpr int DataReadout(int t) {
    return 1 + t;
}
constexpr int DiffReadout(int t) {
    return 1 + kTraceCount + t;
}
using Readouts = std::array<QString, 2 + 2 * kTraceCount>;

// What is known of the capture on show besides its samples and the settings above.
struct CaptureFacts {
    QDateTime Start;  // UTC; invalid when not known
    QDateTime End;
    std::int32_t TriggerPosition = -1;  // window position of the trigger set on show, -1 for none
    QString TriggerSeconds;             // its time since RUN, as the trigger label shows it
    std::optional<std::int32_t> DriveTypeCode;
    QString Note;
    // Taken and neither saved nor loaded since: the traces hold what no file does.
    bool Unsaved = false;
    // Of a loaded file: the set, counted from RUN, at its window's position 0, when its
    // description places the window (by its trigger).
    std::optional<std::int64_t> FirstSet;
};

class ScopeDisplay : public QObject {
    Q_OBJECT
public:
    // `session` runs the captures and holds the record whose window is on show; it outlives
    // the display.
    explicit ScopeDisplay(CaptureSession& session, QObject* parent = nullptr);
    ~ScopeDisplay() override;

    // The sink the traces are drawn into (the chart); none draws nothing.
    void SetSink(TraceSink* sink) { sink_ = sink; }
    const TraceSource& Source() const { return *source_; }

    const ChannelSetting& Channel(int k) const { return channels_[k - 1]; }
    const ReferenceSetting& Reference(int r) const { return refs_[r - 1]; }
    const GainSetting& Gain(int t) const;
    DrawingMode Mode() const { return mode_; }
    const DisplayView& View() const { return view_; }
    DisplayView& View() { return view_; }
    const Readouts& ReadoutTexts() const { return readouts_; }
    const TriggerSettings& Trigger() const { return trigger_; }
    // False only for a level the trigger would wait for that is no number.
    bool TriggerLevelValid() const;
    bool Engineering() const { return engineering_; }

    // Math traces m (1..4): their definitions and errors, their values by window position
    // over the window on screen (NaN where there is none; empty while not shown or while a
    // recording is), and what a legend shows of them. A new definition redraws the trace.
    const MathTraces& Math() const { return math_; }
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
    bool ChannelShown(int k) const;
    // Traces 1..10: the channels, the references, the math traces.
    bool TraceShown(int t) const;
    // Names as the analysis windows show them ("Channel 2", "Ref 1" without one), as CSV
    // columns name them (also of math traces), and the gain factor and text of trace t (1..6).
    QString TraceName(int t) const;
    std::string ColumnName(int t) const;
    double GainFactorOf(int t) const;
    std::vector<CsvColumn> ChannelColumns() const;

    const CaptureFacts& Facts() const { return facts_; }
    void SetNote(const QString& note) { facts_.Note = note; }
    // The capture on show went to a file.
    void MarkSaved() { facts_.Unsaved = false; }
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
    void SetEngineering(bool on) { engineering_ = on; }
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
    void SetReadoutEnabled(bool on) { view_.ReadoutEnabled = on; }

    // Drawing.
    void DrawWaveform(int series, std::int32_t pointCount, float scale, int channel);
    void RedrawShownChannels();
    // Takes both reference scales from their Y-scales, then draws both references.
    void DrawRef();
    // The capture's values for RUN, from the channels and the trigger; else the first channel
    // whose address is not four hexadecimal digits, or a trigger that waits for a level that
    // is no number.
    struct RunSetup {
        std::optional<CaptureSetup> Setup;
        int BadChannel = 0;
        bool BadTriggerLevel = false;
    };
    RunSetup CaptureSetupForRun() const;

    // What a capture and a load do to the display.
    void ShowCaptureStarted();
    void ShowCaptureStopped();
    void ShowCaptureTick();
    // After a file was read into the record: every channel shown without address or quantity,
    // no mark, no gaps.
    void ShowLoadedTraces();
    // After ShowLoadedTraces, for a file with a description: the channels' enables, quantities,
    // addresses, gains and Y-scales, the drawing mode, the trigger settings and what is known of
    // the capture, drawn once. The references keep their settings: their traces are not in the
    // file.
    void ShowDescribedCapture(const CaptureDescription& description);
    // The decoder's recent gaps as bands, as window positions.
    void ShowGaps();
    // A recording file on show instead of the window, until the next RUN: its channels as it
    // names them, its math traces as it defines them (taken over as the channels are; a file
    // without definitions keeps the user's), no mark, its gaps as bands, its start as the
    // capture's.
    void ShowRecording(std::unique_ptr<RecordingSource> recording);
    // The recording on show; none while the window is.
    const RecordingSource* Recording() const { return recording_; }
    // The times of the source on show: every time the screen shows or an export writes.
    Timeline Times() const;
    // The cursor's time of day in a recording (local time, to the millisecond); empty for the
    // window or outside the recording.
    QString CursorClockText() const;

    // The stretch the measurements and spectrum read: mark to cursor, else the view.
    PositionStretch AnalysisStretch() const;
    // The positions in the view, whether or not a mark is set.
    PositionStretch ViewStretch() const;
    bool Capturing() const;

    // The chart's layout (ChartLayout.cpp). Lanes: each shown trace in a band of its own,
    // fitted to it; turning them on fits them, as FitLanes does over the view; a lane grows to
    // every sample its trace draws until the next fit, and a capture or a load starts afresh.
    bool LanesShown() const { return lanesShown_; }
    void ShowLanes(bool on);
    // The graticule and the legend on or off; the chart draws what these say.
    bool AxesShown() const { return axesShown_; }
    bool LegendShown() const { return legendShown_; }
    void ShowAxes(bool on);
    void ShowLegend(bool on);
    // The views the chart left, for stepping back; every capture starts its own.
    ZoomHistory& ZoomSteps() { return zoomSteps_; }
    // `trace` 0 fits every lane, a trace's number its lane alone.
    void FitLanes(int trace = 0);
    std::vector<Lane> Lanes() const;
    // The plotted range of every shown trace over the view (an overlaid "Fit"); none when no
    // trace is shown.
    std::optional<PlottedRange> ShownRange() const;
    // The trace the vertical axis is labelled in: the chosen one while shown, else the first
    // shown trace (1 when none is).
    int YAxisTrace() const;
    void SetYAxisTrace(int t) { yAxisTrace_ = t; }
    // The engineering value at each vertical-axis coordinate of trace t, overlaid or in its lane.
    LinearScale ValueScale(int t) const;
    // The vertical-axis coordinate of trace t's plotted value: itself overlaid, in its lane else.
    double PlotCoordinate(int t, double plotted) const;
    // The Y-scale factor trace t is drawn with.
    float PlotScale(int t) const;
    GraticuleScales Scales() const;
    // The shown traces in drawing order, with their values at the cursor when `atCursor`
    // and the readouts follow it.
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
    void triggerChanged();
    // Math trace m's definition changed.
    void mathChanged(int m);
    // The traces, their names, gains or visibility, the cursor, the mark or the view changed.
    void traceViewChanged();

private:
    // The readouts of trace t are kept while its box is ticked.
    bool readoutShown(int t) const;
    // A readout written, and the signal for those written since the last one.
    void setReadout(int n, const QString& text);
    void emitReadouts();
    void showValue(int t);
    void showDifference(int t);
    std::int16_t valueAtCursor(int t) const;
    std::int16_t& valueAtMark(int t);
    void takeChannelScales();
    void drawReferences();
    void followViewWithEnvelope();
    void checkzoomAndRedraw();
    void drawVerticalLine(int series, std::int32_t position);
    void clearSeries(int series);
    void repaint(bool queued);

    // The session's reports that the facts of the capture on show follow.
    void followCaptureFacts();
    std::optional<PlottedRange> rangeOver(int t, PositionStretch stretch) const;
    void growFit(int t);
    std::optional<Lane> laneOf(int t) const;
    PlottedRange fitOf(int t) const;
    // Every trace drawn again in the layout, at once.
    void redrawLayout();

    bool inSource(std::int32_t position) const { return position >= 0 && position < source_->length(); }
    // The math traces brought up to date with the source, and drawn (or cleared once hidden);
    // true when a series was refilled.
    void refreshMath() const;
    bool drawMath();

    CaptureSession& session_;
    std::unique_ptr<TraceSource> source_;
    RecordingSource* recording_ = nullptr;  // source_ while it is a recording
    CaptureFacts facts_;
    std::optional<std::int32_t> identifiedType_;  // the drive type last identified
    bool loaded_ = false;                         // the capture on show came from a file
    TraceSink* sink_ = nullptr;
    std::array<ChannelSetting, kChannelCount> channels_{};
    std::array<ReferenceSetting, kReferenceCount> refs_{};
    DrawingMode mode_ = DrawingMode::HighPrecision;
    DisplayView view_;
    ColumnView columns_{0, kNewestPosition, 1000};
    double viewLower_ = 0;
    double viewUpper_ = kNewestPosition;
    ColumnView envelopeColumns_{};  // the view of the last full envelope redraw
    Readouts readouts_;
    std::uint32_t touched_ = 0;
    TriggerSettings trigger_;
    bool engineering_ = false;
    std::vector<std::pair<double, double>> gapBands_;  // kept for its storage
    bool lanesShown_ = false;
    bool axesShown_ = true;
    bool legendShown_ = true;
    ZoomHistory zoomSteps_;
    int yAxisTrace_ = 0;  // none chosen
    std::array<std::optional<PlottedRange>, kTraceCount> fits_{};
    mutable MathTraces math_;  // brought up to date when read
    std::array<bool, kMathCount> mathDrawn_{};
};

}  // namespace altrix
