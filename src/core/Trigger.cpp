#include "Trigger.h"

#include "Readout.h"

#include <algorithm>
#include <bit>
#include <cctype>

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

std::string TermName(const TriggerTerm& term, char space) {
    std::string condition(kTriggerConditionNames[static_cast<std::size_t>(term.Condition)]);
    if (space != ' ')
        for (char& c : condition) c = c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return "ch" + std::to_string(term.Source) + (space == ' ' ? ' ' : '_') + condition;
}

std::string JoinedName(const TriggerSettings& settings, char space) {
    std::string name = TermName(settings.First(), space);
    if (settings.Join == TriggerJoin::None) return name;
    std::string join(kTriggerJoinNames[static_cast<std::size_t>(settings.Join)]);
    if (space != ' ')
        for (char& c : join) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name + space + join + space + TermName(settings.Second, space);
}

}  // namespace

std::string TriggerName(const TriggerSettings& settings) { return JoinedName(settings, ' '); }
std::string TriggerFileName(const TriggerSettings& settings) { return JoinedName(settings, '_'); }

bool LevelsValid(const TriggerTerm& term) {
    if (IsBitCondition(term.Condition)) return true;
    return IsTriggerLevel(term.Level) && (!IsBandCondition(term.Condition) || IsTriggerLevel(term.Level2));
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

std::optional<bool> RawCondition::StateOver(std::int16_t low, std::int16_t high) const {
    if (low == high) return State(low);
    if (low > high) return std::nullopt;
    if (IsBitCondition(Condition)) {
        // As unsigned words the samples run on without a wrap only on one side of zero; within
        // them the bit stays while the bits above it do.
        if (low < 0 && high >= 0) return std::nullopt;
        const auto shift = std::countr_zero(BitMask) + 1;
        const auto u = [](std::int16_t s) { return static_cast<std::uint16_t>(s); };
        if ((u(low) >> shift) != (u(high) >> shift) || State(low) != State(high)) return std::nullopt;
        return State(low);
    }
    if (IsBandCondition(Condition)) {
        const bool inside = low >= Threshold && high < AboveBand;
        const bool outside = high < Threshold || low >= AboveBand || Threshold >= AboveBand;
        if (!inside && !outside) return std::nullopt;
        return inside == (Condition == TriggerCondition::InsideBand);
    }
    if (low >= Threshold) return true;
    if (high < Threshold) return false;
    return std::nullopt;
}

RawCondition MakeRawCondition(const TriggerTerm& term, std::string_view gain) {
    RawCondition c;
    c.Source = std::clamp(term.Source, 1, kChannelCount);
    c.Condition = term.Condition;
    c.Threshold = RawThreshold(term.Level, gain);
    c.AboveBand = RawAbove(term.Level2, gain);
    c.BitMask = static_cast<std::uint16_t>(1u << std::clamp(term.Bit, 0, 15));
    return c;
}

TriggerLogic::TriggerLogic(const RawCondition& first, TriggerJoin join, const RawCondition& second)
    : first_(first), second_(second), join_(join) {}

TriggerLogic TriggerLogic::Of(const TriggerSettings& settings, std::span<const std::string, kChannelCount> gains) {
    const auto raw = [&gains](const TriggerTerm& term) {
        return MakeRawCondition(term, gains[static_cast<std::size_t>(std::clamp(term.Source, 1, kChannelCount) - 1)]);
    };
    return TriggerLogic(raw(settings.First()), settings.Join, raw(settings.Second));
}

void TriggerSearch::Arm(const TriggerSettings& settings, const TriggerLogic& logic) {
    *this = TriggerSearch{};
    mode_ = settings.Mode;
    logic_ = logic;
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

std::optional<TriggeredWindow> TriggerSearch::Scan(const ChannelTraces& traces, std::int32_t nextSample,
                                                   int count, const WindowSink& each) {
    std::optional<TriggeredWindow> completed;
    if (mode_ == TriggerMode::Off) return completed;
    int slot = nextSample - count;
    if (slot < 0) slot += kTraceSlots;
    const ChannelSamples& first = traces[logic_.FirstSource() - 1];
    const ChannelSamples& second = traces[logic_.SecondSource() - 1];
    for (int i = 0; i < count && !finished_; ++i) {
        const bool event = logic_.Step(first[slot], second[slot]);
        const std::int64_t n = seen_++;
        if (++slot == kTraceSlots) slot = 0;
        if (end_ < 0 && n >= armedFrom_ && event) {
            trigger_ = n;
            end_ = n + (kNewestPosition - preTrigger_);
        }
        if (n == end_) {
            // `slot` is now the one after the window's last set.
            completed = TriggeredWindow{trigger_, slot};
            if (each) each(*completed, count - 1 - i);
            end_ = -1;
            armedFrom_ = std::max(n + 1, trigger_ + holdoffSets_);
            finished_ = mode_ == TriggerMode::Single;
        }
    }
    return completed;
}

}  // namespace altrix
