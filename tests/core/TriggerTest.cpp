// The trigger: the raw threshold of a level in engineering units, edge and bit detection over
// the sets of successive ticks, the pre-trigger filling, and the window that ends each trigger.

#include "Trigger.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace altrix::testing {
namespace {

struct ThresholdCase {
    const char* level;
    const char* gain;
    std::int32_t threshold;
};

TEST(RawThresholdTest, IsTheSmallestSampleWhoseReadoutReachesTheLevel) {
    const ThresholdCase cases[] = {
        {"100", "1", 100},          {"100", "", 100},            {"5", "12a", 5},
        {"99.9936", "0.09765", 1024}, {"99.99361", "0.09765", 1025},  // 1024 x 0.09765 = 99.99360
        {"-4.5", "1.5", -3},        {"-4.4", "1.5", -2},         {"1", "0.3", 4},
        {"-0.05", "0.01", -5},      {"-.5", "1", 0},             {"+.5", "1", 1},
        {"327.67", "0.01", 32767},  {"327.68", "0.01", kNoSampleAtLevel},
        {"-327.68", "0.01", -32768}, {"-400", "0.01", -32768},
        {"0", "0", -32768},         {"0.1", "0", kNoSampleAtLevel}, {"", "1", 0}, {"1,5", "1", 0},
    };
    for (const ThresholdCase& c : cases)
        EXPECT_EQ(RawThreshold(c.level, c.gain), c.threshold) << c.level << " with gain " << c.gain;
}

// Feeds sets 0 .. count - 1 of `value` to `search` in ticks of 7 sets, so that edges also fall
// between two ticks; the windows completed on the way.
std::vector<TriggeredWindow> Feed(TriggerSearch& search, const std::function<std::int16_t(std::int64_t)>& value,
                                  std::int64_t count,
                                  const std::function<std::int16_t(std::int64_t)>& value2 = {}) {
    const auto traces = std::make_unique<ChannelTraces>();
    std::vector<TriggeredWindow> windows;
    for (std::int64_t n = 0; n < count;) {
        const int tick = static_cast<int>(std::min<std::int64_t>(7, count - n));
        for (int i = 0; i < tick; ++i, ++n) {
            (*traces)[0][n % kTraceSlots] = value(n);
            if (value2) (*traces)[1][n % kTraceSlots] = value2(n);
        }
        if (const auto window = search.Scan(*traces, static_cast<std::int32_t>(n % kTraceSlots), tick))
            windows.push_back(*window);
    }
    return windows;
}

// 0, with 100 at the given sets.
std::vector<std::int16_t> Pulses(std::initializer_list<int> at) {
    std::vector<std::int16_t> samples(1600, 0);
    for (int n : at) samples[n] = 100;
    return samples;
}

struct DetectionCase {
    const char* name;
    TriggerCondition condition;
    std::int32_t threshold;
    int bit;
    int preTriggerPercent;
    std::vector<std::int16_t> samples;  // from set 0; the last one lasts
    std::int64_t triggerSet;            // -1: none
    std::int32_t aboveBand = kNoSampleAtLevel;  // the band: threshold <= sample < aboveBand
};

TEST(TriggerSearchTest, FindsTheFirstArmedSetThatMeetsTheCondition) {
    using enum TriggerCondition;
    const DetectionCase cases[] = {
        {"RisingAtTheExactLevel", Rising, 100, 0, 0, {0, 99, 100, 50, 200}, 2},
        {"RisingNeedsASetBelowFirst", Rising, 100, 0, 0, {100, 100, 99, 100}, 3},
        {"FallingBelowTheLevel", Falling, 100, 0, 0, {150, 100, 99}, 2},
        {"EitherUp", Either, 100, 0, 0, {0, 200}, 1},
        {"EitherDown", Either, 100, 0, 0, {200, 0}, 1},
        {"RisingThroughANegativeLevel", Rising, -5, 0, 0, {-10, -6, -5}, 2},
        {"FallingThroughANegativeLevel", Falling, -5, 0, 0, {-4, -5, -6}, 2},
        {"NoSampleReachesTheLevel", Either, kNoSampleAtLevel, 0, 0, {-32768, 32767}, -1},
        {"SignBitSet", BitSet, 0, 15, 0, {0x7FFF, -1}, 1},
        {"BitAlreadySetIsNoEvent", BitSet, 0, 3, 0, {8, 8, 0, 8}, 3},
        {"BitCleared", BitCleared, 0, 0, 0, {1, 3, 2}, 2},
        // Pre-trigger 1 % of the window is 1000 sets: set 1000 is the first that may trigger.
        {"EdgeWhileFillingIsIgnored", Rising, 100, 0, 1, Pulses({10, 1500}), 1500},
        {"EdgeJustBeforeArming", Rising, 100, 0, 1, Pulses({999}), -1},
        {"EdgeAtTheFirstArmedSet", Rising, 100, 0, 1, Pulses({1000}), 1000},
        // The band -10 .. 10.
        {"LeavesTheBandUpwards", OutsideBand, -10, 0, 0, {0, 5, 10, 11}, 3, 11},
        {"LeavesTheBandDownwards", OutsideBand, -10, 0, 0, {0, -10, -11}, 2, 11},
        {"StartingOutsideIsNoEvent", OutsideBand, -10, 0, 0, {20, 20, 0, 20}, 3, 11},
        {"EntersTheBand", InsideBand, -10, 0, 0, {-50, -11, -10}, 2, 11},
        {"CrossingTheBandInOneSetIsNoEntry", InsideBand, -10, 0, 0, {-50, 50, 10}, 2, 11},
    };
    for (const DetectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        TriggerSearch search;
        search.Arm({TriggerMode::Normal, 1, c.condition, "", c.bit, c.preTriggerPercent},
                   TriggerLogic({1, c.condition, c.threshold, c.aboveBand, static_cast<std::uint16_t>(1u << c.bit)}));
        const auto& samples = c.samples;
        Feed(search, [&](std::int64_t n) { return samples[std::min<std::size_t>(n, samples.size() - 1)]; },
             static_cast<std::int64_t>(samples.size()) + 20);
        EXPECT_EQ(search.TriggerSet(), c.triggerSet);
    }
}

// Channel 1 rises through 100; channel 2 is the second condition's source.
TEST(TriggerSearchTest, ASecondConditionJoinsByAndOrOr) {
    using enum TriggerCondition;
    const struct {
        const char* name;
        TriggerJoin join;
        TriggerCondition first, second;  // levels 100; the band -10 .. 10; bit 0
        std::vector<std::int16_t> ch1, ch2;  // the last sample lasts
        std::int64_t triggerSet;
    } cases[] = {
        {"NoJoinIgnoresTheSecond", TriggerJoin::None, Rising, Rising, {0, 0, 200}, {0, 200}, 2},
        {"OrTakesTheSecondsEvent", TriggerJoin::Or, Rising, Rising, {0, 0, 0, 200}, {0, 200}, 1},
        {"OrTakesTheFirstsEvent", TriggerJoin::Or, Rising, Falling, {0, 200}, {0, 0, 0, -5}, 1},
        {"OrWithABandEntry", TriggerJoin::Or, Rising, InsideBand, {200}, {50, 50, 0}, 2},
        {"AndWaitsForTheBit", TriggerJoin::And, Rising, BitSet, {0, 200, 0, 200}, {0, 0, 1}, 3},
        {"AndIsTheFirstSetWhereBothHold", TriggerJoin::And, Rising, Falling, {0, 200}, {200, 200, 200, 0}, 3},
        {"AndWithEitherNeedsTheChangeWhileTheOtherHolds", TriggerJoin::And, Either, Rising, {0, 200, 0}, {0, 0, 200}, 2},
        {"AndHoldingFromTheStartIsNoEvent", TriggerJoin::And, Rising, Rising, {200}, {200}, -1},
        {"AndOutsideTheBand", TriggerJoin::And, Falling, OutsideBand, {200, 0}, {0, 0, 20}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TriggerSearch search;
        search.Arm({TriggerMode::Normal, 1, c.first, "", 0, 0},
                   TriggerLogic({1, c.first, 100}, c.join, {2, c.second, IsBandCondition(c.second) ? -10 : 100, 11}));
        const auto at = [](const std::vector<std::int16_t>& s, std::int64_t n) { return s[std::min<std::size_t>(n, s.size() - 1)]; };
        Feed(search, [&](std::int64_t n) { return at(c.ch1, n); }, 30, [&](std::int64_t n) { return at(c.ch2, n); });
        EXPECT_EQ(search.TriggerSet(), c.triggerSet);
    }
}

// StateOver, which lets a search skip a stretch by its extremes, against every sample between.
TEST(RawConditionTest, AStateOverARangeIsEverySamplesState) {
    using enum TriggerCondition;
    const RawCondition conditions[] = {
        {1, Rising, 100},      {1, Falling, -3},           {1, BitSet, 0, 0, 1 << 4},
        {1, BitCleared, 0, 0, 1 << 15}, {1, BitSet, 0, 0, 1}, {1, OutsideBand, -10, 11},
        {1, InsideBand, -10, 11}, {1, InsideBand, 5, 5},
    };
    const std::int16_t edges[] = {-32768, -200, -33, -32, -11, -10, -3, -1, 0, 1, 10, 11, 15, 16, 31, 32, 99, 100, 200, 32767};
    for (const RawCondition& condition : conditions) {
        for (const std::int16_t low : edges) {
            for (const std::int16_t high : edges) {
                if (high < low) continue;
                int on = 0;
                for (int s = low; s <= high; ++s) on += condition.State(static_cast<std::int16_t>(s));
                const bool same = on == 0 || on == high - low + 1;
                const std::optional<bool> state = condition.StateOver(low, high);
                SCOPED_TRACE(::testing::Message() << static_cast<int>(condition.Condition) << " over " << low << ".." << high);
                if (state) {
                    EXPECT_TRUE(same && *state == (on > 0));
                }
                // Only a band that holds both ends of a stretch may be left undecided.
                if (same && !IsBandCondition(condition.Condition)) {
                    EXPECT_TRUE(state.has_value());
                }
            }
        }
    }
}

// Rising edges at sets 100000, 100300, 100600 and 101000, pre-trigger 100 % (each window ends at
// its trigger): a holdoff skips the edges within its time after the last trigger.
TEST(TriggerSearchTest, AHoldoffSkipsEventsTooSoonAfterTheLast) {
    const struct {
        int holdoffMs;
        std::vector<std::int64_t> triggers;
    } cases[] = {
        {0, {100000, 100300, 100600, 101000}},
        {60, {100000, 100300, 100600, 101000}},  // 300 sets
        {61, {100000, 100600, 101000}},
        {100, {100000, 100600}},  // 500 sets: 101000 is 400 after 100600
    };
    for (const auto& c : cases) {
        TriggerSearch search;
        search.Arm({TriggerMode::Normal, 1, TriggerCondition::Rising, "", 0, 100, "0", c.holdoffMs},
                   TriggerLogic({1, TriggerCondition::Rising, 1}));
        const auto edge = [](std::int64_t n) {
            return static_cast<std::int16_t>(n == 100000 || n == 100300 || n == 100600 || n == 101000);
        };
        std::vector<std::int64_t> triggers;
        for (const TriggeredWindow& w : Feed(search, edge, 102000)) triggers.push_back(w.TriggerSet);
        EXPECT_EQ(triggers, c.triggers) << c.holdoffMs << " ms";
    }
}

// Rising edges every 10 sets from set 100000 to 100990, all in one tick of 2000 sets that ends
// at set 101999: each window the tick completes is told, oldest first, with the sets the tick
// holds after its last set.
TEST(TriggerSearchTest, EveryWindowATickCompletesIsTold) {
    const struct {
        const char* name;
        int preTriggerPercent;
        int holdoffMs;
        std::vector<std::int64_t> triggers;
    } cases[] = {
        {"EachEdgeItsOwnWindow", 100, 0, {}},  // filled below: all 100 edges
        {"AHoldoffOf15SetsTakesEveryOtherEdge", 100, 3, {}},
        // 98999 sets before the trigger: the window ends 1000 sets after it, after every
        // other edge.
        {"AWindowLongerThanTheRestOfTheTick", 99, 0, {100000}},
    };
    std::vector<std::vector<std::int64_t>> expected;
    for (const auto& c : cases) expected.push_back(c.triggers);
    for (std::int64_t edge = 100000; edge <= 100990; edge += 10) expected[0].push_back(edge);
    for (std::int64_t edge = 100000; edge <= 100990; edge += 20) expected[1].push_back(edge);

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        TriggerSearch search;
        search.Arm({TriggerMode::Normal, 1, TriggerCondition::Rising, "", 0, c.preTriggerPercent, "0", c.holdoffMs},
                   TriggerLogic({1, TriggerCondition::Rising, 1}));
        const auto traces = std::make_unique<ChannelTraces>();
        for (std::int64_t n = 100000; n < 102000; ++n)
            (*traces)[0][n % kTraceSlots] = static_cast<std::int16_t>(n < 101000 && n % 10 < 5);
        for (int tick = 0; tick < 20; ++tick) search.Scan(*traces, (tick + 1) * 5000, 5000);
        std::vector<std::int64_t> triggers;
        std::vector<int> after, expectedAfter;
        const auto newest = search.Scan(*traces, 102000 % kTraceSlots, 2000, [&](const TriggeredWindow& w, int setsAfter) {
            triggers.push_back(w.TriggerSet);
            after.push_back(setsAfter);
        });
        EXPECT_EQ(triggers, expected[i]);
        const std::int32_t pre = PreTriggerSets(c.preTriggerPercent);
        for (const std::int64_t t : expected[i]) expectedAfter.push_back(static_cast<int>(101999 - (t + kNewestPosition - pre)));
        EXPECT_EQ(after, expectedAfter);
        ASSERT_TRUE(newest.has_value());
        EXPECT_EQ(newest->TriggerSet, expected[i].back()) << "the newest is returned";
    }
}

TEST(RawThresholdTest, RawAboveIsTheSmallestSampleWhoseReadoutExceedsTheLevel) {
    const ThresholdCase cases[] = {
        {"100", "1", 101}, {"99.9936", "0.09765", 1025}, {"99.99359", "0.09765", 1024},
        {"-4.5", "1.5", -2}, {"327.67", "0.01", kNoSampleAtLevel}, {"-400", "0.01", -32768},
    };
    for (const ThresholdCase& c : cases)
        EXPECT_EQ(RawAbove(c.level, c.gain), c.threshold) << c.level << " with gain " << c.gain;
}

// A square wave between -1000 and 1000 that rises at sets 15000, 45000, 75000, ...
std::int16_t Square(std::int64_t n) { return (n / 15000) % 2 == 1 ? 1000 : -1000; }

TEST(TriggerSearchTest, EachWindowEndsWithItsTriggerAtThePreTriggerPosition) {
    for (const TriggerMode mode : {TriggerMode::Single, TriggerMode::Normal}) {
        for (const int percent : {0, 50, 100}) {
            SCOPED_TRACE(::testing::Message() << "mode " << static_cast<int>(mode) << ", " << percent << " %");
            TriggerSearch search;
            search.Arm({mode, 1, TriggerCondition::Rising, "", 0, percent}, TriggerLogic({1, TriggerCondition::Rising, 0}));
            const std::int32_t pre = PreTriggerSets(percent);
            const std::vector<TriggeredWindow> windows = Feed(search, Square, 400000);
            // The next window's trigger is the first rise after the previous window's end.
            std::int64_t armedFrom = std::max(pre, 1);
            std::vector<std::int64_t> expected;
            for (std::int64_t rise = 15000; rise + (kNewestPosition - pre) < 400000; rise += 30000) {
                if (rise < armedFrom || (mode == TriggerMode::Single && !expected.empty())) continue;
                expected.push_back(rise);
                armedFrom = rise + (kNewestPosition - pre) + 1;
            }
            ASSERT_EQ(windows.size(), expected.size());
            for (std::size_t w = 0; w < windows.size(); ++w) {
                EXPECT_EQ(windows[w].TriggerSet, expected[w]);
                // The trigger set's slot shows at the pre-trigger position.
                EXPECT_EQ(SlotOfPosition(windows[w].NextSample, pre), expected[w] % kTraceSlots);
            }
        }
    }
    EXPECT_EQ(PreTriggerSets(50), 50000);  // 49999.5, halves up
    EXPECT_EQ(PreTriggerSets(1), 1000);
}

}  // namespace
}  // namespace altrix::testing
