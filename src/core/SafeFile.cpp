#include "SafeFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace altrix {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunkBytes = 256 * 1024;
constexpr int kMaxLinkHops = 40;
constexpr int kTempNameAttempts = 100;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

FileResult Failure(int error) { return {false, std::strerror(error), false}; }
FileResult Failure(const std::error_code& error) { return {false, error.message(), false}; }

// A random name "<name>.tmp-XXXXXX" for the new file beside `name`.
std::string TempNameBeside(const std::string& name) {
    static constexpr char kNameChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kNameChars - 2);
    std::string temp = name + ".tmp-";
    for (int i = 0; i < 6; ++i) temp += kNameChars[pick(random)];
    return temp;
}

#ifndef _WIN32
// The folder of the target, held open: the new file is made, renamed and removed through the
// folder's handle, so it stays in that folder whatever happens to the folder's path meanwhile.
class Folder {
public:
    explicit Folder(const fs::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~Folder() {
        if (fd_ >= 0) ::close(fd_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool IsOpen() const { return fd_ >= 0; }

    // A new file that did not exist before; nullptr with errno set when it cannot be made.
    FilePtr CreateNew(const std::string& name, std::optional<fs::perms> mode) {
        const int fd = ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) return nullptr;
        if (mode) ::fchmod(fd, static_cast<mode_t>(*mode));
        if (std::FILE* file = ::fdopen(fd, "wb")) return FilePtr(file);
        const int error = errno;
        ::close(fd);
        Remove(name);
        errno = error;
        return nullptr;
    }
    void Remove(const std::string& name) { ::unlinkat(fd_, name.c_str(), 0); }
    // 0, or the errno of a failed rename.
    int Rename(const std::string& from, const std::string& to) {
        return ::renameat(fd_, from.c_str(), fd_, to.c_str()) == 0 ? 0 : errno;
    }

private:
    int fd_;
};
#else
// A folder that holds an open file cannot be renamed on Windows, so its path stays good.
class Folder {
public:
    explicit Folder(const fs::path& path) : path_(path) {}
    bool IsOpen() const {
        std::error_code ec;
        return fs::is_directory(path_, ec);
    }
    FilePtr CreateNew(const std::string& name, std::optional<fs::perms> mode) {
        FilePtr file(std::fopen((path_ / name).string().c_str(), "wbx"));
        std::error_code ec;
        if (file && mode) fs::permissions(path_ / name, *mode, ec);
        return file;
    }
    void Remove(const std::string& name) {
        std::error_code ec;
        fs::remove(path_ / name, ec);
    }
    int Rename(const std::string& from, const std::string& to) {
        std::error_code ec;
        fs::rename(path_ / from, path_ / to, ec);
        return ec.value();
    }

private:
    fs::path path_;
};
#endif

// The file that a chain of links ends at; `path` itself when it is no link. A link to a
// missing file gives that file's path.
fs::path FollowLinks(fs::path path, std::error_code& ec) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        const fs::file_status status = fs::symlink_status(path, ec);
        if (status.type() == fs::file_type::not_found) ec.clear();
        if (ec || !fs::is_symlink(status)) return path;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return path;
}

// A target that may be replaced: missing, or a regular file that the user may write (tried
// as an in-place write would open it, without changing it). Gives the mode of an existing
// file, which the new file takes over.
FileResult CheckReplaceable(const fs::path& target, std::optional<fs::perms>& mode) {
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (status.type() == fs::file_type::not_found) return {};
    if (ec) return Failure(ec);
    if (!fs::is_regular_file(status)) return {false, kNotRegularFile, false};
    if (!FilePtr(std::fopen(target.string().c_str(), "r+b"))) return Failure(errno);
    mode = status.permissions();
    return {};
}

}  // namespace

std::string RegularFileProblem(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) return ec.message();
    return fs::is_regular_file(status) ? std::string() : kNotRegularFile;
}

bool StillNamedBy(std::FILE* file, const std::string& path) {
#ifndef _WIN32
    struct stat open {}, named {};
    return ::fstat(::fileno(file), &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
#else
    (void)file;
    std::error_code ec;
    return fs::exists(path, ec);
#endif
}

namespace {

// The new file beside the target that ReplaceFile fills and renames over it.
struct NewFile {
    std::optional<Folder> folder;
    fs::path folderPath;
    std::string name;      // the target's, in its folder
    std::string tempName;  // the new file's
    FilePtr file;
};

// Makes the new file for the target at `path`, links followed, or says why the target cannot
// be replaced.
FileResult MakeNewFile(const std::string& path, NewFile& made) {
    std::error_code ec;
    const fs::path target = FollowLinks(path, ec);
    if (ec) return Failure(ec);
    std::optional<fs::perms> mode;
    if (FileResult refused = CheckReplaceable(target, mode); !refused.Ok) return refused;

    made.folderPath = target.has_parent_path() ? target.parent_path() : fs::path(".");
    made.folder.emplace(made.folderPath);
    if (!made.folder->IsOpen()) return Failure(errno ? errno : ENOENT);
    made.name = target.filename().string();
    for (int attempt = 0; attempt < kTempNameAttempts && !made.file; ++attempt) {
        made.tempName = TempNameBeside(made.name);
        made.file = made.folder->CreateNew(made.tempName, mode);
        if (!made.file && errno != EEXIST) return Failure(errno);
    }
    if (!made.file) return Failure(EEXIST);
    return {};
}

}  // namespace

FileResult ReplaceFile(const std::string& path, const std::function<bool(std::FILE*)>& write) {
    NewFile made;
    if (FileResult refused = MakeNewFile(path, made); !refused.Ok) return refused;
    const auto fail = [&](int cause) {
        made.folder->Remove(made.tempName);
        return Failure(cause);
    };
    errno = 0;
    if (!write(made.file.get())) {
        const int cause = errno ? errno : EIO;
        made.file.reset();
        return fail(cause);
    }
    if (std::fclose(made.file.release()) != 0) return fail(errno ? errno : EIO);
    if (const int error = made.folder->Rename(made.tempName, made.name); error != 0) return fail(error);
    return {};
}

FileResult ReplaceFileByName(const std::string& path, const std::function<FileResult(const std::string&)>& write) {
    NewFile made;
    if (FileResult refused = MakeNewFile(path, made); !refused.Ok) return refused;
    if (std::fclose(made.file.release()) != 0) {
        const int cause = errno ? errno : EIO;
        made.folder->Remove(made.tempName);
        return Failure(cause);
    }
    FileResult written = write((made.folderPath / made.tempName).string());
    if (written.Ok) {
        if (const int error = made.folder->Rename(made.tempName, made.name); error != 0) written = Failure(error);
    }
    if (!written.Ok) made.folder->Remove(made.tempName);
    return written;
}

std::string ReplaceProblem(const std::string& path) {
    NewFile made;
    const FileResult result = MakeNewFile(path, made);
    if (made.file) {
        made.file.reset();
        made.folder->Remove(made.tempName);
    }
    return result.Error;
}

ChunkWriter::ChunkWriter(std::FILE* file) : file_(file) { buffer_.reserve(kChunkBytes + 1024); }

bool ChunkWriter::Flush(bool all) {
    if (buffer_.empty() || (!all && buffer_.size() < kChunkBytes)) return true;
    const bool ok = std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
    buffer_.clear();
    return ok;
}

}  // namespace altrix
