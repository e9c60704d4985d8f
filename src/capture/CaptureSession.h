#pragma once
// CaptureSession: the capture apart from any window. Owns the capture record, the program's one
// CommPort and the 50 ms tick, and runs the RUN, STOP and Type Identify sequences with their
// byte order and timing. It holds the program's capture state (running or not, the channel
// enables and addresses of the running capture) and tells the view
// what happened through signals; it asks the user nothing.

#include "CaptureRecord.h"
#include "CommPort.h"
#include "EventSaver.h"
#include "LongRecorder.h"
#include "Recorder.h"
#include "ScopeProtocol.h"
#include "StreamDecoder.h"
#include "Trigger.h"

#include <QDateTime>
#include <QObject>

#include <chrono>

#include <memory>
#include <string>

class QTimer;

namespace altrix {

// Why the link could not be used.
enum class LinkFailure {
    DeviceError,      // the port did not open: missing, busy, not a serial device
    SettingsRefused,  // the port opened, but its line settings were refused
    ExchangeStalled,  // the port stopped accepting bytes during an exchange
};

// How the link of the running (or last) capture fares.
struct LinkHealth {
    double SetsPerSecond = 0;          // decoded over the last second or so; the drive sends 5000
    std::uint64_t BlocksLost = 0;
    std::uint64_t Resyncs = 0;
    std::uint64_t BytesDiscarded = 0;
    double SecondsSinceLastByte = 0;
};

// What a capture streams: the address of each channel (0x9000 for one switched off) and
// which channels store their words; and the trigger it waits for, with the channels' gain
// texts, in which its levels are given.
struct CaptureSetup {
    ChannelAddresses Addresses{};
    ChannelEnables Enabled{};
    TriggerSettings Trigger{};
    std::array<std::string, kChannelCount> Gains{};
};

// What happened during a capture, for the event list: a trigger (its source and conditions,
// the file its window went to once saved), a link lost, a reconnect.
struct CaptureEvent {
    std::int64_t Set = 0;  // counted from RUN
    std::string Kind;      // "trigger", "link lost", "reconnected"
    std::string Source;    // the trigger's conditions ("ch2 Rising"); "link"
    std::string Text;
    std::string File;      // the saved window, empty when none
};

class CaptureSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickIntervalMs = 50;
    // A capture whose port stays silent this long has lost its link.
    static constexpr std::chrono::milliseconds kSilenceLimit{1000};

    // `settingsIniPath`: the settings file whose "Ports" section maps port names (see CommPort).
    explicit CaptureSession(std::string settingsIniPath = {}, QObject* parent = nullptr);
    ~CaptureSession() override;

    CaptureRecord& record() { return *record_; }
    const CaptureRecord& record() const { return *record_; }
    CommPort& port() { return port_; }
    const CommPort& port() const { return port_; }

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
    void SetAutoReconnect(bool on) { autoReconnect_ = on; }
    bool AutoReconnect() const { return autoReconnect_; }
    bool Reconnecting() const { return reconnecting_; }
    static constexpr std::chrono::milliseconds kRetryPeriod{1000};

    // Recording: from StartRecording until StopRecording, STOP or a write error, every set a
    // tick decodes is appended to the file (see Recorder). The reason when it cannot start.
    std::string StartRecording(const std::string& path, const std::vector<CsvColumn>& columns);
    void StopRecording();
    const Recorder& Recording() const { return recorder_; }
    // The same to a recording file (see LongRecorder), with the capture's gaps, trigger sets,
    // link losses and reconnects.
    std::string StartLongRecording(const std::string& path, const RecordingHeader& header);
    const LongRecorder& LongRecording() const { return longRecorder_; }
    // Saving every event: from StartSavingEvents until STOP (or a limit, or a write error,
    // which end it with eventSavingEnded), each window a Normal trigger completes goes to a
    // file of its own in `folder` (see EventSaver). The reason when it cannot start.
    std::string StartSavingEvents(const std::string& folder, const EventSaver::Limits& limits,
                                  const CaptureDescription& description, char decimalSeparator);
    void StopSavingEvents();
    const EventSaver& EventSaving() const { return eventSaver_; }
    // The events of the running (or last) capture, oldest first; at most kMaxEvents.
    const std::vector<CaptureEvent>& Events() const { return events_; }
    static constexpr std::size_t kMaxEvents = 100000;
    // The wall-clock time of the capture's set 0 (RUN).
    QDateTime StartedAt() const { return startedAt_; }

    // RUN: opens `portName`, sends the start exchange and, once that went through, resets the
    // record for the new capture, arms the trigger, starts the tick and emits the trigger's
    // state and position, then started(). On failure emits
    // linkFailed() and leaves the record as it was. True when the capture runs.
    bool Start(const std::string& portName, const CaptureSetup& setup);
    // STOP: the stream reset, the port closed (whether or not the reset went through), the tick
    // stopped; a triggered window on show becomes the record's, and the trigger reports what
    // is shown; then stopped(). Also when no capture runs.
    void Stop();
    // One tick: everything that arrived is stored and decoded and searched for the trigger;
    // then ticked(). A Single capture whose window is complete then stops as STOP stops it. A
    // port that has vanished or stayed silent for kSilenceLimit ends the capture as Stop does,
    // then linkLost() (or, with auto-reconnect, is tried again).
    void Tick();
    // Type Identify: a one-shot exchange that ends in identified() or linkFailed().
    void Identify(const std::string& portName);
    // The window closes: a capture ends quietly (no stopped()).
    void Shutdown();

signals:
    void started();
    void stopped();
    // `newSets` sample sets were decoded by this tick.
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
    // A recording started: it takes the sets from the record's next one on.
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
    // Opens `portName` into PortOpen; on failure emits linkFailed().
    bool openPort(const std::string& portName);
    void closePort();
    void updateHealth(std::chrono::steady_clock::time_point now);
    void loseLink(std::chrono::steady_clock::time_point now);
    void tryReconnect(std::chrono::steady_clock::time_point now);
    // The first bytes of the new stream arrived: the gap filled, reconnected().
    void resumeStream();
    // Searches the tick's new sets; true when a Single window became complete.
    bool searchTrigger(int newSets);
    void reportTriggerState(TriggerPhase phase, std::int64_t triggerSet);
    void reportTriggerPosition(int position);
    // Adds an event at a capture set to the list and to a recording that runs; `tell`: emits
    // eventsChanged.
    void logEvent(std::int64_t set, const std::string& kind, const std::string& source, const std::string& text,
                  bool tell = true);
    // Logs the trigger at `set` unless it is logged already (sets come in order); true when logged.
    bool logTrigger(std::int64_t set);
    // Attaches the files saved since the last tick to their events; tells what changed.
    void followEventSaving();

    std::unique_ptr<CaptureRecord> record_;
    Recorder recorder_;
    LongRecorder longRecorder_;
    CommPort port_;
    QTimer* timer_;
    CaptureSetup setup_{};
    LinkHealth health_;
    std::chrono::steady_clock::time_point lastByteAt_{};
    // Blocks decoded when SetsPerSecond was last taken, at rateSince_.
    std::chrono::steady_clock::time_point rateSince_{};
    std::uint64_t rateBlocks_ = 0;
    bool autoReconnect_ = false;
    bool reconnecting_ = false;
    bool awaitingStream_ = false;  // reopened and the start exchange sent at restartSentAt_
    std::chrono::steady_clock::time_point restartSentAt_{};
    std::chrono::steady_clock::time_point lastAttemptAt_{};
    std::string settingsIniPath_;

    TriggerSearch trigger_;
    EventSaver eventSaver_;
    EventSaver::Counts savedCounts_{};
    bool endedReported_ = false;  // eventSavingEnded told for the saving under way
    std::vector<CaptureEvent> events_;
    QDateTime startedAt_;
    // A Normal trigger's completed window (the slots it shows), kept while the capture runs on.
    std::unique_ptr<ChannelTraces> frozen_;
    bool frozenShown_ = false;
    std::int32_t frozenNextSample_ = 0;
    // The trigger set on show (-1: none), and whether its window is complete.
    std::int64_t shownTrigger_ = -1;
    std::int64_t loggedTrigger_ = -1;  // the newest trigger set in Events()
    bool shownComplete_ = false;
    int shownPosition_ = -1;
};

}  // namespace altrix
