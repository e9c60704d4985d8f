#pragma once
// Recorder: appends every sample set a capture decodes to a CSV file of the export's form, so
// a capture longer than the window is kept on disk. Time counts from the recording's first set.
// Written a tick at a time and flushed at least once a second; a write error ends the
// recording, keeping what was written before it.

#include "CaptureRecord.h"
#include "CsvExport.h"

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

    // Creates (or empties) `path` and writes the header of `columns`, one per channel. The
    // reason for the user when the file cannot be written, else empty.
    std::string Start(const std::string& path, const std::vector<CsvColumn>& columns);
    // Appends the `count` sets that end before slot `nextSample` of the record's traces. False
    // once a write failed: the recording has then ended and Error() says why.
    bool Append(const CaptureRecord& record, std::int32_t nextSample, int count);
    // Writes what is pending and closes the file; false when that write failed.
    bool Stop();

    bool Active() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }
    std::uint64_t Sets() const { return sets_; }
    std::uint64_t Bytes() const { return bytes_; }

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    bool write(bool flush);
    void fail();

    std::unique_ptr<std::FILE, FileCloser> file_;
    std::unique_ptr<CsvFormat> format_;
    std::string path_;
    std::string error_;
    std::string pending_;
    std::uint64_t sets_ = 0;
    std::uint64_t bytes_ = 0;
    Clock::time_point flushedAt_{};
};

}  // namespace altrix
