// Kept apart: the kernel's termios2 cannot share a unit with <termios.h>.
#include "LineSettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace altrix::testing {

std::optional<LineSettings> ReadLineSettings(int fd) {
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0) return std::nullopt;
    LineSettings s;
    s.OutputBaud = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5: s.DataBits = 5; break;
    case CS6: s.DataBits = 6; break;
    case CS7: s.DataBits = 7; break;
    default: s.DataBits = 8; break;
    }
    s.Parity = (t.c_cflag & PARENB) != 0;
    s.TwoStopBits = (t.c_cflag & CSTOPB) != 0;
    return s;
}

}  // namespace altrix::testing
