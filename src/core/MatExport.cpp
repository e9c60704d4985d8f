// The `.mat` writer over matio: MATLAB level 5, compressed, one struct `altrix`.

#include "DataExport.h"
#include "Readout.h"

#include <matio.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace altrix {

namespace {

// A level 5 variable's size is a 32-bit count of bytes.
constexpr std::uint64_t kMaxMatBytes = 0x7fff0000;

// matio's messages, kept instead of printed (its own logger aborts on errors).
std::string& MatioMessage() {
    thread_local std::string message;
    return message;
}
void KeepMatioMessage(int, char* message) { MatioMessage() = message ? message : ""; }

struct VarFree {
    void operator()(matvar_t* var) const { Mat_VarFree(var); }
};
using VarPtr = std::unique_ptr<matvar_t, VarFree>;

// A field's array over data the caller keeps (not copied, not freed by matio).
matvar_t* Array(matio_classes kind, matio_types type, std::size_t rows, std::size_t columns, const void* data) {
    std::size_t dims[2] = {rows, columns};
    return Mat_VarCreate(nullptr, kind, type, 2, dims, const_cast<void*>(data), MAT_F_DONT_COPY_DATA);
}

matvar_t* Text(const std::string& text) {
    return Array(MAT_C_CHAR, MAT_T_UINT8, text.empty() ? 0 : 1, text.size(), text.data());
}

// A 1 x n cell array of texts.
matvar_t* Texts(const std::vector<std::string>& texts) {
    matvar_t* cell = Array(MAT_C_CELL, MAT_T_CELL, 1, texts.size(), nullptr);
    if (!cell) return nullptr;
    for (std::size_t i = 0; i < texts.size(); ++i) Mat_VarSetCell(cell, static_cast<int>(i), Text(texts[i]));
    return cell;
}

// matio does not report failed writes (a full disk): a whole file is its 128-byte header and
// one compressed element, whose tag (type 15, then its length) ends where the file ends.
bool WrittenWhole(const std::string& path) {
    constexpr std::uint32_t kCompressed = 15;
    std::uint32_t tag[2] = {};
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const bool read = file && std::fseek(file, 128, SEEK_SET) == 0 && std::fread(tag, sizeof tag, 1, file) == 1;
    if (file) std::fclose(file);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    return read && !ec && tag[0] == kCompressed && size == 128 + sizeof tag + std::uintmax_t{tag[1]};
}

FileResult MatFailure(const char* what) {
    const int cause = errno;
    std::string why = cause != 0 ? std::strerror(cause) : MatioMessage();
    if (why.empty()) why = what;
    return {false, why, false};
}

}  // namespace

FileResult WriteMatFile(const DataExport& what, const SetReader& read, const std::string& path,
                        const ExportProgress& progress) {
    PrepareLibrary();
    const std::size_t traces = what.Traces.size();
    const auto sets = static_cast<std::size_t>(what.Count);
    const std::size_t math = what.Raw ? 0 : what.Math.size();
    const std::uint64_t bytes = std::uint64_t{sets} * (8 + 2 * traces + (what.Raw ? 0 : 8 * traces) + 8 * math);
    if (bytes > kMaxMatBytes)
        return {false,
                "the stretch of " + std::to_string(sets) + " sample sets is too long for a .mat file (at most 2 GB); "
                "export it as HDF5 (.h5)",
                false};

    // The whole content, read chunk by chunk: matio writes a level 5 variable from memory.
    std::vector<double> times(sets);
    std::vector<std::int16_t> raw(sets * traces);
    std::vector<std::int16_t> chunk;
    for (std::size_t first = 0; first < sets; first += kExportChunkSets) {
        const std::size_t count = std::min<std::size_t>(kExportChunkSets, sets - first);
        chunk.resize(count * traces);
        if (FileResult got = read(what.First + static_cast<std::int64_t>(first), static_cast<std::int64_t>(count), chunk);
            !got.Ok)
            return got;
        for (std::size_t t = 0; t < traces; ++t)
            std::copy_n(chunk.begin() + static_cast<std::ptrdiff_t>(t * count), count,
                        raw.begin() + static_cast<std::ptrdiff_t>(t * sets + first));
        // Gathering is the first half of the work, matio's write the second.
        if (!progress.Step(static_cast<std::int64_t>(first + count), 2 * what.Count)) return CancelledWrite();
    }
    SetTimes(what.First + what.TimeOffset, what.SampleRateHz, times);
    std::vector<std::vector<double>> values(what.Raw ? 0 : traces, std::vector<double>(sets));
    for (std::size_t t = 0; t < values.size(); ++t)
        EngineeringValues(what.Traces[t].Gain, std::span(raw).subspan(t * sets, sets), values[t]);

    const std::vector<std::string> names = VariableNames(what);
    const auto [labels, units, addresses, gains] = FieldsOf(what.Traces);
    const double rate = what.SampleRateHz;
    for (std::size_t m = 0; m < math; ++m)
        if (what.Math[m].Values.size() < sets) return {false, "a math trace does not cover the stretch", false};

    std::vector<const char*> fields;
    for (std::string_view field : kExportFields) fields.push_back(field.data());
    for (std::size_t t = 0; t < values.size(); ++t) fields.push_back(names[t].c_str());
    for (std::size_t m = 0; m < math; ++m) fields.push_back(names[traces + m].c_str());
    fields.push_back(nullptr);  // the end of the list
    std::size_t one[2] = {1, 1};
    Mat_LogInitFunc("altrix-scope", KeepMatioMessage);
    MatioMessage().clear();
    const VarPtr record(Mat_VarCreateStruct2("altrix", 2, one, fields.data()));
    if (!record) return MatFailure("matio could not make the struct");
    const auto set = [&](const char* field, matvar_t* var) {
        return var && Mat_VarSetStructFieldByName(record.get(), field, 0, var) == nullptr;
    };
    bool made = set("t", Array(MAT_C_DOUBLE, MAT_T_DOUBLE, sets, 1, times.data())) &&
                set("raw", Array(MAT_C_INT16, MAT_T_INT16, sets, traces, raw.data())) &&
                set("names", Texts(labels)) && set("units", Texts(units)) &&
                set("gains", Array(MAT_C_DOUBLE, MAT_T_DOUBLE, 1, traces, gains.data())) &&
                set("addresses", Texts(addresses)) &&
                set("sample_rate_hz", Array(MAT_C_DOUBLE, MAT_T_DOUBLE, 1, 1, &rate)) &&
                set("started_utc", Text(what.StartedUtc)) && set("drive_type", Text(what.DriveType));
    for (std::size_t t = 0; made && t < values.size(); ++t)
        made = set(names[t].c_str(), Array(MAT_C_DOUBLE, MAT_T_DOUBLE, sets, 1, values[t].data()));
    for (std::size_t m = 0; made && m < math; ++m)
        made = set(names[traces + m].c_str(), Array(MAT_C_DOUBLE, MAT_T_DOUBLE, sets, 1, what.Math[m].Values.data()));
    if (!made) return MatFailure("matio could not make the struct's fields");

    return ReplaceFileByName(path, [&](const std::string& newFile) {
        errno = 0;
        mat_t* file = Mat_CreateVer(newFile.c_str(), nullptr, MAT_FT_MAT5);
        if (!file) return MatFailure("matio could not make the file");
        const bool written = Mat_VarWrite(file, record.get(), MAT_COMPRESSION_ZLIB) == 0;
        const int writeErrno = errno;
        const bool closed = Mat_Close(file) == 0;
        // matio writes the struct in one call: a cancel during it is taken here.
        if (!progress.Step(2 * what.Count, 2 * what.Count)) return CancelledWrite();
        if (written && closed && WrittenWhole(newFile)) return FileResult{};
        errno = writeErrno;
        return MatFailure("the file was not written whole");
    });
}

}  // namespace altrix
