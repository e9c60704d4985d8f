#pragma once
// Exports for MATLAB and Python: a stretch of sample sets as a MATLAB level 5 `.mat` file
// (a struct `altrix`) or an HDF5 `.h5` file (a group `altrix`), with the time, one vector a
// trace in engineering units, the raw 16-bit samples and what names and reads them. The
// samples come from a reader a chunk at a time, so that the HDF5 writer needs the same memory
// for a window and for a recording of hours.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Decimation.h"
#include "SafeFile.h"

namespace altrix {

struct DataTrace {
    std::string Label;    // as the legend and the CSV header name it: "DC_bus (Vdc)", "Mem 9042"
    std::string Gain;     // the gain text its values are read with
    std::string Address;  // the drive's memory address, empty for a reference
};

// A vector computed in floating point (a math trace's): its values of the export's sets, NaN
// where there is none.
struct DataVector {
    std::string Label;  // "Power (kW)", "Math 1"
    std::string Expression;
    std::span<const double> Values;  // Count values, of sets First ...
};

// What an export holds: its traces, and sets First .. First + Count - 1 of them, and unless Raw
// the math vectors after them. The time of set s is (s + TimeOffset) / SampleRateHz.
struct DataExport {
    std::vector<DataTrace> Traces;
    std::int64_t First = 0;
    std::int64_t Count = 0;
    // 1 for a window's positions (position x at (x + 1) x 0.0002 s, as the Time readout has
    // it), 0 for a recording's sets (set n at n x 0.0002 s from its start).
    std::int64_t TimeOffset = 0;
    double SampleRateHz = 1.0 / kSamplePeriodSeconds;
    std::string StartedUtc;  // of set First, ISO 8601 ("2026-12-07T16:26:27.125Z"), empty when unknown
    std::string DriveType;   // the identified drive's label, empty when unknown
    bool Raw = false;        // only the raw samples, no vectors in engineering units
    std::vector<DataVector> Math;
};

// Fills `out` with sets first .. first + count - 1 of every trace, trace after trace: trace i's
// samples at out[i * count ...]. Returns why it could not.
using SetReader = std::function<FileResult(std::int64_t first, std::int64_t count, std::span<std::int16_t> out)>;


// The reader of trace windows (position = set number), e.g. of the trace source on screen.
SetReader WindowReader(std::vector<WindowSamples> windows);

// The names under which the traces' vectors are stored: the label's letters and digits, runs
// of others as one "_", "%" as "pct" ("DC_bus (Vdc)" -> "DC_bus_Vdc"), at most 63 characters,
// starting with a letter, unique among themselves and the export's other fields.
std::vector<std::string> VariableNames(const std::vector<DataTrace>& traces);
// The same for the traces, then the math vectors ("Math_1" without a name), unique among all.
std::vector<std::string> VariableNames(const DataExport& what);

// The unit a label names in its closing parentheses ("Output current (A rms)" -> "A rms"); empty
// without one.
std::string UnitOfLabel(std::string_view label);

// What both formats store about the traces, in their order: names, units, addresses and gains.
struct TraceFields {
    std::vector<std::string> Labels, Units, Addresses;
    std::vector<double> Gains;
};
TraceFields FieldsOf(const std::vector<DataTrace>& traces);

// Each writer writes the export to `path` whole or not at all (cancelled through `progress`
// included). A `.mat` file holds its whole content in memory while written, and at most about
// 2 GB of it: its sets are gathered a chunk at a time (the first half of its progress), then
// matio writes the struct in one call (the second half), cancelled only before and after it.
FileResult WriteMatFile(const DataExport& what, const SetReader& read, const std::string& path,
                        const ExportProgress& progress = {});
// Called before any other use of HDF5 (matio uses it too): HDF5 is told not to clean up at the
// program's exit, where a file it could not close after a full disk would crash it.
void PrepareLibrary();
// Writes chunked and compressed datasets a chunk of sets at a time, in bounded memory.
FileResult WriteHdf5File(const DataExport& what, const SetReader& read, const std::string& path,
                         const ExportProgress& progress = {});

// What both writers share. Sets go through a writer this many at a time.
inline constexpr std::int64_t kExportChunkSets = 65536;
// The fields of the struct or group besides the traces' vectors.
inline constexpr std::string_view kExportFields[] = {"t",     "raw",       "names",          "units",
                                                     "gains", "addresses", "sample_rate_hz", "started_utc",
                                                     "drive_type"};
// Times of sets first, first + 1, ...: the double nearest to set / rate.
void SetTimes(std::int64_t first, double rateHz, std::span<double> times);
// Values in engineering units, each the double nearest to the exact readout value.
void EngineeringValues(std::string_view gain, std::span<const std::int16_t> samples, std::span<double> values);

// CSV of the export's traces as CsvFormat writes it (the time of set s is (s + TimeOffset) / 5000 s), read a
// chunk at a time, so that the memory is the same for a window and a recording of hours; the
// math vectors' columns after them unless Raw.
FileResult WriteCsvSets(const DataExport& what, const SetReader& read, const std::string& path,
                        const ExportProgress& progress = {});

enum class DataFormat { Csv, Mat, Hdf5 };
// The format a file name's suffix names (".csv", ".mat", ".h5" or ".hdf5", any case).
std::optional<DataFormat> DataFormatOf(std::string_view fileName);

}  // namespace altrix
