#pragma once
// What is known of the capture on show besides its samples and the settings: RUN and STOP in
// UTC, the trigger set on show and its time, the drive, the note, whether no file holds it yet;
// followed from the capture session's reports, put into a description and taken from one.

#include "CaptureDescription.h"
#include "Timeline.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class QObject;

namespace altrix {

class CaptureSession;

struct CaptureFacts {
    QDateTime Start;  // UTC; invalid when not known
    QDateTime End;
    std::int32_t TriggerPosition = -1;  // window position of the trigger set on show, -1 for none
    QString TriggerSeconds;             // its time since RUN, as the trigger label shows it
    std::optional<std::int32_t> DriveTypeCode;
    QString Note;
    // Taken and neither saved nor loaded since: the traces hold what no file does.
    bool Unsaved = false;
    // Of a loaded file: the set, counted from RUN, at its window's position 0, when its
    // description places the window (by its trigger).
    std::optional<std::int64_t> FirstSet;
    // Of a loaded file whose description names it: the trigger setup the capture was taken
    // with. A load keeps the user's setup; this one is applied only when asked.
    std::optional<TriggerSettings> Trigger;
};

// Where the sets of the capture on show are kept besides the screen: what replacing it (RUN, a
// load, closing) would lose. The window on show is what a waveform file saves and what is
// lost, so a copy counts when it holds every set of that window.
struct CaptureCopies {
    bool Unsaved = false;             // CaptureFacts::Unsaved
    std::int64_t SetsTaken = 0;       // stored since RUN
    std::int64_t WindowFirstSet = 0;  // at the window's position 0; negative until the window filled
    // The newest recording (recording file or CSV) of the capture while it keeps every set it
    // takes until STOP: the first set it took. None when there was none, or when it ended
    // before STOP (switched off, a write error) or lost its last write at STOP.
    std::optional<std::int64_t> RecordedFrom;
    // The window on show is a trigger's window that event saving wrote to a file of its own.
    bool ShownEventSaved = false;
};

// True when the capture on show exists nowhere else, so that replacing it loses sets: it was
// taken here, holds at least one set, and no file holds its window: neither a waveform file
// saved of it (or the file it was loaded from), nor a recording that started at or before the
// window's first set and took every set from there to STOP (or still takes them), nor the
// event file of the trigger window on show. A capture saving its events whose window on show
// is not an event's (no trigger yet, or one whose window had not filled) is only on screen;
// events that could not be saved are gone from the window either way, so a question would keep
// none of them.
bool OnlyOnScreen(const CaptureCopies& copies);

class CaptureFactsKeeper {
public:
    explicit CaptureFactsKeeper(const CaptureSession& session) : session_(session) {}

    // Follows the session's reports for as long as `receiver` lives.
    void Follow(QObject* receiver);

    const CaptureFacts& Facts() const { return facts_; }
    // The capture on show came from a file (a waveform file or a recording).
    bool Loaded() const { return loaded_; }
    void SetNote(const QString& note) { facts_.Note = note; }
    // The capture on show went to a file.
    void MarkSaved() { facts_.Unsaved = false; }
    // Where the capture on show is kept besides the screen, as the session reports it now.
    CaptureCopies Copies() const;

    // A file on show: one without a description tells nothing of its capture; one with a
    // description, what it says; a recording, its start and drive.
    void ShowLoaded();
    void ShowDescribed(const CaptureDescription& d);
    void ShowRecording(const QDateTime& start, const std::string& driveTypeCode);

    // The facts into a description: the trigger set on show (and a loaded capture's trigger
    // setup), the drive, RUN and STOP, the note.
    void Describe(CaptureDescription& d) const;
    // The times of the window on show: of a loaded file, placed by its description where it
    // does; of a capture, live while it rolls, else frozen.
    Timeline WindowTimes() const;

private:
    const CaptureSession& session_;
    CaptureFacts facts_;
    std::optional<std::int32_t> identifiedType_;  // the drive type last identified
    bool loaded_ = false;                         // the capture on show came from a file
    std::optional<std::int64_t> recordedFrom_;    // see CaptureCopies::RecordedFrom
};

}  // namespace altrix
