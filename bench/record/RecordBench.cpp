// Recording figures: what recording costs a running capture, the file's size, opening and
// measuring an 8-hour recording. Baselines: the same capture loop without a recording; the
// same open, view and measurement of a 20 s recording.

#include <benchmark/benchmark.h>

#include "CaptureRecord.h"
#include "LongRecorder.h"
#include "RecordingFixture.h"
#include "ProcessFigures.h"

#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using namespace altrix;

constexpr std::int64_t kEightHours = 8 * 3600;
constexpr std::int64_t kTwentySeconds = 20;

// Five seconds of a capture's ticks at 5000 sets/s (250 sets each 50 ms), with or without a
// recording; the manual time is the process's CPU time (the writer's thread included), so
// `core_fraction` is the share of one core the loop took.
void RunTicks(benchmark::State& state, bool recording) {
    auto record = std::make_unique<CaptureRecord>();
    const std::string path = (std::filesystem::temp_directory_path() / ("altrix-bench-rec-" + std::to_string(::getpid()) + ".arec")).string();
    for (auto _ : state) {
        LongRecorder recorder;
        if (recording && !recorder.Start(path, {}, *record).empty()) {
            state.SkipWithError("the recording did not start");
            break;
        }
        const double cpuBefore = bench::CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::int64_t n = 0;
        for (int tick = 0; tick < 100; ++tick) {
            for (int i = 0; i < 250; ++i, ++n) {
                for (int c = 0; c < kChannelCount; ++c) record->ChannelTrace[c][record->NextSample] = bench::FixtureSample(c, n);
                record->NextSample = (record->NextSample + 1) % kTraceSlots;
            }
            if (recording) recorder.Append(*record, record->NextSample, 250);
            std::this_thread::sleep_until(start + std::chrono::milliseconds(50 * (tick + 1)));
        }
        recorder.Stop();
        const double cpu = bench::CpuSeconds() - cpuBefore;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(cpu);
        state.counters["core_fraction"] = cpu / wall;
        state.counters["sets_recorded"] = static_cast<double>(recorder.Sets());
    }
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-wal");
    std::filesystem::remove(path + "-shm");
}

void RecordingCapture5s(benchmark::State& state) { RunTicks(state, true); }
void RecordingCapture5s_Baseline(benchmark::State& state) { RunTicks(state, false); }

// The size of an hour's recording (written directly), against 8 bytes a set.
void HourFileSize(benchmark::State& state) {
    std::string path;
    for (auto _ : state) path = bench::FixturePath(3600);
    if (path.empty()) {
        state.SkipWithError("the fixture could not be written");
        return;
    }
    const double bytes = static_cast<double>(std::filesystem::file_size(path));
    state.counters["MB_per_hour"] = bytes / 1e6;
    state.counters["bytes_per_set"] = bytes / (3600.0 * kRecordingSampleRateHz);
    state.counters["times_raw"] = bytes / (3600.0 * kRecordingSampleRateHz * 8);
}

// Opening a recording and the extremes of its whole length in 1000 columns, as the screen
// first shows it.
void OpenAndView(benchmark::State& state, std::int64_t seconds) {
    const std::string path = bench::FixturePath(seconds);
    if (path.empty()) {
        state.SkipWithError("the fixture could not be written");
        return;
    }
    std::vector<SetExtremes> columns(1000);
    double growth = 0;
    for (auto _ : state) {
        const double before = bench::RssMiB();
        const RecordingReader::Opened opened = RecordingReader::Open(path);
        if (!opened.Reader || !opened.Reader->BucketExtremes(0, static_cast<double>(opened.Reader->Sets()) / 1000, columns)) {
            state.SkipWithError("the fixture did not open");
            break;
        }
        growth = std::max(growth, bench::RssMiB() - before);
    }
    state.counters["rss_growth_MiB"] = growth;
}
void OpenEightHours(benchmark::State& state) { OpenAndView(state, kEightHours); }
void OpenEightHours_Baseline(benchmark::State& state) { OpenAndView(state, kTwentySeconds); }

// Minimum, maximum, sum and sum of squares of the four channels over the whole recording.
void MeasureWhole(benchmark::State& state, std::int64_t seconds) {
    const RecordingReader::Opened opened = RecordingReader::Open(bench::FixturePath(seconds));
    if (!opened.Reader) {
        state.SkipWithError("the fixture did not open");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(opened.Reader->Summary(0, opened.Reader->Sets() - 1));
}
void MeasureEightHours(benchmark::State& state) { MeasureWhole(state, kEightHours); }
void MeasureEightHours_Baseline(benchmark::State& state) { MeasureWhole(state, kTwentySeconds); }

}  // namespace

BENCHMARK(RecordingCapture5s_Baseline)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(RecordingCapture5s)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(HourFileSize)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(OpenEightHours_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenEightHours)->Unit(benchmark::kMillisecond);
BENCHMARK(MeasureEightHours_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(MeasureEightHours)->Unit(benchmark::kMillisecond);
