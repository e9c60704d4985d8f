// The capture as the window runs it, offscreen. One tick (read and decode a tick's 2031 bytes
// of stream, redraw four traces, one replot, four readouts) at the density of each drawing
// mode (2000 Simplified, 5000 Fast, 10000 High precision), against the bare decode of the
// same bytes as baseline; the Envelope mode's tick against the High precision one; and a
// 10 s live capture from the simulated drive at real time on the real 50 ms timer, reported
// as CPU seconds per wall second and peak memory.

#include <benchmark/benchmark.h>

#include "BenchApplication.h"
#include "CaptureSession.h"
#include "DriveModel.h"
#include "Mainframe.h"
#include "PtyDrive.h"
#include "Prompts.h"
#include "StreamDecoder.h"

#include <QAction>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace altrix;
using namespace std::chrono_literals;

constexpr int kTickBytes = 2031;  // 50 ms of stream at 5000 sample sets per second
const sim::ChannelAddresses kChannels{0x9004, 0x9042, 0x900c, 0x9010};

// A capture's stream from its start, as many whole 256-block cycles of the block counter as
// the ring holds: slicing it cyclically keeps every block whole and the counters in step.
std::vector<std::uint8_t> StreamBytes() {
    constexpr std::uint64_t kCounterCycle = 256;
    constexpr std::uint64_t kBlocks = kStreamRingBytes / kBlockBytes / kCounterCycle * kCounterCycle;
    std::vector<std::uint8_t> stream;
    stream.reserve(kBlocks * kBlockBytes);
    for (std::uint64_t k = 0; k < kBlocks; ++k) {
        const sim::StreamBlock block = sim::MakeStreamBlock(kChannels, k);
        stream.insert(stream.end(), block.begin(), block.end());
    }
    return stream;
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; }

double CpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// A window on a pseudo-terminal that the benchmark feeds itself.
class Window {
public:
    explicit Window(const std::string& portName) : form_(new TForm1(prompts_, session_, display_)) {
        for (int k = 1; k <= kChannelCount; ++k)
            child<QLineEdit>(QStringLiteral("Edit%1").arg(k))
                ->setText(QString::number(kChannels[static_cast<std::size_t>(k - 1)], 16));
        child<QComboBox>(QStringLiteral("COMSelectBox1"))->setEditText(QString::fromStdString(portName));
        form_->show();
        QCoreApplication::processEvents();
    }
    ~Window() {
        form_->Button2Click();
        delete form_;
    }
    // RUN in the given drawing mode; false when the port did not open.
    bool run(const char* mode) {
        child<QAction>(QLatin1String(mode))->trigger();
        form_->Button1Click();
        return session_.IsRunning();
    }
    TForm1& form() { return *form_; }
    CaptureSession& session() { return session_; }

private:
    template <class T>
    T* child(const QString& name) const { return form_->findChild<T*>(name); }

    DefaultPrompts prompts_;
    CaptureSession session_;
    ScopeDisplay display_{session_};
    TForm1* form_;
};

// A pseudo-terminal whose slave the window opens; the benchmark writes the drive's side.
class Terminal {
public:
    Terminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        slavePath_ = ::ptsname(master_);
        observer_ = ::open(slavePath_.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);  // keeps the slave open
    }
    ~Terminal() {
        if (observer_ >= 0) ::close(observer_);
        if (master_ >= 0) ::close(master_);
    }
    bool ok() const { return observer_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }

    // Writes `bytes` as the drive; the window's reader thread takes them at its next reading.
    bool send(std::span<const std::uint8_t> bytes) {
        const auto count = bytes.size();
        return ::write(master_, bytes.data(), count) == static_cast<ssize_t>(count);
    }
    // Discards what the window sent (its start exchange).
    void drain() {
        std::uint8_t buffer[256];
        pollfd pending{master_, POLLIN, 0};
        while (::poll(&pending, 1, 0) == 1 && ::read(master_, buffer, sizeof buffer) > 0) {
        }
    }

private:
    int master_ = -1;
    int observer_ = -1;
    std::string slavePath_;
};

// The next tick's bytes: cyclic slices of the stream, which stays continuous across passes.
std::span<const std::uint8_t> NextSlice(const std::vector<std::uint8_t>& stream, std::size_t& at) {
    const std::size_t count = std::min<std::size_t>(kTickBytes, stream.size() - at);
    const auto slice = std::span(stream).subspan(at, count);
    at = (at + count) % stream.size();
    return slice;
}

void CaptureTick_Baseline(benchmark::State& state) {
    const std::vector<std::uint8_t> stream = StreamBytes();
    auto record = std::make_unique<CaptureRecord>();
    ResetForRun(*record);
    std::size_t at = 0;
    for (auto _ : state) StoreAndDecode(*record, NextSlice(stream, at), {true, true, true, true});
    state.SetBytesProcessed(state.iterations() * kTickBytes);
}

const char* ModeOfDensity(std::int64_t pointCount) {
    switch (pointCount) {
        case 2000: return "SimplifiedModefastestdrawingbutlowprecision1";
        case 5000: return "FastMode1";
        default: return "HighprecisionMode";
    }
}

// Timer1 ticks in the given drawing mode, each with a tick's bytes waiting in the port; the
// writing is not timed. `pointCount`: the density the mode's ticks must ask for. With
// `recording`, every decoded set also goes to a CSV file in the temporary folder; `math`
// math traces are shown (a power and a moving RMS, see MathCaptureTick).
void RunTicks(benchmark::State& state, const char* mode, std::int32_t pointCount, bool recording = false,
              int math = 0) {
    bench::Application();
    Terminal terminal;
    if (!terminal.ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    Window window(terminal.slavePath());
    if (!window.run(mode)) {
        state.SkipWithError("the window did not open the pseudo-terminal");
        return;
    }
    terminal.drain();
    const MathDefinition kMath[] = {{true, "Power", "kW", "ch1*ch2/1000"}, {true, "Current", "A rms", "rms(ch3, 0.02)"}};
    for (int m = 1; m <= math; ++m) window.form().display().SetMath(m, kMath[m - 1]);
    const std::string recordPath =
        (std::filesystem::temp_directory_path() / ("altrix-bench-" + std::to_string(::getpid()) + ".csv")).string();
    if (recording && !window.session().StartRecording(recordPath, {{"A", "0.01"}, {"B", "0.1"}, {"C", "1"}, {"D", "54.61"}}).empty()) {
        state.SkipWithError("the recording did not start");
        return;
    }
    const std::vector<std::uint8_t> stream = StreamBytes();
    std::size_t at = 0;
    // The first tick sets the reader going; each timed tick then finds a reading's sets taken
    // on the reader thread, so it costs what the window's thread pays.
    const auto readerReads = std::chrono::milliseconds(CaptureSession::kReadIntervalMs + 10);
    window.form().Timer1Timer();
    for (auto _ : state) {
        state.PauseTiming();
        if (!terminal.send(NextSlice(stream, at))) {
            state.SkipWithError("the pseudo-terminal did not pass the bytes");
            break;
        }
        // Spun, not slept: a sleeping core would start the timed tick with cold caches.
        for (const auto until = std::chrono::steady_clock::now() + readerReads; std::chrono::steady_clock::now() < until;)
            std::this_thread::yield();
        state.ResumeTiming();
        window.form().Timer1Timer();
    }
    if (window.form().display().View().DrawPointCount != pointCount) state.SkipWithError("wrong density");
    if (window.form().record().DataError) state.SkipWithError("the stream misaligned");
    state.SetBytesProcessed(state.iterations() * kTickBytes);
    window.session().StopRecording();
    std::filesystem::remove(recordPath);
}

// range(0): the tick density, which picks the drawing mode.
void CaptureTick(benchmark::State& state) {
    RunTicks(state, ModeOfDensity(state.range(0)), static_cast<std::int32_t>(state.range(0)));
}

// The tick in Envelope mode, which reduces every sample of the four windows to pixel
// columns. Baseline: the High precision tick (4 x 10000 points).
void EnvelopeCaptureTick(benchmark::State& state) {
    RunTicks(state, "EnvelopeMode1", kWindowPositions);
}

void EnvelopeCaptureTick_Baseline(benchmark::State& state) {
    RunTicks(state, "HighprecisionMode", 10000);
}

// The High precision tick while every decoded set is recorded to a CSV file (about 250 lines a
// tick). Baseline: the same tick without a recording.
void RecordingCaptureTick(benchmark::State& state) {
    RunTicks(state, "HighprecisionMode", 10000, true);
}

void RecordingCaptureTick_Baseline(benchmark::State& state) {
    RunTicks(state, "HighprecisionMode", 10000);
}

// The High precision tick with two math traces shown, a product of two channels and a
// moving RMS over 20 ms: their new sets computed, both drawn. Baseline: the same tick
// without them.
void MathCaptureTick(benchmark::State& state) {
    RunTicks(state, "HighprecisionMode", 10000, false, 2);
}

void MathCaptureTick_Baseline(benchmark::State& state) {
    RunTicks(state, "HighprecisionMode", 10000);
}

// The window against the simulated drive at real time for 10 s, ticked by Timer1 on the
// event loop. The drive runs as a thread of this process: `cpu_per_wall` counts it too,
// `ui_thread_cpu_per_wall` only the window's thread.
void LiveCapture10s(benchmark::State& state) {
    bench::Application();
    const std::string link =
        (std::filesystem::temp_directory_path() / ("altrix-bench-" + std::to_string(::getpid()))).string();
    sim::PtySettings settings;
    settings.LinkPath = link;
    sim::PtyDrive drive(settings);
    std::string error;
    if (!drive.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        Window window(link);
        if (!window.run("HighprecisionMode")) {
            state.SkipWithError("the window did not open the drive");
            break;
        }
        const double processBefore = CpuSeconds(RUSAGE_SELF);
        const double threadBefore = CpuSeconds(RUSAGE_THREAD);
        const std::int32_t setsBefore = window.form().record().NextSample;
        const auto start = std::chrono::steady_clock::now();
        QEventLoop loop;
        QTimer::singleShot(10s, &loop, &QEventLoop::quit);
        loop.exec();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(wall);
        state.counters["cpu_per_wall"] = (CpuSeconds(RUSAGE_SELF) - processBefore) / wall;
        state.counters["ui_thread_cpu_per_wall"] = (CpuSeconds(RUSAGE_THREAD) - threadBefore) / wall;
        state.counters["sets_per_s"] = (window.form().record().NextSample - setsBefore) / wall;
        state.counters["data_error"] = window.form().record().DataError;
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["max_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    drive.Stop();
}

// The bare decode runs first, before this process has any Qt socket notifier.
BENCHMARK(CaptureTick_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(CaptureTick)->Arg(2000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(EnvelopeCaptureTick_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(EnvelopeCaptureTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordingCaptureTick_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordingCaptureTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(MathCaptureTick_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(MathCaptureTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(LiveCapture10s)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
