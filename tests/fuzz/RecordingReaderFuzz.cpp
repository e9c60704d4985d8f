// The recording reader on any bytes: a file it opens answers sets, bucket extremes and
// summaries within its length (or says it cannot); a file it refuses gives a reason.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "FuzzSupport.h"
#include "RecordingReader.h"

using namespace altrix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::WriteInput("input.arec", data, size);
    for (const char* journal : {"-wal", "-shm"}) std::filesystem::remove(path + journal);
    const RecordingReader::Opened opened = RecordingReader::Open(path);
    if (!opened.Reader) {
        FUZZ_CHECK(!opened.Error.empty());
        return 0;
    }
    RecordingReader& reader = *opened.Reader;
    const std::int64_t sets = reader.Sets();
    FUZZ_CHECK(sets >= 0 && static_cast<std::uint64_t>(sets) * kSetBytes <= size);
    std::vector<std::int16_t> out(std::min<std::int64_t>(sets, 1000) * kRecordingChannels);
    reader.ReadSets(0, std::min<std::int64_t>(sets, 1000), out);
    std::vector<SetExtremes> buckets(100);
    for (const double width : {1.0, 130.0, static_cast<double>(sets) / 100 + 1}) reader.BucketExtremes(0, width, buckets);
    if (const std::optional<StretchSummary> s = reader.Summary(0, sets - 1)) FUZZ_CHECK(s->Count == sets);
    return 0;
}
