#pragma once
// Helpers for CommPort tests over the simulated drive's pseudo-terminal.

#include <sys/ioctl.h>

#include <algorithm>
#include <span>

#include "CommPort.h"
#include "DriveTestSupport.h"

namespace altrix::testing {

// Reads through the port until `count` bytes came or the limit passed.
inline Bytes ReadThrough(CommPort& port, std::size_t count,
                         std::chrono::milliseconds limit = kWaitLimit) {
    Bytes got;
    std::uint8_t buffer[4096];
    WaitUntil([&] {
        const std::size_t want = std::min(sizeof buffer, count - got.size());
        const std::int32_t n = port.ReadAvailable(std::span(buffer, want));
        got.insert(got.end(), buffer, buffer + n);
        return got.size() >= count;
    }, limit);
    return got;
}

// Bytes waiting in the input queue of the terminal that `fd` is open on.
inline int QueuedInput(int fd) {
    int queued = -1;
    ::ioctl(fd, FIONREAD, &queued);
    return queued;
}

}  // namespace altrix::testing
