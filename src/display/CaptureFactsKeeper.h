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
};

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

    // A file on show: one without a description tells nothing of its capture; one with a
    // description, what it says; a recording, its start and drive.
    void ShowLoaded();
    void ShowDescribed(const CaptureDescription& d);
    void ShowRecording(const QDateTime& start, const std::string& driveTypeCode);

    // The facts into a description: the trigger, the drive, RUN and STOP, the note.
    void Describe(CaptureDescription& d) const;
    // The times of the window on show: of a loaded file, placed by its description where it
    // does; of a capture, live while it rolls, else frozen.
    Timeline WindowTimes() const;

private:
    const CaptureSession& session_;
    CaptureFacts facts_;
    std::optional<std::int32_t> identifiedType_;  // the drive type last identified
    bool loaded_ = false;                         // the capture on show came from a file
};

}  // namespace altrix
