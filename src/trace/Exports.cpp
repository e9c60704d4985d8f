#include "Exports.h"

#include <algorithm>
#include <cctype>

namespace altrix {

const std::vector<Exporter>& Exporters() {
    static const std::vector<Exporter> kExporters{
        {"MATLAB", {".mat"}, false, &WriteMatFile},
        {"HDF5", {".h5", ".hdf5"}, false, &WriteHdf5File},
        {"CSV", {".csv"}, true, &WriteCsvSets},
    };
    return kExporters;
}

const Exporter* ExporterFor(std::string_view fileName) {
    std::string lower(fileName);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const Exporter& exporter : Exporters())
        for (const std::string& suffix : exporter.Suffixes)
            if (lower.size() > suffix.size() && lower.ends_with(suffix)) return &exporter;
    return nullptr;
}

std::string ExportFilter() {
    std::string filter;
    for (const Exporter& exporter : Exporters()) {
        if (!filter.empty()) filter += '|';
        filter += exporter.Name + " (*" + exporter.Suffixes.front() + ")|*" + exporter.Suffixes.front();
    }
    return filter;
}

PositionStretch StretchOf(const ExportSource& source, ExportStretch choice) {
    const std::int32_t last = source.Source ? source.Source->length() - 1 : -1;
    const auto within = [last](std::int32_t a, std::int32_t b) {
        const std::int32_t first = std::clamp(std::min(a, b), 0, std::max(last, 0));
        return PositionStretch{first, std::clamp(std::max(a, b), 0, last)};
    };
    switch (choice) {
    case ExportStretch::View:
        return within(source.View.First, source.View.Last);
    case ExportStretch::MarkToCursor:
        return source.Mark ? within(*source.Mark, source.Cursor) : PositionStretch{0, -1};
    case ExportStretch::Whole:
        break;
    }
    return {0, last};
}

ExportPlan PlanExport(const ExportSource& source, ExportStretch choice, bool raw, std::string_view fileName) {
    ExportPlan plan;
    plan.Format = ExporterFor(fileName);
    if (!plan.Format) {
        std::string suffixes;
        for (const Exporter& exporter : Exporters()) suffixes += (suffixes.empty() ? "" : ", ") + exporter.Suffixes.front();
        plan.Problem = "name the format by the suffix " + suffixes;
        return plan;
    }
    const PositionStretch stretch = StretchOf(source, choice);
    if (stretch.empty()) {
        plan.Problem = "no sample sets in the stretch";
        return plan;
    }
    DataExport& what = plan.What;
    for (const ExportTrace& trace : source.Traces) {
        if (!(plan.Format->EveryChannel ? trace.InCsv : trace.InData)) continue;
        what.Traces.push_back(trace.Names);
        plan.Traces.push_back(trace.Trace);
    }
    if (what.Traces.empty()) {
        plan.Problem = "no channel is ticked and no reference shown";
        return plan;
    }
    what.First = stretch.First;
    what.Count = stretch.count();
    // The times the screen shows for the same sets, and the UTC of the first.
    what.TimeOffset = source.Times.Periods(0);
    what.StartedUtc = SetClockText(source.Times, stretch.First, ClockForm::IsoUtc);
    what.SampleRateHz = source.Source->sampleRateHz();
    what.DriveType = source.DriveType;
    what.Raw = raw;
    if (!raw && source.Math) what.Math = source.Math(stretch, plan.MathLeftOut);
    return plan;
}

FileResult WriteExport(const ExportSource& source, const ExportPlan& plan, const std::string& path,
                       const ExportProgress& progress) {
    if (!plan.Problem.empty()) return {false, plan.Problem, false};
    return plan.Format->Write(plan.What, source.Source->reader(plan.Traces), path, progress);
}

ExportJob::ExportJob(const ExportSource& source, ExportPlan plan, std::string path)
    : plan_(std::move(plan)), path_(std::move(path)) {
    if (!plan_.Problem.empty()) return;
    math_.reserve(plan_.What.Math.size());  // the spans point into these vectors, which moves keep
    for (DataVector& vector : plan_.What.Math) {
        math_.emplace_back(vector.Values.begin(), vector.Values.end());
        vector.Values = math_.back();
    }
    const auto first = static_cast<std::int32_t>(plan_.What.First);
    open_ = source.Source->detachedReader(plan_.Traces, {first, static_cast<std::int32_t>(first + plan_.What.Count - 1)});
}

FileResult ExportJob::Run(const ExportProgress& progress) {
    if (!plan_.Problem.empty()) return {false, plan_.Problem, false};
    return plan_.Format->Write(plan_.What, open_(), path_, progress);
}

}  // namespace altrix
