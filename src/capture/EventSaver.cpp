#include "EventSaver.h"

#include "Readout.h"
#include "SafeFile.h"
#include "WaveformFile.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <utility>

namespace altrix {

namespace {

namespace fs = std::filesystem;
using SystemClock = std::chrono::system_clock;

// The time as `format` (strftime) writes it in UTC or local time, then ".mmm".
std::string MillisecondText(SystemClock::time_point at, const char* format, bool utc) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(at);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - seconds).count();
    const std::time_t whole = SystemClock::to_time_t(seconds);
    std::tm parts{};
    if (utc)
        gmtime_r(&whole, &parts);
    else
        localtime_r(&whole, &parts);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, format, &parts);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms));
    return text;
}

// "2026-12-07T03:14:15.123Z".
std::string UtcText(SystemClock::time_point at) {
    return MillisecondText(at, "%Y-%m-%dT%H:%M:%S", true) + "Z";
}

}  // namespace

EventSaver::EventSaver() = default;

EventSaver::~EventSaver() { Stop(); }

std::string EventSaver::FileNameOf(SystemClock::time_point at, const TriggerSettings& conditions) {
    return MillisecondText(at, "%Y-%m-%dT%H-%M-%S", false) + "_" + TriggerFileName(conditions) + ".wfd";
}

std::string EventSaver::Start(const std::string& folder, const Limits& limits, const CaptureDescription& description,
                              char decimalSeparator, SystemClock::time_point runAt, std::int32_t preTrigger) {
    Stop();
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return folder + " is no folder";
    // Tried with the name of a file that is never kept.
    if (const std::string problem = ReplaceProblem((fs::path(folder) / ".altrix-event-probe").string()); !problem.empty())
        return problem;
    folder_ = folder;
    limits_ = limits;
    description_ = description;
    decimalSeparator_ = decimalSeparator;
    runAt_ = runAt;
    preTrigger_ = preTrigger;
    files_ = bytes_ = lastBytes_ = 0;
    if (windows_.empty()) windows_.resize(kWaitingWindows);
    waiting_.clear();
    free_.clear();
    for (int w = 0; w < kWaitingWindows; ++w) free_.push_back(w);
    counts_ = {};
    ended_.clear();
    saved_.clear();
    running_ = true;
    quit_ = false;
    thread_ = std::thread(&EventSaver::run, this);
    return {};
}

void EventSaver::Save(const ChannelTraces& traces, std::int32_t nextSample, std::int64_t triggerSet) {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable()) return;
    ++counts_.Caught;
    if (!running_ || free_.empty()) {
        ++counts_.NotSaved;
        return;
    }
    const int w = free_.front();
    free_.pop_front();
    lock.unlock();
    // The writer leaves a free place alone.
    Window& window = windows_[static_cast<std::size_t>(w)];
    CopyWindowSlots(traces, *window.Traces, nextSample);
    window.NextSample = nextSample;
    window.TriggerSet = triggerSet;
    lock.lock();
    waiting_.push_back(w);
    wake_.notify_one();
}

void EventSaver::Unsaved() {
    const std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    ++counts_.Caught;
    ++counts_.NotSaved;
}

void EventSaver::Stop() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    const std::lock_guard lock(mutex_);
    // Saving that stopped by itself keeps its reason until the next Start.
    running_ = false;
}

void EventSaver::Reset() {
    Stop();
    const std::lock_guard lock(mutex_);
    counts_ = {};
    ended_.clear();
    saved_.clear();
}

bool EventSaver::Active() const {
    const std::lock_guard lock(mutex_);
    return running_ && thread_.joinable();
}

EventSaver::Counts EventSaver::Count() const {
    const std::lock_guard lock(mutex_);
    return counts_;
}

std::string EventSaver::Ended() const {
    const std::lock_guard lock(mutex_);
    return ended_;
}

std::vector<EventSaver::SavedEvent> EventSaver::TakeSaved() {
    const std::lock_guard lock(mutex_);
    return std::exchange(saved_, {});
}

void EventSaver::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !waiting_.empty(); });
        if (waiting_.empty()) return;
        const int w = waiting_.front();
        waiting_.pop_front();
        const bool write = running_;
        lock.unlock();
        const bool written = write && this->write(windows_[static_cast<std::size_t>(w)]);
        lock.lock();
        free_.push_back(w);
        if (written)
            ++counts_.Saved;
        else
            ++counts_.NotSaved;
    }
}

SystemClock::time_point EventSaver::timeOf(std::int64_t set) const {
    return runAt_ + std::chrono::duration_cast<SystemClock::duration>(std::chrono::microseconds(set * 200));
}

bool EventSaver::write(const Window& window) {
    // A file like the last one must fit in what the limits leave.
    if (files_ + 1 > limits_.Files || bytes_ + lastBytes_ > limits_.Bytes) {
        end(files_ + 1 > limits_.Files
                ? "the limit of " + std::to_string(limits_.Files) + " files was reached"
                : "the limit of " + std::to_string(limits_.Bytes / (1024 * 1024)) + " MB was reached");
        return false;
    }
    const std::int64_t firstSet = window.TriggerSet - preTrigger_;
    const std::string name = FileNameOf(timeOf(window.TriggerSet), description_.Trigger);
    // Never replaces a file: a name taken gets a number.
    fs::path path = fs::path(folder_) / name;
    std::error_code ec;
    for (int n = 2; fs::exists(fs::symlink_status(path, ec)) || fs::exists(fs::symlink_status(SidecarPath(path.string()), ec)); ++n)
        path = fs::path(folder_) / (name.substr(0, name.size() - 4) + "-" + std::to_string(n) + ".wfd");
    const std::string file = path.string();
    FileResult result = WriteWaveformFile(*window.Traces, window.NextSample, file, decimalSeparator_);
    if (result.Ok) {
        CaptureDescription d = description_;
        d.TriggerPosition = preTrigger_;
        d.TriggerSeconds = FormatSeconds(static_cast<double>(window.TriggerSet) * kSamplePeriodSeconds, '.');
        // The capture's RUN, as every description names it: with the trigger's time since RUN
        // at its position it places the window; its end is the window's newest set.
        d.StartUtc = UtcText(runAt_);
        d.EndUtc = UtcText(timeOf(firstSet + kNewestPosition));
        result = WriteSidecar(d, file);
    }
    if (!result.Ok) {
        end("unable to write " + file + ": " + result.Error);
        return false;
    }
    const std::int64_t bytes = static_cast<std::int64_t>(fs::file_size(file, ec)) +
                               static_cast<std::int64_t>(fs::file_size(SidecarPath(file), ec));
    ++files_;
    bytes_ += bytes;
    lastBytes_ = bytes;
    const std::lock_guard lock(mutex_);
    saved_.push_back({window.TriggerSet, file});
    return true;
}

void EventSaver::end(const std::string& why) {
    const std::lock_guard lock(mutex_);
    running_ = false;
    ended_ = why;
}

}  // namespace altrix
