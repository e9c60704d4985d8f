#include "AnalysisDocks.h"

#include "MathForm.h"
#include "MeasureForm.h"
#include "RememberedValues.h"
#include "ScopeChart.h"
#include "SpectrumForm.h"

#include <QAction>
#include <QDockWidget>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>

namespace altrix {

namespace {

template <class Form>
Form* MakeToolForm(ScopeDisplay& display) {
    auto* form = new Form(display);
    QObject::connect(&display, &ScopeDisplay::traceViewChanged, form, &Form::traceViewChanged);
    return form;
}

}  // namespace

AnalysisDocks::AnalysisDocks(const Controls& controls, ScopeDisplay& display, ScopeChart& chart, QObject* parent)
    : QObject(parent), controls_(controls), display_(display), chart_(chart) {
    connect(controls_.measurements, &QAction::triggered, this, &AnalysisDocks::Measurements1Click);
    connect(controls_.spectrum, &QAction::triggered, this, &AnalysisDocks::Spectrum1Click);
    connect(controls_.math, &QAction::triggered, this, &AnalysisDocks::MathTraces1Click);
    for (int m = 1; m <= kMathCount; ++m)
        chart.setSeriesColour(SeriesOfTrace(kTraceCount + m), QColor::fromRgb(kMathColours[m - 1]));
    addReopener(QStringLiteral("MeasurementsDock"), [this] { Measurements1Click(); });
    addReopener(QStringLiteral("SpectrumDock"), [this] { Spectrum1Click(); });
    addReopener(QStringLiteral("MathDock"), [this] { MathTraces1Click(); });
}

void AnalysisDocks::showDock(const QString& name, Qt::DockWidgetArea area, const std::function<QWidget*()>& makeForm) {
    QMainWindow& window = *controls_.window;
    QDockWidget*& dock = docks_[name];
    if (!dock) {
        QWidget* form = makeForm();
        dock = new QDockWidget(form->windowTitle(), &window);
        dock->setObjectName(name);
        // The dock gives way before the window's client area does (RUN and STOP stay in view):
        // squeezed below its form's least size, it scrolls the form, down to its title bar.
        auto* scroll = new QScrollArea(dock);
        scroll->setObjectName(name + QStringLiteral("Scroll"));
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setWidget(form);
        scroll->setMinimumSize(1, 1);
        dock->setWidget(scroll);
        // Where the window's remembered state puts it, else docked in its own area; a window that
        // is not maximised grows by the dock's size where the screen has room, so that the chart
        // keeps its size.
        if (!window.restoreDockWidget(dock)) {
            window.addDockWidget(area, dock);
            if (!window.isMaximized() && !window.isFullScreen()) {
                const QSize hint = form->sizeHint();
                const QSize grown = window.size() + (area == Qt::BottomDockWidgetArea ? QSize(0, hint.height()) : QSize(hint.width(), 0));
                window.resize(grown.boundedTo(window.screen()->availableGeometry().size()));
            }
        }
    }
    dock->show();
    dock->raise();
}

void AnalysisDocks::Measurements1Click() {
    showDock(QStringLiteral("MeasurementsDock"), Qt::BottomDockWidgetArea, [this] { return MakeToolForm<MeasureForm>(display_); });
}

void AnalysisDocks::Spectrum1Click() {
    showDock(QStringLiteral("SpectrumDock"), Qt::RightDockWidgetArea, [this] {
        auto* form = MakeToolForm<SpectrumForm>(display_);
        form->setTraceColours([this](int t) { return chart_.series(SeriesOfTrace(t))->pen().color(); });
        return form;
    });
}

void AnalysisDocks::MathTraces1Click() {
    showDock(QStringLiteral("MathDock"), Qt::RightDockWidgetArea, [this] {
        auto* form = new MathForm(display_);
        connect(form, &MathForm::edited, &display_, &ScopeDisplay::SetMath);
        connect(&display_, &ScopeDisplay::mathChanged, form, &MathForm::showMath);
        connect(&display_, &ScopeDisplay::traceViewChanged, form, &MathForm::traceViewChanged);
        return form;
    });
}

QStringList AnalysisDocks::openDocks() const {
    QStringList names;
    for (const QDockWidget* dock : controls_.window->findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (dock->isVisible()) names << dock->objectName();
    return names;
}

void AnalysisDocks::reopenDocks(const QStringList& names) {
    for (const auto& [name, show] : reopeners_)
        if (names.contains(name)) show();
}

void AnalysisDocks::remember(RememberedValues& remembered) {
    remembered.add(
        "Display", "OpenDocks", [this](const QString& stored) { reopenDocks(stored.split(QLatin1Char(','))); },
        [this] { return openDocks().join(QLatin1Char(',')); });
    // A field of math trace m's definition, kept under its key.
    const auto remember = [this, &remembered](int m, const char* key, auto field) {
        remembered.add(
            "Math", key + std::to_string(m),
            [this, m, field](const QString& stored) {
                MathDefinition definition = display_.Math().Definition(m);
                field(definition) = stored.toStdString();
                display_.SetMath(m, definition);
            },
            [this, m, field] {
                MathDefinition definition = display_.Math().Definition(m);
                return QString::fromStdString(field(definition));
            });
    };
    for (int m = 1; m <= kMathCount; ++m) {
        remember(m, "Name", [](MathDefinition& d) -> std::string& { return d.Name; });
        remember(m, "Unit", [](MathDefinition& d) -> std::string& { return d.Unit; });
        remember(m, "Expression", [](MathDefinition& d) -> std::string& { return d.Expression; });
        remembered.add(
            "Math", "Enabled" + std::to_string(m),
            [this, m](const QString& stored) {
                MathDefinition definition = display_.Math().Definition(m);
                definition.Enabled = stored == QLatin1String("1");
                display_.SetMath(m, definition);
            },
            [this, m] { return QString::number(display_.Math().Definition(m).Enabled ? 1 : 0); });
    }
}

}  // namespace altrix
