#include "ScopeKeys.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace altrix {

namespace {

constexpr Qt::KeyboardModifiers kCommandModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

}  // namespace

ScopeKeys::ScopeKeys(const Controls& controls, std::function<bool()> capturing)
    : QObject(controls.window), controls_(controls), capturing_(std::move(capturing)) {
    controls_.chart->setFocusPolicy(Qt::ClickFocus);
    qApp->installEventFilter(this);
}

bool ScopeKeys::TakesText(const QWidget* widget) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return !edit->isReadOnly();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) return combo->isEditable();
    if (qobject_cast<const QAbstractSpinBox*>(widget)) return true;
    if (const auto* text = qobject_cast<const QTextEdit*>(widget)) return !text->isReadOnly();
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(widget)) return !text->isReadOnly();
    return false;
}

QWidget* ScopeKeys::keyFocus() const {
    // No keys of the window while a menu or list is open, or while a dialog has the focus.
    if (QApplication::activePopupWidget()) return nullptr;
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return controls_.window->isActiveWindow() ? controls_.window : nullptr;
    if (TakesText(focus)) return nullptr;
    for (const QWidget* w = focus; w; w = w->parentWidget()) {
        if (w == controls_.window) return focus;
        if (w->isWindow() && !qobject_cast<const QDockWidget*>(w)) return nullptr;
    }
    return nullptr;
}

QAction* ScopeKeys::singleKeyAction(const QKeyEvent& key) const {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (modifiers & kCommandModifiers) return nullptr;
    const QKeySequence pressed(QKeyCombination(modifiers, static_cast<Qt::Key>(key.key())));
    for (QAction* action : controls_.window->findChildren<QAction*>())
        if (action->isEnabled() && action->shortcuts().contains(pressed)) return action;
    return nullptr;
}

bool ScopeKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    auto& key = static_cast<QKeyEvent&>(*event);
    // Seen by every widget the event passes: decided at the one with the focus.
    const QWidget* focus = keyFocus();
    if (!focus || watched != focus) return false;
    const bool space = key.key() == Qt::Key_Space && (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (type == QEvent::ShortcutOverride) {
        // Space is the window's, and a control must not keep a shortcut's key from its menu item.
        if (space) {
            key.accept();
            return true;
        }
        if (singleKeyAction(key)) {
            key.ignore();
            return true;
        }
        return false;
    }
    if (space) {
        if (!key.isAutoRepeat()) (capturing_() ? controls_.stop : controls_.run)->click();
        return true;
    }
    // A shortcut the window's shortcuts did not take, as from a floating dock.
    if (QAction* action = singleKeyAction(key)) {
        action->trigger();
        return true;
    }
    return false;
}

}  // namespace altrix
