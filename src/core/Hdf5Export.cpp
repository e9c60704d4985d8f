// The `.h5` writer over HDF5: a group `altrix` of chunked, compressed datasets, written a
// chunk of sets at a time, with the export's description as attributes.

#include "DataExport.h"
#include "Readout.h"

#include <hdf5.h>

#include <cerrno>
#include <cstring>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/mman.h>
#endif
#endif

namespace altrix {

namespace {

// Shuffled bytes and the fastest deflate level: most of the gain for a fraction of the time.
constexpr unsigned kDeflateLevel = 1;

// An HDF5 identifier closed by the function it was made for.
class Id {
public:
    Id(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
    ~Id() { Close(); }
    Id(Id&& other) noexcept : id_(std::exchange(other.id_, -1)), close_(other.close_) {}
    Id(const Id&) = delete;
    Id& operator=(const Id&) = delete;
    Id& operator=(Id&&) = delete;
    operator hid_t() const { return id_; }
    bool Valid() const { return id_ >= 0; }
    // False when closing failed, which is where buffered data is written.
    bool Close() {
        const bool ok = id_ < 0 || close_(id_) >= 0;
        id_ = -1;
        return ok;
    }

private:
    hid_t id_;
    herr_t (*close_)(hid_t);
};

// Keeps HDF5 from printing its error stack while an export runs; the export reports.
class QuietErrors {
public:
    QuietErrors() {
        H5Eget_auto2(H5E_DEFAULT, &func_, &data_);
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    }
    ~QuietErrors() { H5Eset_auto2(H5E_DEFAULT, func_, data_); }

private:
    H5E_auto2_t func_ = nullptr;
    void* data_ = nullptr;
};

FileResult Hdf5Failure(const char* what) {
    const int cause = errno;
    return {false, cause != 0 ? std::strerror(cause) : std::string(what), false};
}

Id TextType() {
    Id type(H5Tcopy(H5T_C_S1), H5Tclose);
    H5Tset_size(type, H5T_VARIABLE);
    H5Tset_cset(type, H5T_CSET_UTF8);
    return type;
}

bool WriteTexts(hid_t object, const char* name, const std::vector<std::string>& texts, bool scalar) {
    std::vector<const char*> pointers;
    for (const std::string& text : texts) pointers.push_back(text.c_str());
    const hsize_t count = texts.size();
    Id space(scalar ? H5Screate(H5S_SCALAR) : H5Screate_simple(1, &count, nullptr), H5Sclose);
    const Id type = TextType();
    Id attribute(H5Acreate2(object, name, type, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    return attribute.Valid() && H5Awrite(attribute, type, pointers.data()) >= 0 && attribute.Close();
}

bool WriteDoubles(hid_t object, const char* name, const std::vector<double>& values, bool scalar) {
    const hsize_t count = values.size();
    Id space(scalar ? H5Screate(H5S_SCALAR) : H5Screate_simple(1, &count, nullptr), H5Sclose);
    Id attribute(H5Acreate2(object, name, H5T_IEEE_F64LE, space, H5P_DEFAULT, H5P_DEFAULT), H5Aclose);
    return attribute.Valid() && H5Awrite(attribute, H5T_NATIVE_DOUBLE, values.data()) >= 0 && attribute.Close();
}

// A chunked, shuffled and deflated dataset of `rows` x `columns` (1-D without columns).
Id MakeDataset(hid_t group, const char* name, hid_t type, hsize_t rows, hsize_t columns) {
    const int rank = columns == 0 ? 1 : 2;
    const hsize_t dims[2] = {rows, columns};
    const hsize_t chunk[2] = {std::max<hsize_t>(1, std::min<hsize_t>(rows, kExportChunkSets)), columns};
    Id space(H5Screate_simple(rank, dims, nullptr), H5Sclose);
    Id properties(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
    H5Pset_chunk(properties, rank, chunk);
    H5Pset_shuffle(properties);
    H5Pset_deflate(properties, kDeflateLevel);
    return Id(H5Dcreate2(group, name, type, space, H5P_DEFAULT, properties, H5P_DEFAULT), H5Dclose);
}

// Writes rows first .. first + count - 1 of a dataset from `data` (count x columns, row-major).
bool WriteRows(hid_t dataset, hsize_t first, hsize_t count, hsize_t columns, hid_t memoryType, const void* data) {
    const int rank = columns == 0 ? 1 : 2;
    const hsize_t start[2] = {first, 0};
    const hsize_t size[2] = {count, columns};
    Id file(H5Dget_space(dataset), H5Sclose);
    Id memory(H5Screate_simple(rank, size, nullptr), H5Sclose);
    return H5Sselect_hyperslab(file, H5S_SELECT_SET, start, nullptr, size, nullptr) >= 0 &&
           H5Dwrite(dataset, memoryType, memory, file, H5P_DEFAULT, data) >= 0;
}

// After a failed write (a full disk) HDF5 would write the file again when its objects close,
// fail again, and leave a half-closed file behind that crashes the program at its exit: the
// file's descriptor is pointed at an anonymous file in memory, so that what is left is written
// there (and its size set, which the null device would refuse) and everything closes, and the
// new file's space on the full disk is released at once. The new file itself is removed by the
// caller.
void DiscardWrites(int fd) {
#ifndef _WIN32
#ifdef __linux__
    int sink = ::memfd_create("altrix-discarded-export", MFD_CLOEXEC);
#else
    int sink = -1;
#endif
    if (sink < 0) sink = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd >= 0 && sink >= 0) ::dup2(sink, fd);
    if (sink >= 0) ::close(sink);
#else
    (void)fd;
#endif
}

// A flush that failed on the file's own structure leaves HDF5 (1.10) unable to close that file
// ever after; what it would do with it at the program's exit crashes. The library is told
// before its first use not to clean up at exit, so such a file is only left open in memory (its
// descriptor pointed away from the disk by DiscardWrites).
// Writes the content and flushes it; on failure, discards what is left to write (see
// DiscardWrites) before any object closes.
FileResult WriteContent(const DataExport& what, const SetReader& read, const ExportProgress& progress, hid_t file,
                        int fd) {
    const auto fail = [fd](FileResult failure) {
        DiscardWrites(fd);
        return failure;
    };
    const std::size_t traces = what.Traces.size();
    const auto sets = static_cast<hsize_t>(what.Count);
    Id group(H5Gcreate2(file, "altrix", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose);
    if (!group.Valid()) return fail(Hdf5Failure("HDF5 could not make the group"));

    const std::vector<std::string> names = VariableNames(what);
    const auto [labels, units, addresses, gains] = FieldsOf(what.Traces);
    const std::size_t math = what.Raw ? 0 : what.Math.size();
    for (std::size_t m = 0; m < math; ++m)
        if (what.Math[m].Values.size() < sets) return fail({false, "a math trace does not cover the stretch", false});
    if (!WriteTexts(group, "names", labels, false) || !WriteTexts(group, "units", units, false) ||
        !WriteDoubles(group, "gains", gains, false) || !WriteTexts(group, "addresses", addresses, false) ||
        !WriteDoubles(group, "sample_rate_hz", {what.SampleRateHz}, true) ||
        !WriteTexts(group, "started_utc", {what.StartedUtc}, true) ||
        !WriteTexts(group, "drive_type", {what.DriveType}, true))
        return fail(Hdf5Failure("HDF5 could not write the attributes"));

    Id times = MakeDataset(group, "t", H5T_IEEE_F64LE, sets, 0);
    Id raw = MakeDataset(group, "raw", H5T_STD_I16LE, sets, traces);
    std::vector<Id> vectors;
    for (std::size_t t = 0; t < (what.Raw ? 0 : traces); ++t) {
        vectors.push_back(MakeDataset(group, names[t].c_str(), H5T_IEEE_F64LE, sets, 0));
        if (!vectors.back().Valid() || !WriteTexts(vectors.back(), "unit", {units[t]}, true) ||
            !WriteTexts(vectors.back(), "name", {labels[t]}, true) ||
            !WriteDoubles(vectors.back(), "gain", {gains[t]}, true))
            return fail(Hdf5Failure("HDF5 could not make a dataset"));
    }
    // The math vectors: values only, read with their unit, name and expression.
    std::vector<Id> mathVectors;
    for (std::size_t m = 0; m < math; ++m) {
        const DataVector& vector = what.Math[m];
        mathVectors.push_back(MakeDataset(group, names[traces + m].c_str(), H5T_IEEE_F64LE, sets, 0));
        if (!mathVectors.back().Valid() || !WriteTexts(mathVectors.back(), "unit", {UnitOfLabel(vector.Label)}, true) ||
            !WriteTexts(mathVectors.back(), "name", {vector.Label}, true) ||
            !WriteTexts(mathVectors.back(), "expression", {vector.Expression}, true))
            return fail(Hdf5Failure("HDF5 could not make a dataset"));
    }
    if (!times.Valid() || !raw.Valid()) return fail(Hdf5Failure("HDF5 could not make a dataset"));

    // One chunk of sets in memory at a time, whatever the length.
    std::vector<std::int16_t> chunk;
    std::vector<std::int16_t> rows;
    std::vector<double> values;
    for (hsize_t first = 0; first < sets; first += kExportChunkSets) {
        const hsize_t count = std::min<hsize_t>(kExportChunkSets, sets - first);
        chunk.resize(count * traces);
        if (FileResult got = read(what.First + static_cast<std::int64_t>(first), static_cast<std::int64_t>(count), chunk);
            !got.Ok)
            return fail(got);
        values.resize(count);
        SetTimes(what.First + what.TimeOffset + static_cast<std::int64_t>(first), what.SampleRateHz, values);
        if (!WriteRows(times, first, count, 0, H5T_NATIVE_DOUBLE, values.data()))
            return fail(Hdf5Failure("HDF5 could not write the times"));
        rows.resize(chunk.size());
        for (std::size_t t = 0; t < traces; ++t)
            for (std::size_t i = 0; i < count; ++i) rows[i * traces + t] = chunk[t * count + i];
        if (!WriteRows(raw, first, count, traces, H5T_NATIVE_INT16, rows.data()))
            return fail(Hdf5Failure("HDF5 could not write the raw samples"));
        for (std::size_t t = 0; t < vectors.size(); ++t) {
            EngineeringValues(what.Traces[t].Gain, std::span(chunk).subspan(t * count, count), values);
            if (!WriteRows(vectors[t], first, count, 0, H5T_NATIVE_DOUBLE, values.data()))
                return fail(Hdf5Failure("HDF5 could not write a trace"));
        }
        for (std::size_t m = 0; m < math; ++m)
            if (!WriteRows(mathVectors[m], first, count, 0, H5T_NATIVE_DOUBLE, what.Math[m].Values.data() + first))
                return fail(Hdf5Failure("HDF5 could not write a math trace"));
        // A cancelled file is closed without writing the rest.
        if (!progress.Step(static_cast<std::int64_t>(first + count), what.Count)) return fail(CancelledWrite());
    }
    if (H5Fflush(file, H5F_SCOPE_LOCAL) < 0) return fail(Hdf5Failure("HDF5 could not write the file"));
    return {};
}

}  // namespace

void PrepareLibrary() {
    static const bool prepared = [] {
        H5dont_atexit();
        return true;
    }();
    (void)prepared;
}

FileResult WriteHdf5File(const DataExport& what, const SetReader& read, const std::string& path,
                         const ExportProgress& progress) {
    PrepareLibrary();
    return ReplaceFileByName(path, [&](const std::string& newFile) {
        const QuietErrors quiet;
        errno = 0;
        // Strong close: closing the file closes every object still open in it, also after a
        // failed write, so that no object outlives the export.
        Id access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose);
        H5Pset_fclose_degree(access, H5F_CLOSE_STRONG);
        Id file(H5Fcreate(newFile.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access), H5Fclose);
        if (!file.Valid()) return Hdf5Failure("HDF5 could not make the file");
        void* handle = nullptr;
        const int fd = H5Fget_vfd_handle(file, H5P_DEFAULT, &handle) >= 0 && handle ? *static_cast<int*>(handle) : -1;
        FileResult written = WriteContent(what, read, progress, file, fd);
        if (!file.Close()) {
            if (written.Ok) written = Hdf5Failure("HDF5 could not write the file");
            DiscardWrites(fd);
        }
        return written;
    });
}

}  // namespace altrix
