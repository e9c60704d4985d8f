// The readouts bound to the window: the mouse over the chart moves the display's cursor and a
// double click sets its mark, every readout the display writes lands in its own edit (the others
// keep their texts) with its trace's unit beside the number, and the gain edits hand what is
// typed to the display, red while it is no number. The readouts' values and units are tested
// without a window (tests/display).

#include "MainframeFixture.h"

#include <QAction>
#include <QLabel>
#include <QLocale>

#include <tuple>
#include <utility>

namespace altrix::testing {
namespace {

class ReadoutTest : public MainframeTest {
protected:
    void SetUp() override {
        MainframeTest::SetUp();
        view().ReadoutEnabled = true;  // as after STOP
    }
    QString text(const char* name) const { return find<QLineEdit>(QLatin1String(name))->text(); }
};

// Full view at 1000 columns: column c shows position trunc(c x 99999 / 1000).
TEST_F(ReadoutTest, TheMouseMovesTheCursorAndEveryReadoutReachesItsEdit) {
    const struct {
        const char* data;
        const char* diff;
    } edits[kTraceCount] = {{"Edit5", "Edit13"}, {"Edit6", "Edit14"}, {"Edit7", "Edit15"},
                            {"Edit8", "Edit16"}, {"Edit12", "Edit17"}, {"Edit18", "Edit19"}};
    for (int k = 1; k <= kChannelCount; ++k) showChannel(k);
    for (const char* box : {"CheckBox5", "CheckBox6"}) find<QCheckBox>(QLatin1String(box))->setChecked(true);
    // Trace t reads t at position 49999 and 10 t at 59999.
    record().NextSample = 50000;
    for (int t = 1; t <= kTraceCount; ++t) {
        const bool channel = t <= kChannelCount;
        for (const auto& [position, value] : {std::pair{49999, t}, std::pair{59999, 10 * t}}) {
            auto& sample = channel ? record().ChannelTrace[t - 1][SlotOfPosition(50000, position)]
                                   : record().ReferenceTrace[t - kChannelCount - 1][position];
            sample = static_cast<std::int16_t>(value);
        }
    }
    QTest::mouseMove(&chart(), QPoint(500, 180));
    EXPECT_EQ(view().CursorPosition, 49999);
    QTest::mouseDClick(&chart(), Qt::LeftButton, {}, QPoint(500, 180));
    EXPECT_EQ(view().MarkPosition, 49999);
    EXPECT_EQ(PointsOf(chart(), 7), (Points{{49999, 32767}, {49999, -32768}}));

    QTest::mouseMove(&chart(), QPoint(600, 180));
    EXPECT_EQ(view().CursorPosition, 59999);
    EXPECT_EQ(PointsOf(chart(), 6), (Points{{59999, 32767}, {59999, -32768}}));
    EXPECT_EQ(text("LabeledEdit9"), QStringLiteral("12"));  // 60000 sets of 0.2 ms
    EXPECT_EQ(text("Edit9"), QStringLiteral("2"));          // 10000 sets
    EXPECT_EQ(text("MarkRateEdit"), QStringLiteral("0.5 Hz"));
    for (int t = 1; t <= kTraceCount; ++t) {
        EXPECT_EQ(text(edits[t - 1].data), QString::number(10 * t)) << t;
        EXPECT_EQ(text(edits[t - 1].diff), QString::number(9 * t)) << t;
    }

    // An unticked channel's readouts are not written: its edits keep what they show.
    find<QCheckBox>("CheckBox3")->setChecked(false);
    find<QLineEdit>("Edit7")->setText(QStringLiteral("kept"));
    QTest::mouseMove(&chart(), QPoint(500, 180));
    EXPECT_EQ(text("Edit7"), QStringLiteral("kept"));
    EXPECT_EQ(text("Edit15"), QStringLiteral("27"));
    EXPECT_EQ(text("Edit5"), QStringLiteral("1"));
}

// A value and its difference keep the exact text the display wrote; the unit stands in a label
// of its own right after the number, inside the edit, and not beside a text that is no number.
TEST_F(ReadoutTest, UnitsStandBesideTheNumbers) {
    const struct {
        int trace;
        const char* choose;  // the quantity box, or the item copying a channel into a reference
        int row;             // of the quantity box
        const char* data;
        const char* diff;
        const char* unit;
    } table[] = {
        {1, "ComboBox1", 2, "Edit5", "Edit13", "Vdc"},   {2, "ComboBox2", 4, "Edit6", "Edit14", "A rms"},
        {3, "ComboBox3", 9, "Edit7", "Edit15", ""},      {5, "Ch11", -1, "Edit12", "Edit17", "Vdc"},
        {6, "Ch42", -1, "Edit18", "Edit19", ""},
    };
    record().NextSample = 50000;
    for (const auto& row : table) {
        if (row.trace <= kChannelCount)
            choose(find<QComboBox>(QLatin1String(row.choose)), row.row);
        else
            find<QAction>(QLatin1String(row.choose))->trigger();
        find<QCheckBox>(QStringLiteral("CheckBox%1").arg(row.trace))->setChecked(true);
    }
    for (int k = 1; k <= kChannelCount; ++k) record().ChannelTrace[k - 1][SlotOfPosition(50000, 59999)] = -32;
    QTest::mouseMove(&chart(), QPoint(500, 180));
    QTest::mouseDClick(&chart(), Qt::LeftButton, {}, QPoint(500, 180));
    QTest::mouseMove(&chart(), QPoint(600, 180));
    for (const auto& row : table) {
        SCOPED_TRACE(row.data);
        for (const char* name : {row.data, row.diff}) {
            const auto* edit = find<QLineEdit>(QLatin1String(name));
            const auto* unit = find<QLabel>(QLatin1String(name) + QStringLiteral("Unit"));
            const int n = QLatin1String(name) == QLatin1String(row.data) ? DataReadout(row.trace) : DiffReadout(row.trace);
            EXPECT_EQ(edit->text(), form_->display().ReadoutTexts()[static_cast<std::size_t>(n)]);
            EXPECT_EQ(unit->text(), QString::fromLatin1(row.unit));
            EXPECT_GT(unit->x(), edit->fontMetrics().horizontalAdvance(edit->text())) << name;
            EXPECT_TRUE(edit->rect().contains(unit->geometry())) << name;
        }
    }
    form_->display().MoveCursor(-1);  // beyond the window, as after a zoom out: "N/A"
    EXPECT_EQ(text("Edit5"), QStringLiteral("N/A"));
    EXPECT_EQ(find<QLabel>("Edit5Unit")->text(), QString());
    EXPECT_EQ(find<QLabel>("Edit13Unit")->text(), QStringLiteral("Vdc"));
}

// What is typed stays as typed, red while it is no number ("," is a decimal point only where the
// locale has it); the display takes it, and the trace's readout shows 37 under the cursor at
// that gain.
TEST_F(ReadoutTest, GainEditsHandTheirTextToTheDisplayRedWhileNoNumber) {
    const struct {
        QLocale::Language language;
        const char* typed;
        bool valid;
        const char* data;
    } table[] = {{QLocale::C, "-", false, "37"},
                 {QLocale::C, "0,01", false, "37"},
                 {QLocale::German, "0,01", true, ".37"},
                 {QLocale::C, "1.5", true, "55.5"}};
    // Before any mouse move a channel reads slot 0, a reference position 0.
    record().ChannelTrace[0][0] = 37;
    record().ReferenceTrace[1][0] = 37;
    const QLocale saved;
    for (const auto& [t, gainEdit, dataEdit] : {std::tuple{1, "LabeledEdit1", "Edit5"}, std::tuple{6, "LabeledEdit6", "Edit18"}}) {
        auto* gain = find<QLineEdit>(QLatin1String(gainEdit));
        const QColor normal = gain->palette().color(QPalette::Text);
        ASSERT_NE(normal, QColor(Qt::red));
        for (const auto& row : table) {
            SCOPED_TRACE(::testing::Message() << gainEdit << " " << row.typed);
            QLocale::setDefault(QLocale(row.language));
            gain->clear();
            QTest::keyClicks(gain, QString::fromLatin1(row.typed));
            QLocale::setDefault(saved);
            EXPECT_EQ(gain->text(), QString::fromLatin1(row.typed));
            EXPECT_EQ(form_->display().Gain(t).Typed, QString::fromLatin1(row.typed));
            EXPECT_EQ(gain->palette().color(QPalette::Text), row.valid ? normal : QColor(Qt::red));
            EXPECT_EQ(text(dataEdit), QString::fromLatin1(row.data));
        }
    }
}

}  // namespace
}  // namespace altrix::testing
