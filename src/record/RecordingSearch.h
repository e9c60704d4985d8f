#pragma once
// RecordingSearch: the next (or previous) event of the trigger's conditions in a recording.
// A stretch whose min/max summary shows every condition in the state it had at the set before
// the stretch holds no event and is skipped whole; the others are split down the pyramid and
// decided set by set with TriggerLogic. Resumable in slices; memory stays bounded (a few
// summary rows and 65536 sets, 512 KiB) whatever the recording's length.

#include "RecordingReader.h"
#include "Trigger.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace altrix {

enum class SearchDirection { Next, Previous };

class RecordingSearch {
public:
    enum class Status { Searching, Found, NotFound, Failed };

    // The search of `reader`, which outlives it, for the first event of `logic` after set
    // `from` (Next) or the last one before it (Previous). An event is a set n >= 1 that
    // TriggerLogic, given set n - 1 and then set n, calls one; set 0 has no set before it.
    RecordingSearch(RecordingReader& reader, const TriggerLogic& logic, SearchDirection direction, std::int64_t from);

    // Searches on until a result or, after at least one step, `deadline`.
    Status Continue(std::chrono::steady_clock::time_point deadline);
    // Searches to a result.
    Status Run() { return Continue(std::chrono::steady_clock::time_point::max()); }

    Status State() const { return status_; }
    SearchDirection Direction() const { return direction_; }
    std::int64_t From() const { return from_; }
    // The event's set, once Found.
    std::int64_t Found() const { return found_; }
    // How far it has searched: no set strictly between `from` and this one is an event.
    std::int64_t Reached() const { return at_; }
    // The share (0..1) of the stretch to search that has been searched.
    double Progress() const;
    // Why it Failed (a read of the file), for the user.
    const std::string& Error() const { return error_; }
    // What the user should know of the file besides the result (damaged summaries), else empty.
    std::string Note() const { return reader_.SummaryNote(); }

private:
    // The width in sets of the stretches of tier t (1..kPyramidLevels): two blocks of level t,
    // which BucketExtremes reads from that level's rows.
    static constexpr std::int64_t tierSets(int t) { return 2 * LevelBlockSets(t); }
    bool start();
    bool stepNext();
    bool stepPrevious();
    // Sets first .. end - 1 through the logic; Found at the first event.
    bool decideNext(std::int64_t first, std::int64_t end);
    // The last event at sets first + 1 .. last, the logic given set first; Found if any.
    bool decidePrevious(std::int64_t first, std::int64_t last);
    // Whether no set of a stretch with these extremes leaves the states of the set known.
    bool unchanged(const SetExtremes& e) const;
    void takeStates(const std::int16_t* set);
    // Stretch k of tier t, or none when the file could not be read.
    const SetExtremes* stretch(int t, std::int64_t k);
    const std::int16_t* set(std::int64_t n);
    bool fail();

    RecordingReader& reader_;
    TriggerLogic logic_;
    SearchDirection direction_;
    std::int64_t from_;
    std::int64_t sets_;
    Status status_ = Status::Searching;
    bool started_ = false;
    // Next: the first set not decided, the logic given the set before it; Previous: the set
    // whose states are known, every set after it (and before `from`) decided.
    std::int64_t at_ = 0;
    std::int64_t begin_ = 0;  // at_ when the search started
    bool state1_ = false, state2_ = false;  // the conditions' states at the set known
    int tier_ = 0;  // the tier to look at next at at_ after a stretch could not be skipped; 0: the coarsest
    std::int64_t found_ = -1;
    std::string error_;

    static constexpr std::int64_t kGroup = 32;  // stretches read at a time (one row of blocks)
    std::array<std::vector<SetExtremes>, kPyramidLevels> stretches_;
    std::array<std::int64_t, kPyramidLevels> group_;  // the group each tier holds; -1: none
    // Sets read at a time: a chunk of the file is read whole to get at any of its sets, and the
    // benchmarks' recordings hold a minute (300000 sets) a chunk.
    static constexpr std::int64_t kWindowSets = 65536;
    std::vector<std::int16_t> window_;
    std::int64_t windowFirst_ = -1;
};

}  // namespace altrix
