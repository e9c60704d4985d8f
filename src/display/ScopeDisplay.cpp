#include "ScopeDisplay.h"

#include "CaptureSession.h"
#include "CsvExport.h"
#include "RecordingFormat.h"

#include <string>
#include <utility>

namespace altrix {

ScopeDisplay::ScopeDisplay(CaptureSession& session, QObject* parent)
    : QObject(parent),
      session_(session),
      context_(session),
      facts_(session),
      readouts_(context_, settings_),
      drawing_(context_, settings_,
               DrawingView{columns_, envelopeColumns_,
                           [this](int t) { fitIfNone(t); },
                           [this](int t) { return laneOf(t); }, [this] { return ViewStretch(); },
                           [this] { return AnalysisStretch(); }, [this] { return HoldsSets(); }}) {
    // The display follows the capture before any view of it does.
    connect(&session_, &CaptureSession::started, this, &ScopeDisplay::ShowCaptureStarted);
    connect(&session_, &CaptureSession::stopped, this, &ScopeDisplay::ShowCaptureStopped);
    connect(&session_, &CaptureSession::ticked, this, &ScopeDisplay::ShowCaptureTick);
    facts_.Follow(this);
}

CaptureDescription ScopeDisplay::Describe(const std::string& programVersion) const {
    CaptureDescription d;
    settings_.Describe(d);
    facts_.Describe(d);
    d.ProgramVersion = programVersion;
    return d;
}

ScopeDisplay::~ScopeDisplay() = default;

bool ScopeDisplay::TraceShown(int t) const {
    if (t >= kFirstMathTrace) return drawing_.MathShown(t - kTraceCount);
    return settings_.TraceShown(t);
}

QString ScopeDisplay::TraceName(int t) const {
    if (t >= kFirstMathTrace) return QString::fromStdString(ColumnName(t));
    return settings_.TraceName(t);
}

std::string ScopeDisplay::ColumnName(int t) const {
    if (t >= kFirstMathTrace) return MathLabel(t - kTraceCount, drawing_.Math().Definition(t - kTraceCount));
    return settings_.ColumnName(t);
}

double ScopeDisplay::GainFactorOf(int t) const {
    return settings_.GainFactorOf(t);
}

std::vector<CsvColumn> ScopeDisplay::ChannelColumns() const {
    return settings_.ChannelColumns();
}

void ScopeDisplay::SetChannelEnabled(int k, bool on) {
    if (!settings_.SetChannelEnabled(k, on)) return;
    // The address is not looked at: a channel enabled without one is drawn until the next
    // multi-channel redraw clears it.
    if (on)
        drawing_.DrawWaveform(k, context_.view.DrawPointCount, context_.view.ChannelScale[k - 1], k);
    else
        drawing_.ClearSeries(k);
    // Queued, so that commands enabling several channels repaint once.
    drawing_.Repaint(true);
    emit channelChanged(k);
    emit traceViewChanged();
}

void ScopeDisplay::SetChannelAddress(int k, const QString& address) {
    if (!settings_.SetChannelAddress(k, address)) return;
    emit channelChanged(k);
    emit traceViewChanged();
    // Typing further characters into a non-empty address redraws nothing.
    SetChannelEnabled(k, !address.isEmpty());
}

void ScopeDisplay::ChooseQuantity(int k, int row) {
    settings_.SetQuantity(k, row);
    emit channelChanged(k);
    emit traceViewChanged();
    if (const std::optional<QString> address = DisplaySettings::PresetAddress(row)) SetChannelAddress(k, *address);
    SetGain(k, DisplaySettings::PresetGain(row));
}

void ScopeDisplay::ClearQuantity(int k) {
    if (!settings_.ClearQuantity(k)) return;
    emit channelChanged(k);
    emit traceViewChanged();
}

void ScopeDisplay::SetChannelYScale(int k, int row) {
    settings_.SetChannelYScale(k, row);
    context_.view.ChannelScale[k - 1] = settings_.YScaleGainOf(k);
    emit channelChanged(k);
    // During a capture the next tick draws with the new factor.
    if (session_.IsRunning() || !ChannelShown(k)) return;
    drawing_.DrawWaveform(k, context_.view.DrawPointCount, context_.view.ChannelScale[k - 1], k);
    drawing_.Repaint(true);
}

void ScopeDisplay::SetGain(int t, const QString& typed) {
    if (!settings_.SetGain(t, typed)) return;
    // The readouts follow every gain, whether or not the trace is shown or a capture runs.
    readouts_.RecountTrace(t);
    if (t <= kChannelCount)
        emit channelChanged(t);
    else
        emit referenceChanged(t - kChannelCount);
    emitReadouts();
    // Math traces read the values in units.
    if (drawing_.DrawMath()) drawing_.Repaint(true);
    emit traceViewChanged();
}

void ScopeDisplay::SetReferenceShown(int r, bool shown) {
    if (!settings_.SetReferenceShown(r, shown)) return;
    if (shown)
        drawing_.DrawRef();
    else
        drawing_.ClearSeries(SeriesOfTrace(kChannelCount + r));
    drawing_.Repaint(true);
    emit referenceChanged(r);
    emit traceViewChanged();
}

void ScopeDisplay::SetReferenceSource(int r, const QString& source) {
    if (!settings_.SetReferenceSource(r, source)) return;
    emit referenceChanged(r);
    emit traceViewChanged();
}

void ScopeDisplay::SetReferenceYScale(int r, int row) {
    settings_.SetReferenceYScale(r, row);
    emit referenceChanged(r);
    // DrawRef rescales both references; during a capture the new scale waits for the next one.
    if (session_.IsRunning()) return;
    drawing_.DrawRef();
    drawing_.Repaint(true);
}

void ScopeDisplay::SaveChannelToReference(int r, int c) {
    // From a recording, the window from the view's first set.
    if (context_.recording) context_.recording->SetWindowStart(ViewStretch().First);
    const WindowSamples window = context_.source->samples(c);
    ReferenceSamples& trace = session_.record().ReferenceTrace[r - 1];
    for (int x = 0; x < kWindowPositions; ++x) trace[x] = window[x];
    drawing_.InvalidateMath();
    drawing_.DrawMath();
    settings_.NameReferenceAfter(r, c);
    emit referenceChanged(r);
    SetGain(kChannelCount + r, Channel(c).Gain.Typed);
    readouts_.CopyMarkValue(r, c);
    // Showing it draws it; a reference already shown is redrawn with its new samples.
    if (Reference(r).Shown) {
        drawing_.DrawRef();
        drawing_.Repaint(true);
    } else {
        SetReferenceShown(r, true);
    }
    emit traceViewChanged();
}

void ScopeDisplay::SetTrigger(const TriggerSettings& settings) {
    if (settings_.SetTrigger(settings)) emit triggerChanged();
}

bool ScopeDisplay::ApplyCapturedTrigger() {
    if (!facts_.Facts().Trigger) return false;
    SetTrigger(*facts_.Facts().Trigger);
    return true;
}

void ScopeDisplay::ShowDrawingMode(DrawingMode mode) {
    settings_.SetMode(mode);
    emit drawingModeChanged(mode);
}

void ScopeDisplay::ChooseDrawingMode(DrawingMode mode) {
    context_.view.ReadoutEnabled = false;
    context_.view.DrawPointCount = DensityOf(mode).MenuPointCount;
    settings_.SetMode(mode);
    drawing_.RedrawShownChannels();
    drawing_.DrawRef();
    envelopeColumns_ = columns_;
    emit drawingModeChanged(mode);
    context_.view.ReadoutEnabled = true;
    // The repaint recounts the points for the current view.
    drawing_.Repaint(false);
}

void ScopeDisplay::SetView(const ColumnView& columns, double lower, double upper) {
    columns_ = columns;
    viewLower_ = lower;
    viewUpper_ = upper;
    emit traceViewChanged();
}

void ScopeDisplay::BeforeDrawSeries() {
    drawing_.BeforeDrawSeries();
}

void ScopeDisplay::MoveCursor(std::int32_t position) {
    context_.view.CursorPosition = position;
    readouts_.Write(kTimeReadout,
                    context_.InSource(position) ? TimeText(Times(), position) : QStringLiteral("Over range"));
    // During a capture or a drawing-mode redraw only the time follows the mouse.
    if (!context_.view.ReadoutEnabled) {
        emitReadouts();
        return;
    }
    drawing_.DrawVerticalLine(kCursorSeries, position);
    readouts_.FollowCursor();
    drawing_.Repaint(true);
    emitReadouts();
    emit traceViewChanged();
}

void ScopeDisplay::SetMark() {
    drawing_.ClearSeries(kMarkSeries);
    // No mark can be set during a capture or a drawing-mode redraw. The position is the one of
    // the last cursor move.
    if (context_.view.ReadoutEnabled) {
        drawing_.DrawVerticalLine(kMarkSeries, context_.view.CursorPosition);
        readouts_.TakeMark();
    }
    drawing_.Repaint(true);
    emit traceViewChanged();
}

void ScopeDisplay::ShowCaptureStarted() {
    drawing_.InvalidateMath();
    drawing_.ClearGaps();
    // The live window is seen whole, whatever view a file or a recording had.
    const bool wasFile = facts_.Loaded();
    if (context_.ShowWindow() || wasFile) emit lengthChanged(kWindowPositions);
    emit captureStarting();
    // The views before RUN (and RUN's own alignment) are not steps back within this capture.
    zoomSteps_.Clear();
    laneSteps_.clear();
    for (int k = 1; k <= kChannelCount; ++k) drawing_.ClearSeries(k);
    drawing_.ClearMath();
    drawing_.ClearSeries(kCursorSeries);
    drawing_.ClearSeries(kMarkSeries);
    drawing_.TakeChannelScales();
    // The channels' and math traces' lanes fit themselves to the capture's first sets.
    for (int t = 1; t <= kLastMathTrace; ++t)
        if (t <= kChannelCount || t >= kFirstMathTrace) fits_[static_cast<std::size_t>(t - 1)].reset();
    context_.view.MarkPosition = kNoMark;
    readouts_.ClearForCapture();
    context_.view.ReadoutEnabled = false;
    emitReadouts();
}

void ScopeDisplay::ShowCaptureStopped() {
    drawing_.RedrawShownChannels();
}

void ScopeDisplay::ShowCaptureTick() {
    context_.view.DrawPointCount = settings_.Density().CapturePointCount;
    drawing_.RedrawShownChannels();
    drawing_.Repaint(false);
    readouts_.ShowNewestValues();
    emitReadouts();
    if (session_.record().GapCount > 0) drawing_.ShowGaps();
    emit traceViewChanged();
}

void ScopeDisplay::ShowLoadedTraces() {
    drawing_.InvalidateMath();
    drawing_.ClearGaps();
    if (context_.ShowWindow()) emit lengthChanged(kWindowPositions);
    drawing_.TakeChannelScales();
    fits_ = {};
    context_.view.ReadoutEnabled = true;
    settings_.ShowLoadedChannels();
    readouts_.ClearDifferences();
    facts_.ShowLoaded();
    emit triggerChanged();
    zoomSteps_.Clear();
    laneSteps_.clear();
    context_.view.MarkPosition = kNoMark;
    drawing_.ClearSeries(kMarkSeries);
    drawing_.RedrawShownChannels();
    drawing_.Repaint(true);
    for (int k = 1; k <= kChannelCount; ++k) emit channelChanged(k);
    emitReadouts();
    emit traceViewChanged();
}

void ScopeDisplay::ShowDescribedCapture(const CaptureDescription& d) {
    drawing_.InvalidateMath();
    for (int k = 1; k <= kChannelCount; ++k) {
        settings_.TakeDescribed(k, d.Channels[k - 1]);
        // Recounts the channel's readouts with the gain.
        SetGain(k, DisplaySettings::TypedGain(d.Channels[k - 1].Gain));
    }
    drawing_.TakeChannelScales();
    fits_ = {};
    settings_.SetMode(static_cast<DrawingMode>(d.DrawingMode));
    context_.view.DrawPointCount = settings_.Density().MenuPointCount;
    facts_.ShowDescribed(d);
    emit triggerChanged();
    drawing_.RedrawShownChannels();
    drawing_.DrawRef();
    envelopeColumns_ = columns_;
    drawing_.Repaint(true);
    emit drawingModeChanged(settings_.Mode());
    for (int k = 1; k <= kChannelCount; ++k) emit channelChanged(k);
    emit traceViewChanged();
}

void ScopeDisplay::RestoreChannel(int k, const ChannelDescription& remembered) {
    settings_.TakeDescribed(k, remembered);
    drawing_.TakeChannelScales();
    // Recounts the channel's readouts and tells the controls.
    SetGain(k, DisplaySettings::TypedGain(remembered.Gain));
    drawing_.RedrawShownChannels();
    drawing_.Repaint(true);
    emit channelChanged(k);
    emit traceViewChanged();
}

ChannelDescription ScopeDisplay::ChannelDescribed(int k) const {
    CaptureDescription d;
    settings_.Describe(d);
    return d.Channels[static_cast<std::size_t>(k - 1)];
}

Timeline ScopeDisplay::Times() const {
    if (context_.recording) return context_.recording->Times();
    return facts_.WindowTimes();
}

PositionStretch ScopeDisplay::AnalysisStretch() const {
    return altrix::AnalysisStretch(context_.view.MarkPosition, context_.view.CursorPosition, viewLower_, viewUpper_,
                                   context_.source->length() - 1);
}

PositionStretch ScopeDisplay::ViewStretch() const {
    return altrix::AnalysisStretch(kNoMark, context_.view.CursorPosition, viewLower_, viewUpper_,
                                   context_.source->length() - 1);
}

void ScopeDisplay::ShowRecording(std::unique_ptr<RecordingSource> recording) {
    context_.recording = recording.get();
    context_.source = std::move(recording);
    const RecordingHeader& header = context_.recording->Reader().Header();
    drawing_.TakeChannelScales();
    fits_ = {};
    context_.view.ReadoutEnabled = true;
    for (int k = 1; k <= kChannelCount; ++k) {
        settings_.TakeRecorded(k, header.Channels[k - 1]);
        SetGain(k, DisplaySettings::TypedGain(header.Channels[k - 1].Gain));
    }
    readouts_.ClearDifferences();
    facts_.ShowRecording(context_.recording->Started(), header.DriveTypeCode);
    emit triggerChanged();
    context_.view.MarkPosition = kNoMark;
    drawing_.ClearSeries(kMarkSeries);
    drawing_.ClearSeries(kCursorSeries);
    drawing_.ShowRecordingGaps();
    // Its math traces as recorded; a file written before they were kept leaves the user's.
    if (header.Math)
        for (int m = 1; m <= kMathCount; ++m) SetMath(m, (*header.Math)[static_cast<std::size_t>(m - 1)]);
    envelopeColumns_ = {};
    zoomSteps_.Clear();
    laneSteps_.clear();
    emit lengthChanged(context_.source->length());
    drawing_.RedrawShownChannels();
    drawing_.Repaint(true);
    for (int k = 1; k <= kChannelCount; ++k) emit channelChanged(k);
    emitReadouts();
    emit traceViewChanged();
}

void ScopeDisplay::SetMath(int m, const MathDefinition& definition) {
    if (!drawing_.DefineMath(m, definition)) return;
    if (drawing_.DrawMath()) drawing_.Repaint(true);
    emit mathChanged(m);
    emit traceViewChanged();
}

std::span<const double> ScopeDisplay::MathValues(int m) const {
    return drawing_.MathValues(m);
}

std::span<const double> ScopeDisplay::MathValuesOver(int m, PositionStretch stretch) const {
    return drawing_.MathValuesOver(m, stretch);
}

double ScopeDisplay::MathValueAt(int m, std::int32_t position) const {
    return drawing_.MathValueAt(m, position);
}

std::vector<DataVector> ScopeDisplay::MathVectorsOver(PositionStretch stretch, std::vector<std::string>& leftOut) const {
    return drawing_.MathVectorsOver(stretch, leftOut);
}

QString ScopeDisplay::MathNotice() const {
    return drawing_.MathNotice();
}

ScopeDisplay::MathItem ScopeDisplay::MathLegendItem(int m) const {
    return {TraceName(kTraceCount + m), QString::fromStdString(drawing_.Math().Definition(m).Unit), kMathColours[m - 1]};
}

bool ScopeDisplay::HoldsSets() const {
    return context_.recording || facts_.Loaded() || session_.record().SetCount > 0;
}

bool ScopeDisplay::Capturing() const {
    return session_.IsRunning();
}

}  // namespace altrix
