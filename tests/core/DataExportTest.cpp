// The .mat and .h5 writers' names, exact values, failures and bounded memory; what the files
// hold is read back by SciPy and h5py in tests/app/export_roundtrip.py.
#include "DataExport.h"
#include "FileTestSupport.h"
#include <hdf5.h>
#include <matio.h>
#include <sys/resource.h>
#include <array>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>

namespace altrix::testing {
namespace {

TEST(DataExportNames, VectorsAreNamedFromTheirQuantities) {
    struct Row { std::vector<const char*> labels; std::vector<const char*> names; std::vector<const char*> units; };
    const Row rows[] = {
        {{"DC_bus (Vdc)", "Output frequency (Hz)", "Torque Command (%)", "Output current (A rms)"},
         {"DC_bus_Vdc", "Output_frequency_Hz", "Torque_Command_pct", "Output_current_A_rms"},
         {"Vdc", "Hz", "%", "A rms"}},
        {{"Mem 9042", "Channel 3", "Ref1 DC_bus (Vdc)", "PG1 position"},
         {"Mem_9042", "Channel_3", "Ref1_DC_bus_Vdc", "PG1_position"},
         {"", "", "Vdc", ""}},
        // The export's own fields and a name already taken get a number; names start with a letter.
        {{"t", "raw", "Channel 1", "Channel 1", "3 phase", "(Hz)"},
         {"t_2", "raw_2", "Channel_1", "Channel_1_2", "x_3_phase", "Hz"},
         {"", "", "", "", "", "Hz"}},
    };
    for (const Row& row : rows) {
        std::vector<DataTrace> traces;
        for (const char* label : row.labels) traces.push_back({label, "1", {}});
        const std::vector<std::string> names = VariableNames(traces);
        ASSERT_EQ(names.size(), row.names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(names[i], row.names[i]) << row.labels[i];
            EXPECT_EQ(UnitOfLabel(row.labels[i]), row.units[i]) << row.labels[i];
        }
    }
    // MATLAB's longest name, also with a number appended.
    const std::vector<std::string> longNames =
        VariableNames({{std::string(70, 'a'), "1", {}}, {std::string(70, 'a'), "1", {}}});
    EXPECT_EQ(longNames[0], std::string(63, 'a'));
    EXPECT_EQ(longNames[1], std::string(61, 'a') + "_2");
}

// The value in units is the double nearest to the readout's exact decimal, written out here
// by hand and read by strtod, not the product of the sample and a rounded gain.
TEST(DataExportValues, ValuesAreTheNearestDoublesOfTheReadouts) {
    struct Row { const char* gain; std::int16_t sample; const char* readout; };
    const Row rows[] = {
        {"0.01", -32768, "-327.68"},   {"0.01", 3, "0.03"},           {"0.1", 7, "0.7"},
        {"0.09765", 12345, "1205.48925"}, {"54.61", -7, "-382.27"},   {"", 32767, "32767"},
        {"x", 5, "5"},  // an invalid gain counts as 1
        {"0.0000000000000000000000001", 3, "3e-25"},  // more decimals than a double's powers of ten
        {"123456789012345678901", 32767, "4045308605567530860549067"},  // a gain wider than 64 bits
    };
    for (const Row& row : rows) {
        double value = 0;
        EngineeringValues(row.gain, std::span(&row.sample, 1), std::span(&value, 1));
        EXPECT_EQ(value, std::strtod(row.readout, nullptr)) << row.gain << " x " << row.sample;
    }
}

class DataExportFiles : public ScratchDir {
protected:
    static DataExport What(std::int64_t count) {
        return {{{"DC_bus (Vdc)", "0.1", "9042"}, {"Ref1", "0.01", {}}}, 0, count};
    }
    static FileResult Samples(std::int64_t first, std::int64_t, std::span<std::int16_t> out) {
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::int16_t>(first + i);
        return {};
    }
};
using Writer = FileResult (*)(const DataExport&, const SetReader&, const std::string&, const ExportProgress&);
const std::pair<const char*, Writer> kWriters[] = {{"old.mat", WriteMatFile}, {"old.h5", WriteHdf5File}};

// A write that fails (a full disk, as a file size limit; a reader's error; a .mat too long
// for level 5) leaves the old file as it was and nothing beside it, and says why.
TEST_F(DataExportFiles, FailuresLeaveTheOldFileAndSayWhy) {
    const auto unreadable = [](std::int64_t, std::int64_t, std::span<std::int16_t>) {
        return FileResult{false, "Input/output error", false};
    };
    for (const auto& [name, writer] : kWriters) {
        const std::string path = PathOf(name);
        WriteBytes(path, "old contents");
        rlimit previous{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit limited = previous;
        limited.rlim_cur = 64 * 1024;
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const FileResult full = writer(What(200000), Samples, path, {});
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
        EXPECT_EQ(full.Error, "File too large") << name;
        EXPECT_EQ(writer(What(100), unreadable, path, {}).Error, "Input/output error") << name;
        EXPECT_EQ(ReadBytes(path), "old contents") << name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1) << name;
        EXPECT_TRUE(writer(What(100), Samples, path, {}).Ok && ReadBytes(path) != "old contents") << name;
        std::filesystem::remove(path);
    }
    EXPECT_TRUE(WriteMatFile(What(std::int64_t{8} * 3600 * 5000), Samples, PathOf("long.mat"))
                    .Error.starts_with("the stretch of 144000000 sample sets is too long for a .mat file"));
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

// Math vectors follow the traces' fields under names of their own, NaN kept; raw exports
// leave them out. Values read back through HDF5; of the .mat file, that matio finds the fields.
TEST_F(DataExportFiles, MathVectorsAreWrittenAfterTheTraces) {
    const double nan = std::nan("");
    const std::vector<double> power{0.5, nan, -2, 1e300};
    for (const bool raw : {false, true}) {
        DataExport what = What(4);
        what.Raw = raw;
        what.Math = {{"Power (kW)", "ch1*ch2", power}, {"Math 2", "ch1", power}};
        ASSERT_TRUE(WriteMatFile(what, Samples, PathOf("m.mat")).Ok);
        ASSERT_TRUE(WriteHdf5File(what, Samples, PathOf("m.h5")).Ok);
        ASSERT_TRUE(WriteCsvSets(what, Samples, PathOf("m.csv")).Ok);
        const std::string csv = ReadBytes(PathOf("m.csv"));
        for (const char* part : {",Power (kW),Math 2\r\n", ",0.5,0.5\r\n", ",,\r\n", ",-2,-2\r\n", ",1e+300,1e+300\r\n"})
            EXPECT_EQ(csv.find(part) != std::string::npos, !raw) << part << " in\n" << csv;
        mat_t* mat = Mat_Open(PathOf("m.mat").c_str(), MAT_ACC_RDONLY);
        ASSERT_NE(mat, nullptr);
        matvar_t* record = Mat_VarRead(mat, "altrix");
        ASSERT_NE(record, nullptr);
        const hid_t h5 = H5Fopen(PathOf("m.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
        for (const char* name : {"Power_kW", "Math_2"}) {
            matvar_t* field = Mat_VarGetStructFieldByName(record, name, 0);
            ASSERT_EQ(field == nullptr, raw) << name;
            ASSERT_EQ(H5Lexists(h5, (std::string("/altrix/") + name).c_str(), H5P_DEFAULT) > 0, !raw) << name;
            if (raw) continue;
            std::array<double, 4> fromH5{};
            const hid_t set = H5Dopen2(h5, (std::string("/altrix/") + name).c_str(), H5P_DEFAULT);
            ASSERT_GE(H5Dread(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, fromH5.data()), 0);
            H5Dclose(set);
            for (std::size_t i = 0; i < power.size(); ++i) {
                if (std::isnan(power[i]))
                    EXPECT_TRUE(std::isnan(fromH5[i])) << name;
                else
                    EXPECT_EQ(fromH5[i], power[i]) << name;
            }
        }
        H5Fclose(h5);
        Mat_VarFree(record);
        Mat_Close(mat);
    }
}

// Every format reports the sets written after each chunk of 65536 (a .mat's gathering the first
// half, matio's write the second), and a cancel at any report leaves the old file as it was and
// nothing beside it.
TEST_F(DataExportFiles, ProgressIsReportedByChunkAndACancelLeavesNoFile) {
    using Reports = std::vector<std::pair<std::int64_t, std::int64_t>>;
    const Reports byChunk{{65536, 200000}, {131072, 200000}, {196608, 200000}, {200000, 200000}};
    const Reports mat{{65536, 400000}, {131072, 400000}, {196608, 400000}, {200000, 400000}, {400000, 400000}};
    struct Row { const char* file; Writer writer; Reports reports; std::size_t cancelAt; };  // 1: the first report
    const Row rows[] = {
        {"a.csv", WriteCsvSets, byChunk, 0},  {"a.mat", WriteMatFile, mat, 0},  {"a.h5", WriteHdf5File, byChunk, 0},
        {"a.csv", WriteCsvSets, byChunk, 1},  {"a.mat", WriteMatFile, mat, 1},  {"a.h5", WriteHdf5File, byChunk, 1},
        {"a.csv", WriteCsvSets, byChunk, 4},  {"a.mat", WriteMatFile, mat, 5},  {"a.h5", WriteHdf5File, byChunk, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.file << " cancelled at report " << row.cancelAt);
        const std::string path = PathOf(row.file);
        WriteBytes(path, "old contents");
        std::atomic<bool> cancel{false};
        Reports reports;
        const ExportProgress progress{[&](std::int64_t done, std::int64_t total) {
                                          reports.emplace_back(done, total);
                                          if (reports.size() == row.cancelAt) cancel = true;
                                      },
                                      &cancel};
        const FileResult result = row.writer(What(200000), Samples, path, progress);
        if (row.cancelAt == 0) {
            EXPECT_TRUE(result.Ok) << result.Error;
            EXPECT_EQ(reports, row.reports);
            EXPECT_NE(ReadBytes(path), "old contents");
        } else {
            EXPECT_FALSE(result.Ok);
            EXPECT_TRUE(result.Cancelled);
            EXPECT_EQ(result.Error, "");
            EXPECT_EQ(reports, Reports(row.reports.begin(), row.reports.begin() + static_cast<std::ptrdiff_t>(row.cancelAt)));
            EXPECT_EQ(ReadBytes(path), "old contents");
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
        std::filesystem::remove(path);
    }
}

TEST_F(DataExportFiles, UnwritableFolderIsRefused) {
    const std::filesystem::path folder = dir_ / "locked";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                                             std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    for (const auto& [name, writer] : kWriters) {
        const std::string path = (folder / name).string();
        // _Exit: the libraries' exit handlers belong to the parent.
        EXPECT_EXIT(std::_Exit(DropRoot() && writer(What(100), Samples, path, {}).Error == "Permission denied" ? 0 : 1),
                    ::testing::ExitedWithCode(0), "")
            << name;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// Eight hours of four channels at 5000 sets/s (1.15 GB of samples, 6.9 GB of content) fed
// chunk by chunk: the peak memory of the process grows by a few chunks' worth, not the input.
TEST_F(DataExportFiles, EightHourRecordingToHdf5InBoundedMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory and quarantine make the peak memory no measure";
#endif
    DataExport what;
    for (const char* label : {"Output frequency (Hz)", "DC_bus (Vdc)", "Output current (A rms)", "Motor speed (rpm)"})
        what.Traces.push_back({label, "0.01", {}});
    what.Count = std::int64_t{8} * 3600 * 5000;
    std::int64_t next = 0;
    const auto constant = [&next](std::int64_t first, std::int64_t count, std::span<std::int16_t> out) {
        if (first != next) return FileResult{false, "chunks out of order", false};
        next = first + count;
        std::fill(out.begin(), out.end(), std::int16_t{1234});
        return FileResult{};
    };
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const FileResult result = WriteHdf5File(what, constant, PathOf("recording.h5"));
    getrusage(RUSAGE_SELF, &after);
    EXPECT_TRUE(result.Ok) << result.Error;
    EXPECT_EQ(next, what.Count);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kB";  // the input alone is 1.1 million kB
}

}  // namespace
}  // namespace altrix::testing
