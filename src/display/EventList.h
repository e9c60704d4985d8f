#pragma once
// The event list's rows: what happened in the capture (its events as the session keeps them) or
// in the recording on show (its events and gaps as the file holds them), oldest first, with the
// title that says whose events they are; and what choosing a row does.

#include "SetClock.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace altrix {

class CaptureSession;
class RecordingReader;
class ScopeDisplay;
struct CaptureEvent;

struct EventRow {
    QString Time;  // the set's time through the source's clock
    QString Kind;
    QString Source;
    QString Text;
    std::int64_t Set = 0;  // counted from the capture's or recording's first set
    QString File;          // the saved window, empty when none
    bool operator==(const EventRow&) const = default;
};

struct EventListing {
    QString Title;
    std::vector<EventRow> Rows;
};

// The capture's events; `started` (RUN, its set 0) invalid while there was no capture.
EventListing CaptureEventList(const std::vector<CaptureEvent>& events, const QDateTime& started, const SetClock& clock);
// The recording's events and gaps in set order. A recorded trigger event keeps its conditions
// at the head of its text ("ch2 Rising: ..."), as the recorder writes it: they become its source.
EventListing RecordingEventList(const RecordingReader& reader, const std::string& path, const SetClock& clock);
// The list of the source on show: the recording's, else the capture's.
EventListing EventsOnShow(const ScopeDisplay& display, const CaptureSession& session, const SetClock& clock);

// What choosing a row does: the set shown in the recording, the event's saved window opened, or
// a word in the status bar why neither.
struct EventChoice {
    enum class Action { ShowSet, OpenFile, Tell };
    Action What = Action::Tell;
    QString Text;  // Tell's words; OpenFile's file
    bool operator==(const EventChoice&) const = default;
};
EventChoice ChooseEvent(const EventRow& row, bool recordingShown, bool capturing);

}  // namespace altrix
