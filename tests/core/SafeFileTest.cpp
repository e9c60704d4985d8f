// ReplaceFile, the whole-file replacement under every file writer: links, targets that are no
// regular file or may not be written, and a folder renamed while the file is written.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "FileTestSupport.h"
#include "SafeFile.h"

namespace altrix {
namespace {

namespace fs = std::filesystem;
using testing::ExpectWithoutWriteAccess;
using testing::ReadBytes;
using testing::WriteBytes;

// A writer of `text` that fails, like a full disk, when `fails`.
std::function<bool(std::FILE*)> Writer(const std::string& text, bool fails = false) {
    return [text, fails](std::FILE* file) {
        return std::fputs(text.c_str(), file) >= 0 && !fails;
    };
}

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ReplaceFileTest : public testing::ScratchDir {};

// The file a link names is replaced in its own folder; the link stays a link.
TEST_F(ReplaceFileTest, ALinkIsFollowedToTheFileItNames) {
    fs::create_directory(dir_ / "data");
    struct Case {
        std::vector<std::pair<const char*, std::string>> links;  // link, what it names
        const char* target;                                     // in data/
        bool existed;
    };
    const Case cases[] = {
        {{{"relative.wfd", "data/real.wfd"}}, "real.wfd", true},
        {{{"first.wfd", "second.wfd"}, {"second.wfd", PathOf("data/chained.wfd")}}, "chained.wfd", true},
        {{{"dangling.wfd", "data/new.wfd"}}, "new.wfd", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        if (c.existed) WriteBytes(dir_ / "data" / c.target, "old");
        for (const auto& [link, named] : c.links) fs::create_symlink(named, dir_ / link);
        ASSERT_TRUE(ReplaceFile(PathOf(c.links.front().first), Writer("new")).Ok);
        EXPECT_EQ(ReadBytes(dir_ / "data" / c.target), "new");
        for (const auto& [link, named] : c.links) {
            EXPECT_TRUE(fs::is_symlink(dir_ / link)) << link;
            EXPECT_EQ(fs::read_symlink(dir_ / link), named);
        }
        fs::remove(dir_ / "data" / c.target);
        EXPECT_TRUE(fs::is_empty(dir_ / "data"));
    }
}

TEST_F(ReplaceFileTest, ATargetThatIsNoRegularFileIsRefused) {
    fs::create_directory(dir_ / "folder");
    ASSERT_EQ(mkfifo(PathOf("pipe").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", dir_ / "null");
    const auto before = Entries(dir_);
    for (const std::string& path : {PathOf("folder"), PathOf("pipe"), PathOf("null"), std::string("/dev/null")}) {
        const FileResult result = ReplaceFile(path, Writer("new"));
        EXPECT_FALSE(result.Ok) << path;
        EXPECT_EQ(result.Error, kNotRegularFile) << path;
    }
    EXPECT_EQ(Entries(dir_), before);
    EXPECT_TRUE(fs::is_fifo(dir_ / "pipe"));
    EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
    EXPECT_EQ(fs::read_symlink(dir_ / "null"), "/dev/null");
}

// In a folder the user may write, a file the user may not write is refused as writing it in
// place would be, not replaced by a new one.
TEST_F(ReplaceFileTest, AFileTheUserMayNotWriteIsRefused) {
    fs::create_directory(dir_ / "shared");
    fs::permissions(dir_ / "shared", fs::perms::all);
    const std::string path = PathOf("shared/protected.wfd");
    WriteBytes(path, "old");
    ExpectWithoutWriteAccess(path, [&] {
        const FileResult result = ReplaceFile(path, Writer("new"));
        return !result.Ok && result.Error == std::strerror(EACCES) && ReadBytes(path) == "old" &&
               Entries(dir_ / "shared") == std::vector<std::string>{"protected.wfd"};
    });
}

// The new file is made, renamed and removed through the folder it was made in, wherever
// that folder has gone meanwhile.
TEST_F(ReplaceFileTest, AFolderRenamedDuringTheWriteKeepsNoStrayFile) {
    for (const bool fails : {true, false}) {
        SCOPED_TRACE(fails ? "failing write" : "complete write");
        fs::create_directory(dir_ / "folder");
        const FileResult result = ReplaceFile(PathOf("folder/saved.wfd"), [&](std::FILE* file) {
            fs::rename(dir_ / "folder", dir_ / "moved");
            fs::create_directory(dir_ / "folder");  // another folder at the old path
            return Writer("new", fails)(file);
        });
        EXPECT_EQ(result.Ok, !fails);
        EXPECT_TRUE(fs::is_empty(dir_ / "folder"));
        EXPECT_EQ(Entries(dir_ / "moved"), fails ? std::vector<std::string>{} : std::vector<std::string>{"saved.wfd"});
        if (!fails) {
            EXPECT_EQ(ReadBytes(dir_ / "moved" / "saved.wfd"), "new");
        }
        fs::remove_all(dir_ / "folder");
        fs::remove_all(dir_ / "moved");
    }
}

}  // namespace
}  // namespace altrix
