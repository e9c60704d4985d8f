#pragma once
// Find next / previous through the recording on show: the trigger's conditions with the
// recording's own gains, searched from the set found last while it is in view (beyond the
// trigger's holdoff from it), else from the middle of the view (as the display holds it), in
// slices with what each says. A press while a search runs stops it instead.

#include "RecordingSearch.h"
#include "SetClock.h"
#include "Trigger.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace altrix {

class ScopeDisplay;

// The first level of `settings`' conditions (the second only while joined) that is no number,
// and its condition's source channel; none when every level the trigger waits for is one.
struct BadTriggerLevel {
    std::string Level;
    int Source = 0;
    bool operator==(const BadTriggerLevel&) const = default;
};
std::optional<BadTriggerLevel> FirstBadLevel(const TriggerSettings& settings);

class EventFinder {
public:
    enum class Outcome { Refused, Searching, Found, NotFound, Failed, Stopped };
    struct Report {
        Outcome What = Outcome::Refused;
        QString Text;           // for the status bar
        std::int64_t Set = -1;  // Found: the set to bring into view
    };

    // `display` outlives the finder; `clock` writes the recording's set times.
    EventFinder(const ScopeDisplay& display, SetClock clock);
    ~EventFinder();

    // A press of Find next (previous): starts a search and runs it until `deadline`, or stops
    // the one running.
    Report Find(SearchDirection direction, std::chrono::steady_clock::time_point deadline);
    // The running search goes on until `deadline`.
    Report Continue(std::chrono::steady_clock::time_point deadline);
    Report Stop();
    bool Searching() const { return search_ != nullptr; }
    // Another source on show: what was searched and found belongs to the one before.
    void Forget();

private:
    Report report(RecordingSearch::Status status);

    const ScopeDisplay& display_;
    SetClock clock_;
    std::unique_ptr<RecordingSearch> search_;
    std::int64_t found_ = -1;  // the set found last in the recording on show; -1: none
};

}  // namespace altrix
