#include "MathForm.h"

#include "CoalescedUpdate.h"
#include "ScopeDisplay.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSizePolicy>

#include <cmath>

namespace altrix {

namespace {

// A value in units: 6 significant digits, never -0.
QString ValueText(double v, const QString& unit) {
    const QString number = QString::number(v == 0 ? 0.0 : v, 'g', 6);
    return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

}  // namespace

MathForm::MathForm(const ScopeDisplay& display, QWidget* parent)
    : QWidget(parent), display_(display), update_(new CoalescedUpdate(*this, 0, [this] { showReadouts(); })) {
    setObjectName(QStringLiteral("MathForm"));
    setWindowTitle(QStringLiteral("Math traces"));
    auto* layout = new QGridLayout(this);
    const QStringList headers{QString(), QStringLiteral("Name"), QStringLiteral("Unit"),
                              QStringLiteral("Expression of ch1..ch4, ref1, ref2, t (s)")};
    for (int column = 0; column < headers.size(); ++column) layout->addWidget(new QLabel(headers[column], this), 0, column);
    layout->setColumnStretch(3, 1);
    for (int m = 1; m <= kMathCount; ++m) addRow(m);
    auto* help = new QLabel(QStringLiteral("Functions over time: ddt(x), lowpass(x, Hz), rms(x, s), mean(x, s), "
                                           "integral(x); besides + - * / ^, abs, sqrt, sin, exp, ln, min, max, "
                                           "a < b ? x : y."),
                            this);
    help->setWordWrap(true);
    layout->addWidget(help, 1 + 3 * kMathCount, 0, 1, 4);
    // A taller window keeps the rows together at its top.
    layout->setRowStretch(2 + 3 * kMathCount, 1);
    for (int m = 1; m <= kMathCount; ++m) showMath(m);
}

void MathForm::addRow(int m) {
    auto* layout = static_cast<QGridLayout*>(this->layout());
    const auto named = [m](QWidget* widget, const char* name) {
        widget->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(m));
        return widget;
    };
    Row& row = rows_[m - 1];
    row.enable = static_cast<QCheckBox*>(named(new QCheckBox(QStringLiteral("Math %1").arg(m), this), "MathEnableBox"));
    const QColor colour = QColor::fromRgb(kMathColours[m - 1]);
    row.enable->setStyleSheet(QStringLiteral("QCheckBox { color: %1; font-weight: bold; }").arg(colour.darker(130).name()));
    row.name = static_cast<QLineEdit*>(named(new QLineEdit(this), "MathNameEdit"));
    row.name->setPlaceholderText(QStringLiteral("Math %1").arg(m));
    row.name->setMinimumWidth(140);
    row.unit = static_cast<QLineEdit*>(named(new QLineEdit(this), "MathUnitEdit"));
    row.unit->setPlaceholderText(QStringLiteral("unit"));
    row.unit->setMinimumWidth(64);
    row.unit->setMaximumWidth(90);
    row.expression = static_cast<QLineEdit*>(named(new QLineEdit(this), "MathExpressionEdit"));
    row.expression->setPlaceholderText(QStringLiteral("e.g. ch1*ch2/1000"));
    row.expression->setMinimumWidth(320);
    row.error = static_cast<QLabel*>(named(new QLabel(this), "MathErrorLabel"));
    row.error->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    row.error->setStyleSheet(QStringLiteral("color: #C00000;"));
    row.error->setTextFormat(Qt::PlainText);
    // The error line keeps its two lines' height whether or not it says anything, so that the
    // rows below never move while an expression is typed.
    row.error->setFixedHeight(2 * QFontMetrics(row.error->font()).lineSpacing() + 2);
    row.error->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Nor does a long message widen the window: it is cut at the field's width (its tool tip whole).
    row.error->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    row.readout = static_cast<QLabel*>(named(new QLabel(this), "MathReadoutLabel"));
    row.readout->setFixedHeight(row.readout->fontMetrics().lineSpacing() + 2);
    const int top = 1 + 3 * (m - 1);
    layout->addWidget(row.enable, top, 0);
    layout->addWidget(row.name, top, 1);
    layout->addWidget(row.unit, top, 2);
    layout->addWidget(row.expression, top, 3);
    layout->addWidget(row.error, top + 1, 3);
    layout->addWidget(row.readout, top + 2, 1, 1, 3);

    connect(row.enable, &QCheckBox::toggled, this, [this, m] { emitEdited(m); });
    for (QLineEdit* edit : {row.name, row.unit, row.expression}) {
        connect(edit, &QLineEdit::textEdited, this, [this, m] { emitEdited(m); });
        connect(edit, &QLineEdit::returnPressed, this, [this, m] { emitEdited(m); });
    }
}

void MathForm::emitEdited(int m) {
    const Row& row = rows_[m - 1];
    emit edited(m, {row.enable->isChecked(), row.name->text().trimmed().toStdString(),
                    row.unit->text().trimmed().toStdString(), row.expression->text().toStdString()});
}

void MathForm::showMath(int m) {
    const Row& row = rows_[m - 1];
    const MathDefinition& definition = display_.Math().Definition(m);
    // Set only on a change, so that typing keeps its cursor.
    const auto show = [](QLineEdit* edit, const std::string& text) {
        const QString shown = QString::fromStdString(text);
        if (edit->text().trimmed() != shown.trimmed()) edit->setText(shown);
    };
    if (row.enable->isChecked() != definition.Enabled) {
        const QSignalBlocker quiet(row.enable);
        row.enable->setChecked(definition.Enabled);
    }
    show(row.name, definition.Name);
    show(row.unit, definition.Unit);
    show(row.expression, definition.Expression);
    // The text, a mark under the fault, and why: only of the text in the field, never of an
    // earlier one.
    const std::optional<MathError>& error = display_.Math().Error(m);
    QString text;
    if (error && row.expression->text().toStdString() == definition.Expression) {
        text = QString::fromStdString(error->Message);
        if (error->Position >= 0)
            text = row.expression->text() + QLatin1Char('\n') + QString(error->Position, QLatin1Char(' ')) +
                   QStringLiteral("^ ") + text;
    }
    row.error->setText(text);
    row.error->setToolTip(text);
    showReadouts();
}

void MathForm::traceViewChanged() {
    update_->request(display_.Capturing());
}

void MathForm::showReadouts() {
    const DisplayView& view = display_.View();
    for (int m = 1; m <= kMathCount; ++m) {
        QLabel& label = *rows_[m - 1].readout;
        if (!display_.TraceShown(kTraceCount + m)) {
            label.clear();
            continue;
        }
        if (const QString notice = display_.MathNotice(); !notice.isEmpty()) {
            label.setText(notice.left(1).toUpper() + notice.mid(1));
            continue;
        }
        const QString unit = QString::fromStdString(display_.Math().Definition(m).Unit);
        const auto at = [this, m](std::int32_t position) { return display_.MathValueAt(m, position); };
        const double cursor = at(view.CursorPosition);
        QString text = QStringLiteral("Cursor %1").arg(std::isnan(cursor) ? QStringLiteral("-") : ValueText(cursor, unit));
        if (view.MarkPosition != kNoMark) {
            const double difference = cursor - at(view.MarkPosition);
            text += QStringLiteral(", from the mark %1")
                        .arg(std::isnan(difference) ? QStringLiteral("-") : ValueText(difference, unit));
        }
        text += QStringLiteral("; full scale on the chart ±%1").arg(ValueText(display_.Math().FullScale(m), unit));
        label.setText(text);
    }
}

}  // namespace altrix
