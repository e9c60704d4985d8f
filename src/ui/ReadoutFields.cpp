#include "ReadoutFields.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace altrix {

namespace {

// A readout that shows a number: the unit belongs beside it.
bool IsNumber(const QString& text) {
    return !text.isEmpty() && (text[0].isDigit() || text[0] == QLatin1Char('-') || text[0] == QLatin1Char('.'));
}

}  // namespace

ReadoutFields::ReadoutFields(const Edits& edits, const ScopeDisplay& display, QObject* parent)
    : QObject(parent), edits_(edits), display_(display) {
    for (int t = 1; t <= kTraceCount; ++t) {
        for (const int n : {DataReadout(t), DiffReadout(t)}) {
            QLineEdit* edit = edits_[static_cast<std::size_t>(n)];
            auto* unit = new QLabel(edit);
            unit->setObjectName(edit->objectName() + QStringLiteral("Unit"));
            unit->setAttribute(Qt::WA_TransparentForMouseEvents);
            unit->setStyleSheet(QStringLiteral("color: #404040; background: transparent;"));
            units_[static_cast<std::size_t>(n)] = unit;
        }
        showUnits(t);
    }
    connect(&display, &ScopeDisplay::readoutsChanged, this, &ReadoutFields::show);
    connect(&display, &ScopeDisplay::channelChanged, this, &ReadoutFields::showUnits);
    connect(&display, &ScopeDisplay::referenceChanged, this, [this](int r) { showUnits(kChannelCount + r); });
    show(~0u);
}

void ReadoutFields::show(std::uint32_t written) {
    // Only the readouts the display wrote: the others keep what they show.
    const Readouts& texts = display_.ReadoutTexts();
    for (std::size_t n = 0; n < edits_.size(); ++n) {
        if (!(written & (1u << n))) continue;
        edits_[n]->setText(texts[n]);
        if (units_[n]) placeUnit(static_cast<int>(n));
    }
}

void ReadoutFields::showUnits(int t) {
    const QString unit = display_.ReadoutUnit(t);
    for (const int n : {DataReadout(t), DiffReadout(t)}) {
        QLabel& label = *units_[static_cast<std::size_t>(n)];
        unitTexts_[static_cast<std::size_t>(n)] = unit;
        // The number never runs under its unit.
        const int width = unit.isEmpty() ? 0 : label.fontMetrics().horizontalAdvance(unit) + 2;
        edits_[static_cast<std::size_t>(n)]->setTextMargins(0, 0, width, 0);
        placeUnit(n);
    }
}

void ReadoutFields::placeUnit(int n) {
    QLineEdit& edit = *edits_[static_cast<std::size_t>(n)];
    QLabel& label = *units_[static_cast<std::size_t>(n)];
    label.setText(IsNumber(edit.text()) ? unitTexts_[static_cast<std::size_t>(n)] : QString());
    label.adjustSize();
    // The end of the text is where setText left the cursor.
    const QRect end = edit.inputMethodQuery(Qt::ImCursorRectangle).toRect();
    const int space = label.fontMetrics().horizontalAdvance(QLatin1Char(' '));
    const int x = std::min(end.right() + space, edit.width() - label.width() - 2);
    label.move(x, (edit.height() - label.height()) / 2);
}

}  // namespace altrix
