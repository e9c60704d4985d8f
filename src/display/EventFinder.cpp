#include "EventFinder.h"

#include "RecordingSource.h"
#include "ScopeDisplay.h"

#include <QLocale>

#include <algorithm>
#include <array>

namespace altrix {

std::optional<BadTriggerLevel> FirstBadLevel(const TriggerSettings& settings) {
    for (const TriggerTerm& term : {settings.First(), settings.Second}) {
        if (!LevelsValid(term)) {
            const bool band = IsBandCondition(term.Condition);
            return BadTriggerLevel{band && IsTriggerLevel(term.Level) ? term.Level2 : term.Level, term.Source};
        }
        if (settings.Join == TriggerJoin::None) break;
    }
    return std::nullopt;
}

EventFinder::EventFinder(const ScopeDisplay& display, SetClock clock) : display_(display), clock_(std::move(clock)) {}

EventFinder::~EventFinder() = default;

EventFinder::Report EventFinder::Find(SearchDirection direction, std::chrono::steady_clock::time_point deadline) {
    if (search_) return Stop();
    const RecordingSource* recording = display_.Recording();
    if (!recording) return {Outcome::Refused, QStringLiteral("Find works in an open recording (File > Open recording...)")};
    const TriggerSettings& trigger = display_.Trigger();
    if (const std::optional<BadTriggerLevel> bad = FirstBadLevel(trigger))
        return {Outcome::Refused, QStringLiteral("Find needs a trigger level: \"%1\" (channel %2) is no number")
                                      .arg(QString::fromStdString(bad->Level))
                                      .arg(bad->Source)};
    std::array<std::string, kChannelCount> gains;
    for (int k = 0; k < kChannelCount; ++k) gains[static_cast<std::size_t>(k)] = recording->Reader().Header().Channels[static_cast<std::size_t>(k)].Gain;
    const PositionStretch view = display_.ViewStretch();
    const bool foundInView = found_ >= view.First && found_ <= view.Last;
    std::int64_t from = found_ >= 0 && foundInView ? found_ : (std::int64_t{view.First} + view.Last + 1) / 2;
    // From the event found, the next one comes no sooner than the holdoff after it (and the
    // previous one no later than the holdoff before it), as the live trigger would take them.
    const std::int64_t holdoff = std::int64_t{std::clamp(trigger.HoldoffMs, 0, kMaxHoldoffMs)} * kSetsPerMillisecond;
    if (found_ >= 0 && foundInView && holdoff > 0) from += direction == SearchDirection::Next ? holdoff - 1 : 1 - holdoff;
    search_ = std::make_unique<RecordingSearch>(recording->Reader(), TriggerLogic::Of(trigger, gains), direction, from);
    return Continue(deadline);
}

EventFinder::Report EventFinder::Continue(std::chrono::steady_clock::time_point deadline) {
    if (!search_) return {Outcome::Refused, {}};
    return report(search_->Continue(deadline));
}

EventFinder::Report EventFinder::report(RecordingSearch::Status status) {
    const bool next = search_->Direction() == SearchDirection::Next;
    const QLocale locale;
    if (status == RecordingSearch::Status::Searching)
        return {Outcome::Searching, QStringLiteral("Searching for the %1 event: %2 % done, at %3; Esc or Cancel stops")
                                        .arg(next ? QStringLiteral("next") : QStringLiteral("previous"),
                                             locale.toString(100 * search_->Progress(), 'f', 0), clock_(search_->Reached()))};
    const std::unique_ptr<RecordingSearch> search = std::move(search_);
    Report done = [&]() -> Report {
        if (status == RecordingSearch::Status::Found) {
            found_ = search->Found();
            return {Outcome::Found, QStringLiteral("Found at %1 (set %2)").arg(clock_(found_), locale.toString(found_)), found_};
        }
        if (status == RecordingSearch::Status::NotFound)
            return {Outcome::NotFound,
                    next ? QStringLiteral("No event after %1 to the end of the recording").arg(clock_(search->From()))
                         : QStringLiteral("No event before %1 to the start of the recording").arg(clock_(search->From()))};
        return {Outcome::Failed, QStringLiteral("Find stopped at %1 (set %2): %3")
                                     .arg(clock_(search->Reached()), locale.toString(search->Reached()),
                                          QString::fromStdString(search->Error()))};
    }();
    // Damaged summaries were read from the sets instead: the answer holds, the file is said to be damaged.
    if (const std::string note = search->Note(); !note.empty()) done.Text += QStringLiteral("; ") + QString::fromStdString(note);
    return done;
}

EventFinder::Report EventFinder::Stop() {
    if (!search_) return {Outcome::Refused, {}};
    const std::unique_ptr<RecordingSearch> search = std::move(search_);
    return {Outcome::Stopped, QStringLiteral("Find stopped at %1 (set %2): no event %3 %4 up to there")
                                  .arg(clock_(search->Reached()), QLocale().toString(search->Reached()),
                                       search->Direction() == SearchDirection::Next ? QStringLiteral("after") : QStringLiteral("before"),
                                       clock_(search->From()))};
}

void EventFinder::Forget() {
    search_.reset();
    found_ = -1;
}

}  // namespace altrix
