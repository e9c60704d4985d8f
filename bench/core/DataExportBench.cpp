// The .mat and .h5 exports of the 100000 sets of the display window (four channels with
// preset gains and both references), each against a raw binary write of the same samples; and
// an 8-hour recording (5000 sets/s, four channels) fed chunk by chunk to the HDF5 writer,
// against a raw write of the same samples chunk by chunk, with the growth of the peak memory.

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "CaptureRecord.h"
#include "CsvExport.h"
#include "DataExport.h"

namespace altrix {
namespace {

constexpr std::int64_t kRecordingSets = std::int64_t{8} * 3600 * 5000;
constexpr int kRecordingTraces = 4;

class ExportCapture {
public:
    ExportCapture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "altrix-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        dir_ = pattern;
        record_->NextSample = 123456;
        // A drive's traces: a 50 Hz wave with some noise, not a pattern a compressor guesses.
        std::uint32_t noise = 12345;
        for (int c = 0; c < kChannelCount; ++c)
            for (int s = 0; s < kTraceSlots; ++s) {
                noise = noise * 1664525u + 1013904223u;
                record_->ChannelTrace[c][s] = static_cast<std::int16_t>(
                    8000 * std::sin(s * 0.0628 + c) + static_cast<int>(noise >> 26) + 1000 * c);
            }
        for (int r = 0; r < kReferenceCount; ++r)
            for (int x = 0; x < kWindowPositions; ++x)
                record_->ReferenceTrace[r][x] = static_cast<std::int16_t>(x * 53 - r * 7001);
        const char* labels[] = {"Output frequency (Hz)", "DC_bus (Vdc)", "Torque Command (%)", "PG2 velocity (rpm)",
                                "Ref1 Output current (A rms)", "Ref2 Motor speed (rpm)"};
        const char* gains[] = {"0.01", "0.1", "0.09765", "54.61", "0.01", "1"};
        const TraceWindows windows = WindowsOf(*record_);
        for (int t = 0; t < kChannelCount + kReferenceCount; ++t) what_.Traces.push_back({labels[t], gains[t], {}});
        what_.Count = kWindowPositions;
        read_ = WindowReader({windows.begin(), windows.end()});
        for (const WindowSamples& window : windows)
            for (int x = 0; x < window.size(); ++x) samples_.push_back(window[x]);
    }
    ~ExportCapture() { std::filesystem::remove_all(dir_); }

    std::string PathOf(const char* name) const { return (dir_ / name).string(); }
    const DataExport& What() const { return what_; }
    const SetReader& Read() const { return read_; }
    const std::vector<std::int16_t>& Samples() const { return samples_; }

private:
    std::filesystem::path dir_;
    std::unique_ptr<CaptureRecord> record_ = std::make_unique<CaptureRecord>();
    DataExport what_;
    SetReader read_;
    std::vector<std::int16_t> samples_;  // every trace's window, trace after trace
};

const ExportCapture& Capture() {
    static const ExportCapture capture;
    return capture;
}

void WriteSamples(benchmark::State& state, const std::string& path, const std::int16_t* data, std::size_t count) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool ok = file && std::fwrite(data, sizeof *data, count, file) == count;
    if (!file || std::fclose(file) != 0 || !ok) state.SkipWithError("write failed");
}

template <FileResult (*Write)(const DataExport&, const SetReader&, const std::string&, const ExportProgress&)>
void BM_Export(benchmark::State& state, const char* name) {
    const ExportCapture& capture = Capture();
    for (auto _ : state)
        if (!Write(capture.What(), capture.Read(), capture.PathOf(name), {}).Ok) state.SkipWithError("write failed");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(capture.Samples().size() * 2));
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(capture.PathOf(name))) / 1e6;
}

void BM_WriteMatFile(benchmark::State& state) { BM_Export<WriteMatFile>(state, "export.mat"); }
BENCHMARK(BM_WriteMatFile)->Unit(benchmark::kMillisecond);
void BM_WriteHdf5File(benchmark::State& state) { BM_Export<WriteHdf5File>(state, "export.h5"); }
BENCHMARK(BM_WriteHdf5File)->Unit(benchmark::kMillisecond);

// One write of the raw 16-bit samples of every trace.
void BM_WriteRawSamples(benchmark::State& state) {
    const ExportCapture& capture = Capture();
    for (auto _ : state) WriteSamples(state, capture.PathOf("raw.bin"), capture.Samples().data(), capture.Samples().size());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(capture.Samples().size() * 2));
}
void BM_WriteMatFile_Baseline(benchmark::State& state) { BM_WriteRawSamples(state); }
BENCHMARK(BM_WriteMatFile_Baseline)->Unit(benchmark::kMillisecond);
void BM_WriteHdf5File_Baseline(benchmark::State& state) { BM_WriteRawSamples(state); }
BENCHMARK(BM_WriteHdf5File_Baseline)->Unit(benchmark::kMillisecond);

// Eight hours of four channels, made chunk by chunk as a recording's reader would give them.
FileResult GeneratedChunk(std::int64_t first, std::int64_t count, std::span<std::int16_t> out) {
    for (std::int64_t t = 0; t < kRecordingTraces; ++t)
        for (std::int64_t i = 0; i < count; ++i) {
            const std::int64_t set = first + i;
            out[static_cast<std::size_t>(t * count + i)] =
                static_cast<std::int16_t>(((set * (7 + t)) % 20011) - 10000 + ((set * 2654435761u) >> 29 & 7));
        }
    return {};
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_WriteHdf5Recording8h(benchmark::State& state) {
    const ExportCapture& capture = Capture();
    DataExport what;
    for (const char* label : {"Output frequency (Hz)", "DC_bus (Vdc)", "Output current (A rms)", "Motor speed (rpm)"})
        what.Traces.push_back({label, "0.01", {}});
    what.Count = kRecordingSets;
    const long before = PeakKilobytes();
    for (auto _ : state)
        if (!WriteHdf5File(what, GeneratedChunk, capture.PathOf("recording.h5")).Ok) state.SkipWithError("write failed");
    state.SetBytesProcessed(state.iterations() * kRecordingSets * kRecordingTraces * 2);
    state.counters["peak_growth_MB"] = static_cast<double>(PeakKilobytes() - before) / 1024;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(capture.PathOf("recording.h5"))) / 1e6;
    std::filesystem::remove(capture.PathOf("recording.h5"));
}
BENCHMARK(BM_WriteHdf5Recording8h)->Unit(benchmark::kSecond)->Iterations(1);

// The same samples generated and written raw, chunk by chunk.
void BM_WriteHdf5Recording8h_Baseline(benchmark::State& state) {
    const ExportCapture& capture = Capture();
    std::vector<std::int16_t> chunk(kExportChunkSets * kRecordingTraces);
    for (auto _ : state) {
        std::FILE* file = std::fopen(capture.PathOf("recording.bin").c_str(), "wb");
        bool ok = file != nullptr;
        for (std::int64_t first = 0; ok && first < kRecordingSets; first += kExportChunkSets) {
            const std::int64_t count = std::min(kExportChunkSets, kRecordingSets - first);
            GeneratedChunk(first, count, chunk);
            ok = std::fwrite(chunk.data(), 2, static_cast<std::size_t>(count * kRecordingTraces), file) ==
                 static_cast<std::size_t>(count * kRecordingTraces);
        }
        if (!file || std::fclose(file) != 0 || !ok) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(state.iterations() * kRecordingSets * kRecordingTraces * 2);
    std::filesystem::remove(capture.PathOf("recording.bin"));
}
BENCHMARK(BM_WriteHdf5Recording8h_Baseline)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace altrix
