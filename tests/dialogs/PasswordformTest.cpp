#include "Passwordform.h"

#include "DialogTestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <ostream>
#include <string>
#include <tuple>

namespace altrix {
namespace {

using testing::Named;
using testing::OwnerWindow;
using testing::ProcessDeferredDeletes;

// Records what the dialog did to the main window.
class FakeHost final : public EngineeringModeHost {
public:
    void SetEngineeringControlsVisible(bool visible) override { controlsVisible = visible; }
    void ClearReferenceSourceNames() override { ++clears; }

    bool controlsVisible = false;
    int clears = 0;
};

enum class Submit { Confirm, Enter };

void PrintTo(Submit how, std::ostream* out) { *out << (how == Submit::Confirm ? "Confirm" : "Enter"); }

class PasswordDialogTest : public ::testing::Test {
protected:
    void Open() {
        dialog_ = TForm2::Open(owner_.get(), host_);
        owner_->setEnabled(false);
    }
    void TearDown() override { delete dialog_; }

    void Enter(const QString& text, Submit how) {
        QLineEdit* edit = Named<QLineEdit>(dialog_, "Edit1");
        QTest::keyClicks(edit, text);
        if (how == Submit::Confirm) {
            QTest::mouseClick(Named<QPushButton>(dialog_, "Button1"), Qt::LeftButton);
        } else {
            QTest::keyClick(edit, Qt::Key_Return);
        }
        ProcessDeferredDeletes();
    }

    // Open and visible, with "Password is incorrect !" showing or not.
    void ExpectOpen(bool refused) {
        ASSERT_FALSE(dialog_.isNull());
        EXPECT_TRUE(dialog_->isVisible());
        EXPECT_EQ(Named<QLabel>(dialog_, "Label2")->isVisible(), refused);
        EXPECT_FALSE(owner_->isEnabled());
    }

    void ExpectClosed() {
        EXPECT_TRUE(dialog_.isNull());
        EXPECT_TRUE(owner_->isEnabled());
    }

    std::unique_ptr<OwnerWindow> owner_ = std::make_unique<OwnerWindow>();
    FakeHost host_;
    QPointer<TForm2> dialog_;
};

TEST_F(PasswordDialogTest, OpensCentredOverTheMainWindowReadyForTyping) {
    Open();
    ExpectOpen(false);
    EXPECT_EQ(dialog_->windowTitle(), "Activate Engineering Mode");
    EXPECT_EQ(dialog_->size(), QSize(265, 158));
    EXPECT_EQ(dialog_->minimumSize(), dialog_->maximumSize());
    EXPECT_TRUE(dialog_->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(dialog_->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dialog_->frameGeometry().center(), owner_->frameGeometry().center());

    QLineEdit* edit = Named<QLineEdit>(dialog_, "Edit1");
    EXPECT_EQ(dialog_->focusWidget(), edit);
    QTest::keyClicks(edit, "ab c");
    EXPECT_EQ(edit->displayText(), "****");
    EXPECT_EQ(edit->text(), "ab c");
}

class RightPassword : public PasswordDialogTest, public ::testing::WithParamInterface<Submit> {};

TEST_P(RightPassword, ShowsTheEngineeringControlsAndCloses) {
    Open();
    Enter("corvatine", GetParam());
    EXPECT_TRUE(host_.controlsVisible);
    EXPECT_EQ(host_.clears, 0);
    ExpectClosed();
}

INSTANTIATE_TEST_SUITE_P(Submits, RightPassword, ::testing::Values(Submit::Confirm, Submit::Enter));

class WrongPassword : public PasswordDialogTest,
                      public ::testing::WithParamInterface<std::tuple<std::string, Submit>> {};

TEST_P(WrongPassword, HidesTheControlsAndKeepsTheDialogOpen) {
    const QString typed = QString::fromStdString(std::get<0>(GetParam()));
    host_.controlsVisible = true;  // engineering mode was on
    Open();
    Enter(typed, std::get<1>(GetParam()));
    EXPECT_FALSE(host_.controlsVisible);
    EXPECT_EQ(host_.clears, 1);
    ExpectOpen(true);
    EXPECT_EQ(Named<QLineEdit>(dialog_, "Edit1")->text(), typed);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WrongPassword,
    ::testing::Combine(::testing::Values<std::string>("corvatine ", " corvatine", "Corvatine",
                                                      "CORVATINE", "corvatin", "corvatinee", ""),
                       ::testing::Values(Submit::Confirm, Submit::Enter)));

TEST_F(PasswordDialogTest, RefusedAfterAcceptedInTheSameSessionEndsTheModeAtOnce) {
    Open();
    Enter("corvatine", Submit::Enter);
    ASSERT_TRUE(host_.controlsVisible);

    Open();
    Enter("corvatine!", Submit::Confirm);
    EXPECT_FALSE(host_.controlsVisible);
    EXPECT_EQ(host_.clears, 1);
    ExpectOpen(true);

    // The warning stays for the rest of this opening; the right text still closes it.
    Named<QLineEdit>(dialog_, "Edit1")->clear();
    Enter("corvatine", Submit::Confirm);
    EXPECT_TRUE(host_.controlsVisible);
    ExpectClosed();
}

TEST_F(PasswordDialogTest, OtherKeysAreTypedWithoutChecking) {
    Open();
    QLineEdit* edit = Named<QLineEdit>(dialog_, "Edit1");
    QTest::keyClicks(edit, "corvatine");
    QTest::keyClick(edit, Qt::Key_Tab);
    QTest::keyClick(edit, Qt::Key_Escape);
    ProcessDeferredDeletes();
    EXPECT_FALSE(host_.controlsVisible);
    EXPECT_EQ(host_.clears, 0);
    ExpectOpen(false);
}

TEST_F(PasswordDialogTest, CloseBoxLeavesTheModeAsItWas) {
    for (const bool mode : {false, true}) {
        host_.controlsVisible = mode;
        Open();
        QTest::keyClicks(Named<QLineEdit>(dialog_, "Edit1"), "corvatine");
        dialog_->close();
        ProcessDeferredDeletes();
        EXPECT_EQ(host_.controlsVisible, mode);
        EXPECT_EQ(host_.clears, 0);
        ExpectClosed();
    }
}

TEST_F(PasswordDialogTest, ClosesWithTheMainWindow) {
    Open();
    owner_.reset();
    ProcessDeferredDeletes();
    EXPECT_TRUE(dialog_.isNull());
}

TEST(PasswordStorage, TheLibraryDoesNotHoldThePasswordAsText) {
    QFile library(QStringLiteral(ALTRIX_DIALOGS_LIBRARY));
    ASSERT_TRUE(library.open(QIODevice::ReadOnly)) << ALTRIX_DIALOGS_LIBRARY;
    const QByteArray bytes = library.readAll();
    ASSERT_TRUE(bytes.contains("Activate Engineering Mode"));  // the dialog's own texts are there
    EXPECT_FALSE(bytes.contains("corvatine"));
    const char16_t wide[] = u"corvatine";
    EXPECT_FALSE(bytes.contains(QByteArray(reinterpret_cast<const char*>(wide), 18)));
}

}  // namespace
}  // namespace altrix
