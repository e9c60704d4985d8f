#pragma once
// The list of the keyboard shortcuts of a window, made from its menus so that it always says
// what the keys do: one line per item with a shortcut, "Ctrl+S    File > Save Waveform to File",
// after the window's own Space (ScopeKeys.h), and then where the keys work (kKeysWhere).

#include <QString>

class QMenuBar;

namespace altrix {

QString KeyboardShortcutsText(const QMenuBar& menus);
// Where Space and the shortcuts of one key work, as ScopeKeys binds them.
extern const QString kKeysWhere;

}  // namespace altrix
