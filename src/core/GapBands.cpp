#include "GapBands.h"

#include <algorithm>
#include <cmath>

namespace altrix {

std::vector<std::pair<double, double>> JoinStretches(std::span<const std::pair<double, double>> stretches) {
    std::vector<std::pair<double, double>> sorted(stretches.begin(), stretches.end());
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::pair<double, double>> joined;
    for (const auto& [first, last] : sorted) {
        if (!(first <= last)) continue;
        if (!joined.empty() && first <= joined.back().second + 1)
            joined.back().second = std::max(joined.back().second, last);
        else
            joined.emplace_back(first, last);
    }
    return joined;
}

void BandsInView(std::span<const std::pair<double, double>> joined, double lower, double upper, int columns,
                 int minColumns, std::vector<std::pair<double, double>>& out) {
    out.clear();
    if (columns < 1 || !(upper > lower) || joined.empty()) return;
    const double w = (upper - lower) / columns;
    const auto columnOf = [&](double x) { return static_cast<long long>(std::floor((x - lower) / w)); };
    // Runs of covered columns, as [first column, last column].
    std::vector<std::pair<long long, long long>> runs;
    long long c = 0;
    while (c < columns) {
        // The first stretch that reaches into column c or beyond.
        const double start = lower + static_cast<double>(c) * w;
        const auto it = std::lower_bound(joined.begin(), joined.end(), start,
                                         [](const std::pair<double, double>& s, double x) { return s.second < x; });
        if (it == joined.end()) break;
        const long long first = std::max(c, columnOf(it->first));
        if (first >= columns) break;
        // Columns first .. the one holding the stretch's last point are covered.
        const long long last = std::min<long long>(columns - 1, std::max(first, columnOf(it->second)));
        if (!runs.empty() && runs.back().second + 1 >= first)
            runs.back().second = std::max(runs.back().second, last);
        else
            runs.emplace_back(first, last);
        c = last + 1;
    }
    for (auto [first, last] : runs) {
        const long long missing = minColumns - (last - first + 1);
        if (missing > 0) {
            first -= missing / 2;
            last += missing - missing / 2;
        }
        const double from = lower + static_cast<double>(first) * w, to = lower + static_cast<double>(last + 1) * w;
        if (!out.empty() && from <= out.back().second)
            out.back().second = std::max(out.back().second, to);
        else
            out.emplace_back(from, to);
    }
}

}  // namespace altrix
