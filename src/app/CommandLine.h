#pragma once
// The command line of altrix-scope.

#include <QStringList>

#include <optional>

namespace altrix {

// Sets the program's name and version, which --version, --help and the window system use.
void DescribeProgram();

// Answers the options that end the program at once (--help, which also shows the usage of
// --export-csv, --export and --record, and --version) and returns the exit
// code; std::nullopt when the window is to start. Read twice: before the window system
// starts, so that those options need no display, the window system's own options (-platform,
// -style, ...) are still in `arguments` and an unknown option is left for the second reading;
// after it, with those removed, an unknown option or any other argument is an error. Options
// are parsed strictly: "-hv" is one unknown option, and "--" ends the options.
std::optional<int> RunCommandLine(const QStringList& arguments, bool windowSystemOptionsRemoved);

}  // namespace altrix
