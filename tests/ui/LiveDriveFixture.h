#pragma once
// The main window on the simulated drive: the drive serves a pseudo-terminal whose link is
// typed into COMSelectBox1, and engineering mode is on so that channel addresses can be
// typed. Helpers act as the user does; every wait is bounded.

#include "DriveTestSupport.h"
#include "MainframeFixture.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace altrix::testing {

class LiveDriveTest : public MainframeTest {
protected:
    void SetUp() override {
        MainframeTest::SetUp();
        form_->SetEngineeringControlsVisible(true);
    }

    // Starts the simulated drive and names its link as the port.
    void startDrive(sim::DriveOptions options = {}, double speed = 1.0) {
        sim_ = std::make_unique<RunningDrive>(options, speed);
        ASSERT_TRUE(sim_->Started()) << sim_->Error();
        choosePort(QString::fromStdString(sim_->Link()));
    }
    void choosePort(const QString& name) { find<QComboBox>(QStringLiteral("COMSelectBox1"))->setEditText(name); }

    // Clicks the address edit, which selects its text, and types over it.
    void typeAddress(int k, const QString& text) {
        QLineEdit* edit = find<QLineEdit>(QStringLiteral("Edit%1").arg(k));
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClicks(edit, text);
    }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(QLatin1String(button)), Qt::LeftButton); }
    bool timerActive() const { return session_.findChild<QTimer*>(QStringLiteral("Timer1"))->isActive(); }

    // Ticks as Timer1 does until `done` holds; false when the limit passed first.
    template <class Predicate>
    bool tickUntil(Predicate done, std::chrono::milliseconds limit = kWaitLimit) {
        return WaitUntil([&] {
            form_->Timer1Timer();
            return done();
        }, limit);
    }

    std::unique_ptr<RunningDrive> sim_;
};

}  // namespace altrix::testing
