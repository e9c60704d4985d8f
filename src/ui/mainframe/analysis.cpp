// TForm1: the Analysis menu. The measurements and spectrum windows are docks of the main window
// (below and beside the chart at first, floating when dragged out, kept with the window's state);
// they read the display and follow its changes.

#include "Mainframe.h"

#include "MeasureForm.h"
#include "SpectrumForm.h"
#include "ui_Mainframe.h"

#include <QDockWidget>
#include <QScreen>

namespace altrix {

void TForm1::connectAnalysisHandlers() {
    const Ui::TForm1& ui = *ui_;
    connect(ui.Measurements1, &QAction::triggered, this, &TForm1::Measurements1Click);
    connect(ui.Spectrum1, &QAction::triggered, this, &TForm1::Spectrum1Click);
}

namespace {

template <class Form>
Form* MakeToolForm(ScopeDisplay& display) {
    auto* form = new Form(display);
    QObject::connect(&display, &ScopeDisplay::traceViewChanged, form, &Form::traceViewChanged);
    return form;
}

}  // namespace

void TForm1::showDock(QDockWidget*& dock, const QString& name, Qt::DockWidgetArea area,
                      const std::function<QWidget*()>& makeForm) {
    if (!dock) {
        QWidget* form = makeForm();
        dock = new QDockWidget(form->windowTitle(), this);
        dock->setObjectName(name);
        dock->setWidget(form);
        // Where the window's remembered state puts it, else docked in its own area; a window that
        // is not maximised grows by the dock's size where the screen has room, so that the chart
        // keeps its size.
        if (!restoreDockWidget(dock)) {
            addDockWidget(area, dock);
            if (!isMaximized() && !isFullScreen()) {
                const QSize hint = form->sizeHint();
                const QSize grown = size() + (area == Qt::BottomDockWidgetArea ? QSize(0, hint.height()) : QSize(hint.width(), 0));
                resize(grown.boundedTo(screen()->availableGeometry().size()));
            }
        }
    }
    dock->show();
    dock->raise();
}

void TForm1::Measurements1Click() {
    showDock(measureDock_, QStringLiteral("MeasurementsDock"), Qt::BottomDockWidgetArea,
             [this] { return MakeToolForm<MeasureForm>(display_); });
}

void TForm1::Spectrum1Click() {
    showDock(spectrumDock_, QStringLiteral("SpectrumDock"), Qt::RightDockWidgetArea,
             [this] { return MakeToolForm<SpectrumForm>(display_); });
}

QStringList TForm1::openDocks() const {
    QStringList names;
    for (const QDockWidget* dock : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (dock->isVisible()) names << dock->objectName();
    return names;
}

void TForm1::reopenDocks(const QStringList& names) {
    if (names.contains(QStringLiteral("MeasurementsDock"))) Measurements1Click();
    if (names.contains(QStringLiteral("SpectrumDock"))) Spectrum1Click();
    if (names.contains(QStringLiteral("MathDock"))) MathTraces1Click();
    if (names.contains(QStringLiteral("EventsDock"))) Events1Click();
}

}  // namespace altrix
