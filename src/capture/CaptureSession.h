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
// which channels store their words.
struct CaptureSetup {
    ChannelAddresses Addresses{};
    ChannelEnables Enabled{};
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

    const LinkHealth& Health() const { return health_; }

    // DrawPointCount that every tick of a capture sets (the chosen drawing mode's).
    void SetCaptureDensity(std::int32_t pointCount) { captureDensity_ = pointCount; }
    std::int32_t CaptureDensity() const { return captureDensity_; }

    // RUN: opens `portName`, sends the start exchange and, once that went through, resets the
    // record for the new capture, emits started() and starts the tick. On failure emits
    // linkFailed() and leaves the record as it was. True when the capture runs.
    bool Start(const std::string& portName, const CaptureSetup& setup);
    // STOP: the stream reset, the port closed (whether or not the reset went through), the tick
    // stopped; then stopped(). Also when no capture runs.
    void Stop();
    // One tick: everything that arrived is stored and decoded; then ticked(). A port that has
    // vanished or stayed silent for kSilenceLimit ends the capture as Stop does, then
    // linkLost().
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
    // The running capture ended because its link was lost after the last byte at `lastByteAt`;
    // what it had decoded is kept.
    void linkLost(const QDateTime& lastByteAt);

private:
    // Opens `portName` into PortOpen; on failure emits linkFailed().
    bool openPort(const std::string& portName);
    void closePort();
    void updateHealth(std::chrono::steady_clock::time_point now, int newSets);

    std::unique_ptr<CaptureRecord> record_;
    CommPort port_;
    QTimer* timer_;
    CaptureSetup setup_{};
    std::int32_t captureDensity_ = 10000;
    LinkHealth health_;
    std::chrono::steady_clock::time_point lastByteAt_{};
    // The sets counted towards SetsPerSecond since rateSince_.
    std::chrono::steady_clock::time_point rateSince_{};
    int rateSets_ = 0;
};

}  // namespace altrix
