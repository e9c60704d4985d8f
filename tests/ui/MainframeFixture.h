#pragma once
// A shown main window with a scripted Prompts, and helpers to reach its controls by name.

#include "CommPort.h"
#include "Mainframe.h"
#include "ScopeChart.h"
#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QCheckBox>
#include <QPointer>
#include <QTest>

namespace altrix::testing {

class MainframeTest : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = new TForm1(prompts_, port_);
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_));
    }
    void TearDown() override { delete form_; }

    template <typename T = QWidget>
    T* find(const QString& name) const {
        T* child = form_->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }
    ScopeChart& chart() const { return *find<ScopeChart>(QStringLiteral("Chart1")); }
    CaptureRecord& record() const { return form_->record(); }

    // Channel k is shown: its box ticked and its address edit not empty.
    void showChannel(int k, const QString& address = QStringLiteral("9000")) {
        find<QLineEdit>(QStringLiteral("Edit%1").arg(k))->setText(address);
        find<QCheckBox>(QStringLiteral("CheckBox%1").arg(k))->setChecked(true);
    }

    ScriptedPrompts prompts_;
    CommPort port_;
    QPointer<TForm1> form_;
};

}  // namespace altrix::testing
