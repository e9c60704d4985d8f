#pragma once
// What an export of the source on show holds: its traces with their names and gains, the math
// traces computed over the stretch, and the times the screen shows for the same sets, for the
// view, mark..cursor or the whole source; and the formats an export can be written in, each
// registered once here, so that a new format never touches the window.

#include "DataExport.h"
#include "Stretch.h"
#include "Timeline.h"
#include "TraceSource.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace altrix {

enum class ExportStretch { View, MarkToCursor, Whole };

// One trace of the source, as an export names and reads it.
struct ExportTrace {
    int Trace = 1;       // of the source: 1..4 the channels, 5 and 6 the references
    DataTrace Names;     // label, gain text, address
    bool InData = true;  // written to .mat and .h5 (a ticked channel, a shown reference)
    bool InCsv = true;   // written to CSV (every channel, a shown reference)
};

// What the source on show offers an export.
struct ExportSource {
    const TraceSource* Source = nullptr;
    Timeline Times = Timeline::Window(TimelineSource::File, std::nullopt, std::nullopt);
    std::vector<ExportTrace> Traces;
    PositionStretch View{0, -1};
    std::optional<std::int32_t> Mark;
    std::int32_t Cursor = 0;
    std::string DriveType;  // the identified drive's label, empty when unknown
    // The shown math traces' vectors over a stretch; those it cannot give are named in `leftOut`.
    std::function<std::vector<DataVector>(PositionStretch, std::vector<std::string>& leftOut)> Math;
};

// A format an export is written in.
struct Exporter {
    std::string Name;                   // "MATLAB", as a file dialog names it
    std::vector<std::string> Suffixes;  // ".mat"; the first is the one a dialog offers
    bool EveryChannel = false;          // all four channels, ticked or not (CSV, as a spreadsheet reads it)
    // Writes `what` whole or not at all, reporting to `progress` and stopping when it is cancelled.
    FileResult (*Write)(const DataExport& what, const SetReader& read, const std::string& path,
                        const ExportProgress& progress) = nullptr;
};

// The formats, in the order a dialog offers them.
const std::vector<Exporter>& Exporters();
// The format a file name's suffix names (any case); none for another suffix.
const Exporter* ExporterFor(std::string_view fileName);
// "MATLAB (*.mat)|*.mat|HDF5 (*.h5)|*.h5|CSV (*.csv)|*.csv", in the Prompts' filter form.
std::string ExportFilter();

// The positions a choice names, within the source; empty for mark..cursor without a mark.
PositionStretch StretchOf(const ExportSource& source, ExportStretch choice);

struct ExportPlan {
    const Exporter* Format = nullptr;
    DataExport What;
    std::vector<int> Traces;               // the source's traces in What.Traces' order
    std::vector<std::string> MathLeftOut;  // shown math traces not computed over the stretch
    std::string Problem;                   // why nothing can be written; empty when it can
};

// What an export of `choice` to `fileName` holds.
ExportPlan PlanExport(const ExportSource& source, ExportStretch choice, bool raw, std::string_view fileName);

// Writes the plan to `path` whole or not at all, on the source's thread.
FileResult WriteExport(const ExportSource& source, const ExportPlan& plan, const std::string& path,
                       const ExportProgress& progress = {});

// An export made ready on the source's thread to be written on another: the plan, with copies
// of what may change under it (the math vectors; a window's stretch of samples), and the
// source's detached reader (a recording read through a connection of the writer's own). It
// refers to nothing of the source, which may change or go while it runs.
class ExportJob {
public:
    ExportJob(const ExportSource& source, ExportPlan plan, std::string path);
    ExportJob(ExportJob&&) = default;
    ExportJob& operator=(ExportJob&&) = default;

    const ExportPlan& Plan() const { return plan_; }
    const std::string& Path() const { return path_; }
    // Writes it, once, on any one thread.
    FileResult Run(const ExportProgress& progress);

private:
    ExportPlan plan_;
    std::vector<std::vector<double>> math_;  // what plan_.What.Math's values are over
    TraceSource::ReaderOpener open_;
    std::string path_;
};

}  // namespace altrix
