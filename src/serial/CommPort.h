#pragma once
// CommPort: the program's one channel to the drive, a thin object around one serial device.
// Fixed line settings (8 data bits, no parity, 1.5 stop bits, or 2 where the platform has no
// 1.5); single-byte writes bounded (1000 ms unless the caller gives less); reads of what has already arrived only.
// Reports failures only through its results and shows nothing. Used from one thread.
//
// A device that vanishes while open (an adapter pulled out, a simulator ended) is let go of
// at once, also while the caller's event loop runs, but CommPort stays "open" for its
// owner: reads give 0, writes go nowhere, until Close.

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

class QSerialPort;

namespace altrix {

enum class OpenResult {
    Opened,
    DeviceError,      // missing, busy in another program, or not a serial device
    SettingsRefused,  // opened, but the driver refused the line settings
};

class CommPort {
public:
    static constexpr std::chrono::milliseconds kWriteWait{1000};

    // `settingsIniPath`: the settings file whose section "Ports" maps port names to devices
    // (see ResolvePortName); empty for none.
    explicit CommPort(std::string settingsIniPath = {});
    ~CommPort();
    CommPort(const CommPort&) = delete;
    CommPort& operator=(const CommPort&) = delete;

    // The owner's record that the port is open. CommPort only reads it: while it is set,
    // Open returns Opened at once without touching the device.
    bool PortOpen = false;

    // Opens the device that `name` stands for, exclusively, at `speed` baud.
    OpenResult Open(const std::string& name, std::int32_t speed);
    // Why the last Open failed, naming the port, the device it stands for and the system's
    // reason: "COM3 (/dev/ttyS2): Permission denied". Empty after an Open that succeeded.
    const std::string& OpenFailure() const { return openFailure_; }
    // Idempotent; always true.
    bool Close();
    // Discards both queues: what has arrived and not been read, what is not yet sent.
    void Purge();
    // Sends one byte, waiting at most `wait` for it to leave. True when it left in time;
    // false when it did not or the port is closed (the byte is then dropped at Close).
    bool WriteByte(std::uint8_t byte, std::chrono::milliseconds wait = kWriteWait);
    // Moves into `buffer` what has already arrived, at most buffer.size() bytes; never
    // waits for more. 0 when closed or when nothing is queued.
    std::int32_t ReadAvailable(std::span<std::uint8_t> buffer);

    // True from a successful Open until Close: the port holds a device handle.
    bool IsOpen() const { return open_; }
    // True once the open device has vanished (an adapter pulled out), until Close.
    bool Vanished() const { return vanished_; }

private:
    bool DeviceUsable() const;
    void OnSerialError(int error);
    void ReleaseIfVanished();

    std::string settingsIniPath_;
    std::unique_ptr<QSerialPort> serial_;
    bool open_ = false;
    bool vanished_ = false;
    std::string openFailure_;
};

}  // namespace altrix
