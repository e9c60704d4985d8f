#pragma once
// What the main window's form description cannot say about its looks and input.

#include <QValidator>

namespace altrix {

// The window's fonts are Windows families; elsewhere the closest installed ones stand in.
// Installed once per program.
void InstallFontSubstitutes();

// Shows typed letters in lower case (the address edits).
class LowerCaseValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toLower();
        return Acceptable;
    }
};

}  // namespace altrix
