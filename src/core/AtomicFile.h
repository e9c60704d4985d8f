#pragma once
// Writing a file whole or not at all, for every file the program writes: the bytes go to a
// new file beside the target, which is renamed over the target once it is complete.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace altrix {

struct FileResult {
    bool Ok = true;
    std::string Error;  // what failed, for the user, when !Ok
};

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

// Writes `path` through `write`, which is given a new temporary file beside it and returns
// false when a write failed (errno set). Only a complete file is renamed over `path`, and a
// replaced file keeps its permissions; on any failure the temporary file is removed and an
// existing file at `path` is left as it was.
FileResult WriteFileAtomically(const std::string& path,
                               const std::function<bool(std::FILE*)>& write);

// The same for bytes already in memory.
FileResult WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace altrix
