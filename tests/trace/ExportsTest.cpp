// What an export of the source on show holds, without a window: the sets each choice names,
// the traces each format takes, the times the screen shows for those sets, the UTC of the
// first, and the formats named by the file's suffix.

#include "Exports.h"

#include "FileTestSupport.h"
#include "RecordingTrace.h"
#include "RecordingWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace altrix::testing {
namespace {

// 2026-12-07T23:42:00Z in microseconds since 1970.
constexpr UtcMicros kRun = 1796686920LL * 1000000;

// A source of `length` positions whose trace t reads t x 1000 + position % 1000.
class CountingSource final : public TraceSource {
public:
    explicit CountingSource(int length) : length_(length) {}
    int length() const override { return length_; }
    double sampleRateHz() const override { return 5000; }
    WindowSamples samples(int) const override { return {}; }
    SampleRuns samplesOver(int, PositionStretch) const override { return {}; }
    SetReader reader(const std::vector<int>& traces) const override {
        return [traces](std::int64_t first, std::int64_t count, std::span<std::int16_t> out) {
            for (std::size_t i = 0; i < traces.size(); ++i)
                for (std::int64_t n = 0; n < count; ++n)
                    out[i * std::size_t(count) + std::size_t(n)] = std::int16_t(traces[i] * 1000 + (first + n) % 1000);
            return FileResult{};
        };
    }

private:
    int length_;
};

ExportSource SourceOver(const TraceSource& traces, const Timeline& times) {
    ExportSource source;
    source.Source = &traces;
    source.Times = times;
    // Channel 1 ticked, channel 2 not, Ref1 shown.
    source.Traces = {{1, {"DC_bus (Vdc)", "0.1", "9042"}, true, true},
                     {2, {"Channel 2", "1", ""}, false, true},
                     {5, {"Ref1", "1", ""}, true, true}};
    source.View = {1000, 5999};
    source.Mark = 4;
    source.Cursor = 2;
    return source;
}

struct PlanCase {
    const char* source;
    ExportStretch choice;
    const char* file;
    std::int64_t first, count;
    const char* firstTime;  // as the Time readout shows the first set
    const char* startedUtc;
    std::size_t traces;
};

TEST(ExportsTest, APlanHoldsTheChosenSetsWithTheTimesTheScreenShows) {
    const CountingSource window(100000), recording(18000000);
    const ExportSource live = SourceOver(window, Timeline::Window(TimelineSource::LiveWindow, 200000, kRun));
    const ExportSource file = SourceOver(window, Timeline::Window(TimelineSource::File, std::nullopt, std::nullopt));
    const ExportSource rec = SourceOver(recording, Timeline::Recording(kRun));
    const std::pair<const char*, const ExportSource*> sources[] = {{"live", &live}, {"file", &file}, {"recording", &rec}};
    const PlanCase cases[] = {
        {"live", ExportStretch::MarkToCursor, "a.mat", 2, 3, "0.0006", "2026-12-07T23:42:40.000Z", 2},
        {"live", ExportStretch::Whole, "a.CSV", 0, 100000, "0.0002", "2026-12-07T23:42:40.000Z", 3},
        {"live", ExportStretch::View, "a.h5", 1000, 5000, "0.2002", "2026-12-07T23:42:40.200Z", 2},
        {"file", ExportStretch::View, "a.hdf5", 1000, 5000, "0.2002", "", 2},
        {"recording", ExportStretch::View, "a.csv", 1000, 5000, "0.2", "2026-12-07T23:42:00.200Z", 3},
        {"recording", ExportStretch::Whole, "a.h5", 0, 18000000, "0", "2026-12-07T23:42:00.000Z", 2},
    };
    for (const PlanCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.source << " " << c.file);
        const ExportSource& source = *std::find_if(std::begin(sources), std::end(sources), [&](const auto& s) {
                                          return std::string(s.first) == c.source;
                                      })->second;
        const ExportPlan plan = PlanExport(source, c.choice, false, c.file);
        ASSERT_EQ(plan.Problem, "");
        EXPECT_EQ(plan.What.First, c.first);
        EXPECT_EQ(plan.What.Count, c.count);
        EXPECT_EQ(source.Times.SecondsText(plan.What.First), c.firstTime);
        double time = 0;
        SetTimes(plan.What.First + plan.What.TimeOffset, 5000, {&time, 1});
        EXPECT_DOUBLE_EQ(time, std::stod(c.firstTime));
        EXPECT_EQ(plan.What.StartedUtc, c.startedUtc);
        EXPECT_EQ(plan.What.Traces.size(), c.traces);
        EXPECT_EQ(plan.Traces.size(), c.traces);
    }
}

struct ProblemCase {
    ExportStretch choice;
    bool markSet;
    const char* file;
    const char* problem;
};

TEST(ExportsTest, WhatCannotBeWrittenIsSaidBeforeAnyFileIsTouched) {
    const CountingSource window(100000);
    const ProblemCase cases[] = {
        {ExportStretch::View, true, "a.txt", "name the format by the suffix .mat, .h5, .csv"},
        {ExportStretch::View, true, "mat", "name the format by the suffix .mat, .h5, .csv"},
        {ExportStretch::MarkToCursor, false, "a.mat", "no sample sets in the stretch"},
        {ExportStretch::Whole, true, "a.csv", ""},
    };
    for (const ProblemCase& c : cases) {
        ExportSource source = SourceOver(window, Timeline::Window(TimelineSource::File, std::nullopt, std::nullopt));
        if (!c.markSet) source.Mark.reset();
        EXPECT_EQ(PlanExport(source, c.choice, false, c.file).Problem, c.problem) << c.file;
    }
}

class ExportsFiles : public ScratchDir {};

TEST_F(ExportsFiles, ACsvExportOfAWindowWritesTheReadoutsTimes) {
    const CountingSource window(100000);
    const ExportSource source = SourceOver(window, Timeline::Window(TimelineSource::FrozenWindow, 120000, kRun));
    const std::string path = PathOf("window.csv");
    const ExportPlan plan = PlanExport(source, ExportStretch::MarkToCursor, true, path);
    ASSERT_TRUE(WriteExport(source, plan, path).Ok);
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "time_s,DC_bus (Vdc),Channel 2,Ref1\r\n"
                          "0.0006,1002,2002,5002\r\n0.0008,1003,2003,5003\r\n0.001,1004,2004,5004\r\n");
}

// A window whose trace t reads t x 100 + position + `shift`: a capture that moves on.
class MovingWindow final : public TraceSource {
public:
    MovingWindow() { Move(0); }
    void Move(int shift) {
        for (int t = 0; t < kChannelCount + kReferenceCount; ++t)
            for (int x = 0; x < kWindowPositions; ++x) traces_[t][x] = std::int16_t((t + 1) * 100 + x + shift);
    }
    int length() const override { return kWindowPositions; }
    double sampleRateHz() const override { return 5000; }
    WindowSamples samples(int t) const override { return {traces_[t - 1], {}}; }
    SampleRuns samplesOver(int t, PositionStretch s) const override {
        return {{std::span<const std::int16_t>(traces_[t - 1]).subspan(s.First, s.count()), {}}};
    }

private:
    std::array<std::array<std::int16_t, kWindowPositions>, kChannelCount + kReferenceCount> traces_;
};

// What an export job writes is what its source held when it was made: a window that moves on,
// math values recomputed and a recording closed meanwhile change nothing; it is written on
// another thread. Sets 2..4 (mark 4, cursor 2), Ch1, Ch2, Ref1 and a math vector, raw or not.
TEST_F(ExportsFiles, AJobWritesWhatTheSourceHeldWhenItWasMade) {
    // The recording: channel c of set n reads (c + 1) x 100 + n; the reference its window's.
    const std::string recordingPath = PathOf("r.arec");
    {
        RecordingWriter writer;
        ASSERT_EQ(writer.Create(recordingPath, RecordingHeader{"2026-12-07T23:42:00.000Z", "test", "", {}}), "");
        std::vector<std::int16_t> sets;
        for (int n = 0; n < 10; ++n)
            for (int c = 0; c < kRecordingChannels; ++c) sets.push_back(std::int16_t((c + 1) * 100 + n));
        ASSERT_TRUE(writer.Write(sets));
        ASSERT_TRUE(writer.Close());
    }
    struct Row { const char* source; bool raw; const char* text; };
    const Row rows[] = {
        {"window", true, "time_s,DC_bus (Vdc),Channel 2,Ref1\r\n0.0006,102,202,502\r\n0.0008,103,203,503\r\n0.001,104,204,504\r\n"},
        {"window", false,
         "time_s,DC_bus (Vdc),Channel 2,Ref1,Math 1\r\n0.0006,10.2,202,502,0.5\r\n0.0008,10.3,203,503,1.5\r\n"
         "0.001,10.4,204,504,2.5\r\n"},
        {"recording", true, "time_s,DC_bus (Vdc),Channel 2,Ref1\r\n0.0004,102,202,502\r\n0.0006,103,203,503\r\n0.0008,104,204,504\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.source << (row.raw ? " raw" : ""));
        const auto record = std::make_unique<CaptureRecord>();
        for (int x = 0; x < kWindowPositions; ++x) record->ReferenceTrace[0][x] = std::int16_t(500 + x);
        auto window = std::make_unique<MovingWindow>();
        std::unique_ptr<TraceSource> recording;
        if (std::string(row.source) == "recording") {
            RecordingReader::Opened opened = RecordingReader::Open(recordingPath);
            ASSERT_TRUE(opened.Reader) << opened.Error;
            recording = std::make_unique<RecordingTrace>(std::move(opened.Reader), *record, recordingPath);
        }
        const TraceSource& traces = recording ? *recording : *window;
        ExportSource source = SourceOver(traces, recording ? Timeline::Recording(kRun)
                                                           : Timeline::Window(TimelineSource::File, std::nullopt, std::nullopt));
        std::vector<double> math{0, 0, 0.5, 1.5, 2.5, 0};
        source.Math = [&math](PositionStretch s, std::vector<std::string>&) {
            return std::vector<DataVector>{{"Math 1", "t", std::span<const double>(math).subspan(s.First, s.count())}};
        };
        const std::string path = PathOf("job.csv");
        ExportJob job(source, PlanExport(source, ExportStretch::MarkToCursor, row.raw, path), path);
        // Everything the job read from changes or goes.
        window->Move(7);
        std::fill(math.begin(), math.end(), -1.0);
        record->ReferenceTrace[0].fill(0);
        recording.reset();
        FileResult result{false, "not run", false};
        std::thread([&] { result = job.Run({}); }).join();
        ASSERT_TRUE(result.Ok) << result.Error;
        EXPECT_EQ(ReadBytes(path), row.text);
    }
}

}  // namespace
}  // namespace altrix::testing
