#include "Trigger.h"

#include "Readout.h"

#include <algorithm>

namespace altrix {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number without leading integer zeros or trailing fraction zeros, so that equal
// values have equal parts; zero is never negative.
struct Decimal {
    bool Negative = false;
    std::string Integer;
    std::string Fraction;
};

// "[+-]digits[.digits]", either digit run may be empty but not both.
std::optional<Decimal> ParseDecimal(std::string_view text) {
    Decimal d;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.Negative = text[i++] == '-';
    bool point = false, digits = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !point) {
            point = true;
        } else if (IsDigit(text[i])) {
            digits = true;
            (point ? d.Fraction : d.Integer).push_back(text[i]);
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    d.Integer.erase(0, std::min(d.Integer.find_first_not_of('0'), d.Integer.size()));
    d.Fraction.erase(d.Fraction.find_last_not_of('0') + 1);
    if (d.Integer.empty() && d.Fraction.empty()) d.Negative = false;
    return d;
}

// -1, 0 or 1 as a < b, a == b, a > b. Without trailing zeros, fractions order as text.
int Compare(const Decimal& a, const Decimal& b) {
    if (a.Negative != b.Negative) return a.Negative ? -1 : 1;
    int magnitude = a.Integer.size() != b.Integer.size() ? (a.Integer.size() < b.Integer.size() ? -1 : 1)
                                                         : a.Integer.compare(b.Integer);
    if (magnitude == 0) magnitude = a.Fraction.compare(b.Fraction);
    magnitude = (magnitude > 0) - (magnitude < 0);
    return a.Negative ? -magnitude : magnitude;
}

}  // namespace

bool IsTriggerLevel(std::string_view level) {
    return ParseDecimal(level).has_value();
}

namespace {

// The smallest raw sample whose readout is at or above (strictly: above) the level.
std::int32_t FirstSampleFrom(std::string_view level, std::string_view gain, bool strictly) {
    const Decimal target = ParseDecimal(level).value_or(Decimal{});
    // A readout is a decimal number; it grows with the sample since the gain is not negative.
    const auto atOrAbove = [&](std::int32_t sample) {
        const int order = Compare(*ParseDecimal(CountDataValue(sample, gain).Text), target);
        return strictly ? order > 0 : order >= 0;
    };
    std::int32_t low = -32768, high = 32767;
    if (!atOrAbove(high)) return kNoSampleAtLevel;
    while (low < high) {
        const std::int32_t middle = low + (high - low) / 2;
        if (atOrAbove(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

}  // namespace

std::int32_t RawThreshold(std::string_view level, std::string_view gain) {
    return FirstSampleFrom(level, gain, false);
}

std::int32_t RawAbove(std::string_view level, std::string_view gain) {
    return FirstSampleFrom(level, gain, true);
}

std::int32_t PreTriggerSets(int percent) {
    return (std::clamp(percent, 0, 100) * kNewestPosition + 50) / 100;
}

void CopyWindowSlots(const ChannelTraces& from, ChannelTraces& to, std::int32_t nextSample) {
    // The window is slots nextSample - 100000 .. nextSample - 1, in two runs when it wraps.
    const int first = SlotOfPosition(nextSample, 0);
    const int firstRun = std::min(kWindowPositions, kTraceSlots - first);
    for (int c = 0; c < kChannelCount; ++c) {
        std::copy_n(from[c].begin() + first, firstRun, to[c].begin() + first);
        std::copy_n(from[c].begin(), kWindowPositions - firstRun, to[c].begin());
    }
}

void TriggerSearch::Arm(const TriggerSettings& settings, std::int32_t threshold, std::int32_t aboveBand) {
    *this = TriggerSearch{};
    mode_ = settings.Mode;
    source_ = std::clamp(settings.Source, 1, kChannelCount);
    const bool bit = settings.Condition == TriggerCondition::BitSet ||
                     settings.Condition == TriggerCondition::BitCleared;
    threshold_ = threshold;
    aboveBand_ = aboveBand;
    if (IsBandCondition(settings.Condition)) band_ = settings.Condition;
    bitMask_ = bit ? static_cast<std::uint16_t>(1u << std::clamp(settings.Bit, 0, 15)) : 0;
    // A band condition's state is "outside" or "inside": its event is that state beginning.
    onRise_ = settings.Condition == TriggerCondition::Rising || settings.Condition == TriggerCondition::Either ||
              settings.Condition == TriggerCondition::BitSet || band_.has_value();
    onFall_ = settings.Condition == TriggerCondition::Falling || settings.Condition == TriggerCondition::Either ||
              settings.Condition == TriggerCondition::BitCleared;
    preTrigger_ = PreTriggerSets(settings.PreTriggerPercent);
    holdoffSets_ = static_cast<std::int64_t>(std::clamp(settings.HoldoffMs, 0, kMaxHoldoffMs)) * kSetsPerMillisecond;
    // The trigger set needs the pre-trigger sets before it, and a set before it to compare.
    armedFrom_ = std::max<std::int64_t>(preTrigger_, 1);
}

TriggerPhase TriggerSearch::Phase() const {
    if (mode_ == TriggerMode::Off) return TriggerPhase::Off;
    if (trigger_ >= 0) return TriggerPhase::Triggered;
    return seen_ < preTrigger_ ? TriggerPhase::Filling : TriggerPhase::Armed;
}

std::optional<TriggeredWindow> TriggerSearch::Scan(const ChannelSamples& source, std::int32_t nextSample,
                                                   int count) {
    std::optional<TriggeredWindow> completed;
    if (mode_ == TriggerMode::Off) return completed;
    int slot = nextSample - count;
    if (slot < 0) slot += kTraceSlots;
    for (int i = 0; i < count && !finished_; ++i) {
        const bool state = stateOf(source[slot]);
        const std::int64_t n = seen_++;
        if (++slot == kTraceSlots) slot = 0;
        if (end_ < 0 && n >= armedFrom_ && state != previous_ && (state ? onRise_ : onFall_)) {
            trigger_ = n;
            end_ = n + (kNewestPosition - preTrigger_);
        }
        if (n == end_) {
            // `slot` is now the one after the window's last set.
            completed = TriggeredWindow{trigger_, slot};
            end_ = -1;
            armedFrom_ = std::max(n + 1, trigger_ + holdoffSets_);
            finished_ = mode_ == TriggerMode::Single;
        }
        previous_ = state;
    }
    return completed;
}

}  // namespace altrix
