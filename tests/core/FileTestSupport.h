#pragma once
// Helpers for the file tests: a scratch folder per test, whole-file reads and writes, and a
// way to run a check without root's right to open any file for writing.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <grp.h>
#include <unistd.h>

namespace altrix::testing {

inline const std::filesystem::path kDataDir = ALTRIX_TEST_DATA_DIR;

// A fresh folder that is removed with everything in it when the test ends.
class ScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "altrix-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // Reachable by the unprivileged user of RunUnprivileged.
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all |
                                               std::filesystem::perms::group_read |
                                               std::filesystem::perms::group_exec |
                                               std::filesystem::perms::others_read |
                                               std::filesystem::perms::others_exec);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline void MakeReadOnly(const std::filesystem::path& path) {
    using std::filesystem::perms;
    std::filesystem::permissions(path, perms::owner_read | perms::group_read | perms::others_read);
}

// Drops to user and group "nobody" when running as root, so that file permissions hold.
// Meant for the child of a death test; returns false when the drop failed.
inline bool DropRoot() {
    if (geteuid() != 0) return true;
    constexpr gid_t kNobodyGroup = 65534;
    constexpr uid_t kNobodyUser = 65534;
    return setgroups(0, nullptr) == 0 && setgid(kNobodyGroup) == 0 && setuid(kNobodyUser) == 0;
}

// Expects `check` to pass for a user who cannot open the read-only file `path` for writing:
// runs it in a death-test child without root (exit 2: no drop, 3: the file is writable).
template <typename Check>
void ExpectWithoutWriteAccess(const std::string& path, Check check) {
    MakeReadOnly(path);
    EXPECT_EXIT(
        {
            if (!DropRoot()) {
                std::fputs("cannot drop root\n", stderr);
                std::exit(2);
            }
            if (std::FILE* writable = std::fopen(path.c_str(), "r+")) {
                std::fclose(writable);
                std::fputs("the file is writable\n", stderr);
                std::exit(3);
            }
            std::exit(check() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace altrix::testing
