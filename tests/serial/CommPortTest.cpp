// CommPort on the real serial stack, over the simulated drive's pseudo-terminal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>

#include <filesystem>
#include <fstream>
#include <numeric>

#include "LineSettings.h"
#include "SerialTestSupport.h"

namespace altrix::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::int32_t kBaud = 625000;

// A descriptor on the device that only looks: line settings and queue sizes are shared by
// every descriptor of a terminal.
class Observer {
public:
    explicit Observer(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK)) {}
    ~Observer() {
        if (fd_ >= 0) ::close(fd_);
    }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

// Descriptors of this process that are open on `path`.
int DescriptorsOpenOn(const std::string& path) {
    int count = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
        const std::string target = fs::read_symlink(entry.path(), ec).string();
        if (target == path || target == path + " (deleted)") ++count;
    }
    return count;
}

Bytes Sequence(std::size_t count) {
    Bytes bytes(count);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

class CommPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim_.Started()) << sim_.Error(); }

    // Injects `bytes` and waits until they wait in the port's input queue.
    void Queue(const Bytes& bytes, const Observer& observer) {
        const int before = QueuedInput(observer.Fd());
        sim_.Drive->Inject(bytes);
        ASSERT_TRUE(WaitUntil([&] {
            return QueuedInput(observer.Fd()) == before + static_cast<int>(bytes.size());
        }));
    }

    RunningDrive sim_;
    CommPort port_;
};

TEST_F(CommPortTest, OpensWithTheFixedLineSettings) {
    Observer observer(sim_.Drive->SlavePath());
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    EXPECT_TRUE(port_.IsOpen());
    const std::optional<LineSettings> line = ReadLineSettings(observer.Fd());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->OutputBaud, 625000u);
    EXPECT_EQ(line->DataBits, 8);
    EXPECT_FALSE(line->Parity);
    EXPECT_TRUE(line->TwoStopBits) << "the platform has no 1.5 stop bits; 2, never 1";
}

TEST_F(CommPortTest, OpenWhilePortOpenIsSetLeavesTheDeviceAlone) {
    port_.PortOpen = true;
    EXPECT_EQ(port_.Open("/dev/no-such-device", kBaud), OpenResult::Opened);
    EXPECT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    EXPECT_FALSE(port_.IsOpen());
    CommPort other;
    EXPECT_EQ(other.Open(sim_.Link(), kBaud), OpenResult::Opened) << "the device is still free";
}

TEST_F(CommPortTest, CloseIsIdempotentAndReleasesTheDevice) {
    EXPECT_TRUE(port_.Close());
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    EXPECT_TRUE(port_.Close());
    EXPECT_TRUE(port_.Close());
    EXPECT_FALSE(port_.IsOpen());
    CommPort other;
    EXPECT_EQ(other.Open(sim_.Link(), kBaud), OpenResult::Opened);
}

TEST_F(CommPortTest, OpenAgainWithoutCloseLetsGoOfTheEarlierDevice) {
    const std::string slave = sim_.Drive->SlavePath();
    const int runnerOwn = DescriptorsOpenOn(slave);
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    EXPECT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    EXPECT_EQ(DescriptorsOpenOn(slave), runnerOwn + 1);
}

TEST_F(CommPortTest, ReadAvailableTakesWhatIsQueuedUpToTheCapacity) {
    Observer observer(sim_.Drive->SlavePath());
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    std::array<std::uint8_t, 1000> buffer{};
    EXPECT_EQ(port_.ReadAvailable(buffer), 0) << "nothing queued";

    Queue(Sequence(120), observer);
    ASSERT_EQ(port_.ReadAvailable(std::span(buffer).first(10)), 10);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 10), Sequence(10));
    ASSERT_EQ(port_.ReadAvailable(buffer), 110);
    const Bytes all = Sequence(120);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 110), Bytes(all.begin() + 10, all.end()));
    EXPECT_EQ(port_.ReadAvailable(buffer), 0);
}

TEST_F(CommPortTest, WriteByteSendsEveryByteValueUnchanged) {
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    const Bytes all = Sequence(256);
    for (std::uint8_t byte : all) port_.WriteByte(byte);
    ASSERT_TRUE(sim_.Drive->WaitForReceived(256, kWaitLimit));
    EXPECT_EQ(Values(sim_.Drive->Received()), all);
}

TEST_F(CommPortTest, PurgeDiscardsWhatHasArrived) {
    Observer observer(sim_.Drive->SlavePath());
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    Queue(Bytes(50, 0xAA), observer);
    std::array<std::uint8_t, 8> some{};
    ASSERT_EQ(port_.ReadAvailable(some), 8);  // part of it now sits in the port's own buffer
    port_.Purge();
    EXPECT_EQ(QueuedInput(observer.Fd()), 0);

    const Bytes marker{0x01, 0x02, 0x03};
    Queue(marker, observer);
    std::array<std::uint8_t, 100> buffer{};
    ASSERT_EQ(port_.ReadAvailable(buffer), 3);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3), marker);
}

TEST_F(CommPortTest, OperationsOnAClosedPortDoNothing) {
    Observer observer(sim_.Drive->SlavePath());
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    Queue(Sequence(5), observer);
    port_.Close();
    port_.Purge();
    port_.WriteByte(0x3A);
    std::array<std::uint8_t, 4> buffer{};
    EXPECT_EQ(port_.ReadAvailable(buffer), 0);
    EXPECT_TRUE(port_.Close());
    EXPECT_TRUE(sim_.Drive->Received().empty());
}

TEST(CommPortOpen, FailsWithADeviceErrorForWhatIsNoSerialDevice) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Ok());
    const std::string file = folder.PathOf("notes.txt");
    std::ofstream(file) << "not a port";
    for (const std::string& name :
         {folder.PathOf("missing"), folder.PathOf(""), file, std::string("COM200")}) {
        CommPort port;
        EXPECT_EQ(port.Open(name, kBaud), OpenResult::DeviceError) << name;
        EXPECT_FALSE(port.IsOpen());
    }
}

TEST_F(CommPortTest, ADeviceHeldByAnotherCommPortIsBusy) {
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    CommPort second;
    EXPECT_EQ(second.Open(sim_.Link(), kBaud), OpenResult::DeviceError);
    EXPECT_EQ(second.Open(sim_.Drive->SlavePath(), kBaud), OpenResult::DeviceError)
        << "the same device by another name";
    port_.WriteByte(0x42);
    ASSERT_TRUE(sim_.Drive->WaitForReceived(1, kWaitLimit)) << "the holder is undisturbed";
}

TEST_F(CommPortTest, ADeviceLockedByAnotherProgramIsBusy) {
    // Serial tools (picocom, pyserial's exclusive mode) hold an advisory lock on the device.
    const int holder = ::open(sim_.Link().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::DeviceError);
    EXPECT_FALSE(port_.IsOpen());
    ::close(holder);
    EXPECT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
}

TEST_F(CommPortTest, RefusedLineSettingsAreReportedApartAndReleaseTheDevice) {
    for (const std::int32_t speed : {0, -9600}) {
        EXPECT_EQ(port_.Open(sim_.Link(), speed), OpenResult::SettingsRefused) << speed;
        EXPECT_FALSE(port_.IsOpen());
    }
    CommPort other;
    EXPECT_EQ(other.Open(sim_.Link(), kBaud), OpenResult::Opened);
}

TEST_F(CommPortTest, AVanishedDeviceReadsNothingAndStillCloses) {
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    sim_.Drive->Stop();  // as a pulled adapter or an ended simulator

    std::array<std::uint8_t, 64> buffer{};
    EXPECT_EQ(port_.ReadAvailable(buffer), 0);
    for (std::uint8_t byte : {0x3A, 0x3A, 0x3B}) port_.WriteByte(byte);
    port_.Purge();
    EXPECT_EQ(port_.ReadAvailable(buffer), 0);
    EXPECT_TRUE(port_.IsOpen()) << "open for its owner until Close";
    EXPECT_TRUE(port_.Close());
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::DeviceError);
}

TEST_F(CommPortTest, AVanishedDeviceIsLetGoWhileTheEventLoopRuns) {
    ASSERT_EQ(port_.Open(sim_.Link(), kBaud), OpenResult::Opened);
    const std::string slave = sim_.Drive->SlavePath();
    sim_.Drive->Stop();
    ASSERT_EQ(DescriptorsOpenOn(slave), 1);
    EXPECT_TRUE(WaitUntil([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return DescriptorsOpenOn(slave) == 0;
    }, std::chrono::milliseconds(2000)));
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_TRUE(port_.Close());
}

}  // namespace
}  // namespace altrix::testing
