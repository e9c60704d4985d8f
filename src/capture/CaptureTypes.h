#pragma once
// Plain values a capture reports: why a link failed, how it fares, what a capture streams and
// what happened during it.

#include "CaptureRecord.h"
#include "ScopeProtocol.h"
#include "StreamDecoder.h"
#include "Trigger.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace altrix {

struct CaptureLimits {
    // A capture whose port stays silent this long has lost its link.
    static constexpr std::chrono::milliseconds kSilenceLimit{1000};
    // A lost link is tried again this often (with auto-reconnect).
    static constexpr std::chrono::milliseconds kRetryPeriod{1000};
    // Events kept of one capture.
    static constexpr std::size_t kMaxEvents = 100000;
};

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

}  // namespace altrix
