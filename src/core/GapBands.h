#pragma once
// Gap bands as a chart draws them: the stretches of filled sets joined once, then, for a view,
// the pixel columns that hold any part of one, adjacent columns merged into one band. A redraw
// costs the same for 10 gaps or 300,000: a binary search per band drawn, at most one band per
// two columns.

#include <span>
#include <utility>
#include <vector>

namespace altrix {

// [first, last] stretches (bottom-axis coordinates), sorted by first, those that overlap or
// touch (next first <= last + 1) joined into one.
std::vector<std::pair<double, double>> JoinStretches(std::span<const std::pair<double, double>> stretches);

// The bands of `joined` (as JoinStretches gives them) over the view [lower, upper] drawn on
// `columns` pixel columns, column c holding [lower + c w, lower + (c + 1) w) with w the view's
// width over `columns`: each run of columns holding part of a stretch is one band from its first
// column's start to its last column's end, widened about its middle to at least `minColumns`
// columns; bands that then overlap are one. Into `out`, left to right.
void BandsInView(std::span<const std::pair<double, double>> joined, double lower, double upper, int columns,
                 int minColumns, std::vector<std::pair<double, double>>& out);

}  // namespace altrix
