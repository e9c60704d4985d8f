#include "ScopeExchange.h"

#include <QThread>

#include "CommPort.h"

namespace altrix {
namespace {

using Clock = std::chrono::steady_clock;

// The bytes of one exchange share one deadline: each byte may wait only for what is left.
class Exchange {
public:
    explicit Exchange(CommPort& port) : port_(port), deadline_(Clock::now() + kExchangeLimit) {}

    template <std::size_t N>
    Exchange& Send(const std::array<std::uint8_t, N>& bytes) {
        for (std::uint8_t byte : bytes) {
            if (!ok_) return *this;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
            ok_ = left.count() > 0 && port_.WriteByte(byte, left);
        }
        return *this;
    }
    Exchange& PauseAndPurge() {
        if (!ok_) return *this;
        QThread::msleep(kStartPauseMs);
        port_.Purge();
        return *this;
    }
    bool Ok() const { return ok_; }

private:
    CommPort& port_;
    Clock::time_point deadline_;
    bool ok_ = true;
};

}  // namespace

bool SendStreamReset(CommPort& port) { return Exchange(port).Send(kStreamReset).Ok(); }

bool SendStartCapture(CommPort& port, const ChannelAddresses& addresses) {
    Exchange exchange(port);
    exchange.Send(kStreamReset).PauseAndPurge().Send(MakeScopeFrame(kFirstChannelCommand, addresses[0]));
    for (std::size_t c = 1; c < addresses.size(); ++c)
        exchange.Send(MakeScopeFrame(kFurtherChannelCommand, addresses[c]));
    return exchange.Ok();
}

bool SendIdentifyRequest(CommPort& port) {
    Exchange exchange(port);
    exchange.Send(kIdentifyPrelude).PauseAndPurge();
    const ScopeFrame request = MakeScopeFrame(kFurtherChannelCommand, kIdentifyAddress);
    for (int i = 0; i < kIdentifyRequestRepeats; ++i) exchange.Send(request);
    return exchange.Ok();
}

std::int32_t ReadReply(CommPort& port, std::span<std::uint8_t> reply,
                       std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    std::size_t got = 0;
    for (;;) {
        got += static_cast<std::size_t>(port.ReadAvailable(reply.subspan(got)));
        if (got == reply.size() || Clock::now() >= deadline) break;
        QThread::msleep(1);
    }
    return static_cast<std::int32_t>(got);
}

}  // namespace altrix
