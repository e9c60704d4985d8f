#include "AxisTicks.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace altrix {

AxisTicks NiceTicks(double lower, double upper, int maxTicks) {
    AxisTicks ticks;
    const double span = upper - lower;
    if (!(span > 0) || !std::isfinite(span) || maxTicks < 1) return ticks;
    // The smallest 1, 2 or 5 x 10^e at or above span / maxTicks keeps the count at or under
    // maxTicks (+1 where both ends fall on a tick).
    const double rough = span / maxTicks;
    double decade = std::pow(10.0, std::floor(std::log10(rough)));
    double step = decade;
    for (const double mantissa : std::array{1.0, 2.0, 5.0, 10.0}) {
        step = mantissa * decade;
        if (step >= rough * (1 - 1e-12)) break;
    }
    ticks.Step = step;
    ticks.Decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    const double first = std::ceil(lower / step - 1e-9);
    const double last = std::floor(upper / step + 1e-9);
    for (double k = first; k <= last; ++k) {
        const double value = k * step;
        ticks.Values.push_back(value == 0 ? 0.0 : value);  // no "-0"
    }
    return ticks;
}

AxisTicks AtLeastTicks(double lower, double upper, int maxTicks, int minTicks) {
    AxisTicks ticks = NiceTicks(lower, upper, maxTicks);
    for (int budget = std::max(1, maxTicks) + 1; budget <= 50 && ticks.Step > 0 &&
                                                 static_cast<int>(ticks.Values.size()) < minTicks;
         ++budget)
        ticks = NiceTicks(lower, upper, budget);
    return ticks;
}

}  // namespace altrix
