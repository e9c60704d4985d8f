#include "ScopeProtocol.h"

#include <algorithm>

namespace altrix {

ScopeFrame MakeScopeFrame(std::uint8_t command, std::uint16_t address) {
    ScopeFrame frame{kFrameStart, command, static_cast<std::uint8_t>(address >> 8),
                     static_cast<std::uint8_t>(address & 0xFF), 0};
    const unsigned sum = frame[1] + frame[2] + frame[3];
    frame[4] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
    return frame;
}

IdentifyReply DecodeIdentifyReply(std::span<const std::uint8_t> received) {
    std::array<std::uint8_t, kIdentifyReplyBytes> reply{};
    std::copy_n(received.begin(), std::min<std::size_t>(received.size(), reply.size()),
                reply.begin());
    IdentifyReply decoded;
    decoded.TypeCode = ReadWord(&reply[2]);
    for (int i = 0; i < 3; ++i) decoded.OtherWords[i] = ReadWord(&reply[4 + 2 * i]);
    return decoded;
}

std::optional<std::uint16_t> ParseChannelAddress(std::string_view text) {
    if (text.size() != 4) return std::nullopt;
    std::uint16_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else return std::nullopt;
        value = static_cast<std::uint16_t>(value << 4 | digit);
    }
    return value;
}

}  // namespace altrix
