// The channel controls and quantity presets, and the chains they raise: quantity -> address
// -> on/off box -> trace, and gain -> readouts.

#include "MainframeFixture.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>

namespace altrix::testing {
namespace {

class ChannelControlsTest : public MainframeTest {
protected:
    QComboBox* list(int number) const { return find<QComboBox>(QStringLiteral("ComboBox%1").arg(number)); }
    QLineEdit* edit(const QString& name) const { return find<QLineEdit>(name); }
    QCheckBox* box(int k) const { return find<QCheckBox>(QStringLiteral("CheckBox%1").arg(k)); }
    void chooseQuantity(int k, const char* item) {
        const int index = list(k)->findText(QString::fromLatin1(item));
        ASSERT_GE(index, 0) << item;
        choose(list(k), index);
    }
};

TEST_F(ChannelControlsTest, AQuantityReadsInItsUnitUnderTheMouse) {
    record().ChannelTrace[1].fill(1234);
    record().ChannelTrace[1][149999] = 1500;  // position 49999, with NextSample 0
    chooseQuantity(2, "Output current (A rms)");
    EXPECT_EQ(edit("Edit2")->text(), QStringLiteral("9010"));
    EXPECT_EQ(edit("LabeledEdit2")->text(), QStringLiteral("0.01"));
    EXPECT_TRUE(box(2)->isChecked());
    EXPECT_EQ(chart().pointCount(2), view().DrawPointCount + 1);

    view().ReadoutEnabled = true;
    QTest::mouseMove(&chart(), QPoint(400, 180));  // position 39999
    EXPECT_EQ(edit("Edit6")->text(), QStringLiteral("12.34"));
    QTest::mouseDClick(&chart(), Qt::LeftButton, {}, QPoint(400, 180));
    QTest::mouseMove(&chart(), QPoint(500, 180));  // position 49999
    EXPECT_EQ(edit("Edit6")->text(), QStringLiteral("15.00"));
    EXPECT_EQ(edit("Edit14")->text(), QStringLiteral("2.66"));
    EXPECT_EQ(edit("Edit9")->text(), QStringLiteral("2"));
}

TEST_F(ChannelControlsTest, PresetsFillAddressAndGain) {
    const char* table[][3] = {
        {"DC_bus (Vdc)", "9042", "0.1"},          {"PG2 velocity (rpm)", "9024", "54.61"},
        {"Torque Command (%)", "9018", "0.09765"}, {"AVI (%)", "9028", "1"},
        {"ACI (%)", "902a", "0.1"},               {"AUI (%)", "902c", "0.1"},
        {"Digital input status", "902e", "0.1"},  {"Digital output status", "9030", "1"},
        {"Output voltage (Vac)", "900c", "0.1"},  {"PID feedback (%)", "9016", "1"}};
    for (int k = 1; k <= 4; ++k) {
        for (const auto& [item, address, gain] : table) {
            chooseQuantity(k, item);
            EXPECT_EQ(edit(QStringLiteral("Edit%1").arg(k))->text(), QString::fromLatin1(address)) << item;
            EXPECT_EQ(edit(QStringLiteral("LabeledEdit%1").arg(k))->text(), QString::fromLatin1(gain)) << item;
        }
    }
}

TEST_F(ChannelControlsTest, TheSameQuantityAgainOnlyRestoresItsGain) {
    chooseQuantity(1, "DC_bus (Vdc)");
    QSignalSpy toggles(box(1), &QCheckBox::toggled);
    edit("LabeledEdit1")->setText(QStringLiteral("3"));
    chart().clearSeries(1);
    chooseQuantity(1, "DC_bus (Vdc)");
    EXPECT_EQ(edit("LabeledEdit1")->text(), QStringLiteral("0.1"));  // the typed gain is replaced
    EXPECT_EQ(toggles.count(), 0);
    EXPECT_EQ(chart().pointCount(1), 0);  // not redrawn

    box(1)->setChecked(false);
    chooseQuantity(1, "DC_bus (Vdc)");  // the address does not change: the box stays clear
    EXPECT_FALSE(box(1)->isChecked());
    chooseQuantity(1, "Motor speed (rpm)");
    EXPECT_TRUE(box(1)->isChecked());
}

TEST_F(ChannelControlsTest, TypingAnAddressSwitchesTheChannel) {
    QLineEdit* address = edit("Edit4");
    address->show();  // as in engineering mode
    QSignalSpy toggles(box(4), &QCheckBox::toggled);
    QTest::keyClicks(address, "9");
    EXPECT_TRUE(box(4)->isChecked());
    EXPECT_EQ(chart().pointCount(4), view().DrawPointCount + 1);
    QTest::keyClicks(address, "04e");
    EXPECT_EQ(toggles.count(), 1);
    for (int n = 0; n < 4; ++n) QTest::keyClick(address, Qt::Key_Backspace);
    EXPECT_FALSE(box(4)->isChecked());
    EXPECT_EQ(chart().pointCount(4), 0);
    box(4)->setChecked(true);  // the box alone draws the stored samples
    EXPECT_EQ(chart().pointCount(4), view().DrawPointCount + 1);
}

TEST_F(ChannelControlsTest, AddressEditsTakeEightCharactersInLowerCase) {
    for (int k = 1; k <= 4; ++k) {
        QLineEdit* address = edit(QStringLiteral("Edit%1").arg(k));
        address->show();
        QTest::keyClicks(address, "9A0Fbc-DE12");
        EXPECT_EQ(address->text(), QStringLiteral("9a0fbc-d")) << k;
    }
}

TEST_F(ChannelControlsTest, ClickingAnAddressSelectsItAndClearsTheQuantity) {
    chooseQuantity(3, "PG1 position");
    QLineEdit* address = edit("Edit3");
    address->show();
    QTest::mouseClick(address, Qt::LeftButton);
    EXPECT_EQ(address->selectedText(), QStringLiteral("901c"));
    EXPECT_EQ(list(3)->currentIndex(), -1);
    EXPECT_EQ(list(3)->currentText(), QString());
    EXPECT_TRUE(box(3)->isChecked());

    // A disabled address edit (during a capture) takes no click.
    chooseQuantity(3, "PG1 position");
    address->setEnabled(false);
    QTest::mouseClick(address, Qt::LeftButton);
    EXPECT_EQ(list(3)->currentText(), QStringLiteral("PG1 position"));
}

TEST_F(ChannelControlsTest, YScaleRedrawsOnlyAStoppedShownChannel) {
    struct Case {
        bool running, ticked;
        const char* address;
        bool redrawn;
    };
    const Case table[] = {{false, true, "9000", true},
                          {true, true, "9000", false},
                          {false, true, "", false},
                          {false, false, "9000", false}};
    record().ChannelTrace[1].fill(100);
    for (const Case& row : table) {
        edit("Edit2")->setText(QString::fromLatin1(row.address));
        box(2)->setChecked(row.ticked);
        setCaptureRunning(row.running);
        choose(list(6), 8);  // "1"
        chart().clearSeries(2);
        choose(list(6), 10);  // "2"
        EXPECT_EQ(view().ChannelScale[1], 2.0f);
        ASSERT_EQ(chart().pointCount(2), row.redrawn ? view().DrawPointCount + 1 : 0) << row.address;
        if (row.redrawn) {
            EXPECT_EQ(chart().series(2)->data()->at(0)->value, 200);
        }
    }
}

}  // namespace
}  // namespace altrix::testing
