#pragma once
// The program's commands without a window: a waveform file or a recording (.arec) converted to
// CSV, as the window's "Export CSV..." writes it after loading that file, or to CSV, MATLAB .mat
// or HDF5 .h5 by the output's suffix, as "Export data..." writes it (a recording's math traces
// included); --from and --to (in the times the export writes) choose a stretch of either.

#include <optional>

namespace altrix {

// The commands' usage lines, for --help and for wrong arguments.
inline constexpr char kExportCommandUsage[] =
    "altrix-scope --export-csv IN.wfd|IN.arec OUT.csv [--from S] [--to S] [--gains G1,G2,G3,G4] [--raw]";
inline constexpr char kExportDataUsage[] =
    "altrix-scope --export IN.wfd|IN.arec OUT.csv|OUT.mat|OUT.h5 [--from S] [--to S] [--gains G1,G2,G3,G4] [--raw]";

// When the arguments name --export-csv or --export (before any "--"), runs the command and returns the exit
// status: 0, or 1 after one line on standard error. Every other argument is the command's: an
// argument that starts with "-" is one of its options (an unknown one is an error) until "--",
// after which every argument is a file name. An output file that is the input file (by any path
// or link) is refused. Otherwise returns nothing and the program opens its window.
// Needs no display: neither Qt nor a window is touched.
std::optional<int> RunExportCommand(int argc, char* argv[]);

}  // namespace altrix
