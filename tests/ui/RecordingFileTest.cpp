// File > "Open recording...": a recording shown whole and zoomed to single sets, its channels,
// caption, readouts and measurements; files that are no recording refused with nothing on
// screen changed; RUN back to the window.

#include "MainframeFixture.h"
#include "Readout.h"
#include "RecordingWriter.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include <filesystem>
#include <fstream>

namespace altrix::testing {
namespace {

// Set n of the test recording: channel 1 a sawtooth of period 1000, channel 2 its negation,
// channel 3 the set's hundreds, channel 4 0.
std::int16_t Value(int c, std::int64_t n) {
    const auto saw = static_cast<std::int16_t>(n % 1000 - 500);
    return c == 0 ? saw : c == 1 ? static_cast<std::int16_t>(-saw) : c == 2 ? static_cast<std::int16_t>(n / 100 % 30000) : 0;
}

class RecordingFileTest : public MainframeTest {
protected:
    static constexpr std::int64_t kSets = 600'000;  // two minutes
    std::string path_ = (std::filesystem::temp_directory_path() / ("altrix-ui-" + std::to_string(::getpid()) + ".arec")).string();

    void SetUp() override {
        MainframeTest::SetUp();
        RecordingWriter writer;
        RecordingHeader header{"2026-12-07T03:00:00.000Z", "test", "", {}};
        header.Channels[0] = {"9004", "", "0.01", ""};
        ASSERT_EQ(writer.Create(path_, header), "");
        std::vector<std::int16_t> sets;
        for (std::int64_t n = 0; n < kSets; ++n)
            for (int c = 0; c < kRecordingChannels; ++c) sets.push_back(Value(c, n));
        ASSERT_TRUE(writer.Write(sets, std::vector<RecordingGap>{{300000, 5000, "reconnect"}},
                                 std::vector<RecordingEvent>{{450000, "trigger", "ch1 Rising: trigger condition met"}}));
    }
    void TearDown() override {
        MainframeTest::TearDown();
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path_ + suffix);
    }
    void open(const std::string& path) {
        prompts_.FileNames.push_back(QString::fromStdString(path));
        form_->findChild<QAction*>(QStringLiteral("OpenRecording1"))->trigger();
    }
};

TEST_F(RecordingFileTest, ShowsTheWholeRecordingThenSingleSetsWithReadoutsAndMeasurementsUntilRun) {
    // A recording made without math traces shows none, whatever was on before: its own are taken over.
    showChannel(1);
    record().SetCount = kWindowPositions;  // a capture's window on show
    form_->display().SetMath(1, {true, "", "", "ch1*2"});
    ASSERT_GT(chart().pointCount(SeriesOfTrace(kFirstMathTrace)), 0);
    open(path_);
    EXPECT_EQ(chart().pointCount(SeriesOfTrace(kFirstMathTrace)), 0);
    EXPECT_FALSE(form_->display().TraceShown(kFirstMathTrace));
    ASSERT_TRUE(prompts_.Messages.empty()) << prompts_.Messages[0].Text.toStdString();
    EXPECT_TRUE(form_->windowTitle().contains(QString::fromStdString(std::filesystem::path(path_).filename())));
    EXPECT_EQ(form_->display().Source().length(), kSets);
    EXPECT_EQ(chart().xAxis->range(), QCPRange(0, kSets - 1));
    EXPECT_EQ(chart().bandCount(), 1);
    chart().replot();
    // The whole: about two points a column, spanning the sawtooth's extremes.
    const Points whole = PointsOf(chart(), 1);
    EXPECT_LE(whole.size(), 2u * ScopeChart::kWidth + 2);
    const auto [low, high] = std::minmax_element(whole.begin(), whole.end(), [](Point a, Point b) { return a.y < b.y; });
    EXPECT_EQ(low->y, -500 * view().ChannelScale[0]);
    EXPECT_EQ(high->y, 499 * view().ChannelScale[0]);

    // Ten sets in view: every set from the one before the view to its right edge, at its position.
    chart().xAxis->setRange(123456, 123466);
    chart().replot();
    Points expected;
    for (std::int64_t n = 123455; n <= 123466; ++n) expected.push_back({double(n), std::trunc(Value(0, n) * view().ChannelScale[0])});
    EXPECT_EQ(PointsOf(chart(), 1), expected);

    // The cursor reads the set under it, its time from the start and as the time of day.
    form_->display().MoveCursor(123460);
    EXPECT_EQ(form_->display().ReadoutTexts()[DataReadout(1)], QString::fromStdString(CountDataValue(-40, "0.01").Text));
    EXPECT_EQ(form_->display().ReadoutTexts()[kTimeReadout], TimeText(24.692));
    EXPECT_EQ(find<QLabel>(QStringLiteral("RecordingClockLabel"))->text(),
              QStringLiteral("Cursor at ") + QDateTime::fromString(QStringLiteral("2026-12-07T03:00:24.692Z"), Qt::ISODateWithMs)
                                                 .toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));

    // Measurements over the whole: the sawtooth's exact mean and extremes, through the sums.
    const Measurement m = form_->display().Source().measure(1, {0, kSets - 1}, 0.01);
    EXPECT_EQ(m.Count, std::size_t(kSets));
    EXPECT_DOUBLE_EQ(m.Mean, -0.5 * 0.01);
    EXPECT_DOUBLE_EQ(m.Min, -5.0);
    EXPECT_DOUBLE_EQ(m.Max, 4.99);

    // RUN shows the window again.
    form_->display().ShowCaptureStarted();
    EXPECT_EQ(form_->display().Recording(), nullptr);
    EXPECT_EQ(form_->display().Source().length(), kWindowPositions);
    EXPECT_EQ(chart().xAxis->range(), QCPRange(0, kNewestPosition));

    // A recording written before math definitions were kept (no table) leaves the user's on.
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, "DROP TABLE math", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    form_->display().SetMath(1, {true, "", "", "ch1*2"});
    open(path_);
    EXPECT_EQ(form_->display().Source().length(), kSets);
    EXPECT_GT(chart().pointCount(SeriesOfTrace(kFirstMathTrace)), 0);
}

// Math traces over a view of the recording are its samples computed: each value checked against
// the channels' own values (channel 1 a sawtooth of period 1000 x 0.01, channel 3 the hundreds),
// the functions over time reading the sets before the view; drawn in every drawing mode at the
// values, in the legend at the cursor.
TEST_F(RecordingFileTest, MathTracesOverAViewAreComputedFromItsSetsWithTheHistoryBeforeIt) {
    open(path_);
    chart().xAxis->setRange(123456, 133456);
    chart().replot();
    const PositionStretch shown = form_->display().ViewStretch();
    ASSERT_EQ(shown, (PositionStretch{123456, 133456}));
    const auto ch1 = [](std::int64_t n) { return Value(0, n) * 0.01; };
    const struct { const char* expression; std::function<std::optional<double>(std::int64_t)> expected; } cases[] = {
        {"ch1*ch3", [&](std::int64_t n) { return ch1(n) * Value(2, n); }},
        {"ddt(ch1)", [&](std::int64_t n) { return (ch1(n) - ch1(n - 1)) * 5000; }},
        // A whole period of the sawtooth: its mean (-500 .. 499) x 0.01 at every set.
        {"mean(ch1, 0.2)", [](std::int64_t) { return -0.005; }},
        // From the view's first set; over each whole period the trapezoids sum to the period's mean x 0.2 s.
        {"integral(ch1)", [&](std::int64_t n) { return (n - shown.First) % 1000 ? std::nullopt : std::optional(-0.001 * double(n - shown.First) / 1000); }},
        {"t", [](std::int64_t n) { return double(n) / 5000; }},
    };
    for (const auto& c : cases) {
        form_->display().SetMath(1, {true, "", "", c.expression});
        ASSERT_EQ(form_->display().MathValuesOver(1, shown).size(), std::size_t(shown.count())) << c.expression;
        for (std::int64_t n = shown.First; n <= shown.Last; ++n)
            if (const std::optional<double> expected = c.expected(n))
                ASSERT_NEAR(form_->display().MathValueAt(1, std::int32_t(n)), *expected, 1e-9 * std::max(1.0, std::abs(*expected)))
                    << c.expression << " at set " << n;
        const double scale = double(float(kMathPlotSpan / form_->display().Math().FullScale(1)));
        for (const DrawingMode mode : {DrawingMode::Simplified, DrawingMode::Fast, DrawingMode::Envelope, DrawingMode::HighPrecision}) {
            form_->display().ChooseDrawingMode(mode);
            const Points points = PointsOf(chart(), SeriesOfTrace(kFirstMathTrace));
            ASSERT_GT(points.size(), 100u) << c.expression;
            for (const Point& p : points)
                if (const auto expected = c.expected(std::int64_t(p.x)); expected && std::isfinite(p.y))
                    ASSERT_NEAR(p.y, *expected * scale, 1e-6 * std::max(1.0, std::abs(*expected * scale))) << c.expression << " at " << p.x;
        }
    }
    form_->display().SetMath(1, {true, "", "", "ch1*ch3"});
    form_->display().MoveCursor(130000);
    const std::vector<LegendItem> legend = form_->display().LegendItems(true);
    ASSERT_FALSE(legend.empty());
    EXPECT_EQ(legend.back().Value, QString::number(ch1(130000) * Value(2, 130000), 'g', 6));
    // The exports take it over the view; over the whole it is left out and named.
    std::vector<std::string> leftOut;
    EXPECT_EQ(form_->display().MathVectorsOver(shown, leftOut).size(), 1u);
    EXPECT_TRUE(form_->display().MathVectorsOver({0, kSets - 1}, leftOut).empty());
    EXPECT_EQ(leftOut, std::vector<std::string>{"Math 1"});
}

TEST_F(RecordingFileTest, TheEventListShowsTheRecordingsEventsAndChoosingOneShowsItsSets) {
    open(path_);
    form_->findChild<QAction*>(QStringLiteral("Events1"))->trigger();
    auto* table = form_->findChild<QTableWidget*>(QStringLiteral("EventsTable"));
    ASSERT_NE(table, nullptr);
    // Its rows (EventListTest): the gap, then the trigger.
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_TRUE(form_->findChild<QLabel*>(QStringLiteral("EventsTitleLabel"))->text().startsWith(QLatin1String("2 events")));
    emit table->cellActivated(1, 0);
    const QCPRange view = chart().xAxis->range();
    EXPECT_TRUE(view.contains(450000)) << view.lower << ".." << view.upper;
    EXPECT_LE(view.size(), kNewestPosition);
}

TEST_F(RecordingFileTest, RefusesWhatIsNoRecordingAndChangesNothingOnScreen) {
    showChannel(1);
    const QString caption = form_->windowTitle();
    const Points before = PointsOf(chart(), 1);
    const std::string text = path_ + ".txt.arec";
    std::ofstream(text) << "time_s,A\r\n";
    const std::string newer = path_ + ".newer.arec";
    std::filesystem::copy_file(path_, newer);
    sqlite3* db = nullptr;
    sqlite3_open(newer.c_str(), &db);
    sqlite3_exec(db, "UPDATE meta SET value = '7' WHERE key = 'format_version'", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    for (const auto& [file, reason] : {std::pair{text, "not an SQLite database"}, std::pair{newer, "version 7, newer"}}) {
        prompts_.Messages.clear();
        open(file);
        ASSERT_EQ(prompts_.Messages.size(), 1u) << file;
        EXPECT_TRUE(prompts_.Messages[0].Text.contains(QLatin1String(reason))) << prompts_.Messages[0].Text.toStdString();
        EXPECT_EQ(form_->windowTitle(), caption);
        EXPECT_EQ(form_->display().Source().length(), kWindowPositions);
        EXPECT_EQ(PointsOf(chart(), 1), before);
        std::filesystem::remove(file);
    }
}

}  // namespace
}  // namespace altrix::testing
