#pragma once
// EventSaver: writes the window of each event a Normal trigger completes as its own waveform
// file, named by the event's wall-clock time and conditions, with its capture description
// beside it. A thread of its own writes, so the tick never waits for the disk; a few windows
// may wait for it, and an event that finds no place free is counted as not saved. Saving stops
// by itself at the first write that fails or when the next file would pass a limit of files
// or bytes; it never replaces or deletes a file.

#include "CaptureDescription.h"
#include "Trigger.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace altrix {

class EventSaver {
public:
    struct Limits {
        std::int64_t Files = 1000;
        std::int64_t Bytes = std::int64_t{1} << 30;
    };
    // Events caught since Start, their windows saved, and those that were not (no place free,
    // saving stopped, a write failed).
    struct Counts {
        std::int64_t Caught = 0;
        std::int64_t Saved = 0;
        std::int64_t NotSaved = 0;
        bool operator==(const Counts&) const = default;
    };
    struct SavedEvent {
        std::int64_t TriggerSet = 0;
        std::string Path;
    };
    // Windows that may wait for the writer.
    static constexpr int kWaitingWindows = 4;

    EventSaver();
    ~EventSaver();
    EventSaver(const EventSaver&) = delete;
    EventSaver& operator=(const EventSaver&) = delete;

    // Starts saving into `folder` the events of the capture whose set 0 was taken at `runAt`.
    // Each file's description is `description` with its own window's times and trigger
    // position `preTrigger`; its name takes the conditions of description.Trigger. The reason
    // when the folder cannot take files, else empty.
    std::string Start(const std::string& folder, const Limits& limits, const CaptureDescription& description,
                      char decimalSeparator, std::chrono::system_clock::time_point runAt, std::int32_t preTrigger);
    // A completed window: the 100000 slots that `nextSample` shows of `traces`, its trigger set
    // at position preTrigger. Copied; the writer takes it from there.
    void Save(const ChannelTraces& traces, std::int32_t nextSample, std::int64_t triggerSet);
    // An event whose window's samples are gone before it could be copied: counted as caught
    // and not saved.
    void Unsaved();
    // Writes the windows that wait, then ends.
    void Stop();
    // Stops, and forgets the counts and the reason of the saving before (a new capture).
    void Reset();

    // Started and not stopped, neither by Stop nor by itself.
    bool Active() const;
    Counts Count() const;
    // Why saving stopped by itself; empty while it runs or after Stop.
    std::string Ended() const;
    // The files written since the last call.
    std::vector<SavedEvent> TakeSaved();

    // The file name of an event at `at` (local time) for `conditions`:
    // "2026-12-07T03-14-15.123_ch2_rising.wfd".
    static std::string FileNameOf(std::chrono::system_clock::time_point at, const TriggerSettings& conditions);

private:
    struct Window {
        std::unique_ptr<ChannelTraces> Traces = std::make_unique<ChannelTraces>();
        std::int32_t NextSample = 0;
        std::int64_t TriggerSet = 0;
    };
    void run();
    // Writes one window; false (and ended_ set) when saving has to stop.
    bool write(const Window& window);
    std::chrono::system_clock::time_point timeOf(std::int64_t set) const;
    void end(const std::string& why);

    std::vector<Window> windows_;  // kWaitingWindows places, allocated at Start
    std::deque<int> waiting_, free_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool running_ = false, quit_ = false;
    Counts counts_;
    std::string ended_;
    std::vector<SavedEvent> saved_;
    // Set at Start, read by the writer only.
    std::string folder_;
    Limits limits_;
    CaptureDescription description_;
    char decimalSeparator_ = '.';
    std::chrono::system_clock::time_point runAt_{};
    std::int32_t preTrigger_ = 0;
    std::int64_t files_ = 0, bytes_ = 0, lastBytes_ = 0;
};

}  // namespace altrix
