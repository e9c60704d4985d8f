// The pseudo-terminal runner seen from a plain file-descriptor client: raw bytes both ways,
// clients that come and go, the link's lifecycle, real-time pacing, the link's faults.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>

#include "DriveTestSupport.h"
#include "ScopeProtocol.h"

namespace altrix::testing {
namespace {

namespace fs = std::filesystem;

const Bytes kIdentifyExchange{0x3B, 0x3B, 0x3A, 0x01, 0x90, 0x00, 0x6F};

Bytes AllByteValues() {
    Bytes all(256);
    std::iota(all.begin(), all.end(), std::uint8_t{0});
    return all;
}

TEST(PtyDrive, EveryByteValuePassesUnchangedBothWays) {
    RunningDrive sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    Client client(sim.Link());
    ASSERT_TRUE(client.Ok());

    ASSERT_TRUE(client.Write(AllByteValues()));
    ASSERT_TRUE(sim.Drive->WaitForReceived(256, kWaitLimit));
    EXPECT_EQ(Values(sim.Drive->Received()), AllByteValues());

    sim.Drive->Inject(AllByteValues());
    EXPECT_EQ(client.Read(256), AllByteValues());
}

TEST(PtyDrive, ClientsMayCloseAndReopenTheSlave) {
    sim::DriveOptions options;
    options.TypeCode = 17;
    RunningDrive sim(options);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    for (int session = 0; session < 3; ++session) {
        Client client(sim.Link());
        ASSERT_TRUE(client.Ok()) << "session " << session;
        ASSERT_TRUE(client.Write(kIdentifyExchange));
        const Bytes reply = client.Read(10);
        ASSERT_EQ(reply.size(), 10u) << "session " << session;
        EXPECT_EQ(DecodeIdentifyReply(reply).TypeCode, 17);
    }
}

TEST(PtyDrive, LinkPointsAtTheSlaveAndGoesWithTheDrive) {
    RunningDrive sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    const std::string link = sim.Link();
    EXPECT_EQ(fs::read_symlink(link), sim.Drive->SlavePath());
    sim.Drive->Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    sim.Drive->Stop();  // idempotent
}

TEST(PtyDrive, ReplacesAStaleLinkButNeverAnotherFile) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Ok());
    const std::string stale = folder.PathOf("stale");
    fs::create_symlink("/dev/pts/no-such-terminal", stale);
    sim::PtyDrive replacing(LinkedTo(stale));
    std::string error;
    ASSERT_TRUE(replacing.Start(error)) << error;
    EXPECT_EQ(fs::read_symlink(stale), replacing.SlavePath());
    replacing.Stop();

    const std::string file = folder.PathOf("notes.txt");
    std::ofstream(file) << "keep me";
    sim::PtyDrive refused(LinkedTo(file));
    EXPECT_FALSE(refused.Start(error));
    EXPECT_NE(error.find(file), std::string::npos);
    std::string content;
    std::getline(std::ifstream(file), content);
    EXPECT_EQ(content, "keep me");
}

struct PaceCase {
    double Speed;
    double ClockErrorPpm;
};

TEST(PtyDrive, StreamIsPacedByDriveTime) {
    // A drive clock 25 % slow shows a runner that forgets it as running ahead.
    for (const PaceCase& c : {PaceCase{4.0, 0.0}, PaceCase{4.0, -250000.0}}) {
        sim::PtySettings settings = LinkedTo({}, c.Speed);
        settings.ClockErrorPpm = c.ClockErrorPpm;
        RunningDrive sim(settings);
        ASSERT_TRUE(sim.Started()) << sim.Error();
        Client client(sim.Link());
        ASSERT_TRUE(client.Ok());
        const sim::ChannelAddresses channels{0x9004, 0x9042, 0x900c, 0x9010};
        const auto sent = std::chrono::steady_clock::now();
        ASSERT_TRUE(client.Write(StartExchange(channels)));
        const Bytes stream = client.Read(1'000'000, 300ms);
        const double rate = c.Speed * (1.0 + c.ClockErrorPpm * 1e-6);
        const double driveSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count() * rate;

        const std::size_t blocks = (stream.size() + 129) / 130;
        EXPECT_LE(blocks, static_cast<std::size_t>(driveSeconds * 5000 / 16) + 1)
            << "never ahead of drive time, " << c.ClockErrorPpm << " ppm";
        EXPECT_GE(blocks, static_cast<std::size_t>(0.3 * rate * 5000 / 16 / 2))
            << "keeps up: " << stream.size() << " bytes in " << driveSeconds << " s of drive time";
        Bytes expected = ExpectedStream(channels, blocks);
        expected.resize(stream.size());
        EXPECT_EQ(stream, expected);
    }
}

// The step's instant on the wall clock lands on the set the drive takes then: the set the
// runner names, and within the timing of the start exchange of where the test expects it.
TEST(PtyDrive, StepAtAWallClockInstantLandsOnTheSetTakenThen) {
    using SystemClock = std::chrono::system_clock;
    sim::PtySettings settings = LinkedTo({});
    const auto stepAt = SystemClock::now() + 300ms;
    settings.BusStepAt = stepAt;
    RunningDrive sim(settings);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    Client client(sim.Link());
    ASSERT_TRUE(client.Ok());
    const sim::ChannelAddresses channels{sim::kBusAddress, 0x9004, 0x900c, 0x9010};
    const auto sent = SystemClock::now();
    ASSERT_TRUE(client.Write(StartExchange(channels)));
    Bytes stream = client.Read(130);
    const auto firstBlock = SystemClock::now();  // the stream started at least a block before
    const Bytes rest = client.Read(1500 / 16 * 130 * 5 - stream.size(), 3s);  // 1.5 s of stream
    stream.insert(stream.end(), rest.begin(), rest.end());
    ASSERT_EQ(stream.size(), 1500u / 16 * 130 * 5);

    std::vector<std::int64_t> stepped;
    for (std::uint64_t set = 0; set < stream.size() / 130 * 16; ++set) {
        const auto bus = static_cast<std::int16_t>(ReadWord(&stream[set / 16 * 130 + 2 + (set % 16) * 8]));
        const int drop = sim::SampleValue(sim::kBusAddress, set) - bus;
        if (drop != 0) stepped.push_back(static_cast<std::int64_t>(set));
        EXPECT_TRUE(drop == 0 || drop == 500) << "set " << set;
    }
    ASSERT_EQ(stepped.size(), 5000u);
    EXPECT_EQ(stepped.back() - stepped.front(), 4999);
    EXPECT_EQ(sim.Drive->BusStepSet(), stepped.front());
    const auto sets = [](SystemClock::duration d) { return std::chrono::duration<double>(d).count() * 5000.0; };
    EXPECT_GE(stepped.front(), sets(stepAt - firstBlock + 3200us) - 1);
    EXPECT_LE(stepped.front(), sets(stepAt - sent) + 1);
}

TEST(PtyDrive, UnplugTakesTheTerminalAwayAndReplugBringsTheStreamBackOnANewOne) {
    sim::PtySettings settings;
    settings.UnplugAfter = 200ms;
    settings.ReplugAfter = 300ms;
    RunningDrive sim(settings);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    const sim::ChannelAddresses channels{0x9004, 0x9042, 0x900c, 0x9010};
    Client client(sim.Link());
    ASSERT_TRUE(client.Ok());
    ASSERT_TRUE(client.Write(StartExchange(channels)));
    const auto started = std::chrono::steady_clock::now();

    // The stream flows until the device vanishes under the client.
    const Bytes before = client.Read(1'000'000, kWaitLimit);
    const auto unplugged = std::chrono::steady_clock::now();
    EXPECT_GE(unplugged - started, 200ms);
    EXPECT_LT(unplugged - started, 2s) << "the read ended with the device";
    EXPECT_FALSE(fs::exists(fs::symlink_status(sim.Link())));

    ASSERT_TRUE(WaitUntil([&] { return fs::exists(sim.Link()); }));
    EXPECT_GE(std::chrono::steady_clock::now() - unplugged, 300ms - 20ms);
    Client again(sim.Link());
    ASSERT_TRUE(again.Ok());
    const Bytes after = again.Read(130);
    ASSERT_EQ(after.size(), 130u);
    // The drive ran on unheard: the stream resumes at a later block, whole.
    const std::size_t firstAfter = before.size() / 130 + 300 * 5000 / 16 / 1000;
    std::size_t block = after[0];
    while (block < firstAfter) block += 256;
    const sim::StreamBlock resumed = sim::MakeStreamBlock(channels, block);
    EXPECT_EQ(after, Bytes(resumed.begin(), resumed.end()));
}

TEST(PtyDrive, StalledDriveReadsNothingAndTheWritesBackUp) {
    sim::PtySettings settings;
    settings.StallOutput = true;
    RunningDrive sim(settings);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    Client client(sim.Link());
    ASSERT_TRUE(client.Ok());
    ASSERT_TRUE(client.Write(kIdentifyExchange));
    EXPECT_TRUE(client.Read(10, 300ms).empty()) << "no reply to a request never read";
    const Bytes filler(4096, 0x00);
    int accepted = 0;
    while (accepted < 256 && client.Write(filler)) ++accepted;
    EXPECT_LT(accepted, 256) << "the terminal's buffer filled";
    EXPECT_TRUE(sim.Drive->Received().empty());
}

}  // namespace
}  // namespace altrix::testing
