// Engineering mode as the main window sees it: the password dialog opened from Image1, the
// controls it shows and hides, and the base value dialog opened from the menu.

#include "MainframeFixture.h"
#include "Passwordform.h"
#include "Setbase.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

namespace altrix::testing {
namespace {

template <typename Dialog>
Dialog* OpenDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<Dialog*>(widget); dialog && dialog->isVisible()) return dialog;
    return nullptr;
}

class EngineeringModeTest : public MainframeTest {
protected:
    void TearDown() override {
        if (auto* dialog = OpenDialog<TForm2>()) delete dialog;
        if (auto* dialog = OpenDialog<TForm3>()) delete dialog;
        MainframeTest::TearDown();
    }

    void doubleClickImage1() { QTest::mouseDClick(find(QStringLiteral("Image1")), Qt::LeftButton); }

    void enterPassword(const QString& text) {
        TForm2* dialog = OpenDialog<TForm2>();
        ASSERT_NE(dialog, nullptr);
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("Edit1"));
        edit->clear();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    // The eight engineering controls and the menu, all shown or all hidden.
    void expectEngineeringMode(bool on) {
        for (int k = 1; k <= 4; ++k) {
            EXPECT_EQ(find(QStringLiteral("Edit%1").arg(k))->isVisible(), on) << k;
            EXPECT_EQ(find(QStringLiteral("Label%1").arg(k))->isVisible(), on) << k;
        }
        const QAction* menu = find<QMenu>(QStringLiteral("Advancedfunction1"))->menuAction();
        EXPECT_EQ(menu->text(), QStringLiteral("Advanced function"));
        EXPECT_EQ(menu->isVisible(), on);
    }
};

TEST_F(EngineeringModeTest, RightPasswordShowsTheControlsAndReenablesTheWindow) {
    expectEngineeringMode(false);
    doubleClickImage1();
    ASSERT_NE(OpenDialog<TForm2>(), nullptr);
    EXPECT_FALSE(form_->isEnabled());

    enterPassword(QStringLiteral("corvatine"));
    EXPECT_EQ(OpenDialog<TForm2>(), nullptr);
    EXPECT_TRUE(form_->isEnabled());
    expectEngineeringMode(true);
}

TEST_F(EngineeringModeTest, WrongPasswordInEngineeringModeHidesEverythingAndEmptiesSourceNames) {
    doubleClickImage1();
    enterPassword(QStringLiteral("corvatine"));
    find<QLineEdit>(QStringLiteral("Edit10"))->setText(QStringLiteral("9004"));
    find<QLineEdit>(QStringLiteral("Edit11"))->setText(QStringLiteral("DC_bus (Vdc)"));
    find<QLineEdit>(QStringLiteral("Edit2"))->setText(QStringLiteral("9042"));

    doubleClickImage1();
    enterPassword(QStringLiteral("Corvatine"));
    ASSERT_NE(OpenDialog<TForm2>(), nullptr);  // stays open
    EXPECT_FALSE(form_->isEnabled());
    expectEngineeringMode(false);
    EXPECT_TRUE(find<QLineEdit>(QStringLiteral("Edit10"))->text().isEmpty());
    EXPECT_TRUE(find<QLineEdit>(QStringLiteral("Edit11"))->text().isEmpty());
    // Hidden address edits keep their text.
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("Edit2"))->text(), QStringLiteral("9042"));

    OpenDialog<TForm2>()->close();
    EXPECT_TRUE(form_->isEnabled());
    expectEngineeringMode(false);
}

TEST_F(EngineeringModeTest, DoubleClickDuringACaptureOpensNothing) {
    setCaptureRunning(true);
    doubleClickImage1();
    EXPECT_EQ(OpenDialog<TForm2>(), nullptr);
    EXPECT_TRUE(form_->isEnabled());
}

class BaseValueDialogTest : public EngineeringModeTest {
protected:
    void SetUp() override {
        EngineeringModeTest::SetUp();
        ASSERT_TRUE(folder_.isValid());
        previous_ = QDir::currentPath();
        // No settings file beside the test program: the default list file name applies,
        // taken from the current folder.
        ASSERT_FALSE(QFile::exists(QCoreApplication::applicationFilePath() + ".INI"));
        QDir::setCurrent(folder_.path());
    }
    void TearDown() override {
        QDir::setCurrent(previous_);
        EngineeringModeTest::TearDown();
    }
    QTemporaryDir folder_;
    QString previous_;
};

TEST_F(BaseValueDialogTest, MissingListFileIsReportedAndTheWindowStaysUsable) {
    find<QAction>(QStringLiteral("Base1"))->trigger();
    ASSERT_EQ(prompts_.Messages.size(), 1u);
    EXPECT_EQ(prompts_.Messages[0].Caption, QStringLiteral("Parameter list file is missed"));
    EXPECT_EQ(prompts_.Messages[0].Icon, MessageIcon::None);
    EXPECT_EQ(OpenDialog<TForm3>(), nullptr);
    EXPECT_TRUE(form_->isEnabled());
}

TEST_F(BaseValueDialogTest, OpenDialogDisablesTheWindowUntilItCloses) {
    QFile list(QStringLiteral("Parameter list.plf"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("ACCEL_TIME Acceleration time            0001\r\n");
    list.close();

    find<QAction>(QStringLiteral("Base1"))->trigger();
    TForm3* dialog = OpenDialog<TForm3>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(prompts_.Messages.empty());
    EXPECT_FALSE(form_->isEnabled());
    dialog->close();
    EXPECT_TRUE(form_->isEnabled());
}

}  // namespace
}  // namespace altrix::testing
