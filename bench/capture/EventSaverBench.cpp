// Event saving figures: a Normal capture with an edge every 100 ms whose every window is saved,
// against the same capture without saving. Simulated time runs faster than the drive, so the
// loop waits (without using the CPU) for the writer to take each window before going on.

#include <benchmark/benchmark.h>

#include "EventSaver.h"
#include "ProcessFigures.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace altrix;

constexpr std::int64_t kSimulatedSeconds = 600;
constexpr std::int64_t kSetsPerSecond = 5000;
constexpr int kTickSets = 250;   // 50 ms
constexpr int kEdgeEvery = 500;  // 100 ms

void RunCapture(benchmark::State& state, bool saving) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("altrix-bench-events-" + std::to_string(::getpid()));
    auto traces = std::make_unique<ChannelTraces>();
    TriggerSettings settings{TriggerMode::Normal, 1, TriggerCondition::Rising, "0", 0, 50};
    for (auto _ : state) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        EventSaver saver;
        CaptureDescription description;
        description.Trigger = settings;
        if (saving && !saver.Start(folder.string(), {100000, std::int64_t{1} << 40}, description, '.',
                                   std::chrono::system_clock::now(), PreTriggerSets(50)).empty()) {
            state.SkipWithError("saving did not start");
            break;
        }
        TriggerSearch search;
        search.Arm(settings, TriggerLogic({1, TriggerCondition::Rising, 0}));
        const double cpuBefore = bench::CpuSeconds();
        double rssAfterFirst = 0;
        std::int64_t windows = 0;
        std::int32_t next = 0;
        for (std::int64_t n = 0; n < kSimulatedSeconds * kSetsPerSecond;) {
            for (int i = 0; i < kTickSets; ++i, ++n) {
                // A pulse 50 sets long every 100 ms on channel 1, a ramp on the others.
                (*traces)[0][next] = static_cast<std::int16_t>(n % kEdgeEvery < 50 ? 1000 : -1000);
                for (int c = 1; c < kChannelCount; ++c) (*traces)[c][next] = static_cast<std::int16_t>(n * c);
                next = (next + 1) % kTraceSlots;
            }
            const auto window = search.Scan(*traces, next, kTickSets);
            if (!window) continue;
            ++windows;
            if (!saving) continue;
            saver.Save(*traces, window->NextSample, window->TriggerSet);
            // The drive's pace leaves the writer 10 s a window; here it gets what it needs.
            while (saver.Count().Saved + saver.Count().NotSaved < saver.Count().Caught)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (windows == 1) rssAfterFirst = bench::RssMiB();
        }
        saver.Stop();
        const double cpu = bench::CpuSeconds() - cpuBefore;
        state.SetIterationTime(cpu);
        state.counters["core_fraction"] = cpu / kSimulatedSeconds;
        state.counters["caught"] = static_cast<double>(windows);
        state.counters["saved"] = static_cast<double>(saver.Count().Saved);
        state.counters["rss_growth_MiB"] = saving ? bench::RssMiB() - rssAfterFirst : 0;
    }
    std::filesystem::remove_all(folder);
}

void SaveEveryEvent10min(benchmark::State& state) { RunCapture(state, true); }
void SaveEveryEvent10min_Baseline(benchmark::State& state) { RunCapture(state, false); }

}  // namespace

BENCHMARK(SaveEveryEvent10min_Baseline)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(SaveEveryEvent10min)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
