// The altrix-drive-sim program as a user runs it: options, the link, a stop by signal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "DriveTestSupport.h"
#include "ScopeProtocol.h"

extern char** environ;

namespace altrix::testing {
namespace {

namespace fs = std::filesystem;

// The program running as a child, its standard output on a pipe. Killed if still running
// when the object goes.
class Program {
public:
    explicit Program(const std::vector<std::string>& args) {
        int out[2];
        if (::pipe(out) != 0) return;
        std::vector<std::string> all{ALTRIX_DRIVE_SIM_EXE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output_ = out[0];
    }
    ~Program() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) ::close(output_);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) { ::kill(pid_, signal); }

    // Exit status, or nothing if the program is still running after the limit.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit = kWaitLimit) {
        WaitUntil([&] {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
            return status_.has_value();
        }, limit);
        if (!status_ || !WIFEXITED(*status_)) return std::nullopt;
        return WEXITSTATUS(*status_);
    }

    // Standard output up to the end, or up to the first line when `line` is set.
    std::string Output(bool line = false) {
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{output_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) continue;
            char c;
            if (::read(output_, &c, 1) != 1) break;
            text += c;
            if (line && c == '\n') break;
        }
        return text;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
    std::optional<int> status_;
};

TEST(DriveSimProgram, HelpDocumentsEveryOption) {
    Program program({"--help"});
    ASSERT_TRUE(program.Started());
    const std::string help = program.Output();
    EXPECT_EQ(program.WaitForExit(), 0);
    for (const char* option : {"--link", "--type-code", "--speed", "--no-identify-reply",
                               "--identify-delay-ms", "--drop-byte-after", "--bad-header-block",
                               "--noise", "--unplug-after", "--replug-after", "--stall-output",
                               "--clock-error-ppm", "--step-at", "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

TEST(DriveSimProgram, RefusesBadArgumentsWithoutMakingTheLink) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Ok());
    const std::string link = folder.PathOf("drive");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--link"},
        {"--link", link, "--speed", "0"},
        {"--link", link, "--speed=fast"},
        {"--link", link, "--type-code", "40000"},
        {"--link", link, "--drop-byte-after", "-1"},
        {"--link", link, "--identify-delay-ms"},
        {"--link", link, "--bogus"},
        {"--link", link, "--noise", "0"},
        {"--link", link, "--noise", "50000"},
        {"--link", link, "--unplug-after", "-1"},
        {"--link", link, "--replug-after", "1"},
        {"--link", link, "--clock-error-ppm", "10001"},
        {"--link", link, "--clock-error-ppm", "fast"},
        {"--link", link, "--step-at", "0"},
        {"--link", link, "--step-at", "now"},
    };
    for (const auto& args : cases) {
        Program program(args);
        ASSERT_TRUE(program.Started());
        EXPECT_EQ(program.WaitForExit(), 2) << ::testing::PrintToString(args);
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    }
}

TEST(DriveSimProgram, ServesTheLinkUntilTerminated) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Ok());
    const std::string link = folder.PathOf("drive");
    Program program({"--link", link, "--type-code", "21", "--speed=10"});
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Output(true), link + "\n");
    ASSERT_TRUE(fs::is_symlink(fs::symlink_status(link)));

    Client client(link);
    ASSERT_TRUE(client.Ok());
    ASSERT_TRUE(client.Write({0x3B, 0x3B, 0x3A, 0x01, 0x90, 0x00, 0x6F}));
    const Bytes reply = client.Read(10);
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_EQ(DecodeIdentifyReply(reply).TypeCode, 21);

    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

}  // namespace
}  // namespace altrix::testing
