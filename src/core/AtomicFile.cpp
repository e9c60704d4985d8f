#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>

namespace altrix {

namespace {

constexpr std::size_t kChunkBytes = 256 * 1024;
constexpr int kTempNameAttempts = 100;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string ErrorText(int error) { return std::strerror(error); }

// Creates a new, not yet existing file "<path>.tmp-XXXXXX" in the target's folder, so
// that the finished file can be renamed over the target on the same file system.
FilePtr CreateFileBeside(const std::string& path, std::string& tempPath, int& error) {
    static constexpr char kNameChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::minstd_rand random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kNameChars - 2);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        tempPath = path + ".tmp-";
        for (int i = 0; i < 6; ++i) tempPath += kNameChars[pick(random)];
        if (std::FILE* file = std::fopen(tempPath.c_str(), "wbx")) return FilePtr(file);
        error = errno;
        if (error != EEXIST) return nullptr;
    }
    return nullptr;
}

}  // namespace

ChunkWriter::ChunkWriter(std::FILE* file) : file_(file) { buffer_.reserve(kChunkBytes + 1024); }

bool ChunkWriter::Flush(bool all) {
    if (buffer_.empty() || (!all && buffer_.size() < kChunkBytes)) return true;
    const bool ok = std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
    buffer_.clear();
    return ok;
}

FileResult WriteFileAtomically(const std::string& path,
                               const std::function<bool(std::FILE*)>& write) {
    std::string tempPath;
    int error = 0;
    FilePtr file = CreateFileBeside(path, tempPath, error);
    if (!file) return {false, ErrorText(error)};

    const auto fail = [&tempPath](int cause) {
        std::error_code ignored;
        std::filesystem::remove(tempPath, ignored);
        return FileResult{false, ErrorText(cause)};
    };
    errno = 0;
    if (!write(file.get())) {
        const int cause = errno ? errno : EIO;
        file.reset();
        return fail(cause);
    }
    if (std::fclose(file.release()) != 0) return fail(errno ? errno : EIO);

    std::error_code ec;
    const auto existing = std::filesystem::status(path, ec);
    if (!ec && std::filesystem::is_regular_file(existing)) {
        std::filesystem::permissions(tempPath, existing.permissions(), ec);
    }
    std::filesystem::rename(tempPath, path, ec);
    if (ec) return fail(ec.value());
    return {};
}

FileResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
    return WriteFileAtomically(path, [bytes](std::FILE* file) {
        return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    });
}

}  // namespace altrix
