#pragma once
// CaptureSession: the capture as the window (or the command line) sees it. Its reading,
// decoding, trigger search, recording and event saving run on a reader thread of their own
// (CaptureReader, which owns the port), so a window that is busy loses nothing: the reader keeps,
// records and searches every set, and the window shows the newest state when it looks.
//
// The session lives on the window's thread. Its 50 ms tick (`Timer1`) is the window's clock:
// each tick takes what the reader did since the last one into the window's copy of the record
// (record(), the shown traces, events, health) under a lock held only for the copy, then emits
// what happened, in order, as signals. RUN, STOP and Type Identify wait for their exchanges as
// before. It asks the user nothing.

#include "CaptureRecord.h"
#include "CaptureTypes.h"
#include "CommPort.h"
#include "EventSaver.h"
#include "LongRecorder.h"
#include "Recorder.h"

#include <QDateTime>
#include <QObject>
#include <QThread>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QTimer;

namespace altrix {

class CaptureReader;
struct CaptureNotice;

// A recorder as the window last saw it.
struct RecorderState {
    bool IsActive = false;
    std::uint64_t SetCount = 0;
    std::uint64_t ByteCount = 0;
    bool Active() const { return IsActive; }
    std::uint64_t Sets() const { return SetCount; }
    std::uint64_t Bytes() const { return ByteCount; }
};

// The event saving as the window last saw it.
struct EventSavingState {
    bool IsActive = false;
    EventSaver::Counts Counts{};
    bool Active() const { return IsActive; }
    EventSaver::Counts Count() const { return Counts; }
};

class CaptureSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickIntervalMs = 50;
    // How often the reader thread reads the port while a capture runs.
    static constexpr int kReadIntervalMs = 20;
    static constexpr std::chrono::milliseconds kSilenceLimit = CaptureLimits::kSilenceLimit;
    static constexpr std::chrono::milliseconds kRetryPeriod = CaptureLimits::kRetryPeriod;
    static constexpr std::size_t kMaxEvents = CaptureLimits::kMaxEvents;

    // `settingsIniPath`: the settings file whose "Ports" section maps port names (see CommPort).
    explicit CaptureSession(std::string settingsIniPath = {}, QObject* parent = nullptr);
    ~CaptureSession() override;

    // The window's copy of the record: the capture's traces as of the last tick, and whatever the
    // window loads into it between captures.
    CaptureRecord& record() { return *record_; }
    const CaptureRecord& record() const { return *record_; }
    // The port lives on the reader thread: read it only while no capture runs.
    const CommPort& port() const;

    bool IsRunning() const;
    const CaptureSetup& Setup() const { return setup_; }
    const std::string& SettingsIniPath() const { return settingsIniPath_; }

    // The traces and NextSample that the display shows: while a Normal trigger's completed
    // window is shown as the capture runs on, a copy of that window; else the record's.
    const ChannelSamples& ShownTrace(int channel) const;
    std::int32_t ShownNextSample() const;
    // The set, counted from RUN, at position 0 of the window on show (negative while the
    // capture has not filled it yet).
    std::int64_t ShownFirstSet() const;

    const LinkHealth& Health() const { return health_; }
    // With auto-reconnect a lost link does not end the capture: the port is tried again every
    // kRetryPeriod and, once it opens and takes the start exchange, waits up to kSilenceLimit for
    // the stream. The link is back only when stream bytes arrive: then the capture carries on
    // with the same channels, the time without a stream filled and marked as a gap. Until then
    // Reconnecting() holds and the time since the last byte keeps growing.
    void SetAutoReconnect(bool on);
    bool AutoReconnect() const { return autoReconnect_; }
    bool Reconnecting() const { return reconnecting_; }

    // Recording: from StartRecording until StopRecording, STOP or a write error, every set the
    // reader decodes is appended to the file (see Recorder). The reason when it cannot start.
    std::string StartRecording(const std::string& path, const std::vector<CsvColumn>& columns);
    void StopRecording();
    const RecorderState& Recording() const { return recording_; }
    // The same to a recording file (see LongRecorder), with the capture's gaps, trigger sets,
    // link losses and reconnects.
    std::string StartLongRecording(const std::string& path, const RecordingHeader& header);
    const RecorderState& LongRecording() const { return longRecording_; }
    // The capture set from which the running (or last) recording holds every set.
    std::optional<std::int64_t> RecordingFrom() const { return recordingFrom_; }
    // Saving every event: from StartSavingEvents until STOP (or a limit, or a write error,
    // which end it with eventSavingEnded), each window a Normal trigger completes goes to a
    // file of its own in `folder` (see EventSaver). The reason when it cannot start.
    std::string StartSavingEvents(const std::string& folder, const EventSaver::Limits& limits,
                                  const CaptureDescription& description, char decimalSeparator);
    void StopSavingEvents();
    const EventSavingState& EventSaving() const { return eventSaving_; }
    // The events of the running (or last) capture, oldest first; at most kMaxEvents.
    const std::vector<CaptureEvent>& Events() const { return events_; }
    // The wall-clock time of the capture's set 0 (RUN).
    QDateTime StartedAt() const { return startedAt_; }

    // RUN: opens `portName`, sends the start exchange and, once that went through, resets the
    // record for the new capture, arms the trigger, starts the reader and the tick and emits the
    // trigger's state and position, then started(). On failure emits linkFailed() and leaves
    // the record as it was. True when the capture runs.
    bool Start(const std::string& portName, const CaptureSetup& setup);
    // STOP: the stream reset, the port closed (whether or not the reset went through), the
    // reader and the tick stopped; a triggered window on show becomes the record's, and the
    // trigger reports what is shown; then stopped(). Also when no capture runs.
    void Stop();
    // One tick of the window (the first after RUN also sets the reader going): what the reader stored, decoded and searched since the last tick
    // is taken, then told: ticked() with the new sets, and what happened on the way (a Single
    // capture whose window is complete has stopped as STOP stops it; a port that vanished or
    // stayed silent for kSilenceLimit has ended the capture, then linkLost(), or with
    // auto-reconnect is being tried again). A reader busy with an exchange is not waited for.
    void Tick();
    // Type Identify: a one-shot exchange that ends in identified() or linkFailed().
    void Identify(const std::string& portName);
    // The window closes: a capture ends quietly (no stopped()).
    void Shutdown();

signals:
    void started();
    void stopped();
    // `newSets` sample sets were decoded since the last tick.
    void ticked(int newSets);
    void identified(std::int32_t typeCode);
    void linkFailed(altrix::LinkFailure why);
    // The running capture ended because its link was lost after the last byte at `lastByteAt`;
    // what it had decoded is kept.
    void linkLost(const QDateTime& lastByteAt);
    // With auto-reconnect: the link was lost and is being tried again; it is back (stream bytes
    // arrived again).
    void reconnecting(const QDateTime& lastByteAt);
    void reconnected();
    // A recording started: it takes the sets from RecordingFrom() on.
    void recordingStarted();
    // The recording ended: STOP, StopRecording or a write error (`error` says why when a write
    // failed, also the last one at STOP or StopRecording; empty else).
    void recordingEnded(const QString& error);
    // The trigger's phase; when Triggered, `seconds` is the time of the newest trigger set
    // since RUN (the first set of a capture is at 0 s).
    void triggerStateChanged(altrix::TriggerPhase phase, double seconds);
    // Window position of the trigger set on show; -1 when none is. Raised before the
    // started() or ticked() whose display it belongs to.
    void triggerMoved(int position);
    // Events() or the event saving's counts changed.
    void eventsChanged();
    // Saving every event stopped by itself: `why` says why; the capture runs on.
    void eventSavingEnded(const QString& why);

private:
    // Runs `command` on the reader thread under the lock and waits for it; then tells what
    // happened.
    template <class Command>
    void onReader(Command command);
    // Runs `command` here under the lock, then tells what happened; its result.
    template <class Command>
    auto withReader(Command command);
    // Under the lock: the reader's news into the window's copies, its notices into pending_.
    void take();
    void takeLinkSettings(CaptureReader& reader) const;
    // Emits the pending notices in order.
    void tell();
    void tell(const CaptureNotice& notice);

    std::string settingsIniPath_;
    QThread thread_;
    QObject* readerHome_;     // lives on thread_; parent of the reading timer
    QTimer* readTimer_;
    // RUN has opened the stream; the reader begins at the window's first tick, so that whatever
    // the window starts along with RUN (a recording, the event saving) takes the first set.
    bool readerWaits_ = false;
    std::unique_ptr<CaptureReader> reader_;
    std::mutex lock_;         // the reader's state; held by a reading and by take()
    std::vector<CaptureNotice> pending_;
    std::vector<std::vector<CaptureNotice>> spareLists_;  // emptied lists, kept for their storage

    // The window's copies.
    QTimer* timer_;
    std::unique_ptr<CaptureRecord> record_;
    std::unique_ptr<ChannelTraces> frozen_;
    bool frozenShown_ = false;
    std::int32_t frozenNextSample_ = 0;
    std::int64_t shownTrigger_ = -1;
    int shownPosition_ = -1;
    CaptureSetup setup_{};
    LinkHealth health_;
    bool autoReconnect_ = false;
    bool reconnecting_ = false;
    RecorderState recording_;
    RecorderState longRecording_;
    std::optional<std::int64_t> recordingFrom_;
    EventSavingState eventSaving_;
    std::vector<CaptureEvent> events_;
    QDateTime startedAt_;
};

}  // namespace altrix
