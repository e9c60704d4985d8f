#include "RecordingSearch.h"

#include <algorithm>
#include <cstdlib>

namespace altrix {

RecordingSearch::RecordingSearch(RecordingReader& reader, const TriggerLogic& logic, SearchDirection direction,
                                 std::int64_t from)
    : reader_(reader), logic_(logic), direction_(direction), from_(from), sets_(reader.Sets()) {
    group_.fill(-1);
}

RecordingSearch::Status RecordingSearch::Continue(std::chrono::steady_clock::time_point deadline) {
    if (status_ != Status::Searching) return status_;
    if (!started_ && !start()) return status_;
    const bool next = direction_ == SearchDirection::Next;
    do {
        if (!(next ? stepNext() : stepPrevious())) break;
    } while (std::chrono::steady_clock::now() < deadline);
    return status_;
}

double RecordingSearch::Progress() const {
    if (status_ != Status::Searching) return 1;
    if (!started_) return 0;
    const std::int64_t whole = direction_ == SearchDirection::Next ? sets_ - begin_ : begin_;
    return whole > 0 ? static_cast<double>(std::abs(at_ - begin_)) / static_cast<double>(whole) : 1;
}

bool RecordingSearch::start() {
    started_ = true;
    if (direction_ == SearchDirection::Next) {
        // The set at `from` (at 0 before the recording) is given to the logic, not decided.
        const std::int64_t first = std::max<std::int64_t>(from_, 0);
        if (first + 1 >= sets_) {
            status_ = Status::NotFound;
            at_ = begin_ = sets_;
            return false;
        }
        const std::int16_t* s = set(first);
        if (!s) return fail();
        logic_.Step(s[logic_.FirstSource() - 1], s[logic_.SecondSource() - 1]);
        takeStates(s);
        at_ = begin_ = first + 1;
        return true;
    }
    at_ = begin_ = std::min(from_, sets_) - 1;
    if (at_ < 1) {
        status_ = Status::NotFound;
        at_ = begin_ = std::max<std::int64_t>(at_, 0);
        return false;
    }
    const std::int16_t* s = set(at_);
    if (!s) return fail();
    takeStates(s);
    return true;
}

bool RecordingSearch::stepNext() {
    if (at_ >= sets_) {
        status_ = Status::NotFound;
        at_ = sets_;
        return false;
    }
    const std::int64_t finest = tierSets(1);
    if (at_ % finest != 0) return decideNext(at_, std::min(sets_, (at_ / finest + 1) * finest));
    int t = tier_;
    if (t == 0)
        for (t = kPyramidLevels; at_ % tierSets(t) != 0;) --t;
    const SetExtremes* e = stretch(t, at_ / tierSets(t));
    if (!e) return fail();
    if (unchanged(*e)) {
        at_ += tierSets(t);
        tier_ = 0;
        return true;
    }
    tier_ = t - 1;
    if (t > 1) return true;
    return decideNext(at_, std::min(sets_, at_ + finest));
}

bool RecordingSearch::stepPrevious() {
    if (at_ < 1) {
        status_ = Status::NotFound;
        return false;
    }
    const std::int64_t finest = tierSets(1);
    if (at_ % finest != 0) return decidePrevious(at_ - at_ % finest, at_);
    int t = tier_;
    if (t == 0)
        for (t = kPyramidLevels; at_ % tierSets(t) != 0;) --t;
    // The stretch before the set known: with it, the events at its sets but the first.
    const SetExtremes* e = stretch(t, at_ / tierSets(t) - 1);
    if (!e) return fail();
    if (unchanged(*e)) {
        at_ -= tierSets(t);
        tier_ = 0;
        return true;
    }
    tier_ = t - 1;
    if (t > 1) return true;
    return decidePrevious(at_ - finest, at_);
}

bool RecordingSearch::decideNext(std::int64_t first, std::int64_t end) {
    tier_ = 0;
    for (std::int64_t n = first; n < end; ++n) {
        const std::int16_t* s = set(n);
        if (!s) return fail();
        const bool event = logic_.Step(s[logic_.FirstSource() - 1], s[logic_.SecondSource() - 1]);
        takeStates(s);
        at_ = n + 1;
        if (event) {
            found_ = n;
            status_ = Status::Found;
            return false;
        }
    }
    return true;
}

bool RecordingSearch::decidePrevious(std::int64_t first, std::int64_t last) {
    tier_ = 0;
    TriggerLogic logic = logic_;
    std::int64_t event = -1;
    for (std::int64_t n = first; n <= last; ++n) {
        const std::int16_t* s = set(n);
        if (!s) return fail();
        if (n == first) takeStates(s);
        if (logic.Step(s[logic_.FirstSource() - 1], s[logic_.SecondSource() - 1]) && n > first) event = n;
    }
    if (event >= 0) {
        at_ = event;
        found_ = event;
        status_ = Status::Found;
        return false;
    }
    at_ = first;
    return true;
}

bool RecordingSearch::unchanged(const SetExtremes& e) const {
    const auto same = [&e](const RawCondition& c, bool state) {
        const auto channel = static_cast<std::size_t>(c.Source - 1);
        const std::optional<bool> over = c.StateOver(e.Low[channel], e.High[channel]);
        return over && *over == state;
    };
    return same(logic_.First(), state1_) && (logic_.Join() == TriggerJoin::None || same(logic_.Second(), state2_));
}

void RecordingSearch::takeStates(const std::int16_t* s) {
    state1_ = logic_.First().State(s[logic_.FirstSource() - 1]);
    state2_ = logic_.Second().State(s[logic_.SecondSource() - 1]);
}

const SetExtremes* RecordingSearch::stretch(int t, std::int64_t k) {
    const auto i = static_cast<std::size_t>(t - 1);
    const std::int64_t group = k / kGroup;
    if (group_[i] != group) {
        stretches_[i].resize(kGroup);
        group_[i] = -1;
        if (!reader_.BucketExtremes(group * kGroup * tierSets(t), static_cast<double>(tierSets(t)), stretches_[i]))
            return nullptr;
        group_[i] = group;
    }
    return &stretches_[i][static_cast<std::size_t>(k - group * kGroup)];
}

const std::int16_t* RecordingSearch::set(std::int64_t n) {
    const std::int64_t first = n / kWindowSets * kWindowSets;
    if (windowFirst_ != first) {
        const std::int64_t count = std::min(kWindowSets, sets_ - first);
        window_.resize(static_cast<std::size_t>(count * kRecordingChannels));
        windowFirst_ = -1;
        if (!reader_.ReadSets(first, count, window_)) return nullptr;
        windowFirst_ = first;
    }
    return &window_[static_cast<std::size_t>((n - first) * kRecordingChannels)];
}

bool RecordingSearch::fail() {
    status_ = Status::Failed;
    error_ = reader_.Error();
    return false;
}

}  // namespace altrix
