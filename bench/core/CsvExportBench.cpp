// The CSV export of the 100000 sets of the display window (four channels with preset gains
// and both references), against one write of the same bytes.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "CaptureRecord.h"
#include "CsvExport.h"

namespace altrix {
namespace {

class CsvCapture {
public:
    CsvCapture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "altrix-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        dir_ = pattern;
        record_->NextSample = 123456;
        for (int c = 0; c < kChannelCount; ++c)
            for (int s = 0; s < kTraceSlots; ++s)
                record_->ChannelTrace[c][s] = static_cast<std::int16_t>(s * 37 + c * 9973);
        for (int r = 0; r < kReferenceCount; ++r)
            for (int x = 0; x < kWindowPositions; ++x)
                record_->ReferenceTrace[r][x] = static_cast<std::int16_t>(x * 53 - r * 7001);
        what_.Channels = {{{"Output frequency (Hz)", "0.01"},
                           {"DC_bus (Vdc)", "0.1"},
                           {"Torque Command (%)", "0.09765"},
                           {"PG2 velocity (rpm)", "54.61"}}};
        what_.References = {CsvColumn{"Ref1 Output current (A rms)", "0.01"},
                            CsvColumn{"Ref2 Motor speed (rpm)", "1"}};
        if (!WriteCsvFile(WindowsOf(*record_), what_, SavedPath()).Ok) std::abort();
        std::ifstream in(SavedPath(), std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ~CsvCapture() { std::filesystem::remove_all(dir_); }

    std::string SavedPath() const { return (dir_ / "saved.csv").string(); }
    std::string ScratchPath() const { return (dir_ / "scratch.csv").string(); }
    const CaptureRecord& Record() const { return *record_; }
    const CsvExport& What() const { return what_; }
    const std::string& Bytes() const { return bytes_; }

private:
    std::filesystem::path dir_;
    std::unique_ptr<CaptureRecord> record_ = std::make_unique<CaptureRecord>();
    CsvExport what_;
    std::string bytes_;
};

const CsvCapture& Capture() {
    static const CsvCapture capture;
    return capture;
}

void BM_WriteCsvFile(benchmark::State& state) {
    const CsvCapture& capture = Capture();
    for (auto _ : state) {
        if (!WriteCsvFile(WindowsOf(capture.Record()), capture.What(), capture.ScratchPath()).Ok)
            state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(capture.Bytes().size()));
}
BENCHMARK(BM_WriteCsvFile)->Unit(benchmark::kMillisecond);

// One write of the finished file contents.
void BM_WriteCsvFile_Baseline(benchmark::State& state) {
    const CsvCapture& capture = Capture();
    for (auto _ : state) {
        std::FILE* file = std::fopen(capture.ScratchPath().c_str(), "wb");
        const bool ok = file && std::fwrite(capture.Bytes().data(), 1, capture.Bytes().size(), file) ==
                                    capture.Bytes().size();
        if (!file || std::fclose(file) != 0 || !ok) state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(capture.Bytes().size()));
}
BENCHMARK(BM_WriteCsvFile_Baseline)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace altrix
