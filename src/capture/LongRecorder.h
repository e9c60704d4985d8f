#pragma once
// LongRecorder: records a capture to a recording file (*.arec). The ticks hand their sets over
// here, which gathers them; about once a second the gathered sets, gaps and events go to a
// thread of its own that writes them as one transaction, so the window never waits for the
// disk. A write that fails (a full disk) ends the recording alone; what was written stays.

#include "CaptureRecord.h"
#include "GapTracker.h"
#include "RecordingFormat.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace altrix {

class RecordingWriter;

class LongRecorder {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kCommitPeriod{1000};

    LongRecorder();
    ~LongRecorder();

    // Creates `path` and starts recording the capture of `record` from its next set (the sets
    // and gaps stored before are not recorded; trigger sets are placed by the sets before).
    // The reason for the user when it cannot, else empty.
    std::string Start(const std::string& path, const RecordingHeader& header, const CaptureRecord& record);
    // Takes the `count` sets that end before slot `nextSample`, and the gaps the decoder recorded
    // among them (a gap that grows is followed, so every filled set lies in a gap of the file). False once a write failed: the recording has then ended and Error() says why.
    bool Append(const CaptureRecord& record, std::int32_t nextSample, std::int64_t count);
    // An event at the next set, or at a set of the capture (counted from RUN).
    void Event(const std::string& kind, const std::string& text);
    void EventAtCaptureSet(std::int64_t captureSet, const std::string& kind, const std::string& text);
    // The next gap the decoder records is the time of a reconnect.
    void NextGapIsReconnect() { reconnectGap_ = true; }
    // Writes what was gathered and closes the file; false when a write failed.
    bool Stop();

    bool Active() const { return active_; }
    const std::string& Path() const { return path_; }
    std::string Error() const;
    // Sets in the file, and its bytes (the journal included).
    std::uint64_t Sets() const { return written_.load(); }
    std::uint64_t Bytes() const;

private:
    struct Batch {
        std::vector<std::int16_t> Sets;
        std::vector<RecordingGap> Gaps;
        std::vector<RecordingEvent> Events;
    };
    void handOver();
    void run();

    std::unique_ptr<RecordingWriter> writer_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    Batch gathering_, queued_;
    bool quit_ = false;
    std::atomic<bool> failed_{false};
    std::atomic<std::uint64_t> written_{0};
    std::string error_;
    bool active_ = false;
    std::string path_;
    std::int64_t nextSet_ = 0;
    std::uint64_t captureOffset_ = 0;
    GapTracker gaps_;
    std::vector<GapTracker::Stretch> stretches_;
    std::string newestReason_;
    bool reconnectGap_ = false;
    Clock::time_point handedAt_{};
};

}  // namespace altrix
