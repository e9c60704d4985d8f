#include "ScopeExchange.h"

#include <QThread>

#include "CommPort.h"

namespace altrix {
namespace {

template <std::size_t N>
void SendBytes(CommPort& port, const std::array<std::uint8_t, N>& bytes) {
    for (std::uint8_t byte : bytes) port.WriteByte(byte);
}

void PauseAndPurge(CommPort& port) {
    QThread::msleep(kStartPauseMs);
    port.Purge();
}

}  // namespace

void SendStreamReset(CommPort& port) { SendBytes(port, kStreamReset); }

void SendStartCapture(CommPort& port, const ChannelAddresses& addresses) {
    SendStreamReset(port);
    PauseAndPurge(port);
    SendBytes(port, MakeScopeFrame(kFirstChannelCommand, addresses[0]));
    for (std::size_t c = 1; c < addresses.size(); ++c) {
        SendBytes(port, MakeScopeFrame(kFurtherChannelCommand, addresses[c]));
    }
}

void SendIdentifyRequest(CommPort& port) {
    SendBytes(port, kIdentifyPrelude);
    PauseAndPurge(port);
    const ScopeFrame request = MakeScopeFrame(kFurtherChannelCommand, kIdentifyAddress);
    for (int i = 0; i < kIdentifyRequestRepeats; ++i) SendBytes(port, request);
}

std::int32_t ReadReply(CommPort& port, std::span<std::uint8_t> reply,
                       std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::size_t got = 0;
    for (;;) {
        got += static_cast<std::size_t>(port.ReadAvailable(reply.subspan(got)));
        if (got == reply.size() || std::chrono::steady_clock::now() >= deadline) break;
        QThread::msleep(1);
    }
    return static_cast<std::int32_t>(got);
}

}  // namespace altrix
