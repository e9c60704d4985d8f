#pragma once
// Recorder: appends every sample set a capture stores to a CSV file of the export's form, so
// a capture longer than the window is kept on disk. Time counts from the recording's first set;
// the sets that fill a gap are written as the window holds them, so every line keeps the
// window's time, and marked 1 in the last column, "gap" (0 for a set received). Written a tick at a time, unbuffered, and checked at least once a second; a
// write error ends the recording on the last whole line written, and so does a file deleted or
// replaced while it records.

#include "CaptureRecord.h"
#include "CsvExport.h"
#include "GapTracker.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace altrix {

class Recorder {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kFlushPeriod{1000};

    // Creates (or empties) `path` and writes the header of `columns`, one per channel, and of
    // the gap column; the sets of `record` from its next one on are recorded. The
    // reason for the user when the file cannot be written, else empty.
    std::string Start(const std::string& path, const std::vector<CsvColumn>& columns, const CaptureRecord& record);
    // Appends the `count` sets that end before slot `nextSample` of the record's traces (sets the
    // ring no longer holds keep their time, without a line). False once a write failed or the
    // file went: the recording has then ended and Error() says why.
    bool Append(const CaptureRecord& record, std::int32_t nextSample, std::int64_t count);
    // Writes what is pending and closes the file; false when that write failed.
    bool Stop();

    bool Active() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }
    // Sets whose whole lines are in the file, and the file's bytes.
    std::uint64_t Sets() const { return sets_; }
    std::uint64_t Bytes() const { return bytes_; }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    bool write(bool flush);
    void fail(const std::string& why);

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::unique_ptr<CsvFormat> format_;
    GapTracker gaps_;
    std::vector<GapTracker::Stretch> stretches_;
    std::string path_;
    std::string error_;
    std::string pending_;
    std::uint64_t sets_ = 0;
    std::uint64_t pendingSets_ = 0;
    std::int64_t nextSet_ = 0;
    std::uint64_t bytes_ = 0;
    Clock::time_point flushedAt_{};
};

}  // namespace altrix
