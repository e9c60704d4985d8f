// The clock fit against synthetic streams whose truth is known: a drive clock off by a given
// ppm, a serial driver that hands over bursts of blocks late, stalls, lost blocks, reconnects.
// The truth is the generator's own: set s of a segment is taken at t0 + s / (5000 (1 + ppm)).

#include "ClockFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

namespace altrix::testing {
namespace {

struct Link {
    double Ppm = 0.0;
    int BurstBlocks = 1;          // blocks the driver hands over at once, after the last is due
    double JitterSeconds = 0.0;   // each hand-over late by a uniform 0 .. this
    double StallAt = -1.0;        // nothing is handed over in [StallAt, StallAt + StallSeconds)
    double StallSeconds = 0.0;
    std::int64_t LoseEvery = 0;   // every n-th block lost
    std::int64_t LoseRunFrom = -1;
    std::int64_t LoseRun = 0;     // blocks lost in a row from LoseRunFrom
};

struct Segment {
    double StartSeconds;  // the PC instant of set 0
    double Seconds;       // of stream
};

struct StreamCase {
    const char* Name;
    Link L;
    Segment First;
    double ReconnectGapSeconds = -1.0;  // then a second segment of the second length
    double SecondSeconds = 0.0;
};

struct Outcome {
    double WorstError = 0.0;  // over the checks after each segment settled
    int Checks = 0;
    int BeyondEstimate = 0;   // checks whose error exceeded the fit's own estimate
    double FinalEstimate = 0.0;
    double RatePpm = 0.0;
};

double SetSeconds(const Link& link) { return 1.0 / (5000.0 * (1.0 + link.Ppm * 1e-6)); }

// Feeds one segment, checking the newest set's time every `checkEvery` seconds of stream
// once `settle` seconds have passed.
void FeedSegment(ClockFit& fit, const Link& link, const Segment& segment, double settle, std::mt19937_64& random,
                 Outcome& outcome) {
    std::uniform_real_distribution<double> late(0.0, link.JitterSeconds);
    const double set = SetSeconds(link);
    const auto blocks = static_cast<std::int64_t>(segment.Seconds / (16 * set));
    constexpr double checkEvery = 10.0;
    double nextCheck = settle;
    for (std::int64_t burst = 0; burst * link.BurstBlocks < blocks; ++burst) {
        const std::int64_t first = burst * link.BurstBlocks;
        const std::int64_t last = std::min(first + link.BurstBlocks, blocks) - 1;
        // Block k is sent once set 16k + 15 is taken, i.e. when set 16k + 16 would start.
        double handOver = segment.StartSeconds + static_cast<double>(16 * (last + 1)) * set;
        handOver += link.JitterSeconds > 0.0 ? late(random) : 0.0;
        if (handOver >= segment.StartSeconds + link.StallAt &&
            handOver < segment.StartSeconds + link.StallAt + link.StallSeconds)
            handOver = segment.StartSeconds + link.StallAt + link.StallSeconds;
        for (std::int64_t k = first; k <= last; ++k) {
            const bool lost = (link.LoseEvery > 0 && k % link.LoseEvery == link.LoseEvery - 1) ||
                              (k >= link.LoseRunFrom && k < link.LoseRunFrom + link.LoseRun);
            if (!lost) fit.Add(k, handOver);
        }
        const double streamed = static_cast<double>(16 * (last + 1)) * set;
        if (streamed >= nextCheck || last == blocks - 1) {
            const std::int64_t newest = 16 * last + 15;
            const double error = std::abs(fit.TimeOfSet(newest) - (segment.StartSeconds + newest * set));
            outcome.WorstError = std::max(outcome.WorstError, error);
            ++outcome.Checks;
            if (error > fit.ErrorEstimateSeconds()) ++outcome.BeyondEstimate;
            nextCheck += checkEvery;
        }
    }
}

Outcome Stream(const StreamCase& c) {
    ClockFit fit;
    std::mt19937_64 random(7);
    Outcome outcome;
    FeedSegment(fit, c.L, c.First, 30.0, random, outcome);
    if (c.ReconnectGapSeconds >= 0.0) {
        fit.NewSegment();
        const double start = c.First.StartSeconds + c.First.Seconds + c.ReconnectGapSeconds;
        Link again = c.L;
        again.StallAt = -1.0;
        FeedSegment(fit, again, {start, c.SecondSeconds}, 10.0, random, outcome);
    }
    outcome.FinalEstimate = fit.ErrorEstimateSeconds();
    outcome.RatePpm = fit.RatePpm();
    return outcome;
}

TEST(ClockFitTest, PlacesTheNewestSetWithinAMillisecondOfTheDrivesClock) {
    constexpr double kHour = 3600.0;
    const StreamCase cases[] = {
        {"+200 ppm, every block on time", {+200.0}, {1000.0, 600.0}},
        {"-150 ppm, bursts of 64 blocks 0-8 ms late", {-150.0, 64, 0.008}, {1000.0, kHour}},
        {"0 ppm, single blocks 0-8 ms late", {0.0, 1, 0.008}, {5.0, 1200.0}},
        {"0 ppm, bursts, a 200 ms stall", {0.0, 64, 0.008, 600.0, 0.2}, {1000.0, 1200.0}},
        {"+200 ppm, bursts, a 3 s stall", {+200.0, 64, 0.008, 1000.0, 3.0}, {1000.0, 1200.0}},
        {"+200 ppm, bursts, one block in 50 and a run of 20000 lost",
         {+200.0, 64, 0.008, -1.0, 0.0, 50, 100000, 20000}, {1000.0, 1800.0}},
        {"-150 ppm, reconnect after 20 min, a new stream 5 s later",
         {-150.0, 64, 0.008}, {1000.0, 1200.0}, 5.0, 120.0},
        {"+200 ppm, bursts, 8 hours", {+200.0, 64, 0.008}, {1000.0, 8 * kHour}},
    };
    for (const StreamCase& c : cases) {
        const Outcome o = Stream(c);
        EXPECT_LT(o.WorstError, 0.001) << c.Name;
        EXPECT_NEAR(o.RatePpm, c.L.Ppm, 1.0) << c.Name;
        // The estimate claims the same budget, and holds as a bound in all but a few checks.
        EXPECT_LT(o.FinalEstimate, 0.001) << c.Name;
        EXPECT_LE(o.BeyondEstimate, o.Checks / 20) << c.Name << ": " << o.Checks << " checks";
    }
}

// A perfect +200 ppm stream of blocks 0 .. 9999 from instant 100 (block k at 100 + (k + 1) x
// 3.2 ms / 1.0002), then one more arrival; set 160000 is taken at 100 + 32 s / 1.0002.
struct ExtraArrival {
    const char* Name;
    std::int64_t Block;
    double Arrival;
};

TEST(ClockFitTest, IgnoresBlocksAtOrBeforeTheNewest) {
    const double block = 0.0032 / 1.0002;
    const ExtraArrival cases[] = {
        {"the newest again, early", 9999, 100.0},
        {"a block of an earlier window, early", 5000, 100.0},
    };
    for (const ExtraArrival& c : cases) {
        ClockFit fit;
        for (std::int64_t k = 0; k < 10000; ++k) fit.Add(k, 100.0 + static_cast<double>(k + 1) * block);
        fit.Add(c.Block, c.Arrival);
        fit.Add(10240, 100.0 + 10241 * block);  // closes the window that was open
        EXPECT_NEAR(fit.TimeOfSet(160000), 100.0 + 32.0 / 1.0002, 1e-9) << c.Name;
    }
}

TEST(ClockFitTest, KnowsNothingBeforeTheFirstBlockOfASegment) {
    ClockFit fit;
    EXPECT_TRUE(std::isnan(fit.TimeOfSet(0)));
    EXPECT_TRUE(std::isinf(fit.ErrorEstimateSeconds()));
    for (std::int64_t k = 0; k < 1000; ++k) fit.Add(k, static_cast<double>(k + 1) * 0.0032);
    fit.NewSegment();
    EXPECT_TRUE(std::isnan(fit.TimeOfSet(0)));
    EXPECT_TRUE(std::isinf(fit.ErrorEstimateSeconds()));
    EXPECT_NEAR(fit.RatePpm(), 0.0, 1e-6);  // the rate stays with the drive
}

}  // namespace
}  // namespace altrix::testing
