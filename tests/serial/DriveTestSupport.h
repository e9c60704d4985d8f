#pragma once
// Helpers for tests that talk to the simulated drive over a pseudo-terminal: a scratch
// folder for the link, a started PtyDrive, and bounded waits. Every wait has a deadline.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PtyDrive.h"
#include "ScopeProtocol.h"

namespace altrix::testing {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

inline constexpr auto kWaitLimit = 5s;  // far beyond any exchange; only a fault reaches it

// A fresh folder, removed with its contents when the object goes.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "altrix-sim-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool Ok() const { return !path_.empty(); }
    std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Settings of a simulated drive on a pty; the link faults as they start.
inline sim::PtySettings LinkedTo(const std::string& link, double speed = 1.0,
                                 const sim::DriveOptions& options = {}) {
    sim::PtySettings settings;
    settings.LinkPath = link;
    settings.Speed = speed;
    settings.Drive = options;
    return settings;
}

// A simulated drive on a pty with a link in a scratch folder, stopped with the object.
struct RunningDrive {
    ScratchFolder Folder;
    std::unique_ptr<sim::PtyDrive> Drive;

    explicit RunningDrive(sim::DriveOptions options = {}, double speed = 1.0)
        : RunningDrive(LinkedTo({}, speed, options)) {}
    // With the link faults of `settings`; the link goes into the scratch folder.
    explicit RunningDrive(sim::PtySettings settings) {
        settings.LinkPath = Folder.PathOf("drive");
        Drive = std::make_unique<sim::PtyDrive>(settings);
        std::string error;
        started_ = Folder.Ok() && Drive->Start(error);
        error_ = error;
    }
    bool Started() const { return started_; }
    const std::string& Error() const { return error_; }
    std::string Link() const { return Drive->DevicePath(); }

private:
    bool started_ = false;
    std::string error_;
};

// A plain descriptor on the pty, as a client without Qt opens it.
class Client {
public:
    explicit Client(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~Client() {
        if (fd_ >= 0) ::close(fd_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Ok() const { return fd_ >= 0; }
    bool Write(const Bytes& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Reads until `count` bytes came or the limit passed.
    Bytes Read(std::size_t count, std::chrono::milliseconds limit = kWaitLimit) {
        Bytes got;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            std::uint8_t buffer[4096];
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

private:
    int fd_;
};

inline Bytes Values(const std::vector<sim::ReceivedByte>& received) {
    Bytes values;
    for (const sim::ReceivedByte& b : received) values.push_back(b.Value);
    return values;
}

// Polls `done` every millisecond until it holds or the limit passes.
template <class Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds limit = kWaitLimit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The stream a capture of `channels` sends from its start: blocks 0, 1, ... back to back.
// The start exchange for `channels`: 3A 3A, then channel 1's frame and the three others'.
inline Bytes StartExchange(const sim::ChannelAddresses& channels) {
    Bytes start{0x3A, 0x3A};
    for (std::size_t c = 0; c < channels.size(); ++c) {
        const ScopeFrame frame = MakeScopeFrame(c == 0 ? kFirstChannelCommand : kFurtherChannelCommand, channels[c]);
        start.insert(start.end(), frame.begin(), frame.end());
    }
    return start;
}

inline Bytes ExpectedStream(const sim::ChannelAddresses& channels, std::size_t blocks) {
    Bytes stream;
    for (std::size_t k = 0; k < blocks; ++k) {
        const sim::StreamBlock block = sim::MakeStreamBlock(channels, k);
        stream.insert(stream.end(), block.begin(), block.end());
    }
    return stream;
}

}  // namespace altrix::testing
