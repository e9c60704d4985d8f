// The waveform file reader on any bytes: it reads them as a file, reports progress within the
// file's size, and leaves NextSample inside the traces. Out-of-range slots would trip the
// bounds checks of the fuzz build.

#include <cstdint>
#include <memory>

#include "FuzzSupport.h"
#include "WaveformFile.h"

using namespace altrix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto record = std::make_unique<CaptureRecord>();
    const std::string path = fuzz::WriteInput("input.wfd", data, size);
    std::uint64_t reported = 0;
    const FileResult result = ReadWaveformFile(*record, path, [&](std::uint64_t done, std::uint64_t total) {
        FUZZ_CHECK(total == size && done <= total && done > reported);
        reported = done;
        return true;
    });
    FUZZ_CHECK(result.Ok && !result.Cancelled);
    FUZZ_CHECK(reported == size);
    FUZZ_CHECK(record->NextSample >= 0 && record->NextSample < kTraceSlots);
    return 0;
}
