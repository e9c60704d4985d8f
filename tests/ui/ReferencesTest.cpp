// The reference waveforms: the "Save Ch" items (through their function keys), the show items
// and switches, the reference Y-scale lists and gains, and a reference through a load and RUN.

#include "MainframeFixture.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>
#include <utility>
#include <vector>

namespace altrix::testing {
namespace {


class ReferencesTest : public MainframeTest {
protected:
    void SetUp() override {
        MainframeTest::SetUp();
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_));
        record().NextSample = 54321;
        for (int c = 0; c < kChannelCount; ++c)
            for (int slot = 0; slot < kTraceSlots; ++slot)
                record().ChannelTrace[c][slot] = static_cast<std::int16_t>(slot * (c + 3) - 20000);
    }
    void press(Qt::Key key) { QTest::keyClick(form_, key); }
    QComboBox* list(int number) const { return find<QComboBox>(QStringLiteral("ComboBox%1").arg(number)); }
    QLineEdit* edit(const QString& name) const { return find<QLineEdit>(name); }
    QCheckBox* box(int number) const { return find<QCheckBox>(QStringLiteral("CheckBox%1").arg(number)); }
    bool marked(const char* item) const { return find<QAction>(QLatin1String(item))->isChecked(); }
    // Channel c's sample at window position x.
    std::int16_t shown(int c, int x) const { return record().ChannelTrace[c - 1][SlotOfPosition(record().NextSample, x)]; }
    // A reference drawn from `samples` at DrawPointCount, with its closing point, scaled.
    Points drawnFrom(const ReferenceSamples& samples, double scale) const {
        Points points;
        const int stride = kWindowPositions / view().DrawPointCount;
        for (int x = 0; x < kWindowPositions; x += stride) points.emplace_back(x, scale * samples[x]);
        points.emplace_back(kNewestPosition, scale * samples[kNewestPosition]);
        return points;
    }
};

TEST_F(ReferencesTest, SavingChannel2UnderRef1CopiesAndShowsIt) {
    choose(list(2), list(2)->findText(QStringLiteral("Output current (A rms)")));
    choose(list(6), 10);  // "2"
    view().MarkValues[1] = 77;
    press(Qt::Key_F2);

    const ReferenceSamples& ref1 = record().ReferenceTrace[0];
    for (int x = 0; x < kWindowPositions; ++x) ASSERT_EQ(ref1[x], shown(2, x)) << x;
    EXPECT_EQ(edit(QStringLiteral("Edit10"))->text(), QStringLiteral("Output current (A rms)"));
    EXPECT_EQ(list(9)->currentIndex(), 10);
    EXPECT_EQ(edit(QStringLiteral("LabeledEdit5"))->text(), QStringLiteral("0.01"));
    EXPECT_EQ(view().MarkRefValues[0], 77);
    EXPECT_TRUE(box(5)->isChecked());
    EXPECT_EQ(view().RefScale[0], 2.0f);
    EXPECT_EQ(PointsOf(chart(), 8), drawnFrom(ref1, 2.0));
    EXPECT_TRUE(marked("Ch21"));
    EXPECT_FALSE(marked("Ch11"));
    EXPECT_FALSE(box(6)->isChecked());
    EXPECT_EQ(record().ReferenceTrace[1][500], 0);

    // The show item toggles the switch; its own mark toggles apart from it.
    EXPECT_FALSE(marked("ShowRef1"));
    press(Qt::Key_F9);
    EXPECT_FALSE(box(5)->isChecked());
    EXPECT_TRUE(marked("ShowRef1"));
    EXPECT_TRUE(PointsOf(chart(), 8).empty());
}

TEST_F(ReferencesTest, TheSourceIsTheQuantityOrInEngineeringModeTheAddress) {
    struct Case {
        bool engineering;
        const char* quantity;  // nullptr: none chosen, "abcd" typed
        const char* source;
    };
    const Case table[] = {{false, "DC_bus (Vdc)", "DC_bus (Vdc)"},
                          {false, nullptr, ""},
                          {true, "DC_bus (Vdc)", "9042"},
                          {true, nullptr, "abcd"}};
    for (const Case& row : table) {
        form_->SetEngineeringControlsVisible(row.engineering);
        if (row.quantity) {
            choose(list(4), list(4)->findText(QLatin1String(row.quantity)));
        } else {
            form_->EditClick(4);  // a click into the address names no quantity
            edit(QStringLiteral("Edit4"))->setText(QStringLiteral("abcd"));
        }
        press(Qt::Key_F8);  // "Save Ch4" under "Ref2"
        EXPECT_EQ(edit(QStringLiteral("Edit11"))->text(), QLatin1String(row.source)) << row.engineering;
    }
}

TEST_F(ReferencesTest, SavingIntoAShownRefRedrawsItAtOnce) {
    press(Qt::Key_F10);  // show Ref2: zeros
    ASSERT_TRUE(box(6)->isChecked());
    const Points before = PointsOf(chart(), 9);
    ASSERT_EQ(before, drawnFrom(record().ReferenceTrace[1], 1.0));

    choose(list(7), 10);  // "2"
    edit(QStringLiteral("LabeledEdit3"))->setText(QStringLiteral("0.1"));
    press(Qt::Key_F7);  // "Save Ch3" under "Ref2"
    EXPECT_EQ(record().ReferenceTrace[1][1234], shown(3, 1234));
    EXPECT_EQ(list(10)->currentIndex(), 10);
    EXPECT_EQ(edit(QStringLiteral("LabeledEdit6"))->text(), QStringLiteral("0.1"));
    EXPECT_EQ(PointsOf(chart(), 9), drawnFrom(record().ReferenceTrace[1], 2.0));
}

TEST_F(ReferencesTest, AYScaleChangeRedrawsOnlyWhileNoCaptureRuns) {
    record().ReferenceTrace[0].fill(100);
    box(5)->setChecked(true);
    for (const bool running : {true, false}) {
        choose(list(9), 8);  // "1"
        setCaptureRunning(running);
        choose(list(9), 10);  // "2"
        setCaptureRunning(false);
        const double scale = running ? 1.0 : 2.0;
        EXPECT_EQ(view().RefScale[0], scale) << running;
        EXPECT_EQ(PointsOf(chart(), 8), drawnFrom(record().ReferenceTrace[0], scale)) << running;
    }
}

TEST_F(ReferencesTest, AGainChangeReadsTheReferencesOwnSampleAndMark) {
    view().CursorPosition = 300;
    record().ReferenceTrace[0][300] = 37;
    view().MarkPosition = 100;
    view().MarkRefValues[0] = 12;
    ASSERT_NE(shown(1, 300), 37);
    edit(QStringLiteral("LabeledEdit5"))->setText(QStringLiteral("0.5"));  // Ref1 is not shown
    EXPECT_EQ(edit(QStringLiteral("Edit12"))->text(), QStringLiteral("18.5"));
    EXPECT_EQ(edit(QStringLiteral("Edit17"))->text(), QStringLiteral("12.5"));
    EXPECT_EQ(edit(QStringLiteral("Edit18"))->text(), QString());
}

TEST_F(ReferencesTest, AReferenceOutlivesALoadAndTheNextRun) {
    press(Qt::Key_F1);
    const auto saved = std::make_unique<ReferenceSamples>(record().ReferenceTrace[0]);
    const Points drawn = PointsOf(chart(), 8);
    const QString source = edit(QStringLiteral("Edit10"))->text();

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("one.wfd"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("0.0002 1 2 3 4\r\n");
    out.close();
    prompts_.FileNames = {file};
    QTest::mouseClick(find<QToolButton>(QStringLiteral("SpeedButton2")), Qt::LeftButton);
    ASSERT_EQ(record().NextSample, 1);
    QTest::mouseClick(find<QPushButton>(QStringLiteral("Button1")), Qt::LeftButton);  // stops at the addresses
    ASSERT_EQ(record().ChannelTrace[0][0], 1);

    EXPECT_TRUE(record().ReferenceTrace[0] == *saved);
    EXPECT_EQ(PointsOf(chart(), 8), drawn);
    EXPECT_EQ(edit(QStringLiteral("Edit10"))->text(), source);
    EXPECT_TRUE(box(5)->isChecked());
}

}  // namespace
}  // namespace altrix::testing
