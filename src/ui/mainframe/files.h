#pragma once
// What the waveform file commands share with the exports and the event saving: the path handed
// to the core writers, the time field's decimal separator, and the text that reports a file
// that could not be written or read.

#include "SafeFile.h"

#include <QString>

#include <string>
#include <vector>

namespace altrix {

// The file name in the file system's encoding.
std::string NativePath(const QString& fileName);

// The waveform file's time field takes the user's decimal separator, as the time readouts
// do. A separator that is not a single ASCII character cannot go into the 8-bit file: "."
// stands in.
char TimeDecimalSeparator();

// "Unable to <action> <file>: <reason>".
QString FailureText(const char* action, const QString& fileName, const FileResult& result);

// Why an export of a recording holds none of the math traces `names`; empty for no names.
QString MathLeftOutText(const std::vector<std::string>& names);

}  // namespace altrix
