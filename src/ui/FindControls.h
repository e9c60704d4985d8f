#pragma once
// Trigger > "Find next" / "Find previous" (FindNextAction Ctrl+F3, FindPreviousAction
// Ctrl+Shift+F3) through the recording on show with an EventFinder, in 40 ms slices of the
// event loop with the progress in the status bar; Esc (StopSearchShortcut), another press or
// the status bar's Cancel (FindCancelButton, shown once a search lasts half a second) stops it
// and says where. The event found is brought into view.

#include "EventFinder.h"
#include "ScopeDisplay.h"

#include <QElapsedTimer>
#include <QObject>

#include <functional>

class QAction;
class QPushButton;
class QShortcut;
class QStatusBar;
class QTimer;
class QWidget;

namespace altrix {

class FindControls : public QObject {
    Q_OBJECT
public:
    // A search shows its Cancel after this long.
    static constexpr int kCancelDelayMs = 500;
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
    QPushButton* cancel_;  // in the status bar, while a search lasts
    QElapsedTimer searching_;  // since the search started
};

}  // namespace altrix
