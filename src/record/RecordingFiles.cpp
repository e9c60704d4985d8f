#include "RecordingFormat.h"

#include <filesystem>
#include <system_error>

namespace altrix {

std::string JournalNote(const std::string& path) {
    std::error_code ec;
    const std::string journal = path + "-wal";
    const auto size = std::filesystem::file_size(journal, ec);
    if (ec || size == 0) return {};
    return ". Its journal " + std::filesystem::path(journal).filename().string() +
           " beside it holds part of the recording: keep the two together";
}

bool IsPartOfRecording(const std::string& input, const std::string& output) {
    std::error_code ec;
    if (std::filesystem::equivalent(input, output, ec)) return true;
    const auto named = [](const std::string& path) {
        std::error_code e;
        const std::filesystem::path p = std::filesystem::weakly_canonical(path, e);
        return e ? std::filesystem::path(path).lexically_normal() : p;
    };
    const std::filesystem::path out = named(output);
    // The journals are named after the path given and, through links, after the file itself.
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        if (std::filesystem::equivalent(input + suffix, output, ec) || named(input + suffix) == out ||
            named(named(input).string() + suffix) == out)
            return true;
    return false;
}

}  // namespace altrix
