#pragma once
// CaptureReader: the capture's engine, run on the reader thread. It owns the port (the serial
// device lives on that thread), the record it decodes into, the trigger search, both recorders
// and the event saving, and runs the RUN, STOP and Type Identify sequences with their byte
// order and timing. It knows no window: what the window must hear it queues as notices, and what
// the window must show it publishes through CaptureNews; CaptureSession hands both on.
// Not thread-safe by itself: its owner calls it under one lock.

#include "CaptureRecord.h"
#include "CaptureTypes.h"
#include "CommPort.h"
#include "EventSaver.h"
#include "LongRecorder.h"
#include "Recorder.h"
#include "Trigger.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace altrix {

// One thing the window must hear, in the order it happened (see CaptureSession's signals).
struct CaptureNotice {
    enum class Kind {
        Started, Stopped, Ticked, Identified, LinkFailed, LinkLost, Reconnecting, Reconnected,
        RecordingStarted, RecordingEnded, TriggerState, TriggerMoved, EventsChanged, EventSavingEnded,
        Running, Halted,  // the capture runs from here on; it ended here (its tick stops)
    };
    Kind What = Kind::Ticked;
    // New sets (Ticked), window position (TriggerMoved), type code (Identified), LinkFailure,
    // the first set recorded (RecordingStarted).
    std::int64_t Number = 0;
    TriggerPhase Phase = TriggerPhase::Off;
    double Seconds = 0;
    QDateTime At;  // the last byte (LinkLost, Reconnecting)
    QString Text;  // why (RecordingEnded, EventSavingEnded)
};

// What changed in the reader since the window last took its news.
struct CaptureNews {
    bool Capture = false;      // sets were stored, or a capture started or ended
    bool WholeTraces = false;  // the traces changed beyond the newest sets: copy them whole
    std::int64_t NewSlots = 0; // slots written, ending at SlotsEnd (at most kTraceSlots)
    std::int32_t SlotsEnd = 0;
    bool Frozen = false;       // a Normal trigger froze a new window
    bool Events = false;       // the event list or the saving's counts changed
    bool DriveType = false;    // an identify reply arrived
};

class CaptureReader {
public:
    explicit CaptureReader(std::string settingsIniPath);
    ~CaptureReader();

    CaptureRecord& record() { return *record_; }
    const CaptureRecord& record() const { return *record_; }
    const CommPort& port() const { return port_; }
    bool Running() const { return running_; }
    const CaptureSetup& Setup() const { return setup_; }
    const LinkHealth& Health() const { return health_; }
    bool Reconnecting() const { return reconnecting_; }
    void SetAutoReconnect(bool on) { autoReconnect_ = on; }
    const std::vector<CaptureEvent>& Events() const { return events_; }
    QDateTime StartedAt() const { return startedAt_; }
    const Recorder& Recording() const { return recorder_; }
    const LongRecorder& LongRecording() const { return longRecorder_; }
    const EventSaver& EventSaving() const { return eventSaver_; }

    // The Normal trigger's window shown while the capture runs on, when FrozenShown().
    bool FrozenShown() const { return frozenShown_; }
    const ChannelTraces& Frozen() const { return *frozen_; }
    std::int32_t FrozenNextSample() const { return frozenNextSample_; }
    std::int64_t ShownTrigger() const { return shownTrigger_; }
    int ShownPosition() const { return shownPosition_; }

    // The sequences of CaptureSession's commands of the same names; see there.
    bool Start(const std::string& portName, const CaptureSetup& setup);
    void Stop();
    // One reading: everything that arrived is stored, decoded, recorded and searched.
    void Read();
    void Identify(const std::string& portName);
    void Shutdown();
    std::string StartRecording(const std::string& path, const std::vector<CsvColumn>& columns);
    std::string StartLongRecording(const std::string& path, const RecordingHeader& header);
    void StopRecording();
    std::string StartSavingEvents(const std::string& folder, const EventSaver::Limits& limits,
                                  const CaptureDescription& description, char decimalSeparator);
    void StopSavingEvents();

    // Moves what the window has not heard yet to the end of `to`.
    void MoveNoticesTo(std::vector<CaptureNotice>& to);
    CaptureNews TakeNews();

private:
    using Clock = std::chrono::steady_clock;
    void tell(CaptureNotice notice) { notices_.push_back(std::move(notice)); }
    void tell(CaptureNotice::Kind what, std::int64_t number = 0) { tell(CaptureNotice{what, number, {}, 0, {}, {}}); }
    void tellRecordingEnded(const QString& error);
    bool openPort(const std::string& portName);
    void closePort();
    void updateHealth(Clock::time_point now);
    void loseLink(Clock::time_point now);
    void tryReconnect(Clock::time_point now);
    // The first bytes of the new stream arrived: the gap filled, Reconnected.
    void resumeStream();
    // Searches the new sets; true when a Single window became complete.
    bool searchTrigger(int newSets);
    void reportTriggerState(TriggerPhase phase, std::int64_t triggerSet);
    void reportTriggerPosition(int position);
    // Adds an event at a capture set to the list and to a recording that runs.
    void logEvent(std::int64_t set, const std::string& kind, const std::string& source, const std::string& text,
                  bool tell = true);
    // Logs the trigger at `set` unless it is logged already (sets come in order); true when logged.
    bool logTrigger(std::int64_t set);
    // Attaches the files saved since the last reading to their events; tells what changed.
    void followEventSaving();

    std::unique_ptr<CaptureRecord> record_;
    Recorder recorder_;
    LongRecorder longRecorder_;
    CommPort port_;
    bool running_ = false;
    CaptureSetup setup_{};
    LinkHealth health_;
    Clock::time_point lastByteAt_{};
    // Blocks decoded when SetsPerSecond was last taken, at rateSince_.
    Clock::time_point rateSince_{};
    std::uint64_t rateBlocks_ = 0;
    bool autoReconnect_ = false;
    bool reconnecting_ = false;
    bool awaitingStream_ = false;  // reopened and the start exchange sent at restartSentAt_
    Clock::time_point restartSentAt_{};
    Clock::time_point lastAttemptAt_{};

    TriggerSearch trigger_;
    EventSaver eventSaver_;
    EventSaver::Counts savedCounts_{};
    bool endedReported_ = false;  // EventSavingEnded told for the saving under way
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

    std::vector<CaptureNotice> notices_;
    CaptureNews news_;
};

}  // namespace altrix
