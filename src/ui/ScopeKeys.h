#pragma once
// The window's keys wherever its focus is, in the window or in one of its docks: Space toggles
// RUN and STOP, and a menu item's shortcut of one key without Ctrl or Alt (F Fit, Backspace
// Previous view) works from the chart and from every control that takes no text. A control
// that takes text keeps those keys: a line edit that can be typed in, an editable combo box (the
// port box), a spin box. The chart takes the focus when clicked, so that a click on it leaves
// no text field with the keys.

#include <QObject>

#include <functional>

class QAbstractButton;
class QAction;
class QKeyEvent;
class QMainWindow;
class QWidget;

namespace altrix {

class ScopeKeys : public QObject {
public:
    struct Controls {
        QMainWindow* window;
        QWidget* chart;
        QAbstractButton* run;   // clicked by Space while no capture runs
        QAbstractButton* stop;  // clicked by Space while one does
    };
    // Watches the application's key events for `controls.window`, which owns this binder.
    ScopeKeys(const Controls& controls, std::function<bool()> capturing);

    // Whether `widget` takes typed text, and so keeps Space, letters and Backspace.
    static bool TakesText(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The widget with the focus, when it lies in the window or one of its docks and takes no
    // text; the window while it is active and nothing in it has the focus.
    QWidget* keyFocus() const;
    // The window's enabled menu item whose shortcut is this one key, if any.
    QAction* singleKeyAction(const QKeyEvent& key) const;

    Controls controls_;
    std::function<bool()> capturing_;
};

}  // namespace altrix
