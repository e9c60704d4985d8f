#include "WaveformFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "Readout.h"

namespace altrix {

namespace {

constexpr std::size_t kReadChunkBytes = 256 * 1024;
constexpr std::size_t kCountedFieldChars = 6;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

WaveformRead ReadFailure(int error) { return {{false, std::strerror(error), false}}; }

void AppendSample(std::string& out, std::int16_t value) {
    std::array<char, 8> digits;
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    out.append(digits.data(), end);
}

// Lines written between two reports of a write's progress.
constexpr std::int32_t kProgressLines = 4096;

// The window's lines into `file`; false when a write failed or, with `cancelled` set, when the
// write was cancelled.
bool WriteDisplayWindow(const std::array<ChannelSamples, kChannelCount>& traces, std::int32_t nextSample,
                        std::FILE* file, char decimalSeparator, const ExportProgress& progress, bool& cancelled) {
    ChunkWriter out(file);
    std::string& text = out.Buffer();
    for (std::int32_t x = 0; x < kWindowPositions; ++x) {
        const int slot = SlotOfPosition(nextSample, x);
        char time[kMaxSetSecondsLength];
        text.append(time, WriteSetSeconds(time, x + 1, decimalSeparator));
        for (const ChannelSamples& trace : traces) {
            text += ' ';
            AppendSample(text, trace[slot]);
        }
        text += "\r\n";
        if (!out.Flush(false)) return false;
        if ((x + 1) % kProgressLines == 0 && !progress.Step(x + 1, kWindowPositions)) {
            cancelled = true;
            return false;
        }
    }
    if (!out.Flush(true)) return false;
    // The last lines are written: a cancel now comes too late to matter.
    progress.Step(kWindowPositions, kWindowPositions);
    return true;
}

// The traces as a read fills them, copied into the record once the whole file is read.
struct LoadedTraces {
    std::array<ChannelSamples, kChannelCount> ChannelTrace{};
    std::int32_t NextSample = 0;
    std::uint64_t Sets = 0;
};

// Splits the file's bytes into lines and fields and stores the sample fields. Lines end
// at LF (a CR right before it belongs to the line end, any other CR is a character);
// fields end at a space or the line end; only the first six characters of a field are kept.
class SampleReader {
public:
    explicit SampleReader(LoadedTraces& traces) : traces_(traces) {}

    void Feed(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            const char c = data[i];
            if (pendingCr_) {
                pendingCr_ = false;
                if (c == '\n') {
                    EndLine();
                    continue;
                }
                Keep('\r');
            }
            switch (c) {
                case '\r': pendingCr_ = true; break;
                case '\n': EndLine(); break;
                case ' ': CloseField(); break;
                default: Keep(c); break;
            }
        }
    }

    // The end of the data closes the last line, which may lack its line end.
    void Finish() {
        if (pendingCr_) Keep('\r');
        pendingCr_ = false;
        EndLine();
    }

private:
    void Keep(char c) {
        if (fieldLength_ < field_.size()) field_[fieldLength_++] = c;
    }

    // Field 0 (the time) is skipped; fields 1..4 go to channels 1..4 of slot NextSample,
    // which advances, wrapping after the last slot, once channel 4 is stored.
    void CloseField() {
        if (fieldIndex_ > 0) {
            traces_.ChannelTrace[fieldIndex_ - 1][traces_.NextSample] =
                ParseSampleField({field_.data(), fieldLength_});
        }
        if (fieldIndex_ == kChannelCount) {
            traces_.NextSample = traces_.NextSample + 1 == kTraceSlots ? 0 : traces_.NextSample + 1;
            ++traces_.Sets;
            fieldIndex_ = 0;
        } else {
            ++fieldIndex_;
        }
        fieldLength_ = 0;
    }

    void EndLine() {
        CloseField();
        fieldIndex_ = 0;
    }

    LoadedTraces& traces_;
    std::array<char, kCountedFieldChars> field_{};
    std::size_t fieldLength_ = 0;
    int fieldIndex_ = 0;
    bool pendingCr_ = false;
};

}  // namespace

FileResult WriteWaveformFile(const CaptureRecord& record, const std::string& path,
                             char decimalSeparator, const ExportProgress& progress) {
    return WriteWaveformFile(record.ChannelTrace, record.NextSample, path, decimalSeparator, progress);
}

FileResult WriteWaveformFile(const std::array<ChannelSamples, kChannelCount>& traces, std::int32_t nextSample,
                             const std::string& path, char decimalSeparator, const ExportProgress& progress) {
    bool cancelled = false;
    const FileResult result = ReplaceFile(path, [&](std::FILE* file) {
        return WriteDisplayWindow(traces, nextSample, file, decimalSeparator, progress, cancelled);
    });
    return cancelled ? CancelledWrite() : result;
}

WaveformRead ReadWaveformFile(CaptureRecord& record, const std::string& path,
                              const ReadProgress& progress) {
    // Checked before opening: opening a pipe would wait for a writer.
    if (const std::string problem = RegularFileProblem(path); !problem.empty()) {
        return {{false, problem, false}};
    }
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) return ReadFailure(errno);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    const std::uint64_t total = ec ? 0 : size;

    const auto loaded = std::make_unique<LoadedTraces>();
    SampleReader reader(*loaded);
    std::vector<char> chunk(kReadChunkBytes);
    std::uint64_t done = 0;
    for (;;) {
        errno = 0;
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        if (got == 0) break;
        reader.Feed(chunk.data(), got);
        done += got;
        if (progress && !progress(done, total)) return {{false, {}, true}};
    }
    if (std::ferror(file.get())) return ReadFailure(errno ? errno : EIO);
    reader.Finish();

    record.ChannelTrace = loaded->ChannelTrace;
    record.NextSample = loaded->NextSample;
    // A file holds no gaps.
    record.GapCount = 0;
    WaveformRead read;
    read.Sets = loaded->Sets;
    return read;
}

std::int16_t ParseSampleField(std::string_view field) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const std::size_t counted = std::min(field.size(), kCountedFieldChars);
    if (counted == 0) return 0;
    std::int32_t sum = 0;
    std::int32_t place = 1;
    for (std::size_t i = counted - 1; i >= 1; --i) {
        if (!isDigit(field[i])) continue;
        sum += (field[i] - '0') * place;
        place *= 10;
    }
    if (field[0] == '-') {
        sum = -sum;
    } else if (isDigit(field[0])) {
        sum += (field[0] - '0') * place;
    }
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(sum));
}

}  // namespace altrix
