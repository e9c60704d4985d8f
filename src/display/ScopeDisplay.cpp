#include "ScopeDisplay.h"

#include "CaptureWindowSource.h"

#include "CaptureSession.h"
#include "CsvExport.h"
#include "Presets.h"
#include "Readout.h"
#include "ScopeProtocol.h"

#include <QLocale>

#include <charconv>

#include <string>

#include <algorithm>
#include <cmath>
#include <utility>

namespace altrix {

namespace {

// In the order of DrawingMode.
constexpr std::array<DensityRule, 4> kDensityRules{{
    {2500, 2000, {2500, 5000, 10000}, false},
    {6500, 5000, {6500, 10000, 20000}, false},
    {100000, 100000, {100000, 100000, 100000}, true},
    {10000, 10000, {20000, 50000, 100000}, false},
}};

std::string_view YScaleText(int row) {
    return row >= 0 && row < static_cast<int>(kYScaleTexts.size()) ? kYScaleTexts[static_cast<std::size_t>(row)]
                                                                     : std::string_view();
}

const QuantityPreset* PresetAt(int row) {
    return row >= 0 && row < static_cast<int>(kQuantityPresets.size()) ? &kQuantityPresets[static_cast<std::size_t>(row)]
                                                                         : nullptr;
}

QString Latin1Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString QuantityText(int row) {
    const QuantityPreset* preset = PresetAt(row);
    return preset ? Latin1Text(preset->ItemText) : QString();
}

// The gain text as the core reads it: where the user's decimal separator is not ".", it stands
// for "." (which stays valid too, as the presets write it).
GainSetting GainOf(const QString& typed) {
    QString text = typed;
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String(".")) text.replace(point, QLatin1String("."));
    GainSetting gain{typed, text.toStdString(), false};
    gain.Valid = IsValidGain(gain.Text);
    return gain;
}

int QuantityRow(std::string_view text) {
    for (std::size_t row = 0; row < kQuantityPresets.size(); ++row)
        if (kQuantityPresets[row].ItemText == text) return static_cast<int>(row);
    return -1;
}

int YScaleRow(std::string_view text) {
    const auto found = std::find(kYScaleTexts.begin(), kYScaleTexts.end(), text);
    return found == kYScaleTexts.end() ? kDefaultYScaleIndex : static_cast<int>(found - kYScaleTexts.begin());
}

// A gain as a file keeps it ("." as the point) as the user would type it here.
QString TypedGain(const std::string& text) {
    QString typed = QString::fromUtf8(text);
    if (IsValidGain(text)) typed.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return typed;
}

std::string UtcText(const QDateTime& time) {
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs).toStdString() : std::string();
}

QDateTime UtcTime(const std::string& text) {
    return text.empty() ? QDateTime() : QDateTime::fromString(QString::fromStdString(text), Qt::ISODateWithMs).toUTC();
}

}  // namespace

// The default locale is the user's unless a test sets another.
QString TimeText(double seconds) {
    return QString::fromStdString(FormatSeconds(seconds, '.')).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

QString TimeText(const Timeline& times, std::int64_t position) {
    return QString::fromStdString(times.SecondsText(position)).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

const DensityRule& DensityOf(DrawingMode mode) {
    return kDensityRules[static_cast<std::size_t>(mode)];
}

ScopeDisplay::ScopeDisplay(CaptureSession& session, QObject* parent)
    : QObject(parent), session_(session), source_(std::make_unique<CaptureWindowSource>(session)) {
    // The display follows the capture before any view of it does.
    connect(&session_, &CaptureSession::started, this, &ScopeDisplay::ShowCaptureStarted);
    connect(&session_, &CaptureSession::stopped, this, &ScopeDisplay::ShowCaptureStopped);
    connect(&session_, &CaptureSession::ticked, this, &ScopeDisplay::ShowCaptureTick);
    followCaptureFacts();
}

void ScopeDisplay::followCaptureFacts() {
    connect(&session_, &CaptureSession::started, this, [this] {
        facts_ = CaptureFacts{session_.StartedAt(), {}, -1, {}, identifiedType_, {}, true};
        loaded_ = false;
    });
    connect(&session_, &CaptureSession::stopped, this, [this] { facts_.End = QDateTime::currentDateTimeUtc(); });
    connect(&session_, &CaptureSession::triggerMoved, this, [this](int position) { facts_.TriggerPosition = position; });
    connect(&session_, &CaptureSession::triggerStateChanged, this, [this](TriggerPhase phase, double seconds) {
        facts_.TriggerSeconds = phase == TriggerPhase::Triggered ? TimeText(seconds) : QString();
    });
    connect(&session_, &CaptureSession::identified, this, [this](std::int32_t typeCode) {
        identifiedType_ = typeCode;
        // The drive of a capture taken here; a loaded capture keeps the drive its file names.
        if (!loaded_) facts_.DriveTypeCode = typeCode;
    });
}

CaptureDescription ScopeDisplay::Describe(const std::string& programVersion) const {
    CaptureDescription d;
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelSetting& channel = channels_[k - 1];
        d.Channels[k - 1] = {channel.Enabled, QuantityText(channel.Quantity).toStdString(),
                             channel.Address.toStdString(), channel.Gain.Text, std::string(YScaleText(channel.YScale))};
    }
    for (int r = 1; r <= kReferenceCount; ++r) {
        const ReferenceSetting& ref = refs_[r - 1];
        d.References[r - 1] = {ref.Source.toStdString(), ref.Gain.Text, std::string(YScaleText(ref.YScale))};
    }
    d.DrawingMode = static_cast<int>(mode_);
    d.Trigger = trigger_;
    if (facts_.TriggerPosition >= 0) {
        d.TriggerPosition = facts_.TriggerPosition;
        // The file's time field takes the user's decimal separator; the description takes ".".
        d.TriggerSeconds = QString(facts_.TriggerSeconds).replace(QLocale().decimalPoint(), QLatin1String(".")).toStdString();
    }
    d.DriveTypeCode = facts_.DriveTypeCode;
    if (d.DriveTypeCode) d.DriveTypeLabel = std::string(DriveTypeLabel(*d.DriveTypeCode));
    d.StartUtc = UtcText(facts_.Start);
    d.EndUtc = UtcText(facts_.End);
    d.ProgramVersion = programVersion;
    d.Note = facts_.Note.toStdString();
    return d;
}

ScopeDisplay::~ScopeDisplay() = default;

const GainSetting& ScopeDisplay::Gain(int t) const {
    return t <= kChannelCount ? channels_[t - 1].Gain : refs_[t - kChannelCount - 1].Gain;
}

bool ScopeDisplay::TriggerLevelValid() const {
    return LevelsValid(trigger_.First()) && (trigger_.Join == TriggerJoin::None || LevelsValid(trigger_.Second));
}

bool ScopeDisplay::ChannelShown(int k) const {
    const ChannelSetting& channel = channels_[k - 1];
    return channel.Enabled && !channel.Address.isEmpty();
}

bool ScopeDisplay::readoutShown(int t) const {
    return t <= kChannelCount ? channels_[t - 1].Enabled : refs_[t - kChannelCount - 1].Shown;
}

bool ScopeDisplay::TraceShown(int t) const {
    if (t >= kFirstMathTrace) return math_.Shown(t - kTraceCount);
    return t <= kChannelCount ? ChannelShown(t) : refs_[t - kChannelCount - 1].Shown;
}

QString ScopeDisplay::TraceName(int t) const {
    if (t >= kFirstMathTrace) return QString::fromStdString(ColumnName(t));
    if (t <= kChannelCount) {
        const QString quantity = QuantityText(channels_[t - 1].Quantity);
        return quantity.isEmpty() ? QStringLiteral("Channel %1").arg(t) : quantity;
    }
    const int r = t - kChannelCount;
    const QString& source = refs_[r - 1].Source;
    return source.isEmpty() ? QStringLiteral("Ref %1").arg(r) : source;
}

std::string ScopeDisplay::ColumnName(int t) const {
    if (t >= kFirstMathTrace) return MathLabel(t - kTraceCount, math_.Definition(t - kTraceCount));
    if (t <= kChannelCount) {
        const ChannelSetting& channel = channels_[t - 1];
        return ChannelColumnName(t, QuantityText(channel.Quantity).toStdString(), channel.Address.toStdString());
    }
    return ReferenceColumnName(t - kChannelCount, refs_[t - kChannelCount - 1].Source.toStdString());
}

double ScopeDisplay::GainFactorOf(int t) const {
    return GainFactor(Gain(t).Text);
}

std::vector<CsvColumn> ScopeDisplay::ChannelColumns() const {
    std::vector<CsvColumn> columns;
    for (int k = 1; k <= kChannelCount; ++k) columns.push_back({ColumnName(k), Gain(k).Text});
    return columns;
}

void ScopeDisplay::repaint(bool queued) {
    if (sink_) sink_->redraw(queued);
}

void ScopeDisplay::clearSeries(int series) {
    if (sink_) sink_->refill(series);
}

void ScopeDisplay::drawVerticalLine(int series, std::int32_t position) {
    if (!sink_) return;
    // From -32768 to 32767 at the position, a point mark at each end.
    SeriesPoints& points = sink_->refill(series);
    points.add(position, 32767);
    points.add(position, -32768);
}

void ScopeDisplay::SetChannelEnabled(int k, bool on) {
    ChannelSetting& channel = channels_[k - 1];
    if (channel.Enabled == on) return;
    channel.Enabled = on;
    // The address is not looked at: a channel enabled without one is drawn until the next
    // multi-channel redraw clears it.
    if (on)
        DrawWaveform(k, view_.DrawPointCount, view_.ChannelScale[k - 1], k);
    else
        clearSeries(k);
    // Queued, so that commands enabling several channels repaint once.
    repaint(true);
    emit channelChanged(k);
    emit traceViewChanged();
}

void ScopeDisplay::SetChannelAddress(int k, const QString& address) {
    ChannelSetting& channel = channels_[k - 1];
    if (channel.Address == address) return;
    channel.Address = address;
    emit channelChanged(k);
    emit traceViewChanged();
    // Typing further characters into a non-empty address redraws nothing.
    SetChannelEnabled(k, !address.isEmpty());
}

void ScopeDisplay::ChooseQuantity(int k, int row) {
    channels_[k - 1].Quantity = row;
    emit channelChanged(k);
    emit traceViewChanged();
    const QuantityPreset* preset = PresetAt(row);
    if (preset) SetChannelAddress(k, Latin1Text(preset->Address));
    SetGain(k, Latin1Text(preset ? preset->Gain : kNoPresetGain));
}

void ScopeDisplay::ClearQuantity(int k) {
    if (channels_[k - 1].Quantity == -1) return;
    channels_[k - 1].Quantity = -1;
    emit channelChanged(k);
    emit traceViewChanged();
}

void ScopeDisplay::SetChannelYScale(int k, int row) {
    channels_[k - 1].YScale = row;
    view_.ChannelScale[k - 1] = YScaleGain(YScaleText(row));
    emit channelChanged(k);
    // During a capture the next tick draws with the new factor.
    if (session_.IsRunning() || !ChannelShown(k)) return;
    DrawWaveform(k, view_.DrawPointCount, view_.ChannelScale[k - 1], k);
    repaint(true);
}

void ScopeDisplay::SetGain(int t, const QString& typed) {
    if (Gain(t).Typed == typed) return;
    GainSetting& gain = t <= kChannelCount ? channels_[t - 1].Gain : refs_[t - kChannelCount - 1].Gain;
    gain = GainOf(typed);
    // The readouts follow every gain, whether or not the trace is shown or a capture runs.
    if (!inSource(view_.CursorPosition)) {
        setReadout(DataReadout(t), QStringLiteral("N/A"));
    } else {
        showValue(t);
        if (view_.MarkPosition != kNoMark) showDifference(t);
    }
    if (t <= kChannelCount)
        emit channelChanged(t);
    else
        emit referenceChanged(t - kChannelCount);
    emitReadouts();
    // Math traces read the values in units.
    if (drawMath()) repaint(true);
    emit traceViewChanged();
}

void ScopeDisplay::SetReferenceShown(int r, bool shown) {
    ReferenceSetting& ref = refs_[r - 1];
    if (ref.Shown == shown) return;
    ref.Shown = shown;
    if (shown)
        DrawRef();
    else
        clearSeries(SeriesOfTrace(kChannelCount + r));
    repaint(true);
    emit referenceChanged(r);
    emit traceViewChanged();
}

void ScopeDisplay::SetReferenceSource(int r, const QString& source) {
    if (refs_[r - 1].Source == source) return;
    refs_[r - 1].Source = source;
    emit referenceChanged(r);
    emit traceViewChanged();
}

void ScopeDisplay::SetReferenceYScale(int r, int row) {
    refs_[r - 1].YScale = row;
    emit referenceChanged(r);
    // DrawRef rescales both references; during a capture the new scale waits for the next one.
    if (session_.IsRunning()) return;
    DrawRef();
    repaint(true);
}

void ScopeDisplay::SaveChannelToReference(int r, int c) {
    // From a recording, the window from the view's first set.
    if (recording_) recording_->SetWindowStart(ViewStretch().First);
    const WindowSamples window = source_->samples(c);
    ReferenceSamples& trace = session_.record().ReferenceTrace[r - 1];
    for (int x = 0; x < kWindowPositions; ++x) trace[x] = window[x];
    math_.Invalidate();
    drawMath();
    const ChannelSetting& channel = channels_[c - 1];
    ReferenceSetting& ref = refs_[r - 1];
    // In engineering mode the address names the source, otherwise the chosen quantity, or
    // nothing without one.
    ref.Source = engineering_ ? channel.Address : QuantityText(channel.Quantity);
    ref.YScale = channel.YScale;
    emit referenceChanged(r);
    SetGain(kChannelCount + r, channel.Gain.Typed);
    view_.MarkRefValues[r - 1] = view_.MarkValues[c - 1];
    // Showing it draws it; a reference already shown is redrawn with its new samples.
    if (ref.Shown) {
        DrawRef();
        repaint(true);
    } else {
        SetReferenceShown(r, true);
    }
    emit traceViewChanged();
}

void ScopeDisplay::SetTrigger(const TriggerSettings& settings) {
    if (trigger_ == settings) return;
    trigger_ = settings;
    emit triggerChanged();
}

void ScopeDisplay::ShowDrawingMode(DrawingMode mode) {
    mode_ = mode;
    emit drawingModeChanged(mode);
}

void ScopeDisplay::ChooseDrawingMode(DrawingMode mode) {
    view_.ReadoutEnabled = false;
    view_.DrawPointCount = DensityOf(mode).MenuPointCount;
    mode_ = mode;
    RedrawShownChannels();
    DrawRef();
    envelopeColumns_ = columns_;
    emit drawingModeChanged(mode);
    view_.ReadoutEnabled = true;
    // The repaint recounts the points for the current view.
    repaint(false);
}

void ScopeDisplay::SetView(const ColumnView& columns, double lower, double upper) {
    columns_ = columns;
    viewLower_ = lower;
    viewUpper_ = upper;
    emit traceViewChanged();
}

void ScopeDisplay::DrawWaveform(int series, std::int32_t pointCount, float scale, int channel) {
    if (!sink_) return;
    SeriesPoints& points = sink_->refill(series);
    if (lanesShown_) growFit(channel);
    const std::optional<Lane> lane = laneOf(channel);
    const auto append = [&points, &lane](double x, double y) { points.add(x, lane ? LaneCoordinate(*lane, y) : y); };
    if (recording_) {
        // Whatever the mode, about two points a pixel column of the view.
        recording_->envelope(channel, columns_, scale, append);
        return;
    }
    const WindowSamples window = source_->samples(channel);
    if (DensityOf(mode_).Envelope)
        EnvelopePoints(window, columns_, scale, append);
    else
        PickChannelPoints(window, pointCount, scale, append);
}

void ScopeDisplay::RedrawShownChannels() {
    for (int k = 1; k <= kChannelCount; ++k) {
        if (ChannelShown(k))
            DrawWaveform(k, view_.DrawPointCount, view_.ChannelScale[k - 1], k);
        else
            clearSeries(k);
    }
    drawMath();
}

void ScopeDisplay::DrawRef() {
    for (int r = 1; r <= kReferenceCount; ++r) view_.RefScale[r - 1] = YScaleGain(YScaleText(refs_[r - 1].YScale));
    drawReferences();
}

void ScopeDisplay::drawReferences() {
    if (!sink_) return;
    for (int r = 1; r <= kReferenceCount; ++r) {
        const int t = kChannelCount + r;
        SeriesPoints& points = sink_->refill(SeriesOfTrace(t));
        if (lanesShown_ && refs_[r - 1].Shown) growFit(t);
        const std::optional<Lane> lane = laneOf(t);
        const auto append = [&points, &lane](double x, double y) { points.add(x, lane ? LaneCoordinate(*lane, y) : y); };
        const WindowSamples window = source_->samples(t);
        const bool shown = refs_[r - 1].Shown;
        // A hidden reference keeps its closing point in every mode.
        if (DensityOf(mode_).Envelope && shown)
            EnvelopePoints(window, columns_, view_.RefScale[r - 1], append);
        else
            PickReferencePoints(window, view_.DrawPointCount, view_.RefScale[r - 1], shown, append);
    }
}

void ScopeDisplay::followViewWithEnvelope() {
    if (columns_ == envelopeColumns_) return;
    RedrawShownChannels();
    drawReferences();
    envelopeColumns_ = columns_;
}

void ScopeDisplay::checkzoomAndRedraw() {
    if (recording_) {
        followViewWithEnvelope();
        return;
    }
    // Whole positions at the view's edges; the visible fraction is kept as a 32-bit float, so
    // the row limits are the widths 45000 and 30000 exactly.
    const double right = std::trunc(columns_.right);
    const double left = std::trunc(columns_.left);
    const float r = static_cast<float>(static_cast<long double>(right - left) * (1.0L / kNewestPosition));
    const int row = r > 0.45L ? 0 : r >= 0.3L ? 1 : 2;
    const std::int32_t previous = view_.DrawPointCount;
    view_.DrawPointCount = DensityOf(mode_).StoppedPointCounts[static_cast<std::size_t>(row)];
    // An envelope follows every change of the view. Otherwise the references keep the density
    // of their last DrawRef.
    if (DensityOf(mode_).Envelope)
        followViewWithEnvelope();
    else if (view_.DrawPointCount != previous)
        RedrawShownChannels();
}

void ScopeDisplay::BeforeDrawSeries() {
    // A capture keeps its own density, but an envelope follows the view in a capture too.
    if (!session_.IsRunning())
        checkzoomAndRedraw();
    else if (DensityOf(mode_).Envelope)
        followViewWithEnvelope();
}

std::int16_t ScopeDisplay::valueAtCursor(int t) const {
    // A channel keeps the value of its last slot inside the window; a reference reads 0
    // outside it.
    if (recording_) return recording_->sampleAt(t, view_.CursorPosition);
    if (t <= kChannelCount) return session_.ShownTrace(t)[view_.CursorSample];
    if (!IsWindowPosition(view_.CursorPosition)) return 0;
    return source_->samples(t)[view_.CursorPosition];
}

std::int16_t& ScopeDisplay::valueAtMark(int t) {
    return t <= kChannelCount ? view_.MarkValues[t - 1] : view_.MarkRefValues[t - kChannelCount - 1];
}

void ScopeDisplay::showValue(int t) {
    setReadout(DataReadout(t), QString::fromStdString(CountDataValue(valueAtCursor(t), Gain(t).Text).Text));
}

void ScopeDisplay::showDifference(int t) {
    // Formed in 32 bits: -65535..65535.
    setReadout(DiffReadout(t),
               QString::fromStdString(CountDataValue(std::int32_t{valueAtCursor(t)} - valueAtMark(t), Gain(t).Text).Text));
}

void ScopeDisplay::setReadout(int n, const QString& text) {
    readouts_[static_cast<std::size_t>(n)] = text;
    touched_ |= 1u << n;
}

void ScopeDisplay::emitReadouts() {
    const std::uint32_t touched = std::exchange(touched_, 0);
    emit readoutsChanged(touched);
}

void ScopeDisplay::MoveCursor(std::int32_t position) {
    view_.CursorPosition = position;
    const bool inWindow = inSource(position);
    setReadout(kTimeReadout, inWindow ? TimeText(Times(), position) : QStringLiteral("Over range"));
    // During a capture or a drawing-mode redraw only the time follows the mouse.
    if (!view_.ReadoutEnabled) {
        emitReadouts();
        return;
    }
    drawVerticalLine(kCursorSeries, position);
    if (!inWindow) {
        // CursorSample, the difference readouts and the time difference keep their contents.
        for (int t = 1; t <= kTraceCount; ++t) setReadout(DataReadout(t), QStringLiteral("N/A"));
    } else {
        view_.CursorSample = SlotOfPosition(session_.ShownNextSample(), position);
        for (int t = 1; t <= kTraceCount; ++t)
            if (readoutShown(t)) showValue(t);
        if (view_.MarkPosition != kNoMark) {
            const std::int64_t steps = std::int64_t{position} - view_.MarkPosition;
            setReadout(kMarkTimeReadout, TimeText(static_cast<double>(steps) * kSamplePeriodSeconds));
            for (int t = 1; t <= kTraceCount; ++t)
                if (readoutShown(t)) showDifference(t);
        }
    }
    repaint(true);
    emitReadouts();
    emit traceViewChanged();
}

void ScopeDisplay::SetMark() {
    clearSeries(kMarkSeries);
    // No mark can be set during a capture or a drawing-mode redraw. The position is the one of
    // the last cursor move; outside the window the channels keep the values of the last
    // in-window position and the references read 0.
    if (view_.ReadoutEnabled) {
        drawVerticalLine(kMarkSeries, view_.CursorPosition);
        view_.MarkPosition = view_.CursorPosition;
        for (int t = 1; t <= kTraceCount; ++t) valueAtMark(t) = valueAtCursor(t);
    }
    repaint(true);
    emit traceViewChanged();
}

void ScopeDisplay::takeChannelScales() {
    for (int k = 1; k <= kChannelCount; ++k) view_.ChannelScale[k - 1] = YScaleGain(YScaleText(channels_[k - 1].YScale));
}

ScopeDisplay::RunSetup ScopeDisplay::CaptureSetupForRun() const {
    // A channel that is switched off asks the drive for the unused address.
    CaptureSetup setup;
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelSetting& channel = channels_[k - 1];
        setup.Enabled[k - 1] = channel.Enabled;
        const std::optional<std::uint16_t> address =
            channel.Enabled ? ParseChannelAddress(channel.Address.toStdString()) : kUnusedChannelAddress;
        if (!address) return {std::nullopt, k, false};
        setup.Addresses[k - 1] = *address;
    }
    if (trigger_.Mode != TriggerMode::Off && !TriggerLevelValid()) return {std::nullopt, 0, true};
    setup.Trigger = trigger_;
    for (int k = 1; k <= kChannelCount; ++k) setup.Gains[k - 1] = Gain(k).Text;
    return {setup, 0, false};
}

void ScopeDisplay::ShowCaptureStarted() {
    math_.Invalidate();
    if (sink_) sink_->setBands({});
    // The live window is seen whole, whatever view a file or a recording had.
    const bool wasFile = loaded_ || recording_;
    if (recording_) {
        recording_ = nullptr;
        source_ = std::make_unique<CaptureWindowSource>(session_);
    }
    if (wasFile) emit lengthChanged(kWindowPositions);
    emit captureStarting();
    // The views before RUN (and RUN's own alignment) are not steps back within this capture.
    zoomSteps_.Clear();
    for (int k = 1; k <= kChannelCount; ++k) clearSeries(k);
    for (int m = 1; m <= kMathCount; ++m)
        if (mathDrawn_[m - 1]) clearSeries(SeriesOfTrace(kTraceCount + m));
    clearSeries(kCursorSeries);
    clearSeries(kMarkSeries);
    takeChannelScales();
    fits_ = {};
    view_.MarkPosition = kNoMark;
    setReadout(kTimeReadout, {});
    setReadout(kMarkTimeReadout, {});
    for (int k = 1; k <= kChannelCount; ++k) {
        setReadout(DataReadout(k), {});
        setReadout(DiffReadout(k), {});
    }
    for (int r = 1; r <= kReferenceCount; ++r) setReadout(DiffReadout(kChannelCount + r), {});
    view_.ReadoutEnabled = false;
    emitReadouts();
}

void ScopeDisplay::ShowCaptureStopped() {
    RedrawShownChannels();
}

void ScopeDisplay::ShowCaptureTick() {
    view_.DrawPointCount = DensityOf(mode_).CapturePointCount;
    RedrawShownChannels();
    repaint(false);
    // Every channel's newest value on show, shown or not.
    for (int k = 1; k <= kChannelCount; ++k)
        setReadout(DataReadout(k),
                   QString::fromStdString(CountDataValue(source_->samples(k)[kNewestPosition], Gain(k).Text).Text));
    emitReadouts();
    if (session_.record().GapCount > 0) ShowGaps();
    emit traceViewChanged();
}

void ScopeDisplay::ShowLoadedTraces() {
    math_.Invalidate();
    if (sink_) sink_->setBands({});
    if (recording_) {
        recording_ = nullptr;
        source_ = std::make_unique<CaptureWindowSource>(session_);
        emit lengthChanged(kWindowPositions);
    }
    takeChannelScales();
    fits_ = {};
    view_.ReadoutEnabled = true;
    // The file names no addresses. The space is none either, but it shows each channel, so
    // RUN asks for an address until one is chosen or typed.
    for (ChannelSetting& channel : channels_) {
        channel.Address = QStringLiteral(" ");
        channel.Quantity = -1;
        channel.Enabled = true;
    }
    for (int t = 1; t <= kTraceCount; ++t) setReadout(DiffReadout(t), {});
    // A file without a description tells nothing of its capture.
    facts_ = CaptureFacts{};
    loaded_ = true;
    zoomSteps_.Clear();
    view_.MarkPosition = kNoMark;
    clearSeries(kMarkSeries);
    RedrawShownChannels();
    repaint(true);
    for (int k = 1; k <= kChannelCount; ++k) emit channelChanged(k);
    emitReadouts();
    emit traceViewChanged();
}

void ScopeDisplay::ShowDescribedCapture(const CaptureDescription& d) {
    math_.Invalidate();
    for (int k = 1; k <= kChannelCount; ++k) {
        const ChannelDescription& described = d.Channels[k - 1];
        ChannelSetting& channel = channels_[k - 1];
        channel.Enabled = described.Enabled;
        channel.Address = QString::fromStdString(described.Address);
        channel.Quantity = QuantityRow(described.Quantity);
        channel.YScale = YScaleRow(described.YScale);
        // Recounts the channel's readouts with the gain.
        SetGain(k, TypedGain(described.Gain));
    }
    takeChannelScales();
    mode_ = static_cast<DrawingMode>(d.DrawingMode);
    view_.DrawPointCount = DensityOf(mode_).MenuPointCount;
    SetTrigger(d.Trigger);
    facts_ = CaptureFacts{UtcTime(d.StartUtc), UtcTime(d.EndUtc), d.TriggerPosition.value_or(-1),
                          QString::fromStdString(d.TriggerSeconds).replace(QLatin1Char('.'), QLocale().decimalPoint()),
                          d.DriveTypeCode, QString::fromStdString(d.Note), false};
    // The trigger set's time since RUN (a multiple of a set) at its position places the window.
    double triggerSeconds = 0;
    const std::string& text = d.TriggerSeconds;
    if (d.TriggerPosition && !text.empty() &&
        std::from_chars(text.data(), text.data() + text.size(), triggerSeconds).ec == std::errc())
        facts_.FirstSet = std::llround(triggerSeconds / kSamplePeriodSeconds) - *d.TriggerPosition;
    RedrawShownChannels();
    DrawRef();
    envelopeColumns_ = columns_;
    repaint(true);
    emit drawingModeChanged(mode_);
    for (int k = 1; k <= kChannelCount; ++k) emit channelChanged(k);
    emit traceViewChanged();
}

void ScopeDisplay::ShowGaps() {
    const CaptureRecord& rec = session_.record();
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
    if (sink_) sink_->setBands(gapBands_);
}

QString ScopeDisplay::CursorClockText() const {
    if (!recording_ || !inSource(view_.CursorPosition)) return {};
    return QString::fromStdString(SetClockText(Times(), view_.CursorPosition, ClockForm::DateAndTime));
}

Timeline ScopeDisplay::Times() const {
    if (recording_) return recording_->Times();
    const std::optional<UtcMicros> run =
        facts_.Start.isValid() ? std::optional<UtcMicros>(facts_.Start.toMSecsSinceEpoch() * 1000) : std::nullopt;
    if (loaded_) return Timeline::Window(facts_.FirstSet ? TimelineSource::EventFile : TimelineSource::File, facts_.FirstSet, run);
    const bool frozen = !session_.IsRunning() || facts_.TriggerPosition >= 0;
    return Timeline::Window(frozen ? TimelineSource::FrozenWindow : TimelineSource::LiveWindow, session_.ShownFirstSet(), run);
}

PositionStretch ScopeDisplay::AnalysisStretch() const {
    return altrix::AnalysisStretch(view_.MarkPosition, view_.CursorPosition, viewLower_, viewUpper_, source_->length() - 1);
}

PositionStretch ScopeDisplay::ViewStretch() const {
    return altrix::AnalysisStretch(kNoMark, view_.CursorPosition, viewLower_, viewUpper_, source_->length() - 1);
}

void ScopeDisplay::ShowRecording(std::unique_ptr<RecordingSource> recording) {
    recording_ = recording.get();
    source_ = std::move(recording);
    const RecordingHeader& header = recording_->Reader().Header();
    takeChannelScales();
    view_.ReadoutEnabled = true;
    for (int k = 1; k <= kChannelCount; ++k) {
        const RecordingChannel& described = header.Channels[k - 1];
        ChannelSetting& channel = channels_[k - 1];
        // A channel recorded without an address shows its zeros as the loaded window's do.
        channel.Address = described.Address.empty() ? QStringLiteral(" ") : QString::fromStdString(described.Address);
        channel.Quantity = QuantityRow(described.Name);
        channel.Enabled = true;
        SetGain(k, TypedGain(described.Gain));
    }
    for (int t = 1; t <= kTraceCount; ++t) setReadout(DiffReadout(t), {});
    std::int32_t code = 0;
    const std::string& type = header.DriveTypeCode;
    const bool typed = !type.empty() && std::from_chars(type.data(), type.data() + type.size(), code).ec == std::errc();
    facts_ = CaptureFacts{recording_->Started(), {}, -1, {}, typed ? std::optional(code) : std::nullopt, {}, false};
    loaded_ = true;
    view_.MarkPosition = kNoMark;
    clearSeries(kMarkSeries);
    clearSeries(kCursorSeries);
    gapBands_.clear();
    for (const RecordingGap& gap : recording_->Reader().Gaps())
        gapBands_.emplace_back(double(gap.FirstSet), double(gap.FirstSet + gap.SetCount - 1));
    if (sink_) sink_->setBands(gapBands_);
    // Its math traces as recorded; a file written before they were kept leaves the user's.
    if (header.Math)
        for (int m = 1; m <= kMathCount; ++m) SetMath(m, (*header.Math)[static_cast<std::size_t>(m - 1)]);
    envelopeColumns_ = {};
    zoomSteps_.Clear();
    emit lengthChanged(source_->length());
    RedrawShownChannels();
    repaint(true);
    for (int k = 1; k <= kChannelCount; ++k) emit channelChanged(k);
    emitReadouts();
    emit traceViewChanged();
}

void ScopeDisplay::SetMath(int m, const MathDefinition& definition) {
    if (!math_.Define(m, definition)) return;
    if (drawMath()) repaint(true);
    emit mathChanged(m);
    emit traceViewChanged();
}

void ScopeDisplay::refreshMath() const {
    std::array<std::string, kTraceCount> gains;
    for (int t = 1; t <= kTraceCount; ++t) gains[t - 1] = Gain(t).Text;
    if (recording_) {
        // The view and the analysed stretch together while they fit, else the view.
        const PositionStretch view = ViewStretch();
        const PositionStretch analysed = AnalysisStretch();
        const PositionStretch both{std::min(view.First, analysed.First), std::max(view.Last, analysed.Last)};
        math_.UpdateOver(*source_, both.count() <= RecordingSource::kStretchLimit ? both : view, gains,
                         RecordingSource::kStretchLimit);
        return;
    }
    // The first channel's storage stands for all four: a frozen window replaces them together.
    math_.Follow(&session_.ShownTrace(1), session_.ShownNextSample());
    math_.Update(*source_, gains);
}

std::span<const double> ScopeDisplay::MathValues(int m) const {
    if (recording_) return {};
    refreshMath();
    return math_.Values(m);
}

std::span<const double> ScopeDisplay::MathValuesOver(int m, PositionStretch stretch) const {
    refreshMath();
    const std::span<const double> values = math_.Values(m);
    const std::int64_t from = std::int64_t{stretch.First} - math_.First();
    if (stretch.empty() || from < 0 || from + stretch.count() > static_cast<std::int64_t>(values.size())) return {};
    return values.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(stretch.count()));
}

double ScopeDisplay::MathValueAt(int m, std::int32_t position) const {
    const std::span<const double> values = MathValuesOver(m, {position, position});
    return values.empty() ? std::nan("") : values.front();
}

std::vector<DataVector> ScopeDisplay::MathVectorsOver(PositionStretch stretch, std::vector<std::string>& leftOut) const {
    refreshMath();
    return math_.VectorsOver(stretch, leftOut);
}

QString ScopeDisplay::MathNotice() const {
    bool shown = false;
    for (int m = 1; m <= kMathCount; ++m) shown = shown || math_.Shown(m);
    if (!recording_ || !shown) return {};
    refreshMath();
    return math_.LeftOut().empty() ? QString() : QStringLiteral("not drawn: ") + QString::fromStdString(math_.LeftOut());
}

ScopeDisplay::MathItem ScopeDisplay::MathLegendItem(int m) const {
    return {TraceName(kTraceCount + m), QString::fromStdString(math_.Definition(m).Unit), kMathColours[m - 1]};
}

bool ScopeDisplay::drawMath() {
    if (!sink_) return false;
    refreshMath();
    bool drawn = false;
    for (int m = 1; m <= kMathCount; ++m) {
        const int series = SeriesOfTrace(kTraceCount + m);
        const bool shown = TraceShown(kTraceCount + m);
        if (!shown && mathDrawn_[m - 1]) clearSeries(series);
        drawn = drawn || shown || mathDrawn_[m - 1];
        mathDrawn_[m - 1] = shown;
        if (!shown) continue;
        SeriesPoints& points = sink_->refill(series);
        const auto append = [&points](double x, double y) { points.add(x, y); };
        const ValueWindow window{math_.Values(m)};
        const auto scale = static_cast<float>(kMathPlotSpan / math_.FullScale(m));
        if (recording_) {
            // As its channels: the envelope of the view in every mode, from the stretch computed.
            const double shift = math_.First();
            if (window.size() > 0)
                EnvelopePoints(window, ColumnView{columns_.left - shift, columns_.right - shift, columns_.columns}, scale,
                               [&points, shift](double x, double y) { points.add(x + shift, y); });
        } else if (DensityOf(mode_).Envelope)
            EnvelopePoints(window, columns_, scale, append);
        else
            PickChannelPoints(window, view_.DrawPointCount, scale, append);
    }
    return drawn;
}

bool ScopeDisplay::Capturing() const {
    return session_.IsRunning();
}

}  // namespace altrix
