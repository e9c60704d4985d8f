#pragma once
// Trigger: finds an event on the raw samples of one channel as a capture decodes them, and
// counts the capture on until the window holds the pre-trigger share before the event and the
// rest after it. Pure arithmetic over the channel ring; allocates nothing while it searches.

#include "CaptureRecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace altrix {

enum class TriggerMode { Off, Single, Normal };
enum class TriggerCondition { Rising, Falling, Either, BitSet, BitCleared, OutsideBand, InsideBand };
// Off: no trigger; Filling: the pre-trigger part of the window does not yet hold sets of this
// capture; Armed: waiting for the event; Triggered: an event was found.
enum class TriggerPhase { Off, Filling, Armed, Triggered };
// How a second condition joins the first: none, both (AND), either (OR).
enum class TriggerJoin { None, And, Or };

// The texts of the modes and conditions, in enum order (the window's lists, the settings file).
inline constexpr std::array<std::string_view, 3> kTriggerModeNames{"Off", "Single", "Normal"};
inline constexpr std::array<std::string_view, 7> kTriggerConditionNames{
    "Rising", "Falling", "Either", "Bit set", "Bit cleared", "Outside band", "Inside band"};

inline constexpr std::array<std::string_view, 3> kTriggerJoinNames{"-", "AND", "OR"};
// The second condition's keys in settings and descriptions: "JoinSource", "JoinLevel"...
inline constexpr char kSecondTriggerPrefix[] = "Join";

constexpr bool IsBitCondition(TriggerCondition c) {
    return c == TriggerCondition::BitSet || c == TriggerCondition::BitCleared;
}
constexpr bool IsBandCondition(TriggerCondition c) {
    return c == TriggerCondition::OutsideBand || c == TriggerCondition::InsideBand;
}

// One condition on one channel: its slope (or bit, or band), levels in engineering units.
struct TriggerTerm {
    int Source = 1;  // channel 1..4
    TriggerCondition Condition = TriggerCondition::Rising;
    std::string Level = "0";   // the level, or the band's low end; "." as the point
    std::string Level2 = "0";  // the band's high end
    int Bit = 0;               // 0..15 of the raw 16-bit word
    bool operator==(const TriggerTerm&) const = default;
};

struct TriggerSettings {
    TriggerMode Mode = TriggerMode::Off;
    int Source = 1;  // channel 1..4
    TriggerCondition Condition = TriggerCondition::Rising;
    std::string Level = "0";  // engineering units (raw sample x gain), "." as the point
    int Bit = 0;              // 0..15 of the raw 16-bit word, for the bit conditions
    int PreTriggerPercent = 50;
    // The band's high end (Level is its low end), for the band conditions.
    std::string Level2 = "0";
    // No event within this time after the last one (Normal mode).
    int HoldoffMs = 0;
    // A second condition, joined to the first unless Join is None.
    TriggerJoin Join = TriggerJoin::None;
    TriggerTerm Second{};
    bool operator==(const TriggerSettings&) const = default;

    TriggerTerm First() const { return {Source, Condition, Level, Level2, Bit}; }
};

// A level RawThreshold reads as typed: an optionally signed decimal number with at least one
// digit and "." as the point. Any other text is no level (RawThreshold takes it as 0).
bool IsTriggerLevel(std::string_view level);

// The conditions as the event list names them: "ch2 Rising", "ch1 Outside band AND ch3 Bit set";
// and as a file name takes them: "ch2_rising", "ch1_outside-band_and_ch3_bit-set".
std::string TriggerName(const TriggerSettings& settings);
std::string TriggerFileName(const TriggerSettings& settings);

// The levels a term uses are levels: none for a bit, the band's two for a band.
bool LevelsValid(const TriggerTerm& term);

// RawThreshold when no sample reaches the level.
inline constexpr std::int32_t kNoSampleAtLevel = 32768;

// The smallest raw sample s whose readout s x gain, the exact decimal product that
// CountDataValue shows, is at or above `level`: "sample x gain >= level" holds exactly for the
// samples s >= the result. -32768 when every sample is at or above the level, kNoSampleAtLevel
// when none is. The gain follows the readout's rule (digits and "." only; empty or anything
// else counts as 1), so it is never negative; a gain of 0 puts every sample at 0. The level is
// an optionally signed decimal number with "." as the point; anything else counts as 0.
std::int32_t RawThreshold(std::string_view level, std::string_view gain);
// The same for "sample x gain > level": the smallest raw sample whose readout is above `level`.
std::int32_t RawAbove(std::string_view level, std::string_view gain);

// The longest holdoff a setting takes: a minute; sets a millisecond holds at 5000 sets/s.
inline constexpr int kMaxHoldoffMs = 60000;
inline constexpr std::int64_t kSetsPerMillisecond = 5;

// Window position of the trigger set: round(percent / 100 x 99999), halves up.
std::int32_t PreTriggerSets(int percent);

// A triggered window that has become complete: its trigger set (counted from 0 at the start of
// the capture) and the NextSample that shows it, with the trigger set at position PreTrigger().
struct TriggeredWindow {
    std::int64_t TriggerSet = 0;
    std::int32_t NextSample = 0;
};

using ChannelTraces = std::array<ChannelSamples, kChannelCount>;

// Copies, for every channel, the 100000 slots of the window that `nextSample` shows from `from`
// into the same slots of `to`.
void CopyWindowSlots(const ChannelTraces& from, ChannelTraces& to, std::int32_t nextSample);

// A condition over raw samples, its levels turned into raw thresholds with its channel's gain.
struct RawCondition {
    int Source = 1;
    TriggerCondition Condition = TriggerCondition::Rising;
    std::int32_t Threshold = 0;                  // RawThreshold of the level (the band's low end)
    std::int32_t AboveBand = kNoSampleAtLevel;  // RawAbove of the band's high end
    std::uint16_t BitMask = 1;                   // the bit conditions' bit

    // The state of a sample: at or above the level, the bit set, outside (inside) the band.
    bool State(std::int16_t sample) const {
        if (IsBitCondition(Condition)) return (static_cast<std::uint16_t>(sample) & BitMask) != 0;
        if (IsBandCondition(Condition))
            return (sample >= Threshold && sample < AboveBand) == (Condition == TriggerCondition::InsideBand);
        return sample >= Threshold;
    }
    // The state every sample from `low` to `high` has, if they all have the same.
    std::optional<bool> StateOver(std::int16_t low, std::int16_t high) const;
    // Its event: the state turning on (Rising, Bit set, the bands), off (Falling, Bit cleared),
    // or either way.
    bool Fires(bool previous, bool state) const {
        if (state == previous) return false;
        return Condition == TriggerCondition::Either || state != (Condition == TriggerCondition::Falling ||
                                                                  Condition == TriggerCondition::BitCleared);
    }
    // It holds: its state is the one its event turns to; for Either, its event.
    bool Holds(bool previous, bool state) const {
        if (Condition == TriggerCondition::Either) return state != previous;
        return state != (Condition == TriggerCondition::Falling || Condition == TriggerCondition::BitCleared);
    }
};

// The raw condition of a term whose channel reads with `gain` (the readout's gain text).
RawCondition MakeRawCondition(const TriggerTerm& term, std::string_view gain);

// The trigger's conditions and their join, set by set: the event of one condition alone; with
// OR, either condition's event; with AND, one condition's event at a set where the other holds
// (so two states join into "the first set where both hold").
class TriggerLogic {
public:
    TriggerLogic() = default;
    explicit TriggerLogic(const RawCondition& first, TriggerJoin join = TriggerJoin::None,
                          const RawCondition& second = {});
    // The conditions of `settings`, the channels' levels read with `gains` (channel 1 first).
    static TriggerLogic Of(const TriggerSettings& settings, std::span<const std::string, kChannelCount> gains);

    // The channels (1..4) whose samples Step takes; the second is the first's without a join.
    int FirstSource() const { return first_.Source; }
    int SecondSource() const { return join_ == TriggerJoin::None ? first_.Source : second_.Source; }
    const RawCondition& First() const { return first_; }
    const RawCondition& Second() const { return second_; }
    TriggerJoin Join() const { return join_; }

    // A set's samples of the two sources: whether it is an event after the set given before.
    bool Step(std::int16_t first, std::int16_t second) {
        const bool state1 = first_.State(first);
        bool event = first_.Fires(previous1_, state1);
        if (join_ != TriggerJoin::None) {
            const bool state2 = second_.State(second);
            const bool event2 = second_.Fires(previous2_, state2);
            event = join_ == TriggerJoin::Or ? event || event2
                                             : (event || event2) && first_.Holds(previous1_, state1) &&
                                                   second_.Holds(previous2_, state2);
            previous2_ = state2;
        }
        previous1_ = state1;
        return event;
    }

private:
    RawCondition first_, second_;
    TriggerJoin join_ = TriggerJoin::None;
    bool previous1_ = false, previous2_ = false;
};

class TriggerSearch {
public:
    // Arms for a new capture, no set seen: the mode, pre-trigger and holdoff of `settings`,
    // the conditions of `logic`. Mode Off finds nothing.
    void Arm(const TriggerSettings& settings, const TriggerLogic& logic);

    // Told of each window a Scan completes, oldest first, and how many sets the scan looked at
    // after that window's last one (its samples are still in the traces while at most
    // kTraceSlots - kWindowPositions sets followed it).
    using WindowSink = std::function<void(const TriggeredWindow& window, int setsAfter)>;

    // Looks at the `count` newest sets of the traces, which end at `nextSample` (the sets one
    // tick decoded, in order). Every window that these sets complete goes to `each`; the
    // newest of them is returned. Normal searches on from the set after a completed window
    // (and its holdoff); Single looks at nothing once its window is complete.
    std::optional<TriggeredWindow> Scan(const ChannelTraces& traces, std::int32_t nextSample, int count,
                                        const WindowSink& each = {});

    TriggerMode Mode() const { return mode_; }
    TriggerPhase Phase() const;
    int Source() const { return logic_.FirstSource(); }
    std::int32_t PreTrigger() const { return preTrigger_; }
    // Sets looked at since Arm, and the newest trigger set (-1: none yet).
    std::int64_t SetsSeen() const { return seen_; }
    std::int64_t TriggerSet() const { return trigger_; }

private:
    TriggerMode mode_ = TriggerMode::Off;
    TriggerLogic logic_;
    std::int64_t holdoffSets_ = 0;
    std::int32_t preTrigger_ = 0;
    std::int64_t seen_ = 0;
    std::int64_t armedFrom_ = 0;  // the first set that may be a trigger set
    std::int64_t trigger_ = -1;
    std::int64_t end_ = -1;       // last set of the window being completed; -1 when none is
    bool finished_ = false;       // Single, once its window is complete
};

}  // namespace altrix
