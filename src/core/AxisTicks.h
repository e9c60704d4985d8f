#pragma once
// The graticule's numbers: ticks of a linear axis at a "nice" step (1, 2 or 5 times a power of
// ten), and the linear scales from chart coordinates to the values an axis is labelled in.

#include <string>
#include <vector>

namespace altrix {

struct AxisTicks {
    double Step = 0;
    int Decimals = 0;            // digits after the point that tell two ticks apart
    std::vector<double> Values;  // ascending, lower <= v <= upper, whole multiples of Step
};

// Ticks over lower..upper at the smallest nice step that leaves at most maxTicks steps between
// the ends.
// An empty or non-finite range, or maxTicks < 1, has none.
AxisTicks NiceTicks(double lower, double upper, int maxTicks);
// As NiceTicks, with the budget raised (up to 50) until at least minTicks ticks fall within
// lower..upper: a short axis still gets that many labels.
AxisTicks AtLeastTicks(double lower, double upper, int maxTicks, int minTicks);

// The value shown at chart coordinate c: Offset + Factor x c.
struct LinearScale {
    double Offset = 0;
    double Factor = 1;
    double valueAt(double c) const { return Offset + Factor * c; }
    double coordinateOf(double value) const { return (value - Offset) / Factor; }
    bool operator==(const LinearScale&) const = default;
};

// A band of the vertical axis, coordinates Lower..Upper, labelled on its own scale under its
// own title (UTF-8, unit included). Overlaid axes share the whole height: each is a column of
// labels along the left or right edge in the colour of the first series it labels.
struct ScaleBand {
    double Lower = 0;
    double Upper = 0;
    LinearScale Scale;
    std::string Title;
    std::vector<int> Series;  // the series read on this scale; none: the graticule's grey
    bool Right = false;       // labelled along the right edge
    bool Grid = true;         // its ticks draw the grid lines
    bool operator==(const ScaleBand&) const = default;
};

// What the graticule labels: the horizontal axis on one scale, the vertical one band by band.
struct GraticuleScales {
    LinearScale Time;
    std::string TimeTitle;
    std::vector<ScaleBand> Bands;
    bool operator==(const GraticuleScales&) const = default;
};

}  // namespace altrix
