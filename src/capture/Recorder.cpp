#include "Recorder.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace altrix {

std::string Recorder::Start(const std::string& path, const std::vector<CsvColumn>& columns) {
    Stop();
    error_.clear();
    sets_ = bytes_ = 0;
    path_ = path;
    // A pipe or a device is no place for a recording (opening a pipe would wait for a reader).
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        if (const std::string problem = RegularFileProblem(path); !problem.empty()) return problem;
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) return std::strerror(errno);
    format_ = std::make_unique<CsvFormat>(columns, false);
    pending_.clear();
    format_->AppendHeader(pending_);
    if (!write(true)) return error_;
    return {};
}

bool Recorder::Append(const CaptureRecord& record, std::int32_t nextSample, int count) {
    if (!file_) return false;
    std::array<std::int16_t, kChannelCount> values{};
    for (int n = count; n > 0; --n) {
        int slot = nextSample - n;
        if (slot < 0) slot += kTraceSlots;
        for (int c = 0; c < kChannelCount; ++c) values[c] = record.ChannelTrace[c][slot];
        format_->AppendRow(pending_, static_cast<std::int64_t>(sets_++), values);
    }
    return write(Clock::now() - flushedAt_ >= kFlushPeriod);
}

bool Recorder::Stop() {
    if (!file_) return error_.empty();
    const bool written = write(true);
    file_.reset();
    return written;
}

bool Recorder::write(bool flush) {
    if (!pending_.empty()) {
        if (std::fwrite(pending_.data(), 1, pending_.size(), file_.get()) != pending_.size()) {
            fail();
            return false;
        }
        bytes_ += pending_.size();
        pending_.clear();
    }
    if (flush) {
        if (std::fflush(file_.get()) != 0) {
            fail();
            return false;
        }
        flushedAt_ = Clock::now();
    }
    return true;
}

void Recorder::fail() {
    error_ = std::strerror(errno);
    // What reached the file stays; nothing more is written to it.
    file_.reset();
}

}  // namespace altrix
