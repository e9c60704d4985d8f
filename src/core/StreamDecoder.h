#pragma once
// Store-and-decode step of the capture tick: received bytes go into the stream ring,
// every complete StreamBlock before the newest block start is split into the four channel
// traces in channel rotation. Allocates nothing.

#include <array>
#include <cstdint>
#include <span>

#include "CaptureRecord.h"

namespace altrix {

using ChannelEnables = std::array<bool, kChannelCount>;

// `received` holds at most kReceiveCapacity bytes (normally the start of ReceiveBuffer).
// Channels whose enable flag is false consume their words without storing them.
// Sets DataError when the second header byte of the last block of a pass is not 0xFF.
void StoreAndDecode(CaptureRecord& record, std::span<const std::uint8_t> received,
                    const ChannelEnables& enabled);

}  // namespace altrix
