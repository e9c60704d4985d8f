#pragma once
// The math traces window: a row for each of the four math traces with its switch
// (MathEnableBoxN), name (MathNameEditN), unit (MathUnitEditN) and expression
// (MathExpressionEditN), applied as typed; where the expression does not compile,
// MathErrorLabelN shows the text in the field with a mark under the fault and why (a line of
// fixed height, empty while the text compiles, so that no row moves as one types).
// MathReadoutLabelN gives the trace's value at the cursor, its difference from the mark and its
// full scale on the chart.
// It shows the display's definitions and tells its owner what was edited; the owner writes
// them into the display.

#include "MathTrace.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace altrix {

class CoalescedUpdate;
class ScopeDisplay;

class MathForm : public QWidget {
    Q_OBJECT
public:
    // `display` must outlive the window.
    explicit MathForm(const ScopeDisplay& display, QWidget* parent = nullptr);

    // Math trace m's definition or the traces' view changed: the row follows.
    void showMath(int m);
    void traceViewChanged();

signals:
    // The user edited math trace m's row.
    void edited(int m, const altrix::MathDefinition& definition);

private:
    struct Row {
        QCheckBox* enable;
        QLineEdit* name;
        QLineEdit* unit;
        QLineEdit* expression;
        QLabel* error;
        QLabel* readout;
    };
    void addRow(int m);
    void emitEdited(int m);
    void showReadouts();

    const ScopeDisplay& display_;
    std::array<Row, kMathCount> rows_{};
    CoalescedUpdate* update_;
};

}  // namespace altrix
