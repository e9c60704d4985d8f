// The simulated drive's own clock: its pace against the PC's clock (speed and clock error), and
// the DC bus step placed on the set taken at or after a given instant.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "DriveModel.h"
#include "DriveTestSupport.h"
#include "ScopeProtocol.h"
#include "SimulatedDrive.h"

namespace altrix::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

const ChannelAddresses kChannels{0x9004, kBusAddress, 0x1234, 0x0000};

Bytes StartSequence() { return testing::StartExchange(kChannels); }

struct PaceCase {
    double Speed;
    double Ppm;
    std::chrono::nanoseconds Pc;  // since the capture started
    std::uint64_t Sets;           // sent by then, in whole blocks of 16
};

TEST(DriveClock, PacesTheStreamBySpeedAndClockError) {
    const PaceCase cases[] = {
        {1.0, 0.0, 16s, 80000},
        {1.0, +200.0, 16s, 80016},               // 5001 sets a PC second
        {1.0, +200.0, 16s - 1us, 80000},         // block 5001 is due at 16.0032 s / 1.0002
        {1.0, -150.0, 16s, 79984},               // 79988 sets taken, 4999 whole blocks
        {10.0, +200.0, 1600ms, 80016},
        {10.0, 0.0, 1600ms, 80000},
        {0.5, +1000.0, 32s, 80080},              // 16.016 drive seconds
    };
    for (const PaceCase& c : cases) {
        const DriveClock clock{c.Speed, c.Ppm};
        SimulatedDrive drive;
        const std::chrono::nanoseconds start = 3s;
        drive.Receive(StartSequence(), clock.DriveAt(start));
        Bytes out;
        drive.Transmit(clock.DriveAt(start + c.Pc), out);
        EXPECT_EQ(out.size() / kBlockBytes * kSetsPerBlock, c.Sets)
            << "speed " << c.Speed << ", " << c.Ppm << " ppm, " << c.Pc.count() << " ns";
    }
}

TEST(DriveClock, WakesTheRunnerAtTheFirstInstantABlockIsDue) {
    const DriveClock clocks[] = {{1.0, 0.0}, {1.0, +200.0}, {1.0, -150.0}, {10.0, +200.0}, {0.3, -7.0}};
    for (const DriveClock& clock : clocks) {
        for (std::int64_t block = 1; block < 100000; block += 997) {
            const DriveTime due(kBlockPeriodUs * block);
            const std::chrono::nanoseconds wake = clock.PcAt(due);
            EXPECT_GE(clock.DriveAt(wake), due) << clock.Speed << " x, " << clock.ErrorPpm << " ppm";
            EXPECT_LT(clock.DriveAt(wake - 1ns), due) << "the first such instant";
        }
    }
}

struct StepCase {
    double Speed;
    double Ppm;
    std::chrono::nanoseconds Start;  // the capture's stream, since the drive was switched on
    std::chrono::nanoseconds At;     // the step's instant
    std::int64_t FirstSet;
};

TEST(DriveClock, StepFallsOnTheFirstSetTakenAtOrAfterItsInstant) {
    const StepCase cases[] = {
        {1.0, 0.0, 2500ms, 3500ms, 5000},
        {1.0, 0.0, 2500ms, 2500ms, 0},
        {1.0, 0.0, 2500ms, 2500100us, 1},         // half a set in: the next set
        {1.0, 0.0, 2500ms, 2500200us, 1},
        {1.0, 0.0, 2500ms, 2500201us, 2},
        {1.0, +200.0, 0s, 10s, 50010},            // 10.002 s of drive time
        {1.0, -150.0, 100s, 200s, 499925},        // 99.985 s
        {10.0, 0.0, 1s, 1100ms, 5000},            // one drive second in 0.1 s
        {1.0, 0.0, 5s, 4999900us, 0},             // just before the capture: from its first set
        {1.0, 0.0, 5s, 3s, -10000},               // over before the capture started
        {1.0, 0.0, 5s, 4998900us, -5},
    };
    for (const StepCase& c : cases) {
        EXPECT_EQ(FirstSetAtOrAfter(DriveClock{c.Speed, c.Ppm}, c.Start, c.At), c.FirstSet)
            << "speed " << c.Speed << ", " << c.Ppm << " ppm, start " << c.Start.count() << " ns, step "
            << c.At.count() << " ns";
    }
}

struct StepSampleCase {
    std::uint16_t Address;
    std::uint64_t Set;
    int Drop;  // raw counts below the value without a step
};

TEST(DriveClock, StepLowersTheBusFiftyVoltsForOneDriveSecond) {
    constexpr std::int64_t step = 1000;
    const StepSampleCase cases[] = {
        {kBusAddress, 999, 0},   {kBusAddress, 1000, 500}, {kBusAddress, 3500, 500},
        {kBusAddress, 5999, 500}, {kBusAddress, 6000, 0},  {0x9004, 1000, 0},
        {0x900c, 3000, 0},
    };
    for (const StepSampleCase& c : cases) {
        EXPECT_EQ(SampleValue(c.Address, c.Set) - SampleValue(c.Address, c.Set, step), c.Drop)
            << std::hex << c.Address << std::dec << " set " << c.Set;
    }
    // A step that began before the capture: its remaining sets from set 0.
    EXPECT_EQ(SampleValue(kBusAddress, 0) - SampleValue(kBusAddress, 0, -4999), 500);
    EXPECT_EQ(SampleValue(kBusAddress, 1) - SampleValue(kBusAddress, 1, -4999), 0);
}

TEST(DriveClock, StreamCarriesTheStepOfItsOwnCapture) {
    DriveOptions options;
    options.BusStepAt = 1500ms;
    SimulatedDrive drive(options);
    drive.Receive(StartSequence(), 1000ms);
    EXPECT_EQ(drive.BusStepSet(), 2500);
    Bytes out;
    drive.Transmit(1000ms + 2s, out);
    // Word 1 of each set is the bus; set 2499 is the last before the step.
    const auto busWord = [&](std::uint64_t set) {
        return static_cast<std::int16_t>(ReadWord(&out[set / 16 * kBlockBytes + 2 + (set % 16) * 8 + 2]));
    };
    EXPECT_EQ(busWord(2499), SampleValue(kBusAddress, 2499));
    EXPECT_EQ(busWord(2500), SampleValue(kBusAddress, 2500) - 500);
    EXPECT_EQ(busWord(7499), SampleValue(kBusAddress, 7499) - 500);
    EXPECT_EQ(busWord(7500), SampleValue(kBusAddress, 7500));

    drive.Receive(StartSequence(), 5000ms);  // a new capture after the step
    EXPECT_EQ(drive.BusStepSet(), -17500);
}

}  // namespace
}  // namespace altrix::sim
