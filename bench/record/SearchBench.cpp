// Find next through a recording: the one DC bus trip of an 8-hour recording, 10 s before its
// end, found from its first set, against a plain scan with the same trigger logic over 1 % of
// the same file (x 100 for the whole). The worst case, a condition that no summary can rule out
// (the current crossing zero at 50 Hz while the bus never dips), over an hour, against the same
// baseline, and over the 8 hours.

#include <benchmark/benchmark.h>

#include "RecordingFixture.h"
#include "RecordingSearch.h"

namespace {

using namespace altrix;

constexpr std::int64_t kEightHours = 8 * 3600;
constexpr std::int64_t kTripSecond = kEightHours - 10;
const std::array<std::string, kChannelCount> kGains{"0.01", "0.1", "0.1", "1"};

// The DC bus falling below 400 Vdc (its dips every 4 minutes reach 450 Vdc).
TriggerLogic TripLogic() {
    TriggerSettings trip;
    trip.Source = 3;
    trip.Condition = TriggerCondition::Falling;
    trip.Level = "400";
    return TriggerLogic::Of(trip, kGains);
}

std::unique_ptr<RecordingReader> Open(benchmark::State& state, std::int64_t seconds, std::int64_t tripSecond) {
    RecordingReader::Opened opened = RecordingReader::Open(bench::FixturePath(seconds, tripSecond));
    if (!opened.Reader) state.SkipWithError("the fixture did not open");
    return std::move(opened.Reader);
}

void FindTripEightHours(benchmark::State& state) {
    const auto reader = Open(state, kEightHours, kTripSecond);
    if (!reader) return;
    for (auto _ : state) {
        RecordingSearch search(*reader, TripLogic(), SearchDirection::Next, 0);
        if (search.Run() != RecordingSearch::Status::Found || search.Found() != kTripSecond * kRecordingSampleRateHz) {
            state.SkipWithError("the trip was not found where it is");
            break;
        }
    }
    state.counters["sets_searched"] = static_cast<double>(reader->Sets());
}

// Sets 0 .. count - 1 read and stepped through the logic, as a search without summaries would.
std::int64_t PlainScan(RecordingReader& reader, TriggerLogic logic, std::int64_t count) {
    constexpr std::int64_t kRead = 65536;  // as the search reads
    std::vector<std::int16_t> sets(kRead * kRecordingChannels);
    std::int64_t events = 0;
    for (std::int64_t at = 0; at < count; at += kRead) {
        const std::int64_t take = std::min(kRead, count - at);
        if (!reader.ReadSets(at, take, sets)) return -1;
        for (std::int64_t i = 0; i < take; ++i)
            events += logic.Step(sets[std::size_t(i * kRecordingChannels) + std::size_t(logic.FirstSource() - 1)],
                                 sets[std::size_t(i * kRecordingChannels) + std::size_t(logic.SecondSource() - 1)]);
    }
    return events;
}

void FindTripEightHours_Baseline(benchmark::State& state) {
    const auto reader = Open(state, kEightHours, kTripSecond);
    if (!reader) return;
    for (auto _ : state) benchmark::DoNotOptimize(PlainScan(*reader, TripLogic(), reader->Sets() / 100));
    state.counters["sets_searched"] = static_cast<double>(reader->Sets() / 100);
}

// The current rising through 0 while the bus is below 100 Vdc: never (the trip reaches 200 Vdc),
// but every 50 Hz period has to be looked at set by set.
void FindNothing(benchmark::State& state, std::int64_t seconds, std::int64_t tripSecond) {
    const auto reader = Open(state, seconds, tripSecond);
    if (!reader) return;
    TriggerSettings settings;
    settings.Source = 2;
    settings.Join = TriggerJoin::And;
    settings.Second = {3, TriggerCondition::Falling, "100"};
    for (auto _ : state) {
        RecordingSearch search(*reader, TriggerLogic::Of(settings, kGains), SearchDirection::Next, 0);
        if (search.Run() != RecordingSearch::Status::NotFound) state.SkipWithError("an event where there is none");
    }
    state.counters["sets_searched"] = static_cast<double>(reader->Sets());
    state.counters["Msets_per_s"] = benchmark::Counter(static_cast<double>(reader->Sets()) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
void FindNothingHour(benchmark::State& state) { FindNothing(state, 3600, -1); }
// The worst case Find meets: the same over the 8 hours of the trip's recording.
void FindNothingEightHours(benchmark::State& state) { FindNothing(state, kEightHours, kTripSecond); }

}  // namespace

BENCHMARK(FindTripEightHours_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(FindTripEightHours)->Unit(benchmark::kMillisecond);
BENCHMARK(FindNothingHour)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(FindNothingEightHours)->Iterations(1)->Unit(benchmark::kMillisecond);
