#include "KeyboardShortcuts.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>

namespace altrix {

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
    QStringList lines;
    for (const QAction* top : menus.actions())
        if (const QMenu* menu = top->menu())
            ListShortcuts(menu->actions(), menu->title().remove(QLatin1Char('&')), lines);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace altrix
