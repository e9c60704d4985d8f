// The measurements and spectrum windows opened from the Analysis menu, following the mark,
// the cursor and the traces of the live window with the capture record filled directly.

#include "MainframeFixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include <cmath>
#include <numbers>
#include <vector>

namespace altrix::testing {
namespace {

class AnalysisTest : public MainframeTest {
protected:
    void SetUp() override {
        MainframeTest::SetUp();
        view().ReadoutEnabled = true;  // as after STOP
        record().NextSample = 50000;
        record().SetCount = kWindowPositions + 50000;
    }
    template <class Value>
    void fillChannel(int k, Value value) {
        for (int x = 0; x < kWindowPositions; ++x)
            record().ChannelTrace[k - 1][SlotOfPosition(record().NextSample, x)] = static_cast<std::int16_t>(value(x));
    }
    // The mouse over `position`: the view moves so that column 100 shows it, a position a column
    // whatever the chart's width (a dock beside it narrows it).
    void pointAt(int position) {
        chart().xAxis->setRange(position - 100, position - 100 + chart().width());
        form_->Chart1MouseMove(100);
        ASSERT_EQ(view().CursorPosition, position);
    }
    void settle() { QCoreApplication::processEvents(); }
    // The row's name and its first `columns` cells, joined.
    std::string row(const QTableWidget& table, int r, int columns = 7) const {
        QStringList cells{table.verticalHeaderItem(r)->text()};
        for (int c = 0; c < columns; ++c) cells << table.item(r, c)->text();
        return cells.join(QStringLiteral(" | ")).toStdString();
    }
};

TEST_F(AnalysisTest, TheTableFollowsTheMarkAndTheCursor) {
    showChannel(1);
    find<QLineEdit>("LabeledEdit1")->setText("0.1");
    fillChannel(1, [](int x) { return x / 10; });
    record().ReferenceTrace[1].fill(7);
    find<QLineEdit>("LabeledEdit6")->setText("2");
    find<QCheckBox>("CheckBox6")->setChecked(true);
    find<QAction>("Measurements1")->trigger();
    auto* table = find<QTableWidget>("MeasureTable");
    ASSERT_TRUE(table->window()->isVisible());

    // No mark: the visible positions, here the whole window. Raw values 0..9999 ten times
    // each: mean 4999.5, RMS sqrt(9999 x 19999 / 6), std dev sqrt((10000^2 - 1) / 12).
    chart().xAxis->setRange(0, 99999);
    settle();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(row(*table, 0), "Channel 1 | 0 | 999.9 | 499.95 | 577.307 | 999.9 | 288.675 | -");
    EXPECT_EQ(row(*table, 1), "Ref 2 | 14 | 14 | 14 | 14 | 0 | 0 | -");

    // Mark at 1000, cursor at 2000, then at 500, the view staying at 20 positions a
    // column: the stretch lies between them.
    chart().xAxis->setRange(0, 20000);
    form_->Chart1MouseMove(50);
    form_->Chart1DblClick();
    form_->Chart1MouseMove(100);
    settle();
    // 100..199 ten times each and 200 once: sum 149700, sum of squares 23223500, 1001 sets.
    EXPECT_EQ(row(*table, 0, 5), "Channel 1 | 10 | 20 | 14.955 | 15.2316 | 10");
    form_->Chart1MouseMove(25);
    settle();
    // 50..99 ten times each and 100 once: mean 37350 / 501.
    EXPECT_EQ(row(*table, 0, 3), "Channel 1 | 5 | 10 | 7.45509");

    // Hiding the channel drops its row; a new gain rescales the rest.
    find<QCheckBox>("CheckBox1")->setChecked(false);
    find<QLineEdit>("LabeledEdit6")->setText("0.5");
    settle();
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(row(*table, 0), "Ref 2 | 3.5 | 3.5 | 3.5 | 3.5 | 0 | 0 | -");
}

TEST_F(AnalysisTest, TheSpectrumShowsTheChosenTracesPeak) {
    showChannel(1);
    showChannel(2);
    fillChannel(1, [](int x) { return x % 1000; });
    fillChannel(2, [](int x) { return std::lround(1000 * std::sin(2 * std::numbers::pi * 123.4 * x / 5000)); });
    find<QLineEdit>("LabeledEdit2")->setText("0.01");
    find<QAction>("Spectrum1")->trigger();
    auto* source = find<QComboBox>("SpectrumSourceBox");
    ASSERT_EQ(source->count(), 2);
    EXPECT_EQ(source->itemText(1), "Channel 2");
    source->setCurrentIndex(1);
    emit source->activated(1);

    auto* peak = find<QLabel>("SpectrumPeakLabel");
    EXPECT_EQ(peak->text(), "Peak 123.40 Hz, 10");
    find<QCheckBox>("SpectrumDbBox")->setChecked(true);
    EXPECT_EQ(peak->text(), "Peak 123.40 Hz, 20.0 dB");
    auto* plot = find<QCustomPlot>("SpectrumPlot");
    // A quantity gives the peak and the axis its unit (and its gain 0.1: 1000 x 0.1).
    find<QCheckBox>("SpectrumDbBox")->setChecked(false);
    choose(find<QComboBox>("ComboBox2"), 2);  // DC_bus (Vdc)
    settle();
    EXPECT_EQ(peak->text(), "Peak 123.40 Hz, 100 Vdc");
    EXPECT_EQ(plot->yAxis->label(), "Amplitude (Vdc)");
    EXPECT_EQ(plot->graph(0)->dataCount(), 50001);
    EXPECT_EQ(plot->xAxis->range(), QCPRange(0, 2500));

    // A mark and cursor narrow the stretch to 2000 sets: bins of 2.5 Hz.
    pointAt(1000);
    form_->Chart1DblClick();
    pointAt(2999);
    settle();
    EXPECT_EQ(plot->graph(0)->dataCount(), 1001);
    EXPECT_TRUE(peak->text().startsWith("Peak 123.4")) << peak->text().toStdString();
}

// A math trace typed into its window is drawn and measured; a faulty expression shows where
// it is wrong and is neither drawn nor measured.
TEST_F(AnalysisTest, MathTracesAreTypedShownAndMeasured) {
    showChannel(1);
    find<QLineEdit>("LabeledEdit1")->setText("0.5");
    fillChannel(1, [](int x) { return x % 2 ? 4 : -4; });  // +-2 in units
    find<QAction>("MathTraces1")->trigger();
    QTest::mouseClick(find<QCheckBox>("MathEnableBox2"), Qt::LeftButton);
    QTest::keyClicks(find<QLineEdit>("MathNameEdit2"), "Square");
    QTest::keyClicks(find<QLineEdit>("MathUnitEdit2"), "V2");
    QTest::keyClicks(find<QLineEdit>("MathExpressionEdit2"), "ch1^2 + 1");
    EXPECT_TRUE(form_->display().TraceShown(kFirstMathTrace + 1));
    EXPECT_TRUE(find<QLabel>("MathErrorLabel2")->text().isEmpty());
    EXPECT_GT(chart().series(SeriesOfTrace(kFirstMathTrace + 1))->dataCount(), 0);
    find<QAction>("Measurements1")->trigger();
    chart().xAxis->setRange(0, 99999);
    settle();
    auto* table = find<QTableWidget>("MeasureTable");
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(row(*table, 1, 6), "Square (V2) | 5 | 5 | 5 | 5 | 0 | 0");

    QTest::keyClicks(find<QLineEdit>("MathExpressionEdit2"), " *");
    EXPECT_FALSE(form_->display().TraceShown(kFirstMathTrace + 1));
    EXPECT_TRUE(find<QLabel>("MathErrorLabel2")->text().startsWith("ch1^2 + 1 *\n           ^ "));
    EXPECT_EQ(chart().series(SeriesOfTrace(kFirstMathTrace + 1))->dataCount(), 0);
    settle();
    EXPECT_EQ(table->rowCount(), 1);
}

// The error line speaks of the text in the field as each key is typed, never of an earlier
// text, and no row of the window moves while it comes and goes.
TEST_F(AnalysisTest, TheErrorLineFollowsTheTextAndNoRowMoves) {
    find<QAction>("MathTraces1")->trigger();
    settle();
    auto* expression = find<QLineEdit>("MathExpressionEdit1");
    auto* error = find<QLabel>("MathErrorLabel1");
    const std::vector<QWidget*> below{find("MathReadoutLabel1"), find("MathExpressionEdit2"), find("MathNameEdit3"),
                                      find("MathEnableBox4")};
    const auto places = [&] {
        std::vector<QPoint> at;
        for (QWidget* widget : below) at.push_back(widget->mapTo(widget->window(), QPoint()));
        at.push_back({0, error->height()});
        return at;
    };
    const std::vector<QPoint> still = places();
    // The text after each key, and the error line's start: the text, a mark under the fault.
    const struct {
        const char* typed;
        const char* field;
        const char* error;
    } steps[] = {
        {"ch1*", "ch1*", "ch1*\n    ^ "},        // an end where a value is due: one past the text
        {"ch", "ch1*ch", "ch1*ch\n    ^ "},      // "ch" names no input
        {"2", "ch1*ch2", ""},
        {")", "ch1*ch2)", "ch1*ch2)\n       ^ "},  // a parenthesis never opened
        {"\b", "ch1*ch2", ""},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.field);
        if (QLatin1String(step.typed) == QLatin1String("\b"))
            QTest::keyClick(expression, Qt::Key_Backspace);
        else
            QTest::keyClicks(expression, QLatin1String(step.typed));
        settle();
        ASSERT_EQ(expression->text(), QLatin1String(step.field));
        if (*step.error == 0)
            EXPECT_TRUE(error->text().isEmpty()) << error->text().toStdString();
        else
            EXPECT_TRUE(error->text().startsWith(QLatin1String(step.error))) << error->text().toStdString();
        EXPECT_EQ(places(), still);
    }
}

}  // namespace
}  // namespace altrix::testing
