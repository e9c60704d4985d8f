// Trigger figures. The search through one tick's sets (254 sets, 2031 bytes of stream) against
// the decode of that tick's bytes as baseline, so the ratio is the share the search adds to a
// tick's decode; and the copy of a completed Normal window (once per trigger, not per tick)
// against a memcpy of the same bytes.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "ScopeProtocol.h"
#include "StreamDecoder.h"
#include "Trigger.h"

namespace {

using namespace altrix;

constexpr int kTickBytes = 2031;
constexpr int kTickSets = kTickBytes / 8;

// A Normal trigger on either crossing of 0 by a 100 Hz sine: it fires every 25 sets while
// armed, and spends most sets counting down its windows.
void TriggerSearchTick(benchmark::State& state) {
    auto traces = std::make_unique<ChannelTraces>();
    for (int slot = 0; slot < kTraceSlots; ++slot)
        (*traces)[0][slot] = static_cast<std::int16_t>(8000 * std::sin(slot * 2 * 3.141592653589793 / 50));
    TriggerSearch search;
    search.Arm({TriggerMode::Normal, 1, TriggerCondition::Either, "0", 0, 50}, TriggerLogic({1, TriggerCondition::Either, 0}));
    std::int32_t next = 0;
    for (auto _ : state) {
        next = (next + kTickSets) % kTraceSlots;
        benchmark::DoNotOptimize(search.Scan(*traces, next, kTickSets));
    }
    state.SetItemsProcessed(state.iterations() * kTickSets);
}

void TriggerSearchTick_Baseline(benchmark::State& state) {
    std::vector<std::uint8_t> bytes(kTickBytes);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = (i % kBlockBytes == 1) ? kGoodBlockMarker : static_cast<std::uint8_t>(i * 31);
    auto rec = std::make_unique<CaptureRecord>();
    ResetForRun(*rec);
    for (auto _ : state) {
        StoreAndDecode(*rec, bytes, {true, true, true, true});
        benchmark::DoNotOptimize(rec->NextSample);
    }
    state.SetItemsProcessed(state.iterations() * kTickSets);
}

void TriggerFreezeWindow(benchmark::State& state) {
    auto from = std::make_unique<ChannelTraces>();
    auto to = std::make_unique<ChannelTraces>();
    for (auto _ : state) {
        CopyWindowSlots(*from, *to, 54321);  // a window that wraps
        benchmark::ClobberMemory();
    }
}

void TriggerFreezeWindow_Baseline(benchmark::State& state) {
    auto from = std::make_unique<ChannelTraces>();
    auto to = std::make_unique<ChannelTraces>();
    for (auto _ : state) {
        for (int c = 0; c < kChannelCount; ++c)
            std::memcpy((*to)[c].data(), (*from)[c].data(), kWindowPositions * sizeof(std::int16_t));
        benchmark::ClobberMemory();
    }
}

BENCHMARK(TriggerSearchTick);
BENCHMARK(TriggerSearchTick_Baseline);
BENCHMARK(TriggerFreezeWindow)->Unit(benchmark::kMicrosecond);
BENCHMARK(TriggerFreezeWindow_Baseline)->Unit(benchmark::kMicrosecond);

}  // namespace
