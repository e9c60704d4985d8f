#include "CaptureReader.h"

#include "ScopeExchange.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <span>

namespace altrix {

namespace {
using Clock = std::chrono::steady_clock;
using Kind = CaptureNotice::Kind;
constexpr std::chrono::milliseconds kRatePeriod{1000};
constexpr int kSetsPerSecond = 5000;
constexpr auto kSilenceLimit = CaptureLimits::kSilenceLimit;
constexpr auto kRetryPeriod = CaptureLimits::kRetryPeriod;
}  // namespace

CaptureReader::CaptureReader(std::string settingsIniPath)
    : record_(std::make_unique<CaptureRecord>()),
      port_(std::move(settingsIniPath)),
      frozen_(std::make_unique<ChannelTraces>()) {
    // Room for a long stall of the window without allocating while a capture runs.
    notices_.reserve(1024);
}

CaptureReader::~CaptureReader() = default;

void CaptureReader::MoveNoticesTo(std::vector<CaptureNotice>& to) {
    std::move(notices_.begin(), notices_.end(), std::back_inserter(to));
    notices_.clear();
}

CaptureNews CaptureReader::TakeNews() { return std::exchange(news_, CaptureNews{}); }

bool CaptureReader::openPort(const std::string& portName) {
    CaptureRecord& rec = *record_;
    rec.PortName = portName;
    const OpenResult result = port_.Open(rec.PortName, rec.BaudRate);
    port_.PortOpen = result == OpenResult::Opened;
    if (port_.PortOpen) return true;
    tell(Kind::LinkFailed, static_cast<std::int64_t>(result == OpenResult::SettingsRefused ? LinkFailure::SettingsRefused
                                                                                           : LinkFailure::DeviceError));
    return false;
}

void CaptureReader::closePort() {
    port_.Close();
    port_.PortOpen = false;
}

bool CaptureReader::Start(const std::string& portName, const CaptureSetup& setup) {
    if (running_) return true;
    if (!openPort(portName)) return false;
    if (!SendStartCapture(port_, setup.Addresses)) {
        closePort();
        tell(Kind::LinkFailed, static_cast<std::int64_t>(LinkFailure::ExchangeStalled));
        return false;
    }
    // The purge of the start exchange emptied the input queue: the stream's first byte lands
    // at ring index 0.
    setup_ = setup;
    ResetForRun(*record_);
    news_.Capture = news_.WholeTraces = true;
    health_ = {};
    lastByteAt_ = rateSince_ = Clock::now();
    rateBlocks_ = 0;
    reconnecting_ = awaitingStream_ = false;
    trigger_.Arm(setup.Trigger, TriggerLogic::Of(setup.Trigger, setup.Gains));
    startedAt_ = QDateTime::currentDateTimeUtc();
    events_.clear();
    news_.Events = true;
    eventSaver_.Reset();
    savedCounts_ = {};
    frozenShown_ = false;
    shownTrigger_ = -1;
    loggedTrigger_ = -1;
    shownComplete_ = false;
    running_ = true;
    tell(Kind::Running);
    reportTriggerState(trigger_.Phase(), -1);
    shownPosition_ = -1;
    tell(Kind::TriggerMoved, -1);
    tell(Kind::Started);
    return true;
}

void CaptureReader::Stop() {
    // A stalled port takes at most one exchange's time; it is closed regardless.
    SendStreamReset(port_);
    port_.Close();
    if (running_) {
        news_.Capture = true;
        tell(Kind::Halted);
    }
    running_ = false;
    port_.PortOpen = false;
    reconnecting_ = awaitingStream_ = false;
    // The screen's window stays: a Normal trigger's frozen window becomes the record's.
    if (frozenShown_) {
        CopyWindowSlots(*frozen_, record_->ChannelTrace, frozenNextSample_);
        record_->NextSample = frozenNextSample_;
        frozenShown_ = false;
        news_.Capture = news_.WholeTraces = true;
    }
    trigger_ = TriggerSearch{};
    eventSaver_.Stop();
    followEventSaving();
    reportTriggerState(shownTrigger_ >= 0 ? TriggerPhase::Triggered : TriggerPhase::Off, shownTrigger_);
    tell(Kind::Stopped);
    if (recorder_.Active()) {
        const bool written = recorder_.Stop();
        tellRecordingEnded(written ? QString() : QString::fromLocal8Bit(recorder_.Error()));
    }
    if (longRecorder_.Active()) {
        const bool written = longRecorder_.Stop();
        tellRecordingEnded(written ? QString() : QString::fromUtf8(longRecorder_.Error()));
    }
}

void CaptureReader::tellRecordingEnded(const QString& error) {
    tell(CaptureNotice{Kind::RecordingEnded, 0, {}, 0, {}, error});
}

void CaptureReader::Read() {
    if (!running_) return;
    CaptureRecord& rec = *record_;
    const std::uint64_t before = rec.SetCount;
    rec.ReceivedCount = port_.ReadAvailable(rec.ReceiveBuffer);
    if (awaitingStream_ && rec.ReceivedCount > 0) resumeStream();
    StoreAndDecode(rec, std::span(rec.ReceiveBuffer).first(static_cast<std::size_t>(rec.ReceivedCount)),
                   setup_.Enabled);
    // Filled gaps included; the ring holds at most a trace of them.
    const auto stored = static_cast<std::int64_t>(rec.SetCount - before);
    const int newSets = static_cast<int>(std::min<std::int64_t>(stored, kTraceSlots));
    news_.Capture = true;
    news_.NewSlots = std::min<std::int64_t>(news_.NewSlots + stored, kTraceSlots);
    news_.SlotsEnd = rec.NextSample;
    if (recorder_.Active() && stored > 0 && !recorder_.Append(rec, rec.NextSample, stored))
        tellRecordingEnded(QString::fromLocal8Bit(recorder_.Error()));
    if (longRecorder_.Active() && stored > 0 && !longRecorder_.Append(rec, rec.NextSample, stored))
        tellRecordingEnded(QString::fromUtf8(longRecorder_.Error()));
    const auto now = Clock::now();
    if (rec.ReceivedCount > 0) lastByteAt_ = now;
    if (reconnecting_) tryReconnect(now);
    updateHealth(now);
    const bool singleComplete = searchTrigger(newSets);
    followEventSaving();
    // Readings the window has not taken yet count as one.
    if (!notices_.empty() && notices_.back().What == Kind::Ticked)
        notices_.back().Number = std::min<std::int64_t>(notices_.back().Number + newSets, kTraceSlots);
    else
        tell(Kind::Ticked, newSets);
    if (singleComplete) {
        Stop();
        return;
    }
    if (running_ && !reconnecting_ && (port_.Vanished() || now - lastByteAt_ >= kSilenceLimit)) loseLink(now);
}

void CaptureReader::loseLink(Clock::time_point now) {
    const auto silentFor = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastByteAt_);
    const QDateTime lastByteAt = QDateTime::currentDateTime().addMSecs(-silentFor.count());
    logEvent(static_cast<std::int64_t>(record_->SetCount), "link lost", "link",
             "no stream since " + lastByteAt.toString(Qt::ISODateWithMs).toStdString());
    if (!autoReconnect_) {
        Stop();
        tell(CaptureNotice{Kind::LinkLost, 0, {}, 0, lastByteAt, {}});
        return;
    }
    // A drive that went quiet on a port still open is told to stop, within one exchange's time.
    SendStreamReset(port_);
    closePort();
    reconnecting_ = true;
    lastAttemptAt_ = now;
    tell(CaptureNotice{Kind::Reconnecting, 0, {}, 0, lastByteAt, {}});
}

void CaptureReader::tryReconnect(Clock::time_point now) {
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

void CaptureReader::resumeStream() {
    // The time without a stream keeps its place on the time axis: from the last byte of the old
    // stream to the start exchange of the new one.
    const auto missed = std::chrono::duration<double>(restartSentAt_ - lastByteAt_).count();
    longRecorder_.NextGapIsReconnect();
    // The filled sets count among the reading's new ones.
    RestartStream(*record_, static_cast<std::int64_t>(missed * kSetsPerSecond), setup_.Enabled);
    // At the set where the stream resumes, after the gap.
    logEvent(static_cast<std::int64_t>(record_->SetCount), "reconnected", "link", "the stream is back");
    awaitingStream_ = false;
    reconnecting_ = false;
    tell(Kind::Reconnected);
}

void CaptureReader::updateHealth(Clock::time_point now) {
    const StreamHealth& stream = record_->Health;
    health_.BlocksLost = stream.BlocksLost;
    health_.Resyncs = stream.Resyncs;
    health_.BytesDiscarded = stream.BytesDiscarded;
    health_.SecondsSinceLastByte = std::chrono::duration<double>(now - lastByteAt_).count();
    const auto elapsed = now - rateSince_;
    if (elapsed >= kRatePeriod) {
        const std::uint64_t blocks = stream.BlocksDecoded - rateBlocks_;
        health_.SetsPerSecond =
            static_cast<double>(blocks * kSetsPerBlock) / std::chrono::duration<double>(elapsed).count();
        rateSince_ = now;
        rateBlocks_ = stream.BlocksDecoded;
    }
}

bool CaptureReader::searchTrigger(int newSets) {
    if (trigger_.Mode() == TriggerMode::Off) return false;
    CaptureRecord& rec = *record_;
    const TriggerPhase phase = trigger_.Phase();
    const std::int64_t triggerSet = trigger_.TriggerSet();
    const bool single = trigger_.Mode() == TriggerMode::Single;
    bool logged = false;
    // Every window the reading completes is an event, saved from its own sets while the ring
    // still holds them; the newest is the one shown.
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
            news_.Frozen = true;
        }
        shownTrigger_ = window->TriggerSet;
        shownComplete_ = true;
    } else if (!shownComplete_) {
        // Until a window is complete, the display rolls on with the newest trigger in it.
        shownTrigger_ = trigger_.TriggerSet();
    }
    // A trigger whose window is not complete yet.
    if (trigger_.Phase() == TriggerPhase::Triggered) logged |= logTrigger(trigger_.TriggerSet());
    if (logged) {
        news_.Events = true;
        tell(Kind::EventsChanged);
    }
    if (trigger_.Phase() != phase || trigger_.TriggerSet() != triggerSet)
        reportTriggerState(trigger_.Phase(), trigger_.TriggerSet());
    if (shownTrigger_ >= 0)
        reportTriggerPosition(shownComplete_ ? trigger_.PreTrigger()
                                             : static_cast<int>(shownTrigger_ - (trigger_.SetsSeen() - 1) + kNewestPosition));
    return window && single;
}

bool CaptureReader::logTrigger(std::int64_t set) {
    if (set <= loggedTrigger_) return false;
    loggedTrigger_ = set;
    logEvent(set, "trigger", TriggerName(setup_.Trigger), "trigger condition met", false);
    return true;
}

void CaptureReader::reportTriggerState(TriggerPhase phase, std::int64_t triggerSet) {
    tell(CaptureNotice{Kind::TriggerState, 0, phase, static_cast<double>(triggerSet) * kSamplePeriodSeconds, {}, {}});
}

void CaptureReader::reportTriggerPosition(int position) {
    if (position == shownPosition_) return;
    shownPosition_ = position;
    tell(Kind::TriggerMoved, position);
}

void CaptureReader::logEvent(std::int64_t set, const std::string& kind, const std::string& source,
                             const std::string& text, bool tellNow) {
    longRecorder_.EventAtCaptureSet(set, kind, kind == "trigger" ? source + ": " + text : text);
    if (events_.size() >= CaptureLimits::kMaxEvents) return;
    events_.push_back({set, kind, source, text, {}});
    news_.Events = true;
    if (tellNow) tell(Kind::EventsChanged);
}

std::string CaptureReader::StartSavingEvents(const std::string& folder, const EventSaver::Limits& limits,
                                             const CaptureDescription& description, char decimalSeparator) {
    const auto runAt = std::chrono::system_clock::time_point(std::chrono::milliseconds(startedAt_.toMSecsSinceEpoch()));
    std::string problem =
        eventSaver_.Start(folder, limits, description, decimalSeparator, runAt, trigger_.PreTrigger());
    savedCounts_ = eventSaver_.Count();
    endedReported_ = false;
    news_.Events = true;
    tell(Kind::EventsChanged);
    return problem;
}

void CaptureReader::StopSavingEvents() {
    eventSaver_.Stop();
    followEventSaving();
    news_.Events = true;
    tell(Kind::EventsChanged);
}

void CaptureReader::followEventSaving() {
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
        news_.Events = true;
        tell(Kind::EventsChanged);
    }
    if (const std::string why = eventSaver_.Ended(); !why.empty() && !endedReported_) {
        endedReported_ = true;
        tell(CaptureNotice{Kind::EventSavingEnded, 0, {}, 0, {}, QString::fromStdString(why)});
    }
}

void CaptureReader::Identify(const std::string& portName) {
    CaptureRecord& rec = *record_;
    rec.StreamRing.fill(0);
    if (!openPort(portName)) return;
    if (!SendIdentifyRequest(port_)) {
        closePort();
        tell(Kind::LinkFailed, static_cast<std::int64_t>(LinkFailure::ExchangeStalled));
        return;
    }
    rec.ReceiveBuffer.fill(0);
    // Bytes that do not arrive in time read as 0.
    const auto reply = std::span(rec.ReceiveBuffer).first<kIdentifyReplyBytes>();
    ReadReply(port_, reply, kIdentifyReplyWait);
    rec.DriveTypeCode = DecodeIdentifyReply(reply).TypeCode;
    closePort();
    news_.DriveType = true;
    tell(Kind::Identified, rec.DriveTypeCode);
}

std::string CaptureReader::StartRecording(const std::string& path, const std::vector<CsvColumn>& columns) {
    std::string problem = recorder_.Start(path, columns, *record_);
    if (problem.empty()) tell(Kind::RecordingStarted, static_cast<std::int64_t>(record_->SetCount));
    return problem;
}

std::string CaptureReader::StartLongRecording(const std::string& path, const RecordingHeader& header) {
    std::string problem = longRecorder_.Start(path, header, *record_);
    if (problem.empty()) tell(Kind::RecordingStarted, static_cast<std::int64_t>(record_->SetCount));
    return problem;
}

void CaptureReader::StopRecording() {
    if (recorder_.Active()) tellRecordingEnded(recorder_.Stop() ? QString() : QString::fromLocal8Bit(recorder_.Error()));
    if (longRecorder_.Active()) tellRecordingEnded(longRecorder_.Stop() ? QString() : QString::fromUtf8(longRecorder_.Error()));
}

void CaptureReader::Shutdown() {
    eventSaver_.Stop();
    recorder_.Stop();
    longRecorder_.Stop();
    running_ = false;
    reconnecting_ = awaitingStream_ = false;
    if (!port_.IsOpen()) return;
    SendStreamReset(port_);
    closePort();
}

}  // namespace altrix
