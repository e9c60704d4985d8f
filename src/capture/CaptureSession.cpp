#include "CaptureSession.h"

#include "ScopeExchange.h"

#include <QTimer>

#include <algorithm>
#include <optional>
#include <span>

namespace altrix {

namespace {
using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRatePeriod{1000};
constexpr int kSetsPerSecond = 5000;
}  // namespace

CaptureSession::CaptureSession(std::string settingsIniPath, QObject* parent)
    : QObject(parent),
      record_(std::make_unique<CaptureRecord>()),
      port_(settingsIniPath),
      timer_(new QTimer(this)),
      settingsIniPath_(std::move(settingsIniPath)),
      frozen_(std::make_unique<ChannelTraces>()) {
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(kTickIntervalMs);
    connect(timer_, &QTimer::timeout, this, &CaptureSession::Tick);
}

CaptureSession::~CaptureSession() = default;

bool CaptureSession::IsRunning() const { return timer_->isActive(); }

const ChannelSamples& CaptureSession::ShownTrace(int channel) const {
    return frozenShown_ ? (*frozen_)[channel - 1] : record_->ChannelTrace[channel - 1];
}

std::int32_t CaptureSession::ShownNextSample() const {
    return frozenShown_ ? frozenNextSample_ : record_->NextSample;
}

std::int64_t CaptureSession::ShownFirstSet() const {
    if (shownTrigger_ >= 0 && shownPosition_ >= 0) return shownTrigger_ - shownPosition_;
    return static_cast<std::int64_t>(record_->SetCount) - kWindowPositions;
}

bool CaptureSession::openPort(const std::string& portName) {
    CaptureRecord& rec = *record_;
    rec.PortName = portName;
    const OpenResult result = port_.Open(rec.PortName, rec.BaudRate);
    port_.PortOpen = result == OpenResult::Opened;
    if (port_.PortOpen) return true;
    emit linkFailed(result == OpenResult::SettingsRefused ? LinkFailure::SettingsRefused
                                                          : LinkFailure::DeviceError);
    return false;
}

void CaptureSession::closePort() {
    port_.Close();
    port_.PortOpen = false;
}

bool CaptureSession::Start(const std::string& portName, const CaptureSetup& setup) {
    if (IsRunning()) return true;
    if (!openPort(portName)) return false;
    if (!SendStartCapture(port_, setup.Addresses)) {
        closePort();
        emit linkFailed(LinkFailure::ExchangeStalled);
        return false;
    }
    // The purge of the start exchange emptied the input queue: the stream's first byte lands
    // at ring index 0.
    setup_ = setup;
    ResetForRun(*record_);
    health_ = {};
    lastByteAt_ = rateSince_ = Clock::now();
    rateBlocks_ = 0;
    reconnecting_ = awaitingStream_ = false;
    trigger_.Arm(setup.Trigger, TriggerLogic::Of(setup.Trigger, setup.Gains));
    startedAt_ = QDateTime::currentDateTimeUtc();
    events_.clear();
    eventSaver_.Reset();
    savedCounts_ = {};
    frozenShown_ = false;
    shownTrigger_ = -1;
    loggedTrigger_ = -1;
    shownComplete_ = false;
    timer_->start();
    reportTriggerState(trigger_.Phase(), -1);
    shownPosition_ = -1;
    emit triggerMoved(-1);
    emit started();
    return true;
}

void CaptureSession::Stop() {
    // A stalled port takes at most one exchange's time; it is closed regardless.
    SendStreamReset(port_);
    port_.Close();
    timer_->stop();
    port_.PortOpen = false;
    reconnecting_ = awaitingStream_ = false;
    // The screen's window stays: a Normal trigger's frozen window becomes the record's.
    if (frozenShown_) {
        CopyWindowSlots(*frozen_, record_->ChannelTrace, frozenNextSample_);
        record_->NextSample = frozenNextSample_;
        frozenShown_ = false;
    }
    trigger_ = TriggerSearch{};
    eventSaver_.Stop();
    followEventSaving();
    reportTriggerState(shownTrigger_ >= 0 ? TriggerPhase::Triggered : TriggerPhase::Off, shownTrigger_);
    emit stopped();
    if (recorder_.Active()) {
        const bool written = recorder_.Stop();
        emit recordingEnded(written ? QString() : QString::fromLocal8Bit(recorder_.Error()));
    }
    if (longRecorder_.Active()) {
        const bool written = longRecorder_.Stop();
        emit recordingEnded(written ? QString() : QString::fromUtf8(longRecorder_.Error()));
    }
}

void CaptureSession::Tick() {
    CaptureRecord& rec = *record_;
    const std::uint64_t before = rec.SetCount;
    rec.ReceivedCount = port_.ReadAvailable(rec.ReceiveBuffer);
    if (awaitingStream_ && rec.ReceivedCount > 0) resumeStream();
    StoreAndDecode(rec, std::span(rec.ReceiveBuffer).first(static_cast<std::size_t>(rec.ReceivedCount)),
                   setup_.Enabled);
    // Filled gaps included; the ring holds at most a trace of them.
    const auto stored = static_cast<std::int64_t>(rec.SetCount - before);
    const int newSets = static_cast<int>(std::min<std::int64_t>(stored, kTraceSlots));
    if (recorder_.Active() && stored > 0 && !recorder_.Append(rec, rec.NextSample, stored))
        emit recordingEnded(QString::fromLocal8Bit(recorder_.Error()));
    if (longRecorder_.Active() && stored > 0 && !longRecorder_.Append(rec, rec.NextSample, stored))
        emit recordingEnded(QString::fromUtf8(longRecorder_.Error()));
    const auto now = Clock::now();
    if (rec.ReceivedCount > 0) lastByteAt_ = now;
    if (reconnecting_) tryReconnect(now);
    updateHealth(now);
    const bool singleComplete = searchTrigger(newSets);
    followEventSaving();
    emit ticked(newSets);
    if (singleComplete) {
        Stop();
        return;
    }
    if (IsRunning() && !reconnecting_ && (port_.Vanished() || now - lastByteAt_ >= kSilenceLimit))
        loseLink(now);
}

void CaptureSession::loseLink(Clock::time_point now) {
    const auto silentFor = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastByteAt_);
    const QDateTime lastByteAt = QDateTime::currentDateTime().addMSecs(-silentFor.count());
    logEvent(static_cast<std::int64_t>(record_->SetCount), "link lost",  "link",
             "no stream since " + lastByteAt.toString(Qt::ISODateWithMs).toStdString());
    if (!autoReconnect_) {
        Stop();
        emit linkLost(lastByteAt);
        return;
    }
    // A drive that went quiet on a port still open is told to stop, within one exchange's time.
    SendStreamReset(port_);
    closePort();
    reconnecting_ = true;
    lastAttemptAt_ = now;
    emit reconnecting(lastByteAt);
}

void CaptureSession::tryReconnect(Clock::time_point now) {
    if (awaitingStream_) {
        if (now - restartSentAt_ < kSilenceLimit && !port_.Vanished()) return;
        // The port took the start exchange, but no stream came: try again.
        SendStreamReset(port_);
        closePort();
        awaitingStream_ = false;
        lastAttemptAt_ = now;
        return;
    }
    if (now - lastAttemptAt_ < kRetryPeriod) return;
    lastAttemptAt_ = now;
    CaptureRecord& rec = *record_;
    port_.PortOpen = port_.Open(rec.PortName, rec.BaudRate) == OpenResult::Opened;
    if (!port_.PortOpen) return;
    if (!SendStartCapture(port_, setup_.Addresses)) {
        closePort();
        return;
    }
    awaitingStream_ = true;
    restartSentAt_ = Clock::now();
}

void CaptureSession::resumeStream() {
    // The time without a stream keeps its place on the time axis: from the last byte of the old
    // stream to the start exchange of the new one.
    const auto missed = std::chrono::duration<double>(restartSentAt_ - lastByteAt_).count();
    longRecorder_.NextGapIsReconnect();
    RestartStream(*record_, static_cast<std::int64_t>(missed * kSetsPerSecond), setup_.Enabled);
    // At the set where the stream resumes, after the gap.
    logEvent(static_cast<std::int64_t>(record_->SetCount), "reconnected", "link", "the stream is back");
    awaitingStream_ = false;
    reconnecting_ = false;
    emit reconnected();
}

void CaptureSession::updateHealth(Clock::time_point now) {
    const StreamHealth& stream = record_->Health;
    health_.BlocksLost = stream.BlocksLost;
    health_.Resyncs = stream.Resyncs;
    health_.BytesDiscarded = stream.BytesDiscarded;
    health_.SecondsSinceLastByte = std::chrono::duration<double>(now - lastByteAt_).count();
    const auto elapsed = now - rateSince_;
    if (elapsed >= kRatePeriod) {
        const std::uint64_t blocks = stream.BlocksDecoded - rateBlocks_;
        health_.SetsPerSecond = static_cast<double>(blocks * kSetsPerBlock) / std::chrono::duration<double>(elapsed).count();
        rateSince_ = now;
        rateBlocks_ = stream.BlocksDecoded;
    }
}

bool CaptureSession::searchTrigger(int newSets) {
    if (trigger_.Mode() == TriggerMode::Off) return false;
    CaptureRecord& rec = *record_;
    const TriggerPhase phase = trigger_.Phase();
    const std::int64_t triggerSet = trigger_.TriggerSet();
    const bool single = trigger_.Mode() == TriggerMode::Single;
    bool logged = false;
    // Every window the tick completes is an event, saved from its own sets while the ring still
    // holds them; the newest is the one shown.
    const std::optional<TriggeredWindow> window = trigger_.Scan(
        rec.ChannelTrace, rec.NextSample, newSets, [&](const TriggeredWindow& w, int setsAfter) {
            logged |= logTrigger(w.TriggerSet);
            if (single) return;
            if (setsAfter <= kTraceSlots - kWindowPositions)
                eventSaver_.Save(rec.ChannelTrace, w.NextSample, w.TriggerSet);
            else
                eventSaver_.Unsaved();
        });
    if (window) {
        if (single) {
            // The sets decoded after the window's last one fall out of it.
            rec.NextSample = window->NextSample;
        } else {
            CopyWindowSlots(rec.ChannelTrace, *frozen_, window->NextSample);
            frozenNextSample_ = window->NextSample;
            frozenShown_ = true;
        }
        shownTrigger_ = window->TriggerSet;
        shownComplete_ = true;
    } else if (!shownComplete_) {
        // Until a window is complete, the display rolls on with the newest trigger in it.
        shownTrigger_ = trigger_.TriggerSet();
    }
    // A trigger whose window is not complete yet.
    if (trigger_.Phase() == TriggerPhase::Triggered) logged |= logTrigger(trigger_.TriggerSet());
    if (logged) emit eventsChanged();
    if (trigger_.Phase() != phase || trigger_.TriggerSet() != triggerSet)
        reportTriggerState(trigger_.Phase(), trigger_.TriggerSet());
    if (shownTrigger_ >= 0)
        reportTriggerPosition(shownComplete_ ? trigger_.PreTrigger()
                                             : static_cast<int>(shownTrigger_ - (trigger_.SetsSeen() - 1) + kNewestPosition));
    return window && single;
}

bool CaptureSession::logTrigger(std::int64_t set) {
    if (set <= loggedTrigger_) return false;
    loggedTrigger_ = set;
    logEvent(set, "trigger", TriggerName(setup_.Trigger), "trigger condition met", false);
    return true;
}

void CaptureSession::reportTriggerState(TriggerPhase phase, std::int64_t triggerSet) {
    emit triggerStateChanged(phase, static_cast<double>(triggerSet) * kSamplePeriodSeconds);
}

void CaptureSession::reportTriggerPosition(int position) {
    if (position == shownPosition_) return;
    shownPosition_ = position;
    emit triggerMoved(position);
}

void CaptureSession::logEvent(std::int64_t set, const std::string& kind, const std::string& source,
                              const std::string& text, bool tell) {
    longRecorder_.EventAtCaptureSet(set, kind, kind == "trigger" ? source + ": " + text : text);
    if (events_.size() >= kMaxEvents) return;
    events_.push_back({set, kind, source, text, {}});
    if (tell) emit eventsChanged();
}

std::string CaptureSession::StartSavingEvents(const std::string& folder, const EventSaver::Limits& limits,
                                              const CaptureDescription& description, char decimalSeparator) {
    const auto runAt = std::chrono::system_clock::time_point(std::chrono::milliseconds(startedAt_.toMSecsSinceEpoch()));
    std::string problem =
        eventSaver_.Start(folder, limits, description, decimalSeparator, runAt, trigger_.PreTrigger());
    savedCounts_ = eventSaver_.Count();
    endedReported_ = false;
    emit eventsChanged();
    return problem;
}

void CaptureSession::StopSavingEvents() {
    eventSaver_.Stop();
    followEventSaving();
    emit eventsChanged();
}

void CaptureSession::followEventSaving() {
    bool changed = false;
    for (const EventSaver::SavedEvent& saved : eventSaver_.TakeSaved()) {
        // The newest trigger event at that set.
        for (auto e = events_.rbegin(); e != events_.rend(); ++e) {
            if (e->Kind == "trigger" && e->Set == saved.TriggerSet) {
                e->File = saved.Path;
                break;
            }
        }
        changed = true;
    }
    const EventSaver::Counts counts = eventSaver_.Count();
    if (changed || counts != savedCounts_) {
        savedCounts_ = counts;
        emit eventsChanged();
    }
    if (const std::string why = eventSaver_.Ended(); !why.empty() && !endedReported_) {
        endedReported_ = true;
        emit eventSavingEnded(QString::fromStdString(why));
    }
}

void CaptureSession::Identify(const std::string& portName) {
    CaptureRecord& rec = *record_;
    rec.StreamRing.fill(0);
    if (!openPort(portName)) return;
    if (!SendIdentifyRequest(port_)) {
        closePort();
        emit linkFailed(LinkFailure::ExchangeStalled);
        return;
    }
    rec.ReceiveBuffer.fill(0);
    // Bytes that do not arrive in time read as 0.
    const auto reply = std::span(rec.ReceiveBuffer).first<kIdentifyReplyBytes>();
    ReadReply(port_, reply, kIdentifyReplyWait);
    rec.DriveTypeCode = DecodeIdentifyReply(reply).TypeCode;
    closePort();
    emit identified(rec.DriveTypeCode);
}

std::string CaptureSession::StartRecording(const std::string& path, const std::vector<CsvColumn>& columns) {
    std::string problem = recorder_.Start(path, columns, *record_);
    if (problem.empty()) emit recordingStarted();
    return problem;
}

std::string CaptureSession::StartLongRecording(const std::string& path, const RecordingHeader& header) {
    std::string problem = longRecorder_.Start(path, header, *record_);
    if (problem.empty()) emit recordingStarted();
    return problem;
}

void CaptureSession::StopRecording() {
    if (recorder_.Active())
        emit recordingEnded(recorder_.Stop() ? QString() : QString::fromLocal8Bit(recorder_.Error()));
    if (longRecorder_.Active())
        emit recordingEnded(longRecorder_.Stop() ? QString() : QString::fromUtf8(longRecorder_.Error()));
}

void CaptureSession::Shutdown() {
    eventSaver_.Stop();
    recorder_.Stop();
    longRecorder_.Stop();
    timer_->stop();
    reconnecting_ = awaitingStream_ = false;
    if (!port_.IsOpen()) return;
    SendStreamReset(port_);
    closePort();
}

}  // namespace altrix
