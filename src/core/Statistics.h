#pragma once
// Measurements of a trace over a stretch: extremes, mean, RMS, peak to peak, standard
// deviation and fundamental frequency, in engineering units (raw sample x gain).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "Stretch.h"

namespace altrix {

struct Measurement {
    std::size_t Count = 0;  // samples measured; with none every value below is 0
    double Min = 0;
    double Max = 0;
    double Mean = 0;
    double Rms = 0;
    double PeakToPeak = 0;
    double StdDev = 0;  // of the population: sqrt(RMS^2 - mean^2)
    // From the rising crossings of the mean; none over fewer than two periods (three
    // crossings) or when they come at irregular intervals.
    std::optional<double> FrequencyHz;
};

// Measures `samples` x `gain` (gain >= 0). The statistics come from one pass of exact
// integer sums. The frequency counts the periods between the first and the last rising
// crossing of the mean, a crossing being a rise above mean + h after a fall below mean - h
// (h a quarter of the standard deviation, so that noise riding on the signal does not
// count), its time interpolated between the two samples around it. A frequency needs two
// whole periods, so that the spread of the periods can be told: crossings whose intervals
// spread by more than a fifth of their mean (those of noise) give none.
Measurement Measure(const SampleRuns& samples, double gain, double sampleRateHz);

// The same statistics from the exact sums of `count` samples (no frequency).
Measurement MeasureSums(std::int64_t count, std::int16_t min, std::int16_t max, std::int64_t sum,
                        std::int64_t sumOfSquares, double gain);
// The same of values in units (a math trace's), in double precision; values that are no
// numbers are left out (Count tells the numbers measured) and a crossing over a gap counts
// from the first number after it. The frequency follows the same rule.
Measurement Measure(std::span<const double> values, double sampleRateHz);

}  // namespace altrix
