// Decoding and readout figures. Baselines: a memcpy of the same bytes for decoding, the
// plain integer-to-text conversion for CountDataValue.

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <memory>
#include <vector>

#include "Readout.h"
#include "ScopeProtocol.h"
#include "StreamDecoder.h"

namespace {

using namespace altrix;

std::vector<std::uint8_t> StreamBytes(std::size_t count) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = (i % kBlockBytes == 1) ? kGoodBlockMarker : static_cast<std::uint8_t>(i * 31);
    return bytes;
}

// One receive of `range(0)` bytes stored and decoded into a running capture.
void Decode(benchmark::State& state) {
    const auto bytes = StreamBytes(static_cast<std::size_t>(state.range(0)));
    auto rec = std::make_unique<CaptureRecord>();
    ResetForRun(*rec);
    const ChannelEnables on{true, true, true, true};
    for (auto _ : state) {
        StoreAndDecode(*rec, bytes, on);
        benchmark::DoNotOptimize(rec->NextSample);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void Decode_Baseline(benchmark::State& state) {
    const auto bytes = StreamBytes(static_cast<std::size_t>(state.range(0)));
    auto rec = std::make_unique<CaptureRecord>();
    for (auto _ : state) {
        std::memcpy(rec->StreamRing.data(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// 2031 bytes: one 50 ms tick at 5000 sample sets per second; 300000: a full receive.
BENCHMARK(Decode)->Arg(2031)->Arg(300000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Decode_Baseline)->Arg(2031)->Arg(300000)->Unit(benchmark::kMicrosecond);

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
