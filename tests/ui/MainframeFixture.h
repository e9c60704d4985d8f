#pragma once
// A shown main window with a scripted Prompts, and helpers to reach its controls by name.

#include "CaptureSession.h"
#include "ChartViewControls.h"
#include "Mainframe.h"
#include "ScopeChart.h"
#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include <chrono>

#include <string>
#include <vector>

namespace altrix::testing {

// A point of a chart series, comparable as a whole.
struct Point {
    double x;
    double y;
    bool operator==(const Point&) const = default;
};
using Points = std::vector<Point>;

inline Points PointsOf(const ScopeChart& chart, int series) {
    Points points;
    for (auto it = chart.series(series)->data()->constBegin(); it != chart.series(series)->data()->constEnd(); ++it)
        points.push_back({it->key, it->value});
    return points;
}

class MainframeTest : public ::testing::Test {
protected:
    void SetUp() override { openWindow(); }
    // Shows a new main window over the settings file settingsIniPath_ (none when empty).
    void openWindow() {
        delete form_;  // a window closed before, still waiting to be freed
        display_ = std::make_unique<ScopeDisplay>(session_);
        form_ = new TForm1(prompts_, session_, *display_, settingsIniPath_);
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_));
    }
    void TearDown() override {
        delete form_;
        display_.reset();
    }

    template <typename T = QWidget>
    T* find(const QString& name) const {
        T* child = form_->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }
    ScopeChart& chart() const { return *find<ScopeChart>(QStringLiteral("Chart1")); }
    CaptureRecord& record() const { return form_->record(); }
    DisplayView& view() const { return form_->display().View(); }

    // Waits, handling the window's events, until no export is being written (its commands
    // enabled again); false when the limit passed first.
    bool exportEnded(std::chrono::milliseconds limit = std::chrono::seconds(60)) const {
        QAction* data = form_->findChild<QAction*>(QStringLiteral("ExportData1"));
        return QTest::qWaitFor([data] { return data->isEnabled(); }, static_cast<int>(limit.count()));
    }

    // Waits, handling the window's events, until no waveform save is being written (its
    // progress dialog gone with it); false when the limit passed first.
    bool saveEnded(std::chrono::milliseconds limit = std::chrono::seconds(60)) const {
        return QTest::qWaitFor([this] { return form_->findChild<QProgressDialog*>(QStringLiteral("SaveProgress")) == nullptr; },
                               static_cast<int>(limit.count()));
    }

    // A list item chosen as the user chooses it.
    static void choose(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    // Channel k is shown: its box ticked and its address edit not empty.
    void showChannel(int k, const QString& address = QStringLiteral("9000")) {
        find<QLineEdit>(QStringLiteral("Edit%1").arg(k))->setText(address);
        find<QCheckBox>(QStringLiteral("CheckBox%1").arg(k))->setChecked(true);
    }

    // The session's state while a capture runs, as far as the window can tell, without a port:
    // its tick is held off so that no tick comes while the test looks.
    void setCaptureRunning(bool running) {
        QTimer* tick = session_.findChild<QTimer*>(QStringLiteral("Timer1"));
        tick->stop();
        tick->setInterval(running ? std::chrono::milliseconds(std::chrono::hours(1))
                                  : std::chrono::milliseconds(CaptureSession::kTickIntervalMs));
        if (running) tick->start();
    }

    ScriptedPrompts prompts_;
    CaptureSession session_;
    std::unique_ptr<ScopeDisplay> display_;  // a new one for each window, as at a new start
    const CommPort& port_ = session_.port();
    std::string settingsIniPath_;
    QPointer<TForm1> form_;
};

}  // namespace altrix::testing
