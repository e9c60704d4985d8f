#include "Recorder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace altrix {

std::string Recorder::Start(const std::string& path, const std::vector<CsvColumn>& columns, const CaptureRecord& record) {
    Stop();
    error_.clear();
    sets_ = bytes_ = pendingSets_ = 0;
    nextSet_ = 0;
    path_ = path;
    // A pipe or a device is no place for a recording (opening a pipe would wait for a reader).
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        if (const std::string problem = RegularFileProblem(path); !problem.empty()) return problem;
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) return std::strerror(errno);
    // Each tick's lines go to the file in one write, so a failed write tells what it holds.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    format_ = std::make_unique<CsvFormat>(columns, false, std::vector<std::string>{"gap"});
    gaps_.Start(record);
    pending_.clear();
    format_->AppendHeader(pending_);
    if (!write(true)) return error_;
    return {};
}

bool Recorder::Append(const CaptureRecord& record, std::int32_t nextSample, std::int64_t count) {
    if (!file_) return false;
    if (count > kTraceSlots) {
        nextSet_ += count - kTraceSlots;
        count = kTraceSlots;
    }
    stretches_.clear();
    gaps_.Take(record, nextSample, count, nextSet_, stretches_);
    auto stretch = stretches_.begin();
    std::array<std::int16_t, kChannelCount> values{};
    for (auto n = static_cast<int>(count); n > 0; --n) {
        int slot = nextSample - n;
        if (slot < 0) slot += kTraceSlots;
        for (int c = 0; c < kChannelCount; ++c) values[c] = record.ChannelTrace[c][slot];
        while (stretch != stretches_.end() && stretch->First + stretch->Sets <= nextSet_) ++stretch;
        const double filled = stretch != stretches_.end() && stretch->First <= nextSet_ ? 1 : 0;
        format_->AppendRow(pending_, nextSet_++, values, {&filled, 1});
    }
    pendingSets_ += static_cast<std::uint64_t>(count);
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
        const std::size_t written = std::fwrite(pending_.data(), 1, pending_.size(), file_.get());
        if (written != pending_.size()) {
            const std::string why = std::strerror(errno);
            // The file ends on the last whole line that reached it.
            const std::size_t lineEnd = pending_.rfind('\n', written == 0 ? 0 : written - 1);
            const std::size_t kept = lineEnd == std::string::npos || written == 0 ? 0 : lineEnd + 1;
            std::error_code ec;
            std::filesystem::resize_file(path_, bytes_ + kept, ec);
            bytes_ += kept;
            sets_ += std::min<std::uint64_t>(pendingSets_, static_cast<std::uint64_t>(
                                                               std::count(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(kept), '\n')));
            fail(why);
            return false;
        }
        bytes_ += written;
        sets_ += pendingSets_;
        pendingSets_ = 0;
        pending_.clear();
    }
    if (flush) {
        if (!StillNamedBy(file_.get(), path_)) {
            fail("The file was deleted or replaced while recording; what was recorded is gone with it");
            return false;
        }
        flushedAt_ = Clock::now();
    }
    return true;
}

void Recorder::fail(const std::string& why) {
    error_ = why;
    pending_.clear();
    pendingSets_ = 0;
    // What reached the file stays; nothing more is written to it.
    file_.reset();
}

}  // namespace altrix
