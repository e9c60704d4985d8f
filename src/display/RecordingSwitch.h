#pragma once
// Recording a capture to a file: the switch's state (the file chosen, or off), what starting
// and ending say, the label beside the link figures, and the header a recording file keeps,
// taken from the display's own description of the capture.

#include "CaptureDescription.h"
#include "MathTrace.h"
#include "RecordingFormat.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <string>

namespace altrix {

class CaptureSession;
class ScopeDisplay;

// A recording file's header: the described channels (an address only while enabled), their
// units, the math definitions, and the start time of its first set.
RecordingHeader RecordingHeaderOf(const CaptureDescription& description,
                                  const std::array<std::string, kChannelCount>& units,
                                  const std::array<MathDefinition, kMathCount>& math, const QDateTime& startUtc);

// What the label says: recording (the file's name, its size in kB, its sets in seconds), armed
// for the next RUN, or nothing when the switch is off (`fileName` empty).
QString RecordingLabel(const QString& fileName, bool active, std::uint64_t bytes, std::uint64_t sets);

class RecordingSwitch {
public:
    // The file chosen when the switch is turned on; an empty name (cancelled) leaves it off.
    // True when on.
    bool Choose(const QString& path);
    void Off() { path_.clear(); }
    bool On() const { return !path_.isEmpty(); }
    const QString& Path() const { return path_; }

    // Starts recording the capture to the chosen file (CSV for a ".csv" name, else a recording
    // file headed as `display` describes it, started at `nowUtc`); nothing while off. When it
    // cannot, the switch goes off and the words for the user are returned.
    QString Start(CaptureSession& session, const ScopeDisplay& display, const std::string& programVersion,
                  const QDateTime& nowUtc);
    // The recording ended: the switch goes off; the words for a write error (the capture goes on,
    // the part written stays), empty when it ended without one.
    QString Ended(const QString& error);
    QString Label(const CaptureSession& session) const;

private:
    QString path_;
};

}  // namespace altrix
