#include "FindControls.h"

#include <QAction>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

#include <chrono>

namespace altrix {

namespace {

// The longest the window waits for a slice of a search.
constexpr auto kSearchSlice = std::chrono::milliseconds(40);

std::chrono::steady_clock::time_point SliceEnd() {
    return std::chrono::steady_clock::now() + kSearchSlice;
}

}  // namespace

FindControls::FindControls(const Controls& controls, const ScopeDisplay& display, SetClock clock,
                           std::function<void(const QString&)> tell, std::function<void(std::int64_t)> showSet, QObject* parent)
    : QObject(parent), controls_(controls), finder_(display, std::move(clock)), tell_(std::move(tell)),
      showSet_(std::move(showSet)), timer_(new QTimer(this)), stop_(new QShortcut(QKeySequence(Qt::Key_Escape), controls.window)),
      cancel_(new QPushButton(QStringLiteral("Cancel"))) {
    connect(controls_.next, &QAction::triggered, this, [this] { findEvent(SearchDirection::Next); });
    connect(controls_.previous, &QAction::triggered, this, [this] { findEvent(SearchDirection::Previous); });
    connect(timer_, &QTimer::timeout, this, &FindControls::searchSlice);
    stop_->setObjectName(QStringLiteral("StopSearchShortcut"));
    stop_->setEnabled(false);
    connect(stop_, &QShortcut::activated, this, [this] { show(finder_.Stop()); });
    cancel_->setObjectName(QStringLiteral("FindCancelButton"));
    cancel_->setToolTip(QStringLiteral("Stop the search (Esc)"));
    cancel_->setFocusPolicy(Qt::NoFocus);
    // No taller than the status bar's text, so that the bar and the client area keep their size.
    cancel_->setMaximumHeight(controls_.bar->fontMetrics().height());
    controls_.bar->addPermanentWidget(cancel_);
    cancel_->hide();
    connect(cancel_, &QPushButton::clicked, this, [this] { show(finder_.Stop()); });
    connect(&display, &ScopeDisplay::lengthChanged, this, [this] {
        finder_.Forget();
        show({});
    });
}

void FindControls::findEvent(SearchDirection direction) {
    searching_.start();
    show(finder_.Find(direction, SliceEnd()));
}

void FindControls::searchSlice() {
    if (finder_.Searching()) show(finder_.Continue(SliceEnd()));
}

void FindControls::show(const EventFinder::Report& report) {
    const bool searching = report.What == EventFinder::Outcome::Searching;
    stop_->setEnabled(searching);
    cancel_->setVisible(searching && searching_.elapsed() >= kCancelDelayMs);
    if (searching) {
        controls_.bar->showMessage(report.Text);
        timer_->start(0);
        return;
    }
    timer_->stop();
    if (report.What == EventFinder::Outcome::Found) showSet_(report.Set);
    if (!report.Text.isEmpty()) tell_(report.Text);
}

}  // namespace altrix
