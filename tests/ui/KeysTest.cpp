// The window's keys over the control that has the focus: Space toggles RUN and STOP against the
// simulated drive, and the one-key shortcuts F (Fit) and Backspace (Previous view) reach their
// menu items, unless the focus is on a control that takes text, which keeps the key.

#include "LiveDriveFixture.h"

#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QSpinBox>

namespace altrix::testing {
namespace {

// The controls a user may leave the focus on: the chart (clicked after typing), a button, a check box, a
// list, a read-only readout and the Measurements dock's table take no text; a gain edit, the
// port box (editable) and a spin box of the trigger bar do.
class KeysTest : public LiveDriveTest {
protected:
    void SetUp() override {
        LiveDriveTest::SetUp();
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_));
        find<QAction>("Measurements1")->trigger();
    }
    // Gives `name` the focus as Tab would; the chart is clicked while a gain edit has the focus.
    QWidget* focus(const char* name) {
        QWidget* widget = find(QLatin1String(name));
        if (widget == &chart()) {
            find("LabeledEdit2")->setFocus(Qt::OtherFocusReason);
            QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        } else {
            widget->setFocus(Qt::OtherFocusReason);
        }
        EXPECT_EQ(QApplication::focusWidget(), widget) << name;
        return widget;
    }
};

TEST_F(KeysTest, SpaceTogglesRunAndStopUnlessATextFieldHasTheFocus) {
    startDrive();
    QSignalSpy runs(find<QPushButton>("Button1"), &QPushButton::clicked);
    QSignalSpy stops(find<QPushButton>("Button2"), &QPushButton::clicked);
    // In order: each row starts where the one before left the capture.
    const struct {
        const char* focus;
        bool toggles;
        bool runningAfter;
    } table[] = {
        {"Chart1", true, true},          {"Button2", true, false},        {"CheckBox1", true, true},
        {"ComboBox5", true, false},      {"Edit9", true, true},           {"MeasureTable", true, false},
        {"LabeledEdit1", false, false},  {"PreTriggerBox", false, false}, {"Button1", true, true},
        {"COMSelectBox1", false, true},  // last: the port's name takes the space
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.focus);
        const qsizetype runsBefore = runs.count(), stopsBefore = stops.count();
        QTest::keyClick(focus(row.focus), Qt::Key_Space);
        EXPECT_EQ(runs.count() - runsBefore, row.toggles && row.runningAfter ? 1 : 0);
        EXPECT_EQ(stops.count() - stopsBefore, row.toggles && !row.runningAfter ? 1 : 0);
        EXPECT_TRUE(tickUntil([&] { return session_.IsRunning() == row.runningAfter; }));
    }
    // The text fields kept the space.
    EXPECT_EQ(find<QLineEdit>("LabeledEdit1")->text(), QStringLiteral("1 "));
    EXPECT_TRUE(find<QComboBox>("COMSelectBox1")->currentText().endsWith(QLatin1Char(' ')));
    click("Button2");
}

TEST_F(KeysTest, OneKeyShortcutsWorkFromEveryControlThatTakesNoText) {
    QSignalSpy fits(find<QAction>("FitAction"), &QAction::triggered);
    QSignalSpy backs(find<QAction>("ZoomBackAction"), &QAction::triggered);
    const struct {
        const char* focus;
        bool reaches;
    } table[] = {
        {"Chart1", true},        {"Button1", true},       {"CheckBox1", true},       {"ComboBox5", true},
        {"Edit9", true},         {"MeasureTable", true},  {"LabeledEdit1", false},   {"COMSelectBox1", false},
        {"PreTriggerBox", false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.focus);
        const qsizetype fitsBefore = fits.count(), backsBefore = backs.count();
        QTest::keyClick(focus(row.focus), Qt::Key_F);
        QTest::keyClick(focus(row.focus), Qt::Key_Backspace);
        EXPECT_EQ(fits.count() - fitsBefore, row.reaches ? 1 : 0);
        EXPECT_EQ(backs.count() - backsBefore, row.reaches ? 1 : 0);
    }
    // The gain edits took the letter and gave it back, the one left for the chart nothing.
    EXPECT_EQ(find<QLineEdit>("LabeledEdit1")->text(), QStringLiteral("1"));
    EXPECT_EQ(find<QLineEdit>("LabeledEdit2")->text(), QStringLiteral("1"));
}

}  // namespace
}  // namespace altrix::testing
