#pragma once
// altrix-scope --record: a capture recorded to a recording file (*.arec) without a window, for a
// session over SSH or a service. The window's engine (CaptureSession) runs it on a
// QCoreApplication: the same start exchange, decoding, reconnects, recording and event saving.

#include "CaptureSession.h"
#include "RecordingFormat.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace altrix {

inline constexpr char kRecordCommandUsage[] =
    "altrix-scope --record OUT.arec --port PORT --quantities Q1[,Q2,Q3,Q4] [--duration D] "
    "[--trigger \"chK CONDITION VALUE [VALUE2]\" [--pretrigger PERCENT] [--holdoff MS] [--events-folder DIR]]";

// What --record was asked to do.
struct RecordOptions {
    std::string Output;
    std::string Port;  // a name of the settings file's [Ports], "COMn" or a device path
    // The channels as the drive is asked for them (a channel without a quantity off, asking for
    // the unused address), and the trigger (Normal, or Off without --trigger) with the gains.
    CaptureSetup Setup;
    // The channels as the recording names them: address (empty when off), name, gain, unit.
    std::array<RecordingChannel, kChannelCount> Channels{};
    // The preset's text of each channel, empty for an address or a channel off.
    std::array<std::string, kChannelCount> Quantities{};
    // Wall-clock time from the start of the capture to its end; none: until a signal.
    std::optional<std::chrono::milliseconds> Duration;
    // Each trigger window goes here as a waveform file; empty: events are kept in the recording only.
    std::string EventsFolder;
};

// Either the options, or why the command line cannot be used (one sentence, no usage).
struct RecordParse {
    std::optional<RecordOptions> Options;
    std::string Error;
};

// True when `arguments` (without the program's name) name --record before any "--".
bool NamesRecordCommand(const std::vector<std::string>& arguments);

// Reads the arguments (without the program's name) of a command line that names --record.
// An argument that starts with "-" is an option until "--"; after it, only the output file.
// Quantities go by channel: a preset's text ("DC_bus (Vdc)") or its name without the unit
// ("DC_bus"), in any case, with the preset's gain; or four hexadecimal digits, any case, with
// gain 1 ("Mem 9042"). An empty entry, or the ones after the last, leave their channel off.
RecordParse ParseRecordCommand(const std::vector<std::string>& arguments);

// Runs the capture and its recording until SIGINT, SIGTERM or SIGHUP, the duration, or a failure, and
// returns the exit status: 0 when the recording ended whole, 1 after a line on standard error.
// A progress line goes to standard output every `progressPeriod`. Needs a QCoreApplication.
// `settingsIniPath` maps the port names; `programVersion` goes into the file's header.
int RunRecordCommand(const RecordOptions& options, const std::string& settingsIniPath, const std::string& programVersion,
                     std::chrono::milliseconds progressPeriod = std::chrono::seconds(5));

}  // namespace altrix
