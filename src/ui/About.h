#pragma once
// What the program is: its version, its licence and those of the libraries it uses.

#include <QString>

namespace altrix {

QString AboutText();

}  // namespace altrix
