#pragma once
// The program's one command without a window: a waveform file converted to CSV, as the
// window's "Export CSV..." writes it after loading that file.

#include <optional>

namespace altrix {

// The command's usage line, for --help and for wrong arguments.
inline constexpr char kExportCommandUsage[] =
    "altrix-scope --export-csv IN.wfd OUT.csv [--gains G1,G2,G3,G4] [--raw]";

// When the arguments name --export-csv (before any "--"), runs the command and returns the exit
// status: 0, or 1 after one line on standard error. Every other argument is the command's: an
// argument that starts with "-" is one of its options (an unknown one is an error) until "--",
// after which every argument is a file name. An output file that is the input file (by any path
// or link) is refused. Otherwise returns nothing and the program opens its window.
// Needs no display: neither Qt nor a window is touched.
std::optional<int> RunExportCommand(int argc, char* argv[]);

}  // namespace altrix
