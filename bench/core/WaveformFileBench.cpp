// Saving and loading a waveform file of 100000 lines, against writing and reading the
// same bytes with no formatting or parsing at all.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "CaptureRecord.h"
#include "WaveformFile.h"

namespace altrix {
namespace {

// A scratch folder holding one saved capture for the whole run.
class SavedCapture {
public:
    SavedCapture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "altrix-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        dir_ = pattern;
        record_->NextSample = 123456;
        for (int c = 0; c < kChannelCount; ++c) {
            for (int s = 0; s < kTraceSlots; ++s) {
                record_->ChannelTrace[c][s] = static_cast<std::int16_t>(s * 37 + c * 9973);
            }
        }
        if (!WriteWaveformFile(*record_, SavedPath(), '.').Ok) std::abort();
        std::ifstream in(SavedPath(), std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ~SavedCapture() { std::filesystem::remove_all(dir_); }

    std::string SavedPath() const { return (dir_ / "saved.wfd").string(); }
    std::string ScratchPath() const { return (dir_ / "scratch.wfd").string(); }
    const CaptureRecord& Record() const { return *record_; }
    const std::string& Bytes() const { return bytes_; }

private:
    std::filesystem::path dir_;
    std::unique_ptr<CaptureRecord> record_ = std::make_unique<CaptureRecord>();
    std::string bytes_;
};

const SavedCapture& Saved() {
    static const SavedCapture saved;
    return saved;
}

void BM_WriteWaveformFile(benchmark::State& state) {
    const SavedCapture& saved = Saved();
    for (auto _ : state) {
        if (!WriteWaveformFile(saved.Record(), saved.ScratchPath(), '.').Ok) {
            state.SkipWithError("write failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(saved.Bytes().size()));
}
BENCHMARK(BM_WriteWaveformFile)->Unit(benchmark::kMillisecond);

// One write of the finished file contents.
void BM_WriteWaveformFile_Baseline(benchmark::State& state) {
    const SavedCapture& saved = Saved();
    for (auto _ : state) {
        std::FILE* file = std::fopen(saved.ScratchPath().c_str(), "wb");
        const bool ok = file && std::fwrite(saved.Bytes().data(), 1, saved.Bytes().size(), file) ==
                                    saved.Bytes().size();
        if (!file || std::fclose(file) != 0 || !ok) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(saved.Bytes().size()));
}
BENCHMARK(BM_WriteWaveformFile_Baseline)->Unit(benchmark::kMillisecond);

void BM_ReadWaveformFile(benchmark::State& state) {
    const SavedCapture& saved = Saved();
    auto record = std::make_unique<CaptureRecord>();
    for (auto _ : state) {
        if (!ReadWaveformFile(*record, saved.SavedPath()).Ok) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(record->NextSample);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(saved.Bytes().size()));
}
BENCHMARK(BM_ReadWaveformFile)->Unit(benchmark::kMillisecond);

// Reading the same file into memory.
void BM_ReadWaveformFile_Baseline(benchmark::State& state) {
    const SavedCapture& saved = Saved();
    std::vector<char> bytes(saved.Bytes().size());
    for (auto _ : state) {
        std::FILE* file = std::fopen(saved.SavedPath().c_str(), "rb");
        if (!file) {
            state.SkipWithError("open failed");
            break;
        }
        benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), file));
        std::fclose(file);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(saved.Bytes().size()));
}
BENCHMARK(BM_ReadWaveformFile_Baseline)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace altrix
