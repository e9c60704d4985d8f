#pragma once
// The Analysis menu's windows as docks of the main window: Measurements, Spectrum, Math traces
// (with their chart colours and their definitions kept in [Math]) and the ones registered by
// other binders (the event list). A dock is made when first shown, where the window's
// remembered state puts it or else in its own area; shown again, it is raised. A dock gives
// way before the client area: squeezed, it scrolls its form. The docks open
// when the window closed are reopened at start.

#include "ScopeDisplay.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <utility>
#include <vector>

class QAction;
class QDockWidget;
class QMainWindow;
class QWidget;

namespace altrix {

class RememberedValues;
class ScopeChart;

class AnalysisDocks : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QMainWindow* window;
        QAction* measurements;  // Measurements1
        QAction* spectrum;      // Spectrum1
        QAction* math;          // MathTraces1
    };
    AnalysisDocks(const Controls& controls, ScopeDisplay& display, ScopeChart& chart, QObject* parent = nullptr);

    void Measurements1Click();
    void Spectrum1Click();
    void MathTraces1Click();

    // Dock `name` shown (made by `makeForm` the first time) in `area`, and raised.
    void showDock(const QString& name, Qt::DockWidgetArea area, const std::function<QWidget*()>& makeForm);
    // How dock `name` is shown again at start.
    void addReopener(const QString& name, std::function<void()> show) { reopeners_.emplace_back(name, std::move(show)); }
    QStringList openDocks() const;
    void reopenDocks(const QStringList& names);
    // The docks open ([Display] OpenDocks) and the math definitions ([Math]).
    void remember(RememberedValues& remembered);

private:
    Controls controls_;
    ScopeDisplay& display_;
    ScopeChart& chart_;
    std::map<QString, QDockWidget*> docks_;  // by object name, once made
    std::vector<std::pair<QString, std::function<void()>>> reopeners_;  // in the order they reopen
};

}  // namespace altrix
