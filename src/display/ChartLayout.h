#pragma once
// How the chart lays out the traces it shows: overlaid, each read on an axis of its own units,
// or stacked in lanes, each trace fitted into a band of the vertical axis; the values the
// graticule labels and the legend lists. Plain values and pure functions: ScopeDisplay keeps
// the state.

#include "AxisTicks.h"

#include <QString>

#include <span>
#include <vector>

namespace altrix {

// One line of the legend: a shown trace, drawn as `Series`, its name and unit, and its value
// at the cursor as the readouts show it (empty when the cursor is not on the chart).
struct LegendItem {
    int Series = 0;
    QString Name;
    QString Unit;
    QString Value;
};

// A plotted range lower..upper of one trace (sample x Y-scale), as a fit found it.
struct PlottedRange {
    double Lower = 0;
    double Upper = 0;
};

// A lane: the band Lower..Upper of the vertical axis that trace `Trace` is drawn into, its
// plotted range Fit spread over the band.
struct Lane {
    int Trace = 0;
    PlottedRange Fit;
    double Lower = 0;
    double Upper = 0;
};

// The vertical axis the lanes share, as the chart shows it at full view.
inline constexpr double kLanesLower = -32768;
inline constexpr double kLanesUpper = 32767;
// Each band leaves this fraction of its height free above and below its trace: a trace at its
// fit's edge runs clear of the line between the lanes and of the lane's title.
inline constexpr double kLaneMargin = 0.15;
// An overlaid "Fit" leaves this fraction of the height free above and below the traces.
inline constexpr double kFitMargin = 0.08;

// Lanes for `traces` top to bottom, each an equal band of kLanesLower..kLanesUpper, fitted to
// `fits` (one per trace). A fit with no height is widened about its value so that its trace
// runs through the middle of its band.
std::vector<Lane> LayOutLanes(std::span<const int> traces, std::span<const PlottedRange> fits);
// Lane `index` of `count` so laid out.
Lane LaneAt(int trace, PlottedRange fit, std::size_t index, std::size_t count);

// The plotted value at axis coordinate c of a lane: its fit spread over the band less the
// margins.
LinearScale PlottedScaleOf(const Lane& lane);
// The axis coordinate of a plotted value in its lane, held inside the band.
double LaneCoordinate(const Lane& lane, double plotted);

// The range with a margin of kFitMargin of its height on both sides, as "Fit" shows it on an
// overlaid chart; a range with no height is widened as in LayOutLanes.
PlottedRange FittedView(PlottedRange range);

}  // namespace altrix
