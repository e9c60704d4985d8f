// The display model without a window: the points it hands its sink, the trigger level it
// accepts for RUN, and, against the simulated drive, what it reads while a Normal trigger's
// window is frozen on screen.

#include "ScopeDisplay.h"

#include "RecordingSink.h"

#include "CsvExport.h"
#include "DriveModel.h"
#include "DriveTestSupport.h"
#include "Readout.h"
#include "Statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <vector>

namespace altrix::testing {
namespace {

class ScopeDisplayTest : public ::testing::Test {
protected:
    void SetUp() override { display_.SetSink(&sink_); }
    CaptureRecord& record() { return session_.record(); }

    CaptureSession session_;
    ScopeDisplay display_{session_};
    RecordingSink sink_;
};

// Point counts at their strides, picked from the oldest end of the window after a wrap, and
// closed by the newest sample at 99999 (stride 1 ends at 99998); values truncated toward zero.
TEST_F(ScopeDisplayTest, ChannelPointsAtTheStrideOfTheirCount) {
    struct Row {
        std::int32_t pointCount;
        int stride;
        std::size_t points;
        float scale;
    };
    const Row table[] = {{2000, 50, 2001, 1.0f},   {2500, 40, 2501, 0.5f},  {6500, 15, 6668, 1.0f},
                         {10000, 10, 10001, 50.0f}, {20000, 5, 20001, YScaleGain("0.33")}, {100000, 1, 99999, 1.0f}};
    record().NextSample = 12345;
    for (int slot = 0; slot < kTraceSlots; ++slot) record().ChannelTrace[0][slot] = Pattern(slot);
    for (const Row& row : table) {
        display_.DrawWaveform(1, row.pointCount, row.scale, 1);
        const std::vector<Point>& points = sink_.series[1];
        ASSERT_EQ(points.size(), row.points) << row.pointCount;
        const auto plotted = [&](int x) {
            // Window position x shows slot NextSample + x - 100000, wrapped.
            const int slot = (12345 + x - 100000 + kTraceSlots) % kTraceSlots;
            return std::trunc(double(Pattern(slot)) * double(row.scale));
        };
        const std::size_t picked = row.stride == 1 ? points.size() : points.size() - 1;
        for (std::size_t i = 0; i < picked; ++i) {
            const int x = static_cast<int>(i) * row.stride;
            ASSERT_EQ(points[i], (Point{x, plotted(x)})) << row.pointCount;
        }
        EXPECT_EQ(points.back().first, row.stride == 1 ? 99998 : 99999) << row.pointCount;
        if (row.stride != 1) EXPECT_EQ(points.back().second, plotted(99999)) << row.pointCount;
    }
}

// References are stored by position: a shown one at the stride up to 99999 and then its closing
// point, a hidden one only the closing point; DrawRef takes both scales from their Y-scales.
TEST_F(ScopeDisplayTest, DrawRefDrawsShownReferencesByPosition) {
    struct Row {
        std::int32_t pointCount;
        int stride;
        std::size_t points;
    };
    const Row table[] = {{20000, 5, 20001}, {6500, 15, 6668}, {100000, 1, 100001}};
    for (int x = 0; x < kWindowPositions; ++x) record().ReferenceTrace[0][x] = Pattern(x);
    record().ReferenceTrace[1][99999] = 321;
    display_.SetReferenceShown(1, true);
    display_.SetReferenceYScale(1, 10);  // "2"
    for (const Row& row : table) {
        display_.View().DrawPointCount = row.pointCount;
        display_.DrawRef();
        EXPECT_EQ(display_.View().RefScale, (std::array<float, 2>{2.0f, 1.0f}));
        const std::vector<Point>& points = sink_.series[SeriesOfTrace(5)];
        ASSERT_EQ(points.size(), row.points) << row.pointCount;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
            const int x = static_cast<int>(i) * row.stride;
            ASSERT_EQ(points[i], (Point{x, 2.0 * Pattern(x)})) << row.pointCount;
        }
        EXPECT_EQ(points.back(), (Point{99999, 2.0 * Pattern(99999)}));
        EXPECT_EQ(sink_.series[SeriesOfTrace(6)], (std::vector<Point>{{99999, 321}}));
    }
}

// RUN takes the level only when the trigger waits for one; a level that is no number keeps RUN
// from starting, whatever the settings file or the user gave.
TEST_F(ScopeDisplayTest, RunRefusesATriggerLevelThatIsNoNumber) {
    struct Row {
        TriggerMode mode;
        TriggerCondition condition;
        const char* level;
        bool refused;
        bool red;  // the level shown as no number
    };
    const Row table[] = {
        {TriggerMode::Normal, TriggerCondition::Rising, "12.5", false, false},
        {TriggerMode::Single, TriggerCondition::Falling, "-3", false, false},
        {TriggerMode::Single, TriggerCondition::Either, ".5", false, false},
        {TriggerMode::Normal, TriggerCondition::Rising, "", true, true},
        {TriggerMode::Single, TriggerCondition::Rising, "-", true, true},
        {TriggerMode::Normal, TriggerCondition::Either, "abc", true, true},
        {TriggerMode::Normal, TriggerCondition::Rising, "12abc", true, true},
        {TriggerMode::Normal, TriggerCondition::Rising, "1.2.3", true, true},
        {TriggerMode::Off, TriggerCondition::Rising, "abc", false, true},   // no trigger waits
        {TriggerMode::Normal, TriggerCondition::BitSet, "abc", false, false},  // a bit, not a level
    };
    display_.SetChannelAddress(1, QStringLiteral("9000"));
    for (const Row& row : table) {
        display_.SetTrigger({row.mode, 1, row.condition, row.level, 0, 50});
        const ScopeDisplay::RunSetup run = display_.CaptureSetupForRun();
        EXPECT_EQ(run.BadTriggerLevel, row.refused) << row.level;
        EXPECT_EQ(run.Setup.has_value(), !row.refused) << row.level;
        EXPECT_EQ(display_.TriggerLevelValid(), !row.red) << row.level;
    }
}

// While a Normal trigger's window is frozen on screen and the capture runs on behind it,
// everything the display reads (measurements, spectrum, exports, readouts) is that window.
TEST_F(ScopeDisplayTest, AFrozenNormalWindowIsWhatEveryReaderSees) {
    constexpr std::uint16_t kPidReference = 0x901a;  // steps between 40 % and 60 % every 5 s
    RunningDrive drive({}, 10.0);
    ASSERT_TRUE(drive.Started()) << drive.Error();
    display_.SetChannelAddress(1, QString::number(kPidReference, 16));
    display_.SetTrigger({TriggerMode::Normal, 1, TriggerCondition::Either, "50", 0, 50});
    const ScopeDisplay::RunSetup run = display_.CaptureSetupForRun();
    ASSERT_TRUE(run.Setup);
    ASSERT_TRUE(session_.Start(drive.Link(), *run.Setup));
    // Frozen, and the live ring has moved on past it.
    ASSERT_TRUE(WaitUntil([&] {
        session_.Tick();
        return session_.ShownNextSample() != record().NextSample;
    }, std::chrono::seconds(30)));
    ASSERT_TRUE(WaitUntil([&] {
        session_.Tick();
        return (record().NextSample - session_.ShownNextSample() + kTraceSlots) % kTraceSlots > 20000;
    }, std::chrono::seconds(30)));

    const ChannelSamples& frozen = session_.ShownTrace(1);
    const std::int32_t shownNext = session_.ShownNextSample();
    const auto frozenAt = [&](int x) { return frozen[SlotOfPosition(shownNext, x)]; };
    // The window differs from the live ring somewhere, or the test would prove nothing.
    int differing = 0;
    for (int x = 0; x < kWindowPositions; ++x)
        differing += frozenAt(x) != record().ChannelTrace[0][SlotOfPosition(record().NextSample, x)];
    ASSERT_GT(differing, 0);

    // Measurements and spectrum read the source over the stretch; exports read its samples.
    const PositionStretch stretch{0, kNewestPosition};
    const SampleRuns runs = display_.Source().samplesOver(1, stretch);
    std::int64_t sum = 0, expected = 0;
    for (const auto& part : runs.Runs)
        for (std::int16_t v : part) sum += v;
    for (int x = 0; x < kWindowPositions; ++x) expected += frozenAt(x);
    EXPECT_EQ(sum, expected);
    const WindowSamples window = display_.Source().samples(1);
    for (int x = 0; x < kWindowPositions; x += 997) ASSERT_EQ(window[x], frozenAt(x)) << x;
    // The cursor's readout and the tick's newest value.
    display_.SetReadoutEnabled(true);
    display_.MoveCursor(4321);
    EXPECT_EQ(display_.ReadoutTexts()[DataReadout(1)], QString::number(frozenAt(4321)));
    display_.ShowCaptureTick();
    EXPECT_EQ(display_.ReadoutTexts()[DataReadout(1)], QString::number(frozenAt(kNewestPosition)));
    session_.Stop();
}

// Lanes split the shared vertical axis top to bottom; a trace's fit spans its band less the
// margins, a flat fit is widened about its value, and values beyond the fit stay in the band.
TEST(LanesTest, SplitTheAxisAndFitEachTraceInsideItsBand) {
    const double half = -0.5;  // 32767 - 65535 / 2
    const double margin = 0.15 * 32767.5;
    const struct {
        std::vector<int> traces;
        std::vector<PlottedRange> fits;
        int lane;
        double lower, upper;
        std::vector<std::pair<double, double>> plottedToCoordinate;
    } cases[] = {
        {{2}, {{-10, 10}}, 0, -32768, 32767, {{-10, -32768 + 0.15 * 65535}, {0, -0.5}, {10, 32767 - 0.15 * 65535}}},
        {{1, 5}, {{0, 100}, {-3, 7}}, 0, half, 32767,
         {{0, half + margin}, {100, 32767 - margin}, {1000, 32767}, {-1000, half}}},
        {{1, 5}, {{0, 100}, {-3, 7}}, 1, -32768, half, {{-3, -32768 + margin}, {7, half - margin}}},
        {{1, 5}, {{0, 100}, {5, 5}}, 1, -32768, half, {{5, (-32768 + half) / 2}, {4, -32768 + margin}}},
        {{1, 2, 3}, {{0, 1}, {0, 1}, {0, 1}}, 1, 32767 - 2 * 21845, 32767 - 21845, {}},
    };
    for (const auto& c : cases) {
        const std::vector<Lane> lanes = LayOutLanes(c.traces, c.fits);
        ASSERT_EQ(lanes.size(), c.traces.size());
        const Lane& lane = lanes[static_cast<std::size_t>(c.lane)];
        SCOPED_TRACE(lane.Trace);
        EXPECT_EQ(lane.Trace, c.traces[static_cast<std::size_t>(c.lane)]);
        EXPECT_NEAR(lane.Lower, c.lower, 1e-9);
        EXPECT_NEAR(lane.Upper, c.upper, 1e-9);
        for (const auto& [plotted, coordinate] : c.plottedToCoordinate) {
            EXPECT_NEAR(LaneCoordinate(lane, plotted), coordinate, 1e-6) << plotted;
            if (coordinate > lane.Lower && coordinate < lane.Upper)
                EXPECT_NEAR(PlottedScaleOf(lane).valueAt(coordinate), plotted, 1e-9) << plotted;
        }
    }
}

// The legend lists the shown traces in order with their units, and their readouts while the
// cursor is on the chart inside the window.
TEST_F(ScopeDisplayTest, LegendListsShownTracesWithUnitsAndCursorValues) {
    record().ChannelTrace[0].fill(1234);
    record().ChannelTrace[2].fill(-7);
    record().ReferenceTrace[0][500] = 42;
    display_.ChooseQuantity(1, 4);  // Output current (A rms), gain 0.01
    display_.SetChannelAddress(3, QStringLiteral("9004"));
    display_.SetReferenceShown(1, true);
    display_.SetReadoutEnabled(true);
    display_.MoveCursor(500);
    const struct {
        bool atCursor;
        std::int32_t cursor;
        std::vector<LegendItem> items;
    } cases[] = {
        {false, 500, {{1, "Output current (A rms)", "A rms", ""}, {3, "Channel 3", "", ""}, {8, "Ref 1", "", ""}}},
        {true, 500,
         {{1, "Output current (A rms)", "A rms", "12.34"}, {3, "Channel 3", "", "-7"}, {8, "Ref 1", "", "42"}}},
        {true, -3, {{1, "Output current (A rms)", "A rms", ""}, {3, "Channel 3", "", ""}, {8, "Ref 1", "", ""}}},
    };
    for (const auto& c : cases) {
        display_.MoveCursor(c.cursor);
        const std::vector<LegendItem> items = display_.LegendItems(c.atCursor);
        ASSERT_EQ(items.size(), c.items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].Series, c.items[i].Series);
            EXPECT_EQ(items[i].Name, c.items[i].Name);
            EXPECT_EQ(items[i].Unit, c.items[i].Unit);
            EXPECT_EQ(items[i].Value, c.items[i].Value) << c.atCursor << " at " << c.cursor;
        }
    }
}

// Overlaid, the vertical axis reads a trace's plotted values in its units; in lanes each trace
// is drawn into its band, fitted to it, and its band's scale reads the same units.
TEST_F(ScopeDisplayTest, LanesDrawEachTraceIntoItsBandOnItsOwnScale) {
    for (int x = 0; x < kWindowPositions; ++x) record().ReferenceTrace[0][x] = static_cast<std::int16_t>(x % 200 - 100);
    record().ReferenceTrace[1].fill(1000);
    display_.View().DrawPointCount = 100000;  // every sample
    display_.SetReferenceShown(1, true);
    display_.SetReferenceShown(2, true);
    display_.SetGain(5, QStringLiteral("0.5"));
    display_.SetReferenceYScale(1, 20);  // "25"

    EXPECT_EQ(display_.YAxisTrace(), 5);
    EXPECT_NEAR(display_.ValueScale(5).valueAt(99 * 25), 49.5, 1e-9);
    const std::optional<PlottedRange> shown = display_.ShownRange();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->Lower, -2500);
    EXPECT_EQ(shown->Upper, 2475);

    display_.ShowLanes(true);
    const std::vector<Lane> lanes = display_.Lanes();
    ASSERT_EQ(lanes.size(), 2u);
    const double margin = 0.15 * 32767.5;
    const auto extremes = [this](int series) {
        const std::vector<Point>& points = sink_.series[series];
        const auto [low, high] = std::minmax_element(points.begin(), points.end(),
                                                     [](Point a, Point b) { return a.second < b.second; });
        return std::pair{low->second, high->second};
    };
    const auto [low8, high8] = extremes(8);
    EXPECT_NEAR(low8, -0.5 + margin, 1e-6);
    EXPECT_NEAR(high8, 32767 - margin, 1e-6);
    const auto [low9, high9] = extremes(9);  // flat: the middle of the lower band
    EXPECT_NEAR(low9, (-32768 - 0.5) / 2, 1e-6);
    EXPECT_NEAR(high9, (-32768 - 0.5) / 2, 1e-6);
    EXPECT_NEAR(display_.ValueScale(5).valueAt(high8), 49.5, 1e-9);
    EXPECT_NEAR(display_.ValueScale(5).valueAt(low8), -50, 1e-9);
    EXPECT_NEAR(display_.ValueScale(6).valueAt(low9), 1000, 1e-9);
    const GraticuleScales scales = display_.Scales();
    ASSERT_EQ(scales.Bands.size(), 2u);
    EXPECT_EQ(scales.Bands[0].Title, "Ref 1");
    EXPECT_EQ(scales.Bands[1].Title, "Ref 2");
    EXPECT_NEAR(scales.Bands[1].Upper, -0.5, 1e-9);
    EXPECT_NEAR(scales.Time.valueAt(99999), 20.0, 1e-9);  // the Time readout's seconds

    // Ref 1 halved keeps its wider fit until its own lane is fitted; fitting Ref 2's leaves it.
    for (std::int16_t& sample : record().ReferenceTrace[0]) sample = static_cast<std::int16_t>(sample / 2);
    display_.FitLanes(6);
    EXPECT_LT(extremes(8).second, 32767 - 2 * margin);
    display_.FitLanes(5);
    EXPECT_NEAR(extremes(8).second, 32767 - margin, 1e-6);

    display_.ShowLanes(false);
    EXPECT_EQ(extremes(8), (std::pair<double, double>{-1250, 1225}));
}

// Overlaid, every trace is read on an axis of its own units: a trace's plotted value read on
// the axis that labels its series is the value its readout (the legend's) shows, whatever its
// gain and Y-scale. Traces of one unit on one scale share an axis; the first trace's axis is on
// the left with the grid, the others alternate right and left.
TEST_F(ScopeDisplayTest, EachTraceReadsItsOwnValueOnItsOwnAxis) {
    const struct {
        int trace;
        int quantity;        // preset row; -1: a reference with gain "0.5"
        int yScale;          // row of the Y-scale list
        std::int16_t raw;
        double value;        // raw x the preset's gain, worked out by hand
        std::size_t axis;    // index of the band that labels it
        const char* title;
        bool right;
    } rows[] = {
        {1, 2, 8, 5400, 540.0, 0, "Vdc", false},        // DC bus, gain 0.1
        {2, 1, 8, 5000, 50.0, 1, "Hz", true},           // output frequency, gain 0.01
        {3, 4, 10, -1234, -12.34, 2, "A rms", false},   // output current, gain 0.01, Y-scale 2
        {4, 4, 10, 250, 2.5, 2, "A rms", false},        // the same unit and scale: the same axis
        {5, -1, 4, 77, 38.5, 3, "Ref 1", true},         // gain 0.5, Y-scale 0.33
    };
    for (const auto& row : rows) {
        if (row.trace <= kChannelCount) {
            record().ChannelTrace[static_cast<std::size_t>(row.trace - 1)].fill(row.raw);
            display_.ChooseQuantity(row.trace, row.quantity);
            display_.SetChannelYScale(row.trace, row.yScale);
        } else {
            record().ReferenceTrace[0].fill(row.raw);
            display_.SetGain(5, QStringLiteral("0.5"));
            display_.SetReferenceShown(1, true);
            display_.SetReferenceYScale(1, row.yScale);
        }
    }
    // A math trace in its own unit: ch1 in kV, drawn at its own full scale, over a window that
    // holds a capture's sets.
    record().SetCount = kWindowPositions;
    display_.SetMath(1, {true, "Bus", "kV", "ch1/1000"});
    display_.RedrawShownChannels();
    display_.DrawRef();
    display_.SetReadoutEnabled(true);
    display_.MoveCursor(4321);
    const std::vector<LegendItem> legend = display_.LegendItems(true);
    const GraticuleScales scales = display_.Scales();
    ASSERT_EQ(scales.Bands.size(), 5u);
    const auto check = [&](int series, double value, std::size_t axis, const char* title, bool right) {
        SCOPED_TRACE(series);
        const ScaleBand& band = scales.Bands[axis];
        EXPECT_NE(std::find(band.Series.begin(), band.Series.end(), series), band.Series.end());
        EXPECT_EQ(band.Title, title);
        EXPECT_EQ(band.Right, right);
        EXPECT_EQ(band.Grid, axis == 0);
        const auto item = std::find_if(legend.begin(), legend.end(), [&](const LegendItem& i) { return i.Series == series; });
        ASSERT_NE(item, legend.end());
        EXPECT_NEAR(item->Value.toDouble(), value, 1e-9);
        // Plotted values are truncated to whole counts of the Y-scale: one count is the tolerance.
        const double plotted = sink_.series[series].at(100).second;
        EXPECT_NEAR(band.Scale.valueAt(plotted), value, std::abs(band.Scale.Factor)) << plotted;
    };
    for (const auto& row : rows) check(SeriesOfTrace(row.trace), row.value, row.axis, row.title, row.right);
    check(SeriesOfTrace(kTraceCount + 1), 0.54, 4, "kV", false);

    // The chosen trace's axis comes first, on the left, with the grid.
    display_.SetYAxisTrace(2);
    const GraticuleScales chosen = display_.Scales();
    ASSERT_EQ(chosen.Bands.size(), 5u);
    EXPECT_EQ(chosen.Bands[0].Title, "Hz");
    EXPECT_FALSE(chosen.Bands[0].Right);
    EXPECT_EQ(chosen.Bands[1].Title, "Vdc");
    EXPECT_TRUE(chosen.Bands[1].Right);
}

// Fit fits what the view shows: overlaid the range of the traces over the view, in lanes each
// lane over the view. A lane keeps its range as the view moves, until it is fitted again.
TEST_F(ScopeDisplayTest, FitFitsTheZoomedView) {
    // Channel 1: -20000 up to position 49999, then a saw 0..999 of period 1000.
    for (int x = 0; x < kWindowPositions; ++x)
        record().ChannelTrace[0][SlotOfPosition(record().NextSample, x)] =
            static_cast<std::int16_t>(x < 50000 ? -20000 : x % 1000);
    display_.SetChannelAddress(1, QStringLiteral("9000"));
    const auto view = [&](double lower, double upper) {
        display_.SetView({lower, upper, 1000}, lower, upper);
    };
    const struct {
        double lower, upper;
        PlottedRange shown;
        PlottedRange lane;  // a flat range widened by a tenth of its value about it
    } cases[] = {
        {70000, 70999, {0, 999}, {0, 999}},
        {10000, 10999, {-20000, -20000}, {-22000, -18000}},
        {49000, 51999, {-20000, 999}, {-20000, 999}},
        {0, 99999, {-20000, 999}, {-20000, 999}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lower);
        display_.ShowLanes(false);
        view(c.lower, c.upper);
        const std::optional<PlottedRange> shown = display_.ShownRange();
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->Lower, c.shown.Lower);
        EXPECT_EQ(shown->Upper, c.shown.Upper);
        // Turning lanes on fits them to the view; a flat range is widened about its value.
        display_.ShowLanes(true);
        const PlottedRange expected = c.lane;
        ASSERT_EQ(display_.Lanes().size(), 1u);
        EXPECT_EQ(display_.Lanes()[0].Fit.Lower, expected.Lower);
        EXPECT_EQ(display_.Lanes()[0].Fit.Upper, expected.Upper);
        // Another view keeps the lane's range, drawn or not, until Fit.
        view(70000, 70999);
        display_.RedrawShownChannels();
        EXPECT_EQ(display_.Lanes()[0].Fit.Lower, expected.Lower);
        EXPECT_EQ(display_.Lanes()[0].Fit.Upper, expected.Upper);
        display_.FitLanes();
        EXPECT_EQ(display_.Lanes()[0].Fit.Lower, 0);
        EXPECT_EQ(display_.Lanes()[0].Fit.Upper, 999);
    }
}

// A rectangle drawn in a lane shows its rows over the whole band of that lane; the others stay.
TEST_F(ScopeDisplayTest, ARectangleInALaneZoomsThatLaneOnly) {
    record().ChannelTrace[0].fill(100);
    record().ChannelTrace[1].fill(-100);
    record().ChannelTrace[0][SlotOfPosition(record().NextSample, 5)] = 300;
    record().ChannelTrace[1][SlotOfPosition(record().NextSample, 5)] = -300;
    display_.SetChannelAddress(1, QStringLiteral("9000"));
    display_.SetChannelAddress(2, QStringLiteral("9004"));
    display_.ShowLanes(true);
    const std::vector<Lane> before = display_.Lanes();
    ASSERT_EQ(before.size(), 2u);
    // The values 150..250 of channel 1, as coordinates of its band.
    const LinearScale values = display_.ValueScale(1);
    display_.ZoomLane(1, values.coordinateOf(150), values.coordinateOf(250));
    const std::vector<Lane> after = display_.Lanes();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_NEAR(display_.ValueScale(1).valueAt(after[0].Lower), 150, 1e-6);
    EXPECT_NEAR(display_.ValueScale(1).valueAt(after[0].Upper), 250, 1e-6);
    EXPECT_EQ(after[1].Fit.Lower, before[1].Fit.Lower);
    EXPECT_EQ(after[1].Fit.Upper, before[1].Fit.Upper);
    EXPECT_EQ(after[0].Lower, before[0].Lower);
    EXPECT_EQ(after[1].Lower, before[1].Lower);
}

// During a capture the legend shows each trace's newest value, or its value at the mouse; the
// lanes fit themselves to the capture's first sets (the reset window's zeros left out) and
// then keep their range as the capture goes on, until Fit.
TEST_F(ScopeDisplayTest, ACaptureShowsLiveLegendValuesAndFitsItsLanesOnce) {
    constexpr std::uint16_t kPidReference = 0x901a;  // between 40 % and 60 %, never 0
    RunningDrive drive({}, 4.0);
    ASSERT_TRUE(drive.Started()) << drive.Error();
    display_.SetChannelAddress(1, QString::number(kPidReference, 16));
    display_.ShowLanes(true);
    const ScopeDisplay::RunSetup run = display_.CaptureSetupForRun();
    ASSERT_TRUE(run.Setup);
    ASSERT_TRUE(session_.Start(drive.Link(), *run.Setup));
    ASSERT_TRUE(WaitUntil([&] {
        session_.Tick();
        return record().SetCount > 0;
    }, std::chrono::seconds(30)));
    const PlottedRange first = display_.Lanes().at(0).Fit;
    EXPECT_GT(first.Lower, 0) << "no zero-based range";
    const std::int32_t newest = kWindowPositions - static_cast<std::int32_t>(record().SetCount);
    const WindowSamples window = display_.Source().samples(1);
    std::int16_t lowest = window[kNewestPosition], highest = lowest;
    for (int x = std::max(newest, 0); x < kNewestPosition; ++x) {
        lowest = std::min(lowest, window[x]);
        highest = std::max(highest, window[x]);
    }
    // A flat start is widened by a tenth of its value on both sides.
    const double widen = lowest == highest ? std::max(1.0, std::abs(double(lowest)) * 0.1) : 0.0;
    EXPECT_EQ(first.Lower, lowest - widen);
    EXPECT_EQ(first.Upper, highest + widen);

    // The legend at the newest set, then at the mouse's position (gain 1: the raw sample).
    display_.MoveCursor(99000);
    const struct {
        bool atCursor;
        std::int32_t position;
    } cases[] = {{false, kNewestPosition}, {true, 99000}};
    for (const auto& c : cases) {
        const std::vector<LegendItem> items = display_.LegendItems(c.atCursor);
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].Value, QString::number(display_.Source().samples(1)[c.position])) << c.atCursor;
    }

    ASSERT_TRUE(WaitUntil([&] {
        session_.Tick();
        return record().SetCount > 20000;
    }, std::chrono::seconds(30)));
    EXPECT_EQ(display_.Lanes().at(0).Fit.Lower, first.Lower) << "the range stays";
    EXPECT_EQ(display_.Lanes().at(0).Fit.Upper, first.Upper);
    session_.Stop();
}

// Math traces over the window in units: drawn with gaps where they have no value, measured, and
// written as CSV columns after the channels; a window that moves on is followed set by set.
TEST_F(ScopeDisplayTest, MathTracesAreDrawnMeasuredExportedAndFollowTheWindow) {
    // ch1 = raw (x mod 7) - 3 at gain 0.1, ch2 = raw +-5 alternating at gain 2.
    const auto raw1 = [](int slot) { return static_cast<std::int16_t>(slot % 7 - 3); };
    const auto raw2 = [](int slot) { return static_cast<std::int16_t>(slot % 2 ? -5 : 5); };
    const auto fill = [&](int from, int to) {
        for (int slot = from; slot < to; ++slot) {
            record().ChannelTrace[0][slot % kTraceSlots] = raw1(slot % kTraceSlots);
            record().ChannelTrace[1][slot % kTraceSlots] = raw2(slot % kTraceSlots);
        }
    };
    fill(0, kTraceSlots);
    record().NextSample = 1000;
    record().SetCount = kTraceSlots;  // as a capture that filled the window leaves it
    display_.SetGain(1, QStringLiteral("0.1"));
    display_.SetGain(2, QStringLiteral("2"));
    display_.SetMath(1, {true, "Power", "W", "ch1*ch2"});
    display_.SetMath(2, {true, "", "", "1/ch1 + mean(ch1, 0.001)"});  // 0.001 s: 5 sets
    display_.RedrawShownChannels();
    // In units: the double nearest to each readout value, then their product.
    const auto power = [&](int slot) { return (raw1(slot) / 10.0) * (raw2(slot) * 2.0); };
    // A window computed whole has no mean over its first 4 positions; one that moved on keeps
    // what its sets had before.
    const auto check = [&](std::int32_t next, bool whole) {
        const std::span<const double> values1 = display_.MathValues(1), values2 = display_.MathValues(2);
        ASSERT_EQ(values1.size(), std::size_t{kWindowPositions});
        for (int x = 0; x < kWindowPositions; x += 1) {
            const int slot = SlotOfPosition(next, x);
            ASSERT_EQ(values1[x], power(slot)) << x;
            if (raw1(slot) == 0 || (whole && x < 4)) {
                ASSERT_TRUE(std::isnan(values2[x])) << x;
                continue;
            }
            double sum = 0;
            for (int k = 0; k < 5; ++k) sum += raw1((slot - k + kTraceSlots) % kTraceSlots) * 0.1;
            ASSERT_NEAR(values2[x], 10.0 / raw1(slot) + sum / 5, 1e-9) << x;
        }
    };
    check(1000, true);
    // Drawn in series 10 and 11 at the density's stride, a gap (NaN) where 1/ch1 has no value.
    const std::vector<Point>& drawn = sink_.series[SeriesOfTrace(kFirstMathTrace + 1)];
    ASSERT_EQ(drawn.size(), sink_.series[SeriesOfTrace(kFirstMathTrace)].size());
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const Point& p) { return std::isnan(p.second); }));
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const Point& p) { return std::isfinite(p.second); }));

    // The live window moved on by 321 sets, and by more than a window.
    for (const std::int32_t step : {321, 150000}) {
        const std::int32_t next = (record().NextSample + step) % kTraceSlots;
        record().NextSample = next;
        display_.ShowCaptureTick();
        check(next, step > kWindowPositions);
    }

    // Measured over positions 10..19 (ch1 x ch2 alternates in sign with ch1's value).
    const Measurement m = Measure(display_.MathValuesOver(1, {10, 19}), 5000);
    double sum = 0, squares = 0;
    for (int x = 10; x <= 19; ++x) {
        const double v = power(SlotOfPosition(record().NextSample, x));
        sum += v;
        squares += v * v;
    }
    EXPECT_EQ(m.Count, 10u);
    EXPECT_NEAR(m.Mean, sum / 10, 1e-12);
    EXPECT_NEAR(m.Rms, std::sqrt(squares / 10), 1e-12);

    // CSV: the math columns after the channels, headed by name and unit or "Math 2", and an
    // empty field where there is no value.
    CsvExport what;
    for (int k = 1; k <= kChannelCount; ++k) what.Channels[k - 1] = {display_.ColumnName(k), display_.Gain(k).Text};
    for (int t = kFirstMathTrace; t <= kFirstMathTrace + 1; ++t)
        what.Math.push_back({display_.ColumnName(t), display_.MathValues(t - kTraceCount)});
    what.First = 0;
    what.Last = 6;
    const std::string path = ::testing::TempDir() + "math.csv";
    ASSERT_TRUE(WriteCsvFile(WindowsOf(record()), what, path).Ok);
    std::ifstream file(path);
    std::string header, line;
    std::getline(file, header);
    EXPECT_EQ(header, "time_s,Channel 1,Channel 2,Channel 3,Channel 4,Power (W),Math 2\r");
    int zeros = 0;
    for (int x = 0; x <= 6; ++x) {
        std::getline(file, line);
        const int slot = SlotOfPosition(record().NextSample, x);
        // The last two fields: the power's shortest text, then 1/ch1 + mean or nothing.
        const std::size_t lastComma = line.rfind(','), powerComma = line.rfind(',', lastComma - 1);
        EXPECT_EQ(std::stod(line.substr(powerComma + 1, lastComma - powerComma - 1)), power(slot)) << line;
        if (raw1(slot) == 0 || x < 4) {
            EXPECT_EQ(line.substr(lastComma), ",\r") << line;
            ++zeros;
        }
    }
    EXPECT_GT(zeros, 0);
}

}  // namespace
}  // namespace altrix::testing
