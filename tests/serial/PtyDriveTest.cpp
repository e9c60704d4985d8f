// The pseudo-terminal runner seen from a plain file-descriptor client: raw bytes both ways,
// clients that come and go, the link's lifecycle, real-time pacing.

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
    sim::PtyDrive replacing({stale, 1.0, {}});
    std::string error;
    ASSERT_TRUE(replacing.Start(error)) << error;
    EXPECT_EQ(fs::read_symlink(stale), replacing.SlavePath());
    replacing.Stop();

    const std::string file = folder.PathOf("notes.txt");
    std::ofstream(file) << "keep me";
    sim::PtyDrive refused({file, 1.0, {}});
    EXPECT_FALSE(refused.Start(error));
    EXPECT_NE(error.find(file), std::string::npos);
    std::string content;
    std::getline(std::ifstream(file), content);
    EXPECT_EQ(content, "keep me");
}

TEST(PtyDrive, StreamIsPacedByDriveTime) {
    RunningDrive sim({}, 4.0);
    ASSERT_TRUE(sim.Started()) << sim.Error();
    Client client(sim.Link());
    ASSERT_TRUE(client.Ok());
    const sim::ChannelAddresses channels{0x9004, 0x9042, 0x900c, 0x9010};
    Bytes start{0x3A, 0x3A};
    for (std::size_t c = 0; c < 4; ++c) {
        const ScopeFrame frame = MakeScopeFrame(c == 0 ? 0x00 : 0x01, channels[c]);
        start.insert(start.end(), frame.begin(), frame.end());
    }
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(client.Write(start));
    const Bytes stream = client.Read(1'000'000, 300ms);
    const double driveSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - sent).count() * 4.0;

    const std::size_t blocks = (stream.size() + 129) / 130;
    EXPECT_LE(blocks, static_cast<std::size_t>(driveSeconds * 5000 / 16) + 1)
        << "never ahead of drive time";
    EXPECT_GE(blocks, static_cast<std::size_t>(0.3 * 4.0 * 5000 / 16 / 2)) << "keeps up";
    Bytes expected = ExpectedStream(channels, blocks);
    expected.resize(stream.size());
    EXPECT_EQ(stream, expected);
}

}  // namespace
}  // namespace altrix::testing
