#pragma once
// The list of the keyboard shortcuts of a window, made from its menus so that it always says
// what the keys do: one line per item with a shortcut, "Ctrl+S    File > Save Waveform to File".

#include <QString>

class QMenuBar;

namespace altrix {

QString KeyboardShortcutsText(const QMenuBar& menus);

}  // namespace altrix
