// TForm1: the math traces. Analysis > "Math traces..." opens their window, whose edits go into
// the display; the chart draws them in the display's colours; their definitions are kept in
// the settings file's [Math] section (EnabledN, NameN, UnitN, ExpressionN).

#include "Mainframe.h"

#include "MathForm.h"
#include "ui_Mainframe.h"

namespace altrix {

void TForm1::connectMathHandlers() {
    connect(ui_->MathTraces1, &QAction::triggered, this, &TForm1::MathTraces1Click);
    for (int m = 1; m <= kMathCount; ++m)
        ui_->Chart1->setSeriesColour(SeriesOfTrace(kTraceCount + m), QColor::fromRgb(kMathColours[m - 1]));

    // A field of math trace m's definition, kept under its key.
    const auto remember = [this](int m, const char* key, auto field) {
        remembered_.add(
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
        remembered_.add(
            "Math", "Enabled" + std::to_string(m),
            [this, m](const QString& stored) {
                MathDefinition definition = display_.Math().Definition(m);
                definition.Enabled = stored == QLatin1String("1");
                display_.SetMath(m, definition);
            },
            [this, m] { return QString::number(display_.Math().Definition(m).Enabled ? 1 : 0); });
    }
}

void TForm1::MathTraces1Click() {
    showDock(mathDock_, QStringLiteral("MathDock"), Qt::RightDockWidgetArea, [this] {
        auto* form = new MathForm(display_);
        connect(form, &MathForm::edited, &display_, &ScopeDisplay::SetMath);
        connect(&display_, &ScopeDisplay::mathChanged, form, &MathForm::showMath);
        connect(&display_, &ScopeDisplay::traceViewChanged, form, &MathForm::traceViewChanged);
        return form;
    });
}

}  // namespace altrix
