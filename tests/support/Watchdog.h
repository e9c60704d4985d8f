#pragma once
// Bounds a step that would hang for ever if the code under test regressed (reading a pipe,
// a device without end): the test program aborts with a message instead of hanging the run.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace altrix::testing {

class Watchdog {
public:
    // Aborts the program unless the watchdog is destroyed within `limit`.
    explicit Watchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(20))
        : what_(std::move(what)), thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                  std::fprintf(stderr, "watchdog: %s did not finish\n", what_.c_str());
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace altrix::testing
