#pragma once
// The line settings a serial device carries, read from any descriptor open on it.

#include <optional>

namespace altrix::testing {

struct LineSettings {
    unsigned OutputBaud = 0;  // the exact rate, also when it is not a standard one
    int DataBits = 0;
    bool Parity = false;
    bool TwoStopBits = false;
};

std::optional<LineSettings> ReadLineSettings(int fd);

}  // namespace altrix::testing
