#pragma once
// Trigger: finds an event on the raw samples of one channel as a capture decodes them, and
// counts the capture on until the window holds the pre-trigger share before the event and the
// rest after it. Pure arithmetic over the channel ring; allocates nothing while it searches.

#include "CaptureRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace altrix {

enum class TriggerMode { Off, Single, Normal };
enum class TriggerCondition { Rising, Falling, Either, BitSet, BitCleared, OutsideBand, InsideBand };
// Off: no trigger; Filling: the pre-trigger part of the window does not yet hold sets of this
// capture; Armed: waiting for the event; Triggered: an event was found.
enum class TriggerPhase { Off, Filling, Armed, Triggered };

// The texts of the modes and conditions, in enum order (the window's lists, the settings file).
inline constexpr std::array<std::string_view, 3> kTriggerModeNames{"Off", "Single", "Normal"};
inline constexpr std::array<std::string_view, 7> kTriggerConditionNames{
    "Rising", "Falling", "Either", "Bit set", "Bit cleared", "Outside band", "Inside band"};

constexpr bool IsBandCondition(TriggerCondition c) {
    return c == TriggerCondition::OutsideBand || c == TriggerCondition::InsideBand;
}

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
    bool operator==(const TriggerSettings&) const = default;
};

// A level RawThreshold reads as typed: an optionally signed decimal number with at least one
// digit and "." as the point. Any other text is no level (RawThreshold takes it as 0).
bool IsTriggerLevel(std::string_view level);

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

class TriggerSearch {
public:
    // Arms for a new capture, no set seen. `threshold` is RawThreshold of the level (the bit
    // conditions do not use it); for the band conditions the band is the samples from
    // `threshold` up to, not including, `aboveBand` (RawAbove of Level2), and the event is the
    // first set that leaves it (Outside band) or enters it (Inside band). Mode Off finds nothing.
    void Arm(const TriggerSettings& settings, std::int32_t threshold, std::int32_t aboveBand = kNoSampleAtLevel);

    // Looks at the `count` newest sets of the source channel's trace, which end at `nextSample`
    // (the sets one tick decoded, in order). The newest window that these sets complete, if
    // any. Normal searches on from the set after a completed window; Single looks at nothing
    // once its window is complete.
    std::optional<TriggeredWindow> Scan(const ChannelSamples& source, std::int32_t nextSample, int count);

    TriggerMode Mode() const { return mode_; }
    TriggerPhase Phase() const;
    int Source() const { return source_; }
    std::int32_t PreTrigger() const { return preTrigger_; }
    // Sets looked at since Arm, and the newest trigger set (-1: none yet).
    std::int64_t SetsSeen() const { return seen_; }
    std::int64_t TriggerSet() const { return trigger_; }

private:
    // The level or bit state of a sample: at or above the threshold, the bit set, or outside
    // (inside) the band.
    bool stateOf(std::int16_t sample) const {
        if (bitMask_ != 0) return (static_cast<std::uint16_t>(sample) & bitMask_) != 0;
        if (band_) return (sample >= threshold_ && sample < aboveBand_) == (*band_ == TriggerCondition::InsideBand);
        return sample >= threshold_;
    }

    TriggerMode mode_ = TriggerMode::Off;
    int source_ = 1;
    std::int32_t threshold_ = 0;
    std::int32_t aboveBand_ = kNoSampleAtLevel;
    std::optional<TriggerCondition> band_;  // the band condition, if one
    std::uint16_t bitMask_ = 0;  // 0 for the level conditions
    std::int64_t holdoffSets_ = 0;
    bool onRise_ = false;        // fires when the state turns on, off, or both
    bool onFall_ = false;
    std::int32_t preTrigger_ = 0;
    std::int64_t seen_ = 0;
    std::int64_t armedFrom_ = 0;  // the first set that may be a trigger set
    std::int64_t trigger_ = -1;
    std::int64_t end_ = -1;       // last set of the window being completed; -1 when none is
    bool finished_ = false;       // Single, once its window is complete
    bool previous_ = false;       // state of the set before the next one
};

}  // namespace altrix
