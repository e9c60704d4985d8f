#include "KeyboardShortcuts.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>

namespace altrix {

const QString kKeysWhere = QStringLiteral(
    "Space and the keys without Ctrl or Alt (such as F, Shift+F and Backspace) work wherever the "
    "chart or a control that takes no text has the focus, also in the docks. A text field (an edit, "
    "the port box, a spin box) keeps them: click the chart to give them back to the window.");

namespace {

void ListShortcuts(const QList<QAction*>& actions, const QString& path, QStringList& lines) {
    for (const QAction* action : actions) {
        const QString name = path + QStringLiteral(" > ") + action->text().remove(QLatin1Char('&')).trimmed();
        if (const QMenu* menu = action->menu())
            ListShortcuts(menu->actions(), name, lines);
        else if (!action->shortcut().isEmpty())
            lines << action->shortcut().toString(QKeySequence::NativeText) + QLatin1Char('\t') + name;
    }
}

}  // namespace

QString KeyboardShortcutsText(const QMenuBar& menus) {
    QStringList lines{QStringLiteral("Space\tRUN, or STOP while a capture runs")};
    for (const QAction* top : menus.actions())
        if (const QMenu* menu = top->menu())
            ListShortcuts(menu->actions(), menu->title().remove(QLatin1Char('&')), lines);
    lines << QString() << kKeysWhere;
    return lines.join(QLatin1Char('\n'));
}

}  // namespace altrix
