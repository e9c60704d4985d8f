#pragma once
// Trigger > "Find next" / "Find previous" (FindNextAction Ctrl+F3, FindPreviousAction
// Ctrl+Shift+F3) through the recording on show with an EventFinder, in 40 ms slices of the
// event loop with the progress in the status bar; Esc (StopSearchShortcut) or another press
// stops it. The event found is brought into view.

#include "EventFinder.h"
#include "ScopeDisplay.h"

#include <QObject>

#include <functional>

class QAction;
class QShortcut;
class QStatusBar;
class QTimer;
class QWidget;

namespace altrix {

class FindControls : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget* window;  // takes the Esc shortcut
        QAction* next;
        QAction* previous;
        QStatusBar* bar;  // the progress
    };
    // `tell` puts the outcome in the status bar; `showSet` brings a set into view.
    FindControls(const Controls& controls, const ScopeDisplay& display, SetClock clock,
                 std::function<void(const QString&)> tell, std::function<void(std::int64_t)> showSet,
                 QObject* parent = nullptr);

private:
    void findEvent(SearchDirection direction);
    void searchSlice();
    void show(const EventFinder::Report& report);

    Controls controls_;
    EventFinder finder_;
    std::function<void(const QString&)> tell_;
    std::function<void(std::int64_t)> showSet_;
    QTimer* timer_;
    QShortcut* stop_;  // Esc, while a search runs
};

}  // namespace altrix
