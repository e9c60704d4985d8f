// The protocol's exchanges through CommPort, as the simulated drive receives them, and a
// capture end to end: start exchange, 50 ms reads, decoding into the capture record.

#include <gtest/gtest.h>

#include <QThread>

#include <memory>
#include <optional>

#include "CaptureRecord.h"
#include "ScopeExchange.h"
#include "SerialTestSupport.h"
#include "StreamDecoder.h"

namespace altrix::testing {
namespace {

constexpr std::int32_t kBaud = 625000;
const ChannelAddresses kChannels{0x9004, 0x9042, 0x900c, 0x9010};

// 3A 3A, then the four frames with their checksums worked out by hand.
const Bytes kStartExchange{0x3A, 0x3A,                          //
                           0x3A, 0x00, 0x90, 0x04, 0x6C,        //
                           0x3A, 0x01, 0x90, 0x42, 0x2D,        //
                           0x3A, 0x01, 0x90, 0x0C, 0x63,        //
                           0x3A, 0x01, 0x90, 0x10, 0x5F};
const Bytes kIdentifyExchange{0x3B, 0x3B,                      //
                              0x3A, 0x01, 0x90, 0x00, 0x6F,    //
                              0x3A, 0x01, 0x90, 0x00, 0x6F,    //
                              0x3A, 0x01, 0x90, 0x00, 0x6F,    //
                              0x3A, 0x01, 0x90, 0x00, 0x6F};

// The drive stamps bytes as its thread reads them, a few ms late at worst: enough to show
// where the pause lies. Its length is measured on the sender's side.
constexpr auto kPauseAsSeenByTheDrive = std::chrono::milliseconds(50);

std::chrono::milliseconds PauseBefore(const std::vector<sim::ReceivedByte>& received,
                                      std::size_t index) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(received[index].At -
                                                                 received[index - 1].At);
}

template <class Exchange>
std::chrono::milliseconds Duration(Exchange exchange) {
    const auto start = std::chrono::steady_clock::now();
    exchange();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

TEST(ScopeExchange, StartCaptureAsTheDriveReceivesIt) {
    RunningDrive sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    CommPort port;
    ASSERT_EQ(port.Open(sim.Link(), kBaud), OpenResult::Opened);

    EXPECT_GE(Duration([&] { SendStartCapture(port, kChannels); }), std::chrono::milliseconds(100));
    ASSERT_TRUE(sim.Drive->WaitForReceived(kStartExchange.size(), kWaitLimit));
    const auto received = sim.Drive->Received();
    EXPECT_EQ(Values(received), kStartExchange);
    EXPECT_GE(PauseBefore(received, 2), kPauseAsSeenByTheDrive);
    EXPECT_TRUE(WaitUntil([&] { return sim.Drive->Streaming(); }));
    EXPECT_EQ(sim.Drive->StreamChannels(), kChannels);

    SendStreamReset(port);
    EXPECT_TRUE(WaitUntil([&] { return !sim.Drive->Streaming(); }));
    EXPECT_EQ(Values(sim.Drive->Received()).size(), kStartExchange.size() + 2);
}

TEST(ScopeExchange, IdentifyAsTheDriveReceivesItAndItsReply) {
    sim::DriveOptions options;
    options.TypeCode = 33;
    RunningDrive sim(options);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    CommPort port;
    ASSERT_EQ(port.Open(sim.Link(), kBaud), OpenResult::Opened);

    EXPECT_GE(Duration([&] { SendIdentifyRequest(port); }), std::chrono::milliseconds(100));
    ASSERT_TRUE(sim.Drive->WaitForReceived(kIdentifyExchange.size(), kWaitLimit));
    const auto received = sim.Drive->Received();
    EXPECT_EQ(Values(received), kIdentifyExchange);
    EXPECT_GE(PauseBefore(received, 2), kPauseAsSeenByTheDrive);

    const Bytes reply = ReadThrough(port, kIdentifyReplyBytes);
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_EQ(DecodeIdentifyReply(reply).TypeCode, 33);
}

// The reply is waited for, but never past kIdentifyReplyWait.
TEST(ScopeExchange, ReadReplyWaitsForALateReplyWithinItsBound) {
    const struct {
        int delayMs;
        std::int32_t expected;
    } cases[] = {{0, 10}, {100, 10}, {1500, 0}};
    for (const auto& c : cases) {
        sim::DriveOptions options;
        options.IdentifyDelay = std::chrono::milliseconds(c.delayMs);
        RunningDrive sim(options);
        ASSERT_TRUE(sim.Started()) << sim.Error();
        CommPort port;
        ASSERT_EQ(port.Open(sim.Link(), kBaud), OpenResult::Opened);
        SendIdentifyRequest(port);
        std::array<std::uint8_t, kIdentifyReplyBytes> reply{};
        EXPECT_EQ(ReadReply(port, reply, kIdentifyReplyWait), c.expected) << c.delayMs << " ms";
        EXPECT_EQ(DecodeIdentifyReply(reply).TypeCode, c.expected == kIdentifyReplyBytes ? 4 : 0);
    }
}

TEST(ScopeExchange, IdentifyAfterACaptureGetsOnlyTheReply) {
    RunningDrive sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    CommPort port;
    ASSERT_EQ(port.Open(sim.Link(), kBaud), OpenResult::Opened);
    SendStartCapture(port, kChannels);
    QThread::msleep(60);  // blocks wait unread in the queue
    SendStreamReset(port);  // STOP
    port.Close();

    ASSERT_EQ(port.Open(sim.Link(), kBaud), OpenResult::Opened);
    SendIdentifyRequest(port);
    const Bytes reply = ReadThrough(port, 64, std::chrono::milliseconds(300));
    const sim::IdentifyReplyBytes expected = sim::MakeIdentifyReply(4);
    EXPECT_EQ(reply, Bytes(expected.begin(), expected.end())) << "leftover stream purged";
}

struct CaptureCase {
    std::string Name;
    sim::DriveOptions Options;
    std::optional<int> LostBlock;  // the block the decoder must refuse, if any
};

void PrintTo(const CaptureCase& c, std::ostream* os) { *os << c.Name; }

class EndToEndCapture : public ::testing::TestWithParam<CaptureCase> {};

// As the window runs a capture: purge stale input with the start exchange, then every 50 ms
// read everything queued and decode it.
TEST_P(EndToEndCapture, EveryByteAndSampleIsTheDrivesOwn) {
    RunningDrive sim(GetParam().Options, 4.0);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    CommPort port;
    ASSERT_EQ(port.Open(sim.Link(), kBaud), OpenResult::Opened);
    sim.Drive->Inject(Bytes(77, 0x55));  // stale bytes from before RUN

    auto record = std::make_unique<CaptureRecord>();
    ResetForRun(*record);
    SendStartCapture(port, kChannels);
    Bytes stream;
    for (int tick = 0; tick < 8; ++tick) {
        QThread::msleep(50);
        record->ReceivedCount = port.ReadAvailable(record->ReceiveBuffer);
        const auto received = std::span(record->ReceiveBuffer).first(
            static_cast<std::size_t>(record->ReceivedCount));
        stream.insert(stream.end(), received.begin(), received.end());
        StoreAndDecode(*record, received, {true, true, true, true});
    }

    const std::size_t blocks = stream.size() / 130 + 1;
    ASSERT_GT(blocks, 50u);
    Bytes expected = ExpectedStream(kChannels, blocks);
    if (GetParam().Options.BadHeaderBlock) expected[*GetParam().Options.BadHeaderBlock * 130 + 1] = 0xFE;
    if (GetParam().Options.DropByteAfter) {
        expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(*GetParam().Options.DropByteAfter));
    }
    expected.resize(stream.size());
    EXPECT_EQ(stream, expected);
    EXPECT_EQ(record->DataError, GetParam().LostBlock.has_value());

    // Every set is the drive's own, except that a lost block's sets repeat the set before.
    int gapStart = record->NextSample;
    ASSERT_EQ(record->GapCount, GetParam().LostBlock ? 1u : 0u);
    if (GetParam().LostBlock) {
        gapStart = *GetParam().LostBlock * 16;
        EXPECT_EQ(record->Gaps[0].FirstSlot, gapStart);
        EXPECT_EQ(record->Gaps[0].Sets, 16);
    }
    ASSERT_GT(record->NextSample, 16 * 50);
    for (std::int32_t slot = 0; slot < record->NextSample; ++slot) {
        const bool inGap = slot >= gapStart && slot < gapStart + 16;
        const auto set = static_cast<std::uint64_t>(inGap ? gapStart - 1 : slot);
        for (std::size_t c = 0; c < 4; ++c) {
            ASSERT_EQ(record->ChannelTrace[c][static_cast<std::size_t>(slot)], sim::SampleValue(kChannels[c], set))
                << "channel " << c + 1 << " slot " << slot;
        }
    }
}

sim::DriveOptions Dropping(std::uint64_t n) {
    sim::DriveOptions options;
    options.DropByteAfter = n;
    return options;
}

sim::DriveOptions BadBlock(std::uint64_t k) {
    sim::DriveOptions options;
    options.BadHeaderBlock = k;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    ScopeExchange, EndToEndCapture,
    ::testing::Values(CaptureCase{"GoodDrive", {}, std::nullopt},
                      CaptureCase{"ByteDropped", Dropping(200), 1},
                      CaptureCase{"BadHeader", BadBlock(5), 5}),
    [](const auto& info) { return info.param.Name; });

}  // namespace
}  // namespace altrix::testing
