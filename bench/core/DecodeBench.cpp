// Decoding and readout figures. Baselines: a memcpy of the same bytes for decoding, the
// plain integer-to-text conversion for CountDataValue.

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "Readout.h"
#include "ScopeProtocol.h"
#include "StreamDecoder.h"

namespace {

using namespace altrix;

// The blocks of a capture's stream repeat every 256 blocks (the counter is one byte).
constexpr std::size_t kStreamPeriod = 256 * kBlockBytes;

// A stream with good headers, periodic, long enough that every slice of `count` bytes
// starting inside the first period is there in one piece.
std::vector<std::uint8_t> StreamBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(kStreamPeriod + count);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::size_t offset = i % kBlockBytes;
        bytes[i] = offset == 0   ? static_cast<std::uint8_t>(i / kBlockBytes)
                   : offset == 1 ? kGoodBlockMarker
                                 : static_cast<std::uint8_t>(i * 31);
    }
    return bytes;
}

// Receives of `count` bytes of `bytes`, which repeat every `period` bytes, stored and decoded
// into a running capture, one an iteration; the capture they leave.
std::unique_ptr<CaptureRecord> DecodeReceives(benchmark::State& state, const std::vector<std::uint8_t>& bytes,
                                              std::size_t count, std::size_t period) {
    auto rec = std::make_unique<CaptureRecord>();
    ResetForRun(*rec);
    const ChannelEnables on{true, true, true, true};
    std::size_t at = 0;
    for (auto _ : state) {
        StoreAndDecode(*rec, std::span(bytes).subspan(at, count), on);
        benchmark::DoNotOptimize(rec->NextSample);
        at = (at + count) % period;
    }
    return rec;
}

// One receive of `range(0)` bytes stored and decoded into a running capture; successive
// receives continue the stream.
void Decode(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const auto bytes = StreamBytes(count);
    const auto rec = DecodeReceives(state, bytes, count, kStreamPeriod);
    if (rec->DataError) state.SkipWithError("the stream fell out of step");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// A stream whose channel 4 looks like headers (the block counter in its low byte under 0xFF)
// and that loses a byte in every 64th block, periodic over the counter's cycle.
std::vector<std::uint8_t> DamagedPeriod() {
    std::vector<std::uint8_t> bytes;
    for (std::size_t block = 0; block < 256; ++block) {
        for (std::size_t offset = 0; offset < kBlockBytes; ++offset) {
            if (block % 64 == 63 && offset == 50) continue;
            const std::size_t word = (offset - kBlockHeaderBytes) / 2;
            bytes.push_back(offset == 0   ? static_cast<std::uint8_t>(block)
                            : offset == 1 ? kGoodBlockMarker
                            : word % 4 == 3 ? (offset % 2 == 0 ? static_cast<std::uint8_t>(block) : 0xFF)
                                            : static_cast<std::uint8_t>(block * kBlockBytes + offset * 31));
        }
    }
    return bytes;
}

// One receive of `range(0)` bytes of that stream: every 64th block a resynchronisation.
void DecodeDamaged(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const auto period = DamagedPeriod();
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < period.size() + count) bytes.insert(bytes.end(), period.begin(), period.end());
    const auto rec = DecodeReceives(state, bytes, count, period.size());
    state.counters["resyncs"] = static_cast<double>(rec->Health.Resyncs);
    state.counters["blocks_decoded"] = static_cast<double>(rec->Health.BlocksDecoded);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void Decode_Baseline(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const auto bytes = StreamBytes(count);
    auto rec = std::make_unique<CaptureRecord>();
    for (auto _ : state) {
        std::memcpy(rec->StreamRing.data(), bytes.data(), count);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void DecodeDamaged_Baseline(benchmark::State& state) { Decode_Baseline(state); }

// 2031 bytes: one 50 ms tick at 5000 sample sets per second; 300000: a full receive.
BENCHMARK(Decode)->Arg(2031)->Arg(300000)->Unit(benchmark::kMicrosecond);
BENCHMARK(DecodeDamaged)->Arg(2031)->Arg(300000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Decode_Baseline)->Arg(2031)->Arg(300000)->Unit(benchmark::kMicrosecond);
BENCHMARK(DecodeDamaged_Baseline)->Arg(2031)->Arg(300000)->Unit(benchmark::kMicrosecond);

void CountDataValueBench(benchmark::State& state) {
    std::int64_t value = -32768;
    for (auto _ : state) {
        ReadoutText text = CountDataValue(value, "0.09765");
        benchmark::DoNotOptimize(text);
        if (++value > 32767) value = -32768;
    }
}

void CountDataValueBench_Baseline(benchmark::State& state) {
    std::int64_t value = -32768;
    char buffer[24];
    for (auto _ : state) {
        auto end = std::to_chars(buffer, buffer + sizeof buffer, value * 9765).ptr;
        std::string text(buffer, end);
        benchmark::DoNotOptimize(text);
        if (++value > 32767) value = -32768;
    }
}

BENCHMARK(CountDataValueBench);
BENCHMARK(CountDataValueBench_Baseline);

}  // namespace
