#pragma once
// Which device a port name from the window stands for.

#include <string>

namespace altrix {

// On POSIX systems, in this order: the value of key `name` in section "Ports" of the
// settings file (keys compare without case; an empty value counts as absent); "COMn"
// (any case, n from 1 to 256) as /dev/ttyS<n-1>; otherwise `name` as typed (a device
// path, a simulator's link). On Windows `name` as it is.
std::string ResolvePortName(const std::string& name, const std::string& settingsIniPath);

}  // namespace altrix
