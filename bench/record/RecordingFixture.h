#pragma once
// A recording written directly, as a long capture would leave it: four channels of drive-like
// signals (a slow speed ripple, a 50 Hz current with noise, a DC bus with a dip every few
// minutes, a bit word), a gap every twenty minutes, a trigger event at the start of each dip.
// Written a minute of sets a transaction.

#include "RecordingWriter.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace altrix::bench {

inline std::int16_t FixtureSample(int c, std::int64_t n) {
    const double t = static_cast<double>(n) / kRecordingSampleRateHz;
    switch (c) {
        case 0: return static_cast<std::int16_t>(15000 + 2000 * std::sin(t * 0.05) + (n * 7919 % 201) - 100);
        case 1: return static_cast<std::int16_t>(12000 * std::sin(t * 2 * 3.14159265 * 50) + (n * 104729 % 1201) - 600);
        case 2: return static_cast<std::int16_t>(5400 - ((n / 5000) % 240 == 7 ? 900 : 0) + (n * 31 % 41) - 20);
        default: return static_cast<std::int16_t>((n / 25000) % 16);
    }
}

// Writes `seconds` of sets to `path`; empty, or why it could not. From `tripSecond` on (when
// not negative) the DC bus falls to 200 Vdc for a second, once: an undervoltage trip.
inline std::string WriteFixtureRecording(const std::string& path, std::int64_t seconds, std::int64_t tripSecond = -1) {
    RecordingWriter writer;
    RecordingHeader header{"2026-12-07T01:00:00.000Z", "bench", "18", {}};
    header.Channels = {{{"9004", "Speed feedback (Hz)", "0.01", "Hz"},
                        {"9042", "Output current (A)", "0.1", "A"},
                        {"9040", "DC bus voltage (Vdc)", "0.1", "Vdc"},
                        {"9060", "", "1", ""}}};
    if (std::string problem = writer.Create(path, header); !problem.empty()) return problem;
    constexpr std::int64_t kWriteSets = 60 * kRecordingSampleRateHz;
    std::vector<std::int16_t> sets;
    const std::int64_t total = seconds * kRecordingSampleRateHz;
    for (std::int64_t at = 0; at < total; at += kWriteSets) {
        const std::int64_t count = std::min(kWriteSets, total - at);
        sets.resize(static_cast<std::size_t>(count * kRecordingChannels));
        for (std::int64_t i = 0; i < count; ++i)
            for (int c = 0; c < kRecordingChannels; ++c) sets[static_cast<std::size_t>(i * kRecordingChannels + c)] = FixtureSample(c, at + i);
        for (std::int64_t n = std::max(at, tripSecond * kRecordingSampleRateHz);
             tripSecond >= 0 && n < std::min(at + count, (tripSecond + 1) * kRecordingSampleRateHz); ++n)
            sets[static_cast<std::size_t>((n - at) * kRecordingChannels + 2)] = static_cast<std::int16_t>(2000 + n % 41);
        std::vector<RecordingGap> gaps;
        if (at > 0 && at % (20 * kWriteSets) == 0) gaps.push_back({at, 2 * kRecordingSampleRateHz, "reconnect"});
        std::vector<RecordingEvent> events;
        constexpr std::int64_t kDipPeriod = 240 * 5000, kDipStart = 7 * 5000;
        for (std::int64_t dip = (at + kDipPeriod - kDipStart - 1) / kDipPeriod * kDipPeriod + kDipStart; dip < at + count; dip += kDipPeriod)
            if (dip >= at) events.push_back({dip, "trigger", "ch3 Falling: trigger condition met"});
        if (!writer.Write(sets, gaps, events)) return writer.Error();
    }
    writer.Close();
    return {};
}

}  // namespace altrix::bench

#include "RecordingReader.h"

#include <filesystem>

namespace altrix::bench {

// The fixture of `seconds` (with its trip, if any) in the temporary folder, written on first use
// and kept for later runs.
inline std::string FixturePath(std::int64_t seconds, std::int64_t tripSecond = -1) {
    const std::string trip = tripSecond >= 0 ? "-trip" + std::to_string(tripSecond) : std::string();
    const std::string path = (std::filesystem::temp_directory_path() / ("altrix-bench-" + std::to_string(seconds) + "s" + trip + ".arec")).string();
    {
        const RecordingReader::Opened opened = RecordingReader::Open(path);
        if (opened.Reader && opened.Reader->Sets() == seconds * kRecordingSampleRateHz) return path;
    }
    return WriteFixtureRecording(path, seconds, tripSecond).empty() ? path : std::string();
}

}  // namespace altrix::bench
