#include "LongRecorder.h"

#include "RecordingWriter.h"

#include <algorithm>
#include <filesystem>

namespace altrix {

LongRecorder::LongRecorder() : writer_(std::make_unique<RecordingWriter>()) {}

LongRecorder::~LongRecorder() {
    Stop();
}

std::string LongRecorder::Start(const std::string& path, const RecordingHeader& header, const CaptureRecord& record) {
    Stop();
    error_.clear();
    failed_ = false;
    written_ = 0;
    if (std::string problem = writer_->Create(path, header); !problem.empty()) return problem;
    path_ = path;
    nextSet_ = 0;
    captureOffset_ = record.SetCount;
    gaps_.Start(record);
    newestReason_ = "lost blocks";
    reconnectGap_ = false;
    gathering_ = queued_ = {};
    // About two seconds of sets, so that gathering allocates nothing while it runs.
    gathering_.Sets.reserve(2 * kRecordingSampleRateHz * kRecordingChannels);
    quit_ = false;
    handedAt_ = Clock::now();
    active_ = true;
    thread_ = std::thread(&LongRecorder::run, this);
    return {};
}

bool LongRecorder::Append(const CaptureRecord& record, std::int32_t nextSample, std::int64_t count) {
    if (!active_) return false;
    if (failed_) {
        Stop();
        return false;
    }
    // Sets the ring no longer holds (a tick longer than its 40 s) are kept as zeros in a gap.
    const std::int64_t lost = std::max<std::int64_t>(0, count - kTraceSlots);
    if (lost > 0) {
        gathering_.Gaps.push_back({nextSet_, lost, "not received in time"});
        gathering_.Sets.insert(gathering_.Sets.end(), static_cast<std::size_t>(lost * kRecordingChannels), 0);
        nextSet_ += lost;
        count -= lost;
    }
    int firstSlot = nextSample - static_cast<int>(count);
    if (firstSlot < 0) firstSlot += kTraceSlots;
    stretches_.clear();
    gaps_.Take(record, nextSample, count, nextSet_, stretches_);
    for (const GapTracker::Stretch& s : stretches_) {
        if (!s.Grown) {
            newestReason_ = reconnectGap_ ? "reconnect" : "lost blocks";
            reconnectGap_ = false;
        }
        // A gap that grew carries on the one gathered before it (the writer joins it to a row written).
        if (!gathering_.Gaps.empty() && gathering_.Gaps.back().FirstSet + gathering_.Gaps.back().SetCount == s.First &&
            gathering_.Gaps.back().Reason == newestReason_)
            gathering_.Gaps.back().SetCount += s.Sets;
        else
            gathering_.Gaps.push_back({s.First, s.Sets, newestReason_});
    }
    for (int n = 0; n < count; ++n) {
        const int slot = (firstSlot + n) % kTraceSlots;
        for (int c = 0; c < kChannelCount; ++c) gathering_.Sets.push_back(record.ChannelTrace[c][slot]);
    }
    nextSet_ += count;
    if (Clock::now() - handedAt_ >= kCommitPeriod) handOver();
    return true;
}

void LongRecorder::Event(const std::string& kind, const std::string& text) {
    if (active_) gathering_.Events.push_back({nextSet_, kind, text});
}

void LongRecorder::EventAtCaptureSet(std::int64_t captureSet, const std::string& kind, const std::string& text) {
    if (active_) gathering_.Events.push_back({captureSet - static_cast<std::int64_t>(captureOffset_), kind, text});
}

void LongRecorder::handOver() {
    handedAt_ = Clock::now();
    {
        const std::lock_guard lock(mutex_);
        // A writer still busy with the last second gets this one with it.
        queued_.Sets.insert(queued_.Sets.end(), gathering_.Sets.begin(), gathering_.Sets.end());
        queued_.Gaps.insert(queued_.Gaps.end(), gathering_.Gaps.begin(), gathering_.Gaps.end());
        queued_.Events.insert(queued_.Events.end(), gathering_.Events.begin(), gathering_.Events.end());
    }
    gathering_.Sets.clear();
    gathering_.Gaps.clear();
    gathering_.Events.clear();
    wake_.notify_one();
}

void LongRecorder::run() {
    Batch batch;
    batch.Sets.reserve(gathering_.Sets.capacity());
    for (;;) {
        bool quit = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !queued_.Sets.empty() || !queued_.Events.empty(); });
            std::swap(batch, queued_);
            quit = quit_;
        }
        if (!batch.Sets.empty() || !batch.Events.empty() || !batch.Gaps.empty()) {
            if (!writer_->Write(batch.Sets, batch.Gaps, batch.Events)) {
                const std::lock_guard lock(mutex_);
                error_ = writer_->Error();
                failed_ = true;
                return;
            }
            written_ = static_cast<std::uint64_t>(writer_->Sets());
        }
        batch.Sets.clear();
        batch.Gaps.clear();
        batch.Events.clear();
        if (quit) return;
    }
}

bool LongRecorder::Stop() {
    if (!active_) return !failed_;
    if (!failed_) handOver();
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
    // The journal is folded into the file; a fold that fails says where the rest is.
    if (!writer_->Close() && !failed_) {
        const std::lock_guard lock(mutex_);
        error_ = writer_->Error();
        failed_ = true;
    }
    active_ = false;
    return !failed_;
}

std::string LongRecorder::Error() const {
    const std::lock_guard lock(mutex_);
    return error_;
}

std::uint64_t LongRecorder::Bytes() const {
    std::error_code ec;
    std::uint64_t bytes = 0;
    for (const char* suffix : {"", "-wal"}) {
        const auto size = std::filesystem::file_size(path_ + suffix, ec);
        if (!ec) bytes += size;
    }
    return bytes;
}

}  // namespace altrix
