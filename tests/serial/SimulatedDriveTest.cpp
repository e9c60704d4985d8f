// The simulated drive's protocol state machine, fed bytes and drive time directly.

#include <gtest/gtest.h>

#include <bit>
#include <initializer_list>
#include <string>
#include <vector>

#include "ScopeProtocol.h"
#include "SimulatedDrive.h"

namespace altrix::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

const Bytes kReset{0x3A, 0x3A};
const Bytes kPrelude{0x3B, 0x3B};
const Bytes kIdentifyFrame{0x3A, 0x01, 0x90, 0x00, 0x6F};
const ChannelAddresses kChannels{0x9004, 0x9042, 0x1234, 0x0000};

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Frame(std::uint8_t command, std::uint16_t address) {
    const ScopeFrame frame = MakeScopeFrame(command, address);
    return Bytes(frame.begin(), frame.end());
}

Bytes BadFrame(std::uint8_t command, std::uint16_t address) {
    Bytes frame = Frame(command, address);
    frame[4] = static_cast<std::uint8_t>(frame[4] + 1);
    return frame;
}

Bytes ChannelFrames(const ChannelAddresses& channels) {
    return Cat({Frame(0x00, channels[0]), Frame(0x01, channels[1]), Frame(0x01, channels[2]),
                Frame(0x01, channels[3])});
}

Bytes StartSequence(const ChannelAddresses& channels) {
    return Cat({kReset, ChannelFrames(channels)});
}

Bytes IdentifySequence() {
    return Cat({kPrelude, kIdentifyFrame, kIdentifyFrame, kIdentifyFrame, kIdentifyFrame});
}

DriveTime Blocks(std::int64_t count) { return DriveTime(kBlockPeriodUs * count); }

Bytes TransmitAt(SimulatedDrive& drive, DriveTime now) {
    Bytes out;
    drive.Transmit(now, out);
    return out;
}

Bytes GoodStream(const ChannelAddresses& channels, std::size_t blocks) {
    Bytes stream;
    for (std::size_t k = 0; k < blocks; ++k) {
        const StreamBlock block = MakeStreamBlock(channels, k);
        stream.insert(stream.end(), block.begin(), block.end());
    }
    return stream;
}

TEST(SimulatedDrive, BlocksCarryTheChannelsInRotationFromChannelOne) {
    SimulatedDrive drive;
    drive.Receive(StartSequence(kChannels), 0us);
    EXPECT_TRUE(TransmitAt(drive, Blocks(1) - 1us).empty()) << "a block leaves once its 16 sets are taken";

    const Bytes out = TransmitAt(drive, Blocks(3));
    ASSERT_EQ(out.size(), 3u * 130u);
    for (std::size_t k = 0; k < 3; ++k) {
        const std::uint8_t* block = &out[k * 130];
        EXPECT_EQ(block[0], k);
        EXPECT_EQ(block[1], 0xFF);
        for (std::size_t w = 0; w < 64; ++w) {
            const std::uint64_t set = k * 16 + w / 4;
            EXPECT_EQ(ReadWord(block + 2 + 2 * w), SampleValue(kChannels[w % 4], set))
                << "block " << k << " word " << w;
        }
    }
}

TEST(SimulatedDrive, StreamsFiveThousandSampleSetsPerSecondOfDriveTime) {
    SimulatedDrive drive;
    const DriveTime start = 1234567us;
    drive.Receive(StartSequence(kChannels), start);
    const Bytes tenSeconds = TransmitAt(drive, start + 10s);
    EXPECT_EQ(tenSeconds.size() / 130 * 16, 50000u);
    EXPECT_EQ(tenSeconds.size() % 130, 0u);
    EXPECT_EQ(tenSeconds, GoodStream(kChannels, 3125));
}

TEST(SimulatedDrive, ResetStopsTheStreamAndANewListStartsAfresh) {
    SimulatedDrive drive;
    drive.Receive(StartSequence(kChannels), 0us);
    EXPECT_EQ(TransmitAt(drive, Blocks(10)).size(), 10u * 130u);

    drive.Receive(kReset, Blocks(10) + 5us);
    EXPECT_FALSE(drive.Streaming());
    EXPECT_TRUE(TransmitAt(drive, 60s).empty());

    const ChannelAddresses next{0x9014, 0x9018, 0x901c, 0x9030};
    drive.Receive(ChannelFrames(next), 61s);  // the reset above still counts
    EXPECT_EQ(TransmitAt(drive, 61s + Blocks(4)), GoodStream(next, 4));
}

struct StartCase {
    std::string Name;
    Bytes Input;
    bool Streams;
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.Name; }

class StartSequences : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartSequences, StreamOnlyAfterResetAndFourOrderedFrames) {
    SimulatedDrive drive;
    drive.Receive(GetParam().Input, 0us);
    EXPECT_EQ(drive.Streaming(), GetParam().Streams);
    EXPECT_EQ(!TransmitAt(drive, 1s).empty(), GetParam().Streams);
    if (GetParam().Streams) {
        EXPECT_EQ(drive.StreamChannels(), kChannels);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedDrive, StartSequences,
    ::testing::Values(
        StartCase{"ResetAndFourFrames", StartSequence(kChannels), true},
        StartCase{"StopResetRightBefore", Cat({kReset, StartSequence(kChannels)}), true},
        StartCase{"StrayColonBefore", Cat({{0x3A}, StartSequence(kChannels)}), true},
        StartCase{"LineNoiseBefore", Cat({{0x00, 0x55, 0xFF, 0x3B}, StartSequence(kChannels)}), true},
        StartCase{"NoReset", ChannelFrames(kChannels), false},
        StartCase{"OnlyThreeFrames",
                  Cat({kReset, Frame(0x00, 0x9004), Frame(0x01, 0x9042), Frame(0x01, 0x1234)}),
                  false},
        StartCase{"FirstFrameNotCommandZero",
                  Cat({kReset, Frame(0x01, 0x9004), Frame(0x01, 0x9042), Frame(0x01, 0x1234),
                       Frame(0x01, 0x0000)}),
                  false},
        StartCase{"BadChecksumFrame1",
                  Cat({kReset, BadFrame(0x00, 0x9004), Frame(0x01, 0x9042), Frame(0x01, 0x1234),
                       Frame(0x01, 0x0000)}),
                  false},
        StartCase{"BadChecksumFrame2",
                  Cat({kReset, Frame(0x00, 0x9004), BadFrame(0x01, 0x9042), Frame(0x01, 0x1234),
                       Frame(0x01, 0x0000)}),
                  false},
        StartCase{"BadChecksumFrame4",
                  Cat({kReset, Frame(0x00, 0x9004), Frame(0x01, 0x9042), Frame(0x01, 0x1234),
                       BadFrame(0x01, 0x0000)}),
                  false},
        StartCase{"PreludeInsteadOfReset", Cat({kPrelude, ChannelFrames(kChannels)}), false}),
    [](const auto& info) { return info.param.Name; });

struct IdentifyCase {
    std::string Name;
    Bytes Input;
    std::size_t Replies;
};

void PrintTo(const IdentifyCase& c, std::ostream* os) { *os << c.Name; }

class IdentifySequences : public ::testing::TestWithParam<IdentifyCase> {};

TEST_P(IdentifySequences, AnswersOncePerPreludeAndRequest) {
    DriveOptions options;
    options.TypeCode = 0x0421;
    SimulatedDrive drive(options);
    drive.Receive(GetParam().Input, 0us);
    const Bytes out = TransmitAt(drive, 1s);
    ASSERT_EQ(out.size(), GetParam().Replies * 10);
    for (std::size_t r = 0; r < GetParam().Replies; ++r) {
        EXPECT_EQ(out[r * 10 + 2], 0x21) << "type code, low byte first";
        EXPECT_EQ(out[r * 10 + 3], 0x04);
        EXPECT_EQ(DecodeIdentifyReply(std::span(out).subspan(r * 10)).TypeCode, 0x0421);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedDrive, IdentifySequences,
    ::testing::Values(
        IdentifyCase{"PreludeAndFourRequests", IdentifySequence(), 1},
        IdentifyCase{"AfterAStopReset", Cat({kReset, IdentifySequence()}), 1},
        IdentifyCase{"TwoExchanges", Cat({IdentifySequence(), IdentifySequence()}), 2},
        IdentifyCase{"RequestWithoutPrelude", Cat({kIdentifyFrame, kIdentifyFrame}), 0},
        IdentifyCase{"BadChecksumRequest", Cat({kPrelude, BadFrame(0x01, 0x9000)}), 0},
        IdentifyCase{"OtherAddress", Cat({kPrelude, Frame(0x01, 0x9004)}), 0}),
    [](const auto& info) { return info.param.Name; });

TEST(SimulatedDriveFaults, NoIdentifyReply) {
    DriveOptions options;
    options.AnswerIdentify = false;
    SimulatedDrive drive(options);
    drive.Receive(IdentifySequence(), 0us);
    EXPECT_FALSE(drive.NextOutputDue());
    EXPECT_TRUE(TransmitAt(drive, 60s).empty());
}

TEST(SimulatedDriveFaults, DelayedIdentifyReply) {
    DriveOptions options;
    options.IdentifyDelay = 250ms;
    SimulatedDrive drive(options);
    drive.Receive(IdentifySequence(), 2s);
    EXPECT_EQ(drive.NextOutputDue(), 2250ms);
    EXPECT_TRUE(TransmitAt(drive, 2250ms - 1us).empty());
    EXPECT_EQ(TransmitAt(drive, 2250ms).size(), 10u);
}

TEST(SimulatedDriveFaults, DropsTheByteAfterByteNOfEveryCapture) {
    for (const std::uint64_t n : {0u, 129u, 130u, 1000u}) {
        DriveOptions options;
        options.DropByteAfter = n;
        SimulatedDrive drive(options);
        Bytes expected = GoodStream(kChannels, 10);
        expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(n));

        drive.Receive(StartSequence(kChannels), 0us);
        EXPECT_EQ(TransmitAt(drive, Blocks(10)), expected) << "N = " << n;
        drive.Receive(StartSequence(kChannels), 1s);
        EXPECT_EQ(TransmitAt(drive, 1s + Blocks(10)), expected) << "second capture, N = " << n;
    }
}

TEST(SimulatedDriveFaults, BadSecondHeaderByteInBlockK) {
    DriveOptions options;
    options.BadHeaderBlock = 3;
    SimulatedDrive drive(options);
    drive.Receive(StartSequence(kChannels), 0us);
    const Bytes out = TransmitAt(drive, Blocks(6));
    Bytes expected = GoodStream(kChannels, 6);
    expected[3 * 130 + 1] = 0xFE;
    EXPECT_EQ(out, expected);
}

TEST(SimulatedDriveFaults, NoiseFlipsSingleBitsAtTheRequestedRateAndRepeatsWithItsSeed) {
    DriveOptions options;
    options.NoiseRate = 100.0;
    const auto tenSeconds = [&](std::uint64_t seed) {
        options.NoiseSeed = seed;
        SimulatedDrive drive(options);
        drive.Receive(StartSequence(kChannels), 0us);
        return TransmitAt(drive, 10s);
    };
    const Bytes noisy = tenSeconds(7);
    const Bytes good = GoodStream(kChannels, 3125);
    ASSERT_EQ(noisy.size(), good.size());
    int flipped = 0;
    for (std::size_t i = 0; i < good.size(); ++i) {
        if (noisy[i] == good[i]) continue;
        ++flipped;
        EXPECT_EQ(std::popcount(static_cast<unsigned>(noisy[i] ^ good[i])), 1) << "byte " << i;
    }
    EXPECT_NEAR(flipped, 1000, 150) << "about five standard deviations";
    EXPECT_EQ(tenSeconds(7), noisy);
    EXPECT_NE(tenSeconds(8), noisy);
}

}  // namespace
}  // namespace altrix::sim
