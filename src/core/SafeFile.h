#pragma once
// What the file readers and writers share: the result they report, the check that a path
// names a regular file, the replacement of a file as a whole and the chunked writer that
// fills the new file.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace altrix {

struct FileResult {
    bool Ok = true;
    std::string Error;       // what failed, for the user, when !Ok
    bool Cancelled = false;  // a read that its caller stopped (Ok is false, Error empty)
};

// A long write told to report and asked whether to go on: `Report` gets the sets written so far
// of the write's count after each chunk, `Cancel` is read between chunks (by another thread
// too). A cancelled write leaves no file (a file it would replace stays as it was) and returns
// Cancelled (Ok false, Error empty).
struct ExportProgress {
    std::function<void(std::int64_t done, std::int64_t total)> Report;
    const std::atomic<bool>* Cancel = nullptr;

    bool Cancelled() const { return Cancel && Cancel->load(std::memory_order_relaxed); }
    // Reports `done` of `total`; false once cancelled.
    bool Step(std::int64_t done, std::int64_t total) const {
        if (Report) Report(done, total);
        return !Cancelled();
    }
};
inline FileResult CancelledWrite() { return {false, {}, true}; }

inline constexpr const char* kNotRegularFile = "Not a regular file";

// Empty when `path`, links followed, is a regular file; otherwise why it cannot be read as
// one: kNotRegularFile for folders, devices and pipes, or the system's error text.
std::string RegularFileProblem(const std::string& path);

// True while `path` still names the open `file`: false once it was deleted, or replaced by
// another file, while open.
bool StillNamedBy(std::FILE* file, const std::string& path);

// Replaces the file at `path` as a whole. `write` fills a new file in the same folder and
// returns false when a write fails (errno telling why); the new file is then renamed over the
// target. A link is followed to the file it names, which is replaced in its own folder. A
// target that exists but is not a regular file, or that the user may not write, is refused.
// On any failure the target is left as it was and the new file is removed, by the handle of
// the folder it was made in, so a folder renamed meanwhile keeps no stray file either.
FileResult ReplaceFile(const std::string& path, const std::function<bool(std::FILE*)>& write);

// ReplaceFile for writers that open a file by its name (libraries of file formats): `write`
// gets the path of the new, empty file beside the target, writes it and closes it, and returns
// what failed. The target is replaced, or left as it was and the new file removed, as by
// ReplaceFile.
FileResult ReplaceFileByName(const std::string& path, const std::function<FileResult(const std::string&)>& write);

// Empty when ReplaceFile could replace or make the file at `path` now; otherwise why not, in
// ReplaceFile's words. Tried by making the new file beside the target and removing it again.
std::string ReplaceProblem(const std::string& path);

// Gathers text and writes it to an open file a large chunk at a time, so that formatting
// code appends to one buffer and never writes per value.
class ChunkWriter {
public:
    explicit ChunkWriter(std::FILE* file);

    // The text not written yet; append to it.
    std::string& Buffer() { return buffer_; }

    // Writes the buffer out once it holds a chunk (or always, when `all`); false when the
    // write failed (errno tells why).
    bool Flush(bool all);

private:
    std::FILE* file_;
    std::string buffer_;
};

}  // namespace altrix
