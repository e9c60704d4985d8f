// The cursor readouts, the difference mark and the gain fields, driven by mouse moves and
// double clicks on the chart and by typing into the gain edits, with the record filled directly.

#include "MainframeFixture.h"

#include <QLocale>
#include <QToolButton>

#include <utility>
#include <vector>

namespace altrix::testing {
namespace {

Points VerticalLineAt(double x) { return {{x, 32767}, {x, -32768}}; }

class ReadoutTest : public MainframeTest {
protected:
    void SetUp() override {
        MainframeTest::SetUp();
        view().ReadoutEnabled = true;  // as after STOP
    }
    QString text(const QString& name) const { return find<QLineEdit>(name)->text(); }
    void moveTo(int column) {
        column_ = column;
        QTest::mouseMove(&chart(), QPoint(column, 180));
    }
    // Puts the mouse over `position`: the view is moved so that a column shows it exactly.
    // The column changes with the position (797 is prime, so the positions used here, -1
    // and 99999 among them, all get columns of their own): consecutive moves always move.
    void pointAt(int position) {
        const int column = 100 + (position % 797 + 797) % 797;
        chart().xAxis->setRange(position - column, position - column + 1000);
        moveTo(column);
        ASSERT_EQ(view().CursorPosition, position);
    }
    void doubleClick() { QTest::mouseDClick(&chart(), Qt::LeftButton, {}, QPoint(column_, 180)); }
    void typeGain(int t, const QString& gain) {
        auto* edit = find<QLineEdit>(QStringLiteral("LabeledEdit%1").arg(t));
        edit->clear();
        QTest::keyClicks(edit, gain);
    }
    // Channel samples by window position, with NextSample = 50000.
    std::int16_t& sampleAt(int channel, int position) {
        record().NextSample = 50000;
        return record().ChannelTrace[channel - 1][SlotOfPosition(50000, position)];
    }

    int column_ = 0;
};

TEST_F(ReadoutTest, TimeAndCursorLineFollowTheMouse) {
    moveTo(500);  // the full view
    EXPECT_EQ(view().CursorPosition, 49999);     // trunc(500 x 99999 / 1000)
    const std::pair<int, const char*> table[] = {
        {0, "0.0002"}, {12345, "2.4692"}, {99999, "20"}, {-1, "Over range"}, {100000, "Over range"}};
    for (const auto& [position, time] : table) {
        pointAt(position);
        EXPECT_EQ(text("LabeledEdit9"), QString::fromLatin1(time)) << position;
        EXPECT_EQ(PointsOf(chart(), 6), VerticalLineAt(position)) << position;
    }
}

TEST_F(ReadoutTest, MarkAndDifferencesOfTickedTraces) {
    showChannel(1);
    showChannel(2);
    find<QCheckBox>("CheckBox5")->setChecked(true);
    find<QLineEdit>("Edit7")->setText(QStringLiteral("kept"));  // channel 3 stays unticked
    typeGain(2, QStringLiteral("0.01"));
    sampleAt(1, 1000) = 120, sampleAt(1, 999) = 100;
    sampleAt(2, 1000) = -32768, sampleAt(2, 999) = 32767;
    sampleAt(3, 1000) = 7;
    record().ReferenceTrace[0][1000] = 50, record().ReferenceTrace[0][999] = -50;
    record().ReferenceTrace[1][1000] = 9;

    pointAt(1000);
    doubleClick();
    EXPECT_EQ(view().MarkPosition, 1000);
    EXPECT_EQ(view().MarkValues, (std::array<std::int16_t, 4>{120, -32768, 7, 0}));
    EXPECT_EQ(view().MarkRefValues, (std::array<std::int16_t, 2>{50, 9}));
    EXPECT_EQ(PointsOf(chart(), 7), VerticalLineAt(1000));
    EXPECT_EQ(text("Edit9"), QString());  // the double click writes no readout

    pointAt(999);
    EXPECT_EQ(text("Edit9"), QStringLiteral("-0.0002"));
    const std::pair<const char*, const char*> readouts[] = {
        {"Edit5", "100"},    {"Edit13", "-20"},          // channel 1, gain 1
        {"Edit6", "327.67"}, {"Edit14", "655.35"},       // a 32-bit difference of 65535
        {"Edit12", "-50"},   {"Edit17", "-100"},         // Ref1, by position
        {"Edit7", "kept"},   {"Edit15", ""},             // unticked traces keep their texts
        {"Edit18", ""},      {"Edit19", ""}};
    for (const auto& [name, expected] : readouts)
        EXPECT_EQ(text(QString::fromLatin1(name)), QString::fromLatin1(expected)) << name;
}

TEST_F(ReadoutTest, OutsideTheWindowAfterZoomingOut) {
    showChannel(1);
    find<QCheckBox>("CheckBox6")->setChecked(true);
    record().ReferenceTrace[1].fill(-8);
    sampleAt(1, 500) = 11, sampleAt(1, 400) = 5;
    pointAt(400);
    doubleClick();
    pointAt(500);
    const int cursorSample = view().CursorSample;

    chart().xAxis->setRange(0, 99999);
    QTest::mouseClick(find<QToolButton>("SpeedButton6"), Qt::LeftButton);  // "Zoom out"
    for (const int column : {0, 999}) {
        moveTo(column);
        const int position = view().CursorPosition;
        EXPECT_FALSE(IsWindowPosition(position)) << column;
        EXPECT_EQ(text("LabeledEdit9"), QStringLiteral("Over range"));
        for (const char* data : {"Edit5", "Edit6", "Edit7", "Edit8", "Edit12", "Edit18"})
            EXPECT_EQ(text(QString::fromLatin1(data)), QStringLiteral("N/A")) << data;
        EXPECT_EQ(PointsOf(chart(), 6), VerticalLineAt(position));
        EXPECT_EQ(view().CursorSample, cursorSample);
        EXPECT_EQ(text("Edit9"), QStringLiteral("0.02"));
        EXPECT_EQ(text("Edit13"), QStringLiteral("6"));
        EXPECT_EQ(text("Edit19"), QStringLiteral("0"));
    }

    // A mark outside the window keeps the last in-window channel values; the references,
    // which hold nothing there, read 0.
    doubleClick();
    EXPECT_EQ(view().MarkPosition, view().CursorPosition);
    EXPECT_EQ(view().MarkValues[0], 11);
    EXPECT_EQ(view().MarkRefValues, (std::array<std::int16_t, 2>{0, 0}));
    pointAt(400);
    EXPECT_EQ(text("Edit13"), QStringLiteral("-6"));
    EXPECT_EQ(text("Edit19"), QStringLiteral("-8"));
}

TEST_F(ReadoutTest, OnlyTheTimeFollowsWhileReadoutsAreOff) {
    showChannel(1);
    sampleAt(1, 300) = 42;
    pointAt(300);
    doubleClick();
    view().ReadoutEnabled = false;  // a capture runs
    pointAt(200);
    EXPECT_EQ(text("LabeledEdit9"), QStringLiteral("0.0402"));
    EXPECT_EQ(text("Edit5"), QStringLiteral("42"));
    EXPECT_EQ(text("Edit9"), QString());
    EXPECT_EQ(PointsOf(chart(), 6), VerticalLineAt(300));
    doubleClick();  // clears the mark line, sets no mark
    EXPECT_TRUE(PointsOf(chart(), 7).empty());
    EXPECT_EQ(view().MarkPosition, 300);
}

struct GainCase {
    const char* gain;
    std::int16_t value;
    const char* readout;
    const char* gainAfter;
};

// Gain edits before any mouse move read the cursor's start position: slot 0 of a channel.
TEST_F(ReadoutTest, GainEditsRecomputeTheirTraceReadouts) {
    const GainCase table[] = {{"0.09765", 1024, "99.99360", "0.09765"}, {"1.5", -3, "-4.5", "1.5"},
                              {"0.1", 0, ".0", "0.1"},    {"0.5", 37, "18.5", "0.5"},
                              {"", -37, "-37", ""},       {"12a", 37, "37", "12a"}};
    record().NextSample = 5000;  // position 0 shows slot 105000, not the cursor's slot 0
    record().ChannelTrace[0][105000] = 1;
    for (const GainCase& row : table) {
        record().ChannelTrace[0][0] = row.value;
        record().ReferenceTrace[1][0] = row.value;
        for (const auto& [t, readout] : {std::pair{1, "Edit5"}, std::pair{6, "Edit18"}}) {
            typeGain(t, QString::fromLatin1(row.gain));
            EXPECT_EQ(text(QString::fromLatin1(readout)), QString::fromLatin1(row.readout)) << row.gain;
            EXPECT_EQ(text(QStringLiteral("LabeledEdit%1").arg(t)), QString::fromLatin1(row.gainAfter));
        }
    }
    view().MarkPosition = 0;
    view().MarkValues[0] = 40;
    typeGain(1, QStringLiteral("2"));
    EXPECT_EQ(text("Edit13"), QStringLiteral("-6"));
}

// Every keystroke is kept: a gain that is not a number yet shows red and counts as 1, for the
// mouse readouts and the gain's own; "," is a decimal point where the user's locale has it.
TEST_F(ReadoutTest, AnInvalidGainStaysAsTypedInRedAndCountsAsOne) {
    struct Case {
        QLocale::Language language;
        const char* typed;
        bool valid;
        const char* data;  // with 37 under the cursor
        const char* diff;  // 37 - 25
    };
    const Case table[] = {{QLocale::C, "-", false, "37", "12"},         {QLocale::C, "0.5 ", false, "37", "12"},
                          {QLocale::C, "0,01", false, "37", "12"},      {QLocale::German, "0,01", true, ".37", ".12"},
                          {QLocale::German, "0.5", true, "18.5", "6.0"}, {QLocale::C, "1.5", true, "55.5", "18.0"}};
    const QLocale saved;
    showChannel(1);
    sampleAt(1, 10) = 25, sampleAt(1, 20) = 37;
    pointAt(10);
    doubleClick();
    auto* gain = find<QLineEdit>(QStringLiteral("LabeledEdit1"));
    const QColor normal = gain->palette().color(QPalette::Text);
    ASSERT_NE(normal, QColor(Qt::red));
    for (const Case& row : table) {
        SCOPED_TRACE(row.typed);
        QLocale::setDefault(QLocale(row.language));
        pointAt(-5);
        typeGain(1, QString::fromLatin1(row.typed));  // outside the window: "N/A", still marked
        EXPECT_EQ(gain->text(), QString::fromLatin1(row.typed));
        EXPECT_EQ(gain->palette().color(QPalette::Text), row.valid ? normal : QColor(Qt::red));
        EXPECT_EQ(text("Edit5"), QStringLiteral("N/A"));
        pointAt(20);
        EXPECT_EQ(gain->text(), QString::fromLatin1(row.typed));
        EXPECT_EQ(text("Edit5"), QString::fromLatin1(row.data));
        EXPECT_EQ(text("Edit13"), QString::fromLatin1(row.diff));
        QLocale::setDefault(saved);
    }
}

TEST_F(ReadoutTest, TimesTakeTheLocaleSeparatorAndDataTheirPoint) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    showChannel(1);
    typeGain(1, QStringLiteral("0.5"));
    sampleAt(1, 12345) = 37;
    pointAt(1000);
    doubleClick();
    pointAt(12345);
    QLocale::setDefault(saved);
    EXPECT_EQ(text("LabeledEdit9"), QStringLiteral("2,4692"));
    EXPECT_EQ(text("Edit9"), QStringLiteral("2,269"));
    EXPECT_EQ(text("Edit5"), QStringLiteral("18.5"));
}

}  // namespace
}  // namespace altrix::testing
