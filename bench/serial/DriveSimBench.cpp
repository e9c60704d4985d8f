// The simulated drive as a whole process, streaming at 1x and 10x real time to a reader
// that works as the window does: CommPort on a running Qt event loop, drained by a 50 ms
// timer. Reports the simulator's CPU seconds per wall second and the sample-set rate that
// reached the reader against the one requested. Also the in-process cost of building
// blocks, the simulator's main work.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "CommPort.h"
#include "DriveModel.h"
#include "ScopeExchange.h"
#include "ScopeProtocol.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr auto kStreamFor = 3s;
constexpr auto kTick = 50ms;

// Runs first: once this process has a Qt socket notifier (opening a port makes one), its
// SSE arithmetic is measurably slower on some machines, and the simulator itself has no Qt.
void BM_MakeStreamBlock(benchmark::State& state) {
    const altrix::sim::ChannelAddresses channels{0x9004, 0x9042, 0x900c, 0x9010};
    std::uint64_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(altrix::sim::MakeStreamBlock(channels, k++));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(k) * altrix::sim::kSetsPerBlock);
}
BENCHMARK(BM_MakeStreamBlock);

// utime + stime of a process, in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));  // after "pid (name) "
    std::string skip;
    for (int i = 3; i < 14; ++i) fields >> skip;
    long utime = 0, stime = 0;
    fields >> utime >> stime;
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Streams from the drive at `link` for kStreamFor, reading every kTick.
std::vector<std::uint8_t> Capture(const std::string& link, pid_t pid, double& cpu, double& wall) {
    static int argc = 1;
    static char name[] = "bench_drive_sim";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    std::vector<std::uint8_t> stream;
    altrix::CommPort port;
    if (port.Open(link, altrix::kDefaultBaudRate) != altrix::OpenResult::Opened) return stream;
    altrix::SendStartCapture(port, {0x9004, 0x9042, 0x900c, 0x9010});

    const double cpuBefore = CpuSeconds(pid);
    const auto start = SteadyClock::now();
    std::vector<std::uint8_t> chunk(altrix::kReceiveCapacity);
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const std::int32_t n = port.ReadAvailable(chunk);
        stream.insert(stream.end(), chunk.begin(), chunk.begin() + n);
        if (SteadyClock::now() - start >= kStreamFor) loop.quit();
    });
    tick.start(kTick);
    loop.exec();
    wall = std::chrono::duration<double>(SteadyClock::now() - start).count();
    cpu = CpuSeconds(pid) - cpuBefore;
    altrix::SendStreamReset(port);
    return stream;
}

void BM_DriveSimProcess(benchmark::State& state) {
    const double speed = static_cast<double>(state.range(0));
    std::string folder = (fs::temp_directory_path() / "altrix-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("no scratch folder");
        return;
    }
    const std::string link = folder + "/drive";
    const std::string speedText = std::to_string(speed);
    std::array<const char*, 6> argv{ALTRIX_DRIVE_SIM_EXE, "--link", link.c_str(), "--speed",
                                    speedText.c_str(), nullptr};

    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    for (auto _ : state) {
        pid_t pid = -1;
        const auto startedAt = SteadyClock::now();
        if (::posix_spawn(&pid, argv[0], &quiet, nullptr, const_cast<char**>(argv.data()),
                          environ) != 0) {
            state.SkipWithError("cannot start altrix-drive-sim");
            break;
        }
        while (!fs::exists(link) && SteadyClock::now() < startedAt + 5s) {
            std::this_thread::sleep_for(1ms);
        }
        double cpu = 0.0;
        double wall = 0.0;
        const std::vector<std::uint8_t> stream = Capture(link, pid, cpu, wall);
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        if (stream.empty()) {
            state.SkipWithError("no stream from altrix-drive-sim");
            break;
        }

        std::size_t misaligned = 0;
        for (std::size_t at = 1; at < stream.size(); at += altrix::kBlockBytes) {
            misaligned += stream[at] != altrix::kGoodBlockMarker;
        }
        const double sets = static_cast<double>(stream.size() / altrix::kBlockBytes) *
                            altrix::sim::kSetsPerBlock;
        state.SetIterationTime(wall);
        state.counters["cpu_per_wall_s"] = cpu / wall;
        state.counters["sets_per_s"] = sets / wall;
        state.counters["requested_sets_per_s"] = altrix::sim::kSampleSetsPerSecond * speed;
        state.counters["achieved_ratio"] = sets / wall / (altrix::sim::kSampleSetsPerSecond * speed);
        state.counters["bad_blocks"] = static_cast<double>(misaligned);
    }
    posix_spawn_file_actions_destroy(&quiet);
    fs::remove_all(folder);
}
BENCHMARK(BM_DriveSimProcess)->Arg(1)->Arg(10)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);


}  // namespace
