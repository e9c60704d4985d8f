// TForm1: Trigger > "Find next" / "Find previous" (Ctrl+F3 / Ctrl+Shift+F3; F3 is Ref1's "Save
// Ch3") look through the recording on show for the next (previous) set where the trigger's
// conditions make an event, from the set found last while it is in view, else from the middle of
// the view, and show it. The search runs in slices of the event loop, the status bar showing how
// far it got; Esc or another press of either stops it and says where. Without a recording they
// only say that they need one.

#include "Mainframe.h"

#include "ui_Mainframe.h"

#include <QLocale>
#include <QShortcut>
#include <QTimer>

#include <chrono>
#include <cmath>

namespace altrix {

namespace {

// The longest the window waits for a slice of a search.
constexpr auto kSearchSlice = std::chrono::milliseconds(40);

}  // namespace

void TForm1::connectSearchHandlers() {
    connect(ui_->FindNextAction, &QAction::triggered, this, [this] { findEvent(SearchDirection::Next); });
    connect(ui_->FindPreviousAction, &QAction::triggered, this, [this] { findEvent(SearchDirection::Previous); });
    searchTimer_ = new QTimer(this);
    connect(searchTimer_, &QTimer::timeout, this, &TForm1::searchSlice);
    searchStop_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    searchStop_->setObjectName(QStringLiteral("StopSearchShortcut"));
    searchStop_->setEnabled(false);
    connect(searchStop_, &QShortcut::activated, this, &TForm1::stopSearch);
    // Another recording, or the live window: what was searched and found belongs to the one before.
    connect(&display_, &ScopeDisplay::lengthChanged, this, [this] {
        searchTimer_->stop();
        searchStop_->setEnabled(false);
        search_.reset();
        searchFound_ = -1;
    });
}

QString TForm1::recordingClock(std::int64_t set) const {
    const auto ms = std::llround(double(set) * kSamplePeriodSeconds * 1000);
    if (display_.Facts().Start.isValid())
        return QString::fromStdString(SetClockText(display_.Times(), set, ClockForm::TimeOfDay));
    return QStringLiteral("%1 s into the recording").arg(QLocale().toString(double(ms) / 1000, 'f', 3));
}

void TForm1::findEvent(SearchDirection direction) {
    if (search_) {
        stopSearch();
        return;
    }
    const RecordingSource* recording = display_.Recording();
    if (!recording) {
        showFileStatus(QStringLiteral("Find works in an open recording (File > Open recording...)"));
        return;
    }
    const TriggerSettings& trigger = display_.Trigger();
    for (const TriggerTerm& term : {trigger.First(), trigger.Second}) {
        if (!LevelsValid(term)) {
            const bool band = IsBandCondition(term.Condition);
            const std::string& level = band && IsTriggerLevel(term.Level) ? term.Level2 : term.Level;
            showFileStatus(QStringLiteral("Find needs a trigger level: \"%1\" (channel %2) is no number")
                               .arg(QString::fromStdString(level))
                               .arg(term.Source));
            return;
        }
        if (trigger.Join == TriggerJoin::None) break;
    }
    std::array<std::string, kChannelCount> gains;
    for (int k = 0; k < kChannelCount; ++k) gains[k] = recording->Reader().Header().Channels[k].Gain;
    const QCPRange view = ui_->Chart1->xAxis->range();
    const std::int64_t from = searchFound_ >= 0 && view.contains(double(searchFound_)) ? searchFound_ : std::llround(view.center());
    search_ = std::make_unique<RecordingSearch>(recording->Reader(), TriggerLogic::Of(trigger, gains), direction, from);
    searchStop_->setEnabled(true);
    searchSlice();
}

void TForm1::searchSlice() {
    if (!search_) return;
    const RecordingSearch::Status status = search_->Continue(std::chrono::steady_clock::now() + kSearchSlice);
    const bool next = search_->Direction() == SearchDirection::Next;
    const QLocale locale;
    if (status == RecordingSearch::Status::Searching) {
        ui_->LinkStatusBar->showMessage(QStringLiteral("Searching for the %1 event: %2 % done, at %3; Esc stops")
                                            .arg(next ? QStringLiteral("next") : QStringLiteral("previous"),
                                                 locale.toString(100 * search_->Progress(), 'f', 0),
                                                 recordingClock(search_->Reached())));
        searchTimer_->start(0);
        return;
    }
    const std::unique_ptr<RecordingSearch> search = std::move(search_);
    searchTimer_->stop();
    searchStop_->setEnabled(false);
    if (status == RecordingSearch::Status::Found) {
        searchFound_ = search->Found();
        showRecordingSet(searchFound_);
        showFileStatus(QStringLiteral("Found at %1 (set %2)").arg(recordingClock(searchFound_), locale.toString(searchFound_)));
    } else if (status == RecordingSearch::Status::NotFound) {
        showFileStatus(next ? QStringLiteral("No event after %1 to the end of the recording").arg(recordingClock(search->From()))
                            : QStringLiteral("No event before %1 to the start of the recording").arg(recordingClock(search->From())));
    } else {
        showFileStatus(QStringLiteral("Find stopped at %1 (set %2): %3")
                           .arg(recordingClock(search->Reached()), locale.toString(search->Reached()),
                                QString::fromStdString(search->Error())));
    }
    if (const std::string note = search->Note(); !note.empty()) showFileStatus(ui_->LinkStatusBar->currentMessage() + QStringLiteral("; ") + QString::fromStdString(note));
}

void TForm1::stopSearch() {
    if (!search_) return;
    const std::unique_ptr<RecordingSearch> search = std::move(search_);
    searchTimer_->stop();
    searchStop_->setEnabled(false);
    showFileStatus(QStringLiteral("Find stopped at %1 (set %2): no event %3 %4 up to there")
                       .arg(recordingClock(search->Reached()), QLocale().toString(search->Reached()),
                            search->Direction() == SearchDirection::Next ? QStringLiteral("after") : QStringLiteral("before"),
                            recordingClock(search->From())));
}

}  // namespace altrix
