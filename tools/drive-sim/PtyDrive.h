#pragma once
// The simulated drive on a pseudo-terminal. A thread owns the pty master: what a client
// writes to the slave goes into a SimulatedDrive, and the drive's bytes are written back
// paced by the wall clock times a speed factor. The slave is raw (every byte passes
// unchanged) and the runner keeps it open itself, so clients may close and reopen it freely.
// Bytes the client has not yet made room for wait in a backlog, which counts as part of the
// client's input queue: the client's purge empties it too. Past 1 MiB further bytes are
// lost, as on a line.
// Faults of the link: an unplug (the pty and the link vanish, as a pulled USB adapter does;
// the drive runs on and its stream goes nowhere), a replug (a new pty and the link to it;
// the stream carries on there), and a stalled input (nothing the client sends is read).
// Usable from tests (start, exchange, inspect what the drive received, stop) and by the
// altrix-drive-sim program.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "SimulatedDrive.h"

namespace altrix::sim {

struct PtySettings {
    std::string LinkPath;  // made a symbolic link to the slave; none when empty
    double Speed = 1.0;    // drive seconds per wall-clock second
    double ClockErrorPpm = 0.0;  // the drive's sample clock this many ppm fast (or slow)
    // The wall-clock instant the DC bus steps down (DriveOptions::BusStepAt in drive time).
    std::optional<std::chrono::system_clock::time_point> BusStepAt;
    DriveOptions Drive;
    // Wall-clock time from the start of the first capture's stream to the unplug (once).
    std::optional<std::chrono::milliseconds> UnplugAfter;
    // Wall-clock time from the unplug to the replug; none: the drive stays unplugged.
    std::optional<std::chrono::milliseconds> ReplugAfter;
    // Never read what the client writes: the drive hears nothing, and once the terminal's
    // buffer is full the client's writes wait.
    bool StallOutput = false;
};

struct ReceivedByte {
    std::uint8_t Value;
    std::chrono::steady_clock::time_point At;
};

struct PtyStats {
    std::uint64_t BytesSent = 0;
    std::uint64_t BytesDropped = 0;  // lost to a full backlog
};

class PtyDrive {
public:
    explicit PtyDrive(PtySettings settings);
    ~PtyDrive();
    PtyDrive(const PtyDrive&) = delete;
    PtyDrive& operator=(const PtyDrive&) = delete;

    // Opens the pty, makes the link (replacing an older symbolic link, never anything
    // else) and starts the thread. On failure returns false with `error` set.
    bool Start(std::string& error);

    // Stops the thread and closes the pty, so an open client sees its device vanish;
    // removes the link if it still points at this pty. Idempotent.
    void Stop();

    // The slave of the current pty (after a replug, the new one).
    std::string SlavePath() const;
    // What a client opens: the link, or the slave when there is no link.
    std::string DevicePath() const;

    // Every byte the drive has received since the start, stamped as the runner read it.
    std::vector<ReceivedByte> Received() const;
    // Waits until at least `count` bytes were received; false when `timeout` passed first.
    bool WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;

    // Queues raw bytes for the client outside the drive's protocol (line noise, stale data).
    void Inject(std::span<const std::uint8_t> bytes);

    bool Streaming() const;
    std::optional<std::int64_t> BusStepSet() const;  // of the current capture
    ChannelAddresses StreamChannels() const;
    PtyStats Stats() const;

private:
    bool OpenPty(std::string& error);
    bool Plug(std::string& error);
    void Unplug();
    void ChangePlug(std::chrono::steady_clock::time_point now);
    void Run();
    std::chrono::milliseconds TimeToNextWrite(std::chrono::steady_clock::time_point now,
                                              std::chrono::steady_clock::time_point lastWrite);
    DriveTime DriveNow(std::chrono::steady_clock::time_point now) const;
    void ReadFromClient(DriveTime now);
    void WriteToClient();
    void Wake();
    void CloseAll();

    PtySettings settings_;
    DriveClock clock_;
    std::string slavePath_;  // written under mutex_, by the runner once it runs
    int master_ = -1;
    int slave_ = -1;  // held so the slave stays usable between clients
    int wake_[2] = {-1, -1};
    std::chrono::steady_clock::time_point start_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::vector<std::uint8_t> backlog_;  // the thread's own
    // The thread's own: when the link changes next (the unplug once the first stream has
    // started, then the replug), and whether the unplug was scheduled.
    std::optional<std::chrono::steady_clock::time_point> plugChangeAt_;
    bool unplugScheduled_ = false;

    mutable std::mutex mutex_;
    mutable std::condition_variable receivedChanged_;
    SimulatedDrive drive_;
    std::vector<ReceivedByte> received_;
    std::vector<std::uint8_t> injected_;
    PtyStats stats_;
};

}  // namespace altrix::sim
