#pragma once
// CaptureSession: the capture apart from any window. Owns the capture record, the program's one
// CommPort and the 50 ms tick, and runs the RUN, STOP and Type Identify sequences with their
// byte order and timing. It holds the program's capture state (running or not, the channel
// enables and addresses of the running capture, the tick's drawing density) and tells the view
// what happened through signals; it asks the user nothing.

#include "CaptureRecord.h"
#include "CommPort.h"
#include "ScopeProtocol.h"
#include "StreamDecoder.h"
#include "Trigger.h"

#include <QObject>

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

// What a capture streams: the address of each channel (0x9000 for one switched off) and
// which channels store their words; and the trigger it waits for, with the gain text of the
// trigger's source channel, in which its level is given.
struct CaptureSetup {
    ChannelAddresses Addresses{};
    ChannelEnables Enabled{};
    TriggerSettings Trigger{};
    std::string TriggerGain{};
};

class CaptureSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kTickIntervalMs = 50;

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

    // DrawPointCount that every tick of a capture sets (the chosen drawing mode's).
    void SetCaptureDensity(std::int32_t pointCount) { captureDensity_ = pointCount; }
    std::int32_t CaptureDensity() const { return captureDensity_; }

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
    // then ticked(). A Single capture whose window is complete then stops as STOP stops it.
    void Tick();
    // Type Identify: a one-shot exchange that ends in identified() or linkFailed().
    void Identify(const std::string& portName);
    // The window closes: a capture that holds the port ends quietly (no stopped()).
    void Shutdown();

signals:
    void started();
    void stopped();
    // `newSets` sample sets were decoded by this tick.
    void ticked(int newSets);
    void identified(std::int32_t typeCode);
    void linkFailed(altrix::LinkFailure why);
    // The trigger's phase; when Triggered, `seconds` is the time of the newest trigger set
    // since RUN (the first set of a capture is at 0 s).
    void triggerStateChanged(altrix::TriggerPhase phase, double seconds);
    // Window position of the trigger set on show; -1 when none is. Raised before the
    // started() or ticked() whose display it belongs to.
    void triggerMoved(int position);

private:
    // Opens `portName` into PortOpen; on failure emits linkFailed().
    bool openPort(const std::string& portName);
    void closePort();
    // Searches the tick's new sets; true when a Single window became complete.
    bool searchTrigger(int newSets);
    void reportTriggerState(TriggerPhase phase, std::int64_t triggerSet);
    void reportTriggerPosition(int position);

    std::unique_ptr<CaptureRecord> record_;
    CommPort port_;
    QTimer* timer_;
    CaptureSetup setup_{};
    std::int32_t captureDensity_ = 10000;
    std::string settingsIniPath_;

    TriggerSearch trigger_;
    // A Normal trigger's completed window (the slots it shows), kept while the capture runs on.
    std::unique_ptr<ChannelTraces> frozen_;
    bool frozenShown_ = false;
    std::int32_t frozenNextSample_ = 0;
    // The trigger set on show (-1: none), and whether its window is complete.
    std::int64_t shownTrigger_ = -1;
    bool shownComplete_ = false;
    int shownPosition_ = -1;
};

}  // namespace altrix
