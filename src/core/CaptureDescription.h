#pragma once
// The description of a saved capture, kept beside its waveform file as "NAME.wfd.ini": what
// the screen showed of it (per channel its enable, quantity, address, gain and Y-scale; the
// references' names, gains and Y-scales; the drawing mode; the trigger), when it was taken,
// on which drive, by which program version, and the user's note. The waveform file stays as
// it is; the description names its size and digest, so a description that no longer belongs
// to its file is told apart. UTF-8 text, one "key=value" a line, readable by any INI reader.

#include "CaptureRecord.h"
#include "SafeFile.h"
#include "Trigger.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace altrix {

// The format this program writes and reads; a description of a higher number is not read.
inline constexpr int kCaptureDescriptionFormat = 1;

// The drawing modes by name, in the order of the display's modes.
inline constexpr std::array<std::string_view, 4> kDrawingModeNames{"Simplified", "Fast", "Envelope",
                                                                   "HighPrecision"};

struct ChannelDescription {
    bool Enabled = false;
    std::string Quantity;  // the quantity list's text, empty for none
    std::string Address;   // as typed, blanks kept
    std::string Gain = "1";
    std::string YScale = "1";  // one of kYScaleTexts
    bool operator==(const ChannelDescription&) const = default;
};

struct ReferenceDescription {
    std::string Source;  // empty when unnamed
    std::string Gain = "1";
    std::string YScale = "1";
    bool operator==(const ReferenceDescription&) const = default;
};

struct CaptureDescription {
    std::array<ChannelDescription, kChannelCount> Channels{};
    std::array<ReferenceDescription, kReferenceCount> References{};
    int DrawingMode = 3;  // index into kDrawingModeNames
    TriggerSettings Trigger{};
    // Of a triggered capture: the window position of its trigger set and that set's time
    // since RUN, as the trigger label shows it ("15.0002").
    std::optional<std::int32_t> TriggerPosition;
    std::string TriggerSeconds;
    // When the drive was identified: its type code and label.
    std::optional<std::int32_t> DriveTypeCode;
    std::string DriveTypeLabel;
    // UTC, ISO 8601 ("2026-12-07T16:30:00.125Z"); empty when not known.
    std::string StartUtc;
    std::string EndUtc;
    std::string ProgramVersion;
    std::string Note;  // free text, line ends kept
    bool operator==(const CaptureDescription&) const = default;
};

// "NAME.wfd" -> "NAME.wfd.ini".
std::string SidecarPath(const std::string& waveformPath);

// Writes the description of the waveform file at `waveformPath` (which must be written
// already: its size and digest go in) to SidecarPath(waveformPath) through ReplaceFile.
FileResult WriteSidecar(const CaptureDescription& description, const std::string& waveformPath);

enum class SidecarStatus {
    Read,        // Description holds it
    Missing,     // no sidecar beside the file
    Damaged,     // unreadable, or a key missing or out of range
    Foreign,     // an INI file that is no capture description
    Newer,       // of a format this program does not know
    Mismatched,  // written for other waveform bytes than the file holds now
};

struct SidecarRead {
    SidecarStatus Status = SidecarStatus::Missing;
    std::string Problem;  // why it was not read, for the user; empty when Read or Missing
    CaptureDescription Description;
};

// Reads the sidecar of the waveform file at `waveformPath`, whole or not at all, and checks
// that it describes the bytes that file holds now.
SidecarRead ReadSidecar(const std::string& waveformPath);

}  // namespace altrix
