#pragma once
// Catching every event: Trigger > "Save every event..." (SaveEventsAction, also on the tool bar)
// saves the window of each event a Normal trigger completes, as its own waveform file with its
// description, into the folder of [Events] Folder (asked for the first time; "Event folder..."
// picks another), until it is switched off, STOP, a limit ([Events] MaxFiles, MaxMegabytes) or
// a write error. Analysis > "Events" (Events1) docks the event list of the capture or of the
// recording on show; choosing an event shows it in the recording, or opens its saved file.

#include "CaptureSession.h"
#include "EventList.h"
#include "ScopeDisplay.h"
#include "SetClock.h"

#include <QObject>

#include <functional>

class QAction;
class QToolBar;

namespace altrix {

class AnalysisDocks;
class EventsForm;
class Prompts;
class RememberedValues;

class EventControls : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QToolBar* bar;             // takes SaveEventsAction before `before`'s action
        QWidget* before;
        QAction* save;             // SaveEventsAction
        QAction* folder;           // EventFolderAction
        QAction* events;           // Events1
    };
    // What the window does for a chosen event: a word in the status bar, a recording's set
    // brought into view, a saved window opened (after the discard question).
    struct Window {
        std::function<void(const QString&)> tell;
        std::function<void(std::int64_t)> showSet;
        std::function<void(const QString&)> open;
    };
    // Restores [Events] through `remembered`; `clock` writes the events' times.
    EventControls(const Controls& controls, const Window& window, Prompts& prompts, CaptureSession& session,
                  const ScopeDisplay& display, AnalysisDocks& docks, RememberedValues& remembered, SetClock clock,
                  QObject* parent = nullptr);

    void SaveEventsActionClick(bool on);
    void EventFolderActionClick();
    void Events1Click();

private:
    void startSavingEvents();
    void showEventSavingEnded(const QString& why);
    void showEventList();
    void showEvent(const EventRow& event);

    Controls controls_;
    Window window_;
    Prompts& prompts_;
    CaptureSession& session_;
    const ScopeDisplay& display_;
    AnalysisDocks& docks_;
    RememberedValues& remembered_;
    SetClock clock_;
    EventsForm* form_ = nullptr;  // the dock's, once made
    QString folder_;              // where every event is saved; empty until chosen
    EventSaver::Limits limits_;
};

}  // namespace altrix
