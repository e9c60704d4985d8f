#pragma once
// A recording file for the window's tests: channel 1 (address 9004, gain 0.01) reads set n's
// n % 1000 - 500, the other channels 0.

#include "RecordingWriter.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace altrix::testing {

// Writes `sets` sets to a new recording at `path`, a million at a time; the writer's complaint,
// empty when written.
inline std::string WriteTestRecording(const std::string& path, std::int64_t sets) {
    RecordingWriter writer;
    RecordingHeader header{"2026-12-07T03:00:00.000Z", "test", "", {}};
    header.Channels[0] = {"9004", "", "0.01", ""};
    if (std::string error = writer.Create(path, header); !error.empty()) return error;
    constexpr std::int64_t kBatch = 1'000'000;
    std::vector<std::int16_t> batch;
    for (std::int64_t first = 0; first < sets; first += kBatch) {
        batch.assign(static_cast<std::size_t>(std::min(kBatch, sets - first)) * kRecordingChannels, 0);
        for (std::size_t i = 0; i < batch.size() / kRecordingChannels; ++i)
            batch[i * kRecordingChannels] = static_cast<std::int16_t>((first + static_cast<std::int64_t>(i)) % 1000 - 500);
        if (!writer.Write(batch)) return writer.Error();
    }
    return writer.Close() ? std::string() : writer.Error();
}

}  // namespace altrix::testing
