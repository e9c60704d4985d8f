#include "PtyDrive.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace altrix::sim {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

// Streamed bytes are written in batches at most this often; a client reading every 50 ms
// cannot tell, and the runner stays cheap at high speed factors.
constexpr auto kMinWritePeriod = std::chrono::milliseconds(2);

// Bytes that wait for room in the pty, as in a receiving driver's queue; beyond this they
// are lost, as on a line.
constexpr std::size_t kBacklogLimit = std::size_t{1} << 20;

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool SetFlags(int fd, std::string& error) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0 ||
        ::fcntl(fd, F_SETFD, FD_CLOEXEC) < 0) {
        error = SystemError("fcntl");
        return false;
    }
    return true;
}

// Points `link` at `target` atomically. An existing symbolic link is replaced; any other
// file at that path is left alone and reported.
bool MakeLink(const std::string& target, const std::string& link, std::string& error) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(link, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) {
        error = link + " exists and is not a symbolic link";
        return false;
    }
    const std::string temporary = link + ".tmp" + std::to_string(::getpid());
    fs::remove(temporary, ec);
    fs::create_symlink(target, temporary, ec);
    if (!ec) fs::rename(temporary, link, ec);
    if (ec) {
        fs::remove(temporary, ec);
        error = "cannot make the link " + link + ": " + ec.message();
        return false;
    }
    return true;
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

PtyDrive::PtyDrive(PtySettings settings)
    : settings_(std::move(settings)),
      clock_{settings_.Speed, settings_.ClockErrorPpm},
      drive_(settings_.Drive) {}

PtyDrive::~PtyDrive() { Stop(); }

std::string PtyDrive::SlavePath() const {
    std::lock_guard lock(mutex_);
    return slavePath_;
}

std::string PtyDrive::DevicePath() const {
    return settings_.LinkPath.empty() ? SlavePath() : settings_.LinkPath;
}

bool PtyDrive::Start(std::string& error) {
    if (thread_.joinable()) {
        error = "already started";
        return false;
    }
    if (!(settings_.Speed > 0.0)) {
        error = "the speed factor must be greater than 0";
        return false;
    }
    if (::pipe(wake_) != 0) {
        error = SystemError("pipe");
        CloseAll();
        return false;
    }
    if (!SetFlags(wake_[0], error) || !SetFlags(wake_[1], error) || !Plug(error)) {
        CloseAll();
        return false;
    }
    start_ = SteadyClock::now();
    if (settings_.BusStepAt) {
        const auto untilStep = *settings_.BusStepAt - std::chrono::system_clock::now();
        std::lock_guard lock(mutex_);
        drive_.SetBusStepAt(clock_.DriveAt(std::chrono::duration_cast<std::chrono::nanoseconds>(untilStep)));
    }
    thread_ = std::thread(&PtyDrive::Run, this);
    return true;
}

// A new pty and the link to it.
bool PtyDrive::Plug(std::string& error) {
    if (OpenPty(error) && (settings_.LinkPath.empty() || MakeLink(slavePath_, settings_.LinkPath, error))) {
        return true;
    }
    CloseFd(master_);
    CloseFd(slave_);
    return false;
}

bool PtyDrive::OpenPty(std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    std::array<char, PATH_MAX> name{};
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name.data(), name.size()) != 0) {
        error = SystemError("cannot create a pseudo-terminal");
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        slavePath_ = name.data();
    }
    slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios raw{};
    if (slave_ < 0 || ::tcgetattr(slave_, &raw) != 0) {
        error = SystemError("cannot open " + slavePath_);
        return false;
    }
    ::cfmakeraw(&raw);
    int packetMode = 1;  // tells the runner when the client purges its input queue
    if (::tcsetattr(slave_, TCSANOW, &raw) != 0 || ::ioctl(master_, TIOCPKT, &packetMode) != 0) {
        error = SystemError("cannot set up " + slavePath_);
        return false;
    }
    return SetFlags(master_, error);
}

// Closes the pty, so a client sees its device vanish, and removes the link if it still
// points at it.
void PtyDrive::Unplug() {
    if (master_ >= 0 && !settings_.LinkPath.empty()) {
        std::error_code ec;
        if (fs::read_symlink(settings_.LinkPath, ec) == slavePath_) fs::remove(settings_.LinkPath, ec);
    }
    CloseFd(master_);
    CloseFd(slave_);
}

// The due unplug or replug. What waited for the old pty, or was sent while nothing was
// plugged in, is lost.
void PtyDrive::ChangePlug(SteadyClock::time_point now) {
    backlog_.clear();
    plugChangeAt_.reset();
    if (master_ >= 0) {
        Unplug();
        if (settings_.ReplugAfter) plugChangeAt_ = now + *settings_.ReplugAfter;
    } else {
        std::string error;
        Plug(error);  // if no new pty can be made, the drive stays unplugged
    }
}

void PtyDrive::Stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        Wake();
        thread_.join();
    }
    Unplug();
    CloseAll();
}

void PtyDrive::CloseAll() {
    CloseFd(master_);
    CloseFd(slave_);
    CloseFd(wake_[0]);
    CloseFd(wake_[1]);
}

void PtyDrive::Wake() {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = ::write(wake_[1], &byte, 1);
}

DriveTime PtyDrive::DriveNow(SteadyClock::time_point now) const {
    return clock_.DriveAt(now - start_);
}

std::chrono::milliseconds PtyDrive::TimeToNextWrite(SteadyClock::time_point now,
                                                    SteadyClock::time_point lastWrite) {
    if (!backlog_.empty()) return kMinWritePeriod;  // the pty is full; try again shortly
    std::optional<DriveTime> due;
    {
        std::lock_guard lock(mutex_);
        if (!injected_.empty()) return std::chrono::milliseconds(0);
        due = drive_.NextOutputDue();
    }
    if (!due) return std::chrono::milliseconds(-1);
    const auto dueWall = start_ + std::chrono::duration_cast<SteadyClock::duration>(clock_.PcAt(*due));
    const auto wake = std::max(dueWall, lastWrite + kMinWritePeriod);
    return std::max(std::chrono::ceil<std::chrono::milliseconds>(wake - now),
                    std::chrono::milliseconds(0));
}

void PtyDrive::Run() {
    auto lastWrite = SteadyClock::now() - kMinWritePeriod;
    while (!stopping_) {
        const auto before = SteadyClock::now();
        auto timeout = master_ >= 0 ? TimeToNextWrite(before, lastWrite) : std::chrono::milliseconds(-1);
        if (plugChangeAt_) {
            const auto untilChange = std::max(std::chrono::ceil<std::chrono::milliseconds>(*plugChangeAt_ - before),
                                              std::chrono::milliseconds(0));
            if (timeout.count() < 0 || untilChange < timeout) timeout = untilChange;
        }
        // Without a pty (unplugged) the first entry is ignored.
        const short clientEvents = settings_.StallOutput ? 0 : POLLIN;
        std::array<pollfd, 2> fds{{{master_, clientEvents, 0}, {wake_[0], POLLIN, 0}}};
        ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
        if (fds[1].revents & POLLIN) {
            std::array<char, 64> drain;
            while (::read(wake_[0], drain.data(), drain.size()) > 0) {
            }
        }
        if (stopping_) break;

        const auto wall = SteadyClock::now();
        const DriveTime now = DriveNow(wall);
        bool streaming = false;
        {
            std::lock_guard lock(mutex_);
            drive_.Transmit(now, backlog_);  // what was due before the client's newest bytes
        }
        if (fds[0].revents & POLLIN) ReadFromClient(now);
        {
            std::lock_guard lock(mutex_);
            backlog_.insert(backlog_.end(), injected_.begin(), injected_.end());
            injected_.clear();
            drive_.Transmit(now, backlog_);
            streaming = drive_.Streaming();
        }
        if (settings_.UnplugAfter && streaming && !unplugScheduled_) {
            unplugScheduled_ = true;
            plugChangeAt_ = wall + *settings_.UnplugAfter;
        }
        if (plugChangeAt_ && wall >= *plugChangeAt_) ChangePlug(wall);
        if (master_ < 0) {
            backlog_.clear();  // nothing is plugged in: the drive's bytes go nowhere
        } else if (!backlog_.empty()) {
            WriteToClient();
            lastWrite = SteadyClock::now();
        }
    }
}

void PtyDrive::ReadFromClient(DriveTime now) {
    std::array<std::uint8_t, 4096> packet;
    for (;;) {
        const ssize_t n = ::read(master_, packet.data(), packet.size());
        if (n <= 0) return;
        if (packet[0] != TIOCPKT_DATA) {
            // The client discarded its input queue: what waits here belongs to that queue.
            if (packet[0] & TIOCPKT_FLUSHREAD) backlog_.clear();
            continue;
        }
        const auto at = SteadyClock::now();
        const std::span<const std::uint8_t> bytes(packet.data() + 1, static_cast<std::size_t>(n - 1));
        {
            std::lock_guard lock(mutex_);
            for (std::uint8_t byte : bytes) received_.push_back({byte, at});
            drive_.Receive(bytes, now);
        }
        receivedChanged_.notify_all();
    }
}

void PtyDrive::WriteToClient() {
    std::size_t written = 0;
    while (written < backlog_.size()) {
        const ssize_t n = ::write(master_, backlog_.data() + written, backlog_.size() - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    backlog_.erase(backlog_.begin(), backlog_.begin() + static_cast<std::ptrdiff_t>(written));
    const std::size_t excess = backlog_.size() > kBacklogLimit ? backlog_.size() - kBacklogLimit : 0;
    backlog_.resize(backlog_.size() - excess);
    std::lock_guard lock(mutex_);
    stats_.BytesSent += written;
    stats_.BytesDropped += excess;
}

std::vector<ReceivedByte> PtyDrive::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool PtyDrive::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return receivedChanged_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

void PtyDrive::Inject(std::span<const std::uint8_t> bytes) {
    {
        std::lock_guard lock(mutex_);
        injected_.insert(injected_.end(), bytes.begin(), bytes.end());
    }
    Wake();
}

bool PtyDrive::Streaming() const {
    std::lock_guard lock(mutex_);
    return drive_.Streaming();
}

std::optional<std::int64_t> PtyDrive::BusStepSet() const {
    std::lock_guard lock(mutex_);
    return drive_.BusStepSet();
}

ChannelAddresses PtyDrive::StreamChannels() const {
    std::lock_guard lock(mutex_);
    return drive_.StreamChannels();
}

PtyStats PtyDrive::Stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

}  // namespace altrix::sim
