// altrix-drive-sim: a simulated drive on a pseudo-terminal, for running and testing the
// oscilloscope without hardware. Runs until SIGINT, SIGTERM or SIGHUP.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "PtyDrive.h"

namespace {

constexpr const char* kUsage = R"(Usage: altrix-drive-sim --link PATH [options]

A simulated drive on a pseudo-terminal. PATH becomes a symbolic link to the
pseudo-terminal; give PATH to the oscilloscope as its port name. The drive answers the
identify request and, after the start exchange, streams sample blocks paced in real time.
The link is removed when the program ends (Ctrl+C, SIGTERM, SIGHUP).

Options:
  --link PATH              where to make the link to the pseudo-terminal (required)
  --type-code N            drive type code in the identify reply, -32768..32767 (default 4)
  --speed X                drive seconds per wall-clock second, above 0 and at most 1000
                           (default 1)
  --clock-error-ppm PPM    the drive's sample clock runs PPM parts per million fast (or
                           slow, below 0), from -10000 to 10000: 5000 x (1 + PPM / 1e6)
                           sets per second of the PC's clock at --speed 1
  --step-at T              at the instant T (seconds since 1970-01-01 UTC, decimals
                           allowed), the DC bus (address 9042) steps down 50 V for one
                           second of drive time, from the first set taken at or after T
  --no-identify-reply      never answer the identify request
  --identify-delay-ms MS   answer the identify request MS ms of drive time late
  --drop-byte-after N      in every capture, leave out the stream byte that follows the
                           first N bytes (the stream misaligns from there on)
  --bad-header-block K     in every capture, send block K (counted from 0) with 0xFE as its
                           second header byte
  --noise RATE             flip one random bit of the stream RATE times per second of drive
                           time on average, above 0 and at most 40625 (one a byte); the
                           errors repeat from run to run
  --unplug-after S         S seconds after the first capture's stream starts, remove the
                           pseudo-terminal and the link, as a pulled adapter vanishes; the
                           drive runs on unheard
  --replug-after S         S seconds after the unplug, make a new pseudo-terminal and point
                           the link at it; the stream carries on there (needs --unplug-after)
  --stall-output           never read what the oscilloscope sends: the drive hears nothing,
                           and once the terminal's buffer is full the sender's writes wait
  --help                   show this text and exit

Prints PATH on standard output once the link is in place.
)";

std::optional<long long> ParseInteger(std::string_view text, long long low, long long high) {
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), &end, 10);
    if (copy.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

constexpr double kMaxSpeed = 1000.0;
constexpr double kMaxSeconds = 86400.0;
constexpr double kMaxClockErrorPpm = 10000.0;
constexpr double kMaxEpochSeconds = 9e9;  // within the nanoseconds of a 64-bit count

// A decimal number within [low, high]; above `low` only when `aboveLow` is set.
std::optional<double> ParseDecimal(std::string_view text, double low, double high, bool aboveLow) {
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || *end != '\0' || !(value >= low) || (aboveLow && value == low) || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::chrono::milliseconds> ParseSeconds(std::string_view text) {
    const auto seconds = ParseDecimal(text, 0.0, kMaxSeconds, false);
    if (!seconds) return std::nullopt;
    return std::chrono::milliseconds(std::llround(*seconds * 1000.0));
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "altrix-drive-sim: %s\nTry 'altrix-drive-sim --help'.\n",
                 message.c_str());
    return 2;
}

using altrix::sim::PtySettings;

struct ValueOption {
    std::string_view Name;
    std::string_view Needs;
    bool (*Apply)(std::string_view value, PtySettings& settings);
};

constexpr long long kMaxCount = std::numeric_limits<long long>::max();

constexpr ValueOption kValueOptions[] = {
    {"--link", "a path",
     [](std::string_view v, PtySettings& s) {
         s.LinkPath = std::string(v);
         return !v.empty();
     }},
    {"--speed", "a number above 0 and at most 1000",
     [](std::string_view v, PtySettings& s) {
         const auto speed = ParseDecimal(v, 0.0, kMaxSpeed, true);
         if (speed) s.Speed = *speed;
         return speed.has_value();
     }},
    {"--clock-error-ppm", "parts per million from -10000 to 10000",
     [](std::string_view v, PtySettings& s) {
         const auto ppm = ParseDecimal(v, -kMaxClockErrorPpm, kMaxClockErrorPpm, false);
         if (ppm) s.ClockErrorPpm = *ppm;
         return ppm.has_value();
     }},
    {"--step-at", "seconds since 1970-01-01 UTC, above 0",
     [](std::string_view v, PtySettings& s) {
         const auto at = ParseDecimal(v, 0.0, kMaxEpochSeconds, true);
         if (at) {
             s.BusStepAt = std::chrono::system_clock::time_point(
                 std::chrono::duration_cast<std::chrono::system_clock::duration>(
                     std::chrono::nanoseconds(std::llround(*at * 1e9))));
         }
         return at.has_value();
     }},
    {"--type-code", "an integer from -32768 to 32767",
     [](std::string_view v, PtySettings& s) {
         const auto code = ParseInteger(v, -32768, 32767);
         if (code) s.Drive.TypeCode = static_cast<std::int16_t>(*code);
         return code.has_value();
     }},
    {"--identify-delay-ms", "milliseconds from 0 to 3600000",
     [](std::string_view v, PtySettings& s) {
         const auto ms = ParseInteger(v, 0, 3'600'000);
         if (ms) s.Drive.IdentifyDelay = std::chrono::milliseconds(*ms);
         return ms.has_value();
     }},
    {"--drop-byte-after", "a byte count of 0 or more",
     [](std::string_view v, PtySettings& s) {
         const auto n = ParseInteger(v, 0, kMaxCount);
         if (n) s.Drive.DropByteAfter = static_cast<std::uint64_t>(*n);
         return n.has_value();
     }},
    {"--bad-header-block", "a block number of 0 or more",
     [](std::string_view v, PtySettings& s) {
         const auto k = ParseInteger(v, 0, kMaxCount);
         if (k) s.Drive.BadHeaderBlock = static_cast<std::uint64_t>(*k);
         return k.has_value();
     }},
    {"--noise", "errors per second, above 0 and at most 40625",
     [](std::string_view v, PtySettings& s) {
         const auto rate = ParseDecimal(v, 0.0, altrix::sim::kStreamBytesPerSecond, true);
         if (rate) s.Drive.NoiseRate = *rate;
         return rate.has_value();
     }},
    {"--unplug-after", "seconds from 0 to 86400",
     [](std::string_view v, PtySettings& s) {
         s.UnplugAfter = ParseSeconds(v);
         return s.UnplugAfter.has_value();
     }},
    {"--replug-after", "seconds from 0 to 86400",
     [](std::string_view v, PtySettings& s) {
         s.ReplugAfter = ParseSeconds(v);
         return s.ReplugAfter.has_value();
     }},
};

}  // namespace

int main(int argc, char** argv) {
    PtySettings settings;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--no-identify-reply") {
            settings.Drive.AnswerIdentify = false;
            continue;
        }
        if (arg == "--stall-output") {
            settings.StallOutput = true;
            continue;
        }
        std::optional<std::string_view> value;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        }
        const auto option = std::find_if(std::begin(kValueOptions), std::end(kValueOptions),
                                         [&](const ValueOption& o) { return o.Name == arg; });
        if (option == std::end(kValueOptions)) {
            return UsageError("unknown option " + std::string(argv[i]));
        }
        if (!value && i + 1 < argc) value = std::string_view(argv[++i]);
        if (!value || !option->Apply(*value, settings)) {
            return UsageError(std::string(option->Name) + " needs " + std::string(option->Needs));
        }
    }
    if (settings.LinkPath.empty()) return UsageError("--link PATH is required");
    if (settings.ReplugAfter && !settings.UnplugAfter) return UsageError("--replug-after needs --unplug-after");

    // The runner's thread inherits this mask; the signals are taken by sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    altrix::sim::PtyDrive drive(settings);
    std::string error;
    if (!drive.Start(error)) {
        std::fprintf(stderr, "altrix-drive-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", settings.LinkPath.c_str());
    std::fflush(stdout);
    std::fprintf(stderr,
                 "altrix-drive-sim: drive on %s (type code %d, speed x%g, clock %+g ppm); stop with Ctrl+C\n",
                 drive.SlavePath().c_str(), settings.Drive.TypeCode, settings.Speed, settings.ClockErrorPpm);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    drive.Stop();
    const altrix::sim::PtyStats stats = drive.Stats();
    std::fprintf(stderr, "altrix-drive-sim: sent %llu bytes, lost %llu to a full queue\n",
                 static_cast<unsigned long long>(stats.BytesSent),
                 static_cast<unsigned long long>(stats.BytesDropped));
    return 0;
}
