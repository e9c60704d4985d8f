#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace altrix {

namespace {

struct Sums {
    std::int64_t Count = 0;
    std::int16_t Min = INT16_MAX;
    std::int16_t Max = INT16_MIN;
    std::int64_t Sum = 0;
    std::int64_t SumOfSquares = 0;  // at most 100000 x 2^30: no overflow
};

// One pass, written so that the compiler vectorises it: sums in 32 bits over blocks short
// enough not to overflow, squares (at most 2^30) widened without sign.
void Accumulate(std::span<const std::int16_t> run, Sums& sums) {
    constexpr std::size_t kBlock = 16384;  // 16384 x 32768 = 2^29
    std::int16_t low = sums.Min, high = sums.Max;
    for (std::size_t begin = 0; begin < run.size(); begin += kBlock) {
        const std::size_t end = std::min(run.size(), begin + kBlock);
        std::int32_t sum = 0;
        std::int64_t squares = 0;
        for (std::size_t i = begin; i < end; ++i) {
            const std::int16_t s = run[i];
            low = std::min(low, s);
            high = std::max(high, s);
            sum += s;
            squares += static_cast<std::uint32_t>(std::int32_t{s} * s);
        }
        sums.Sum += sum;
        sums.SumOfSquares += squares;
    }
    sums.Count += static_cast<std::int64_t>(run.size());
    sums.Min = low;
    sums.Max = high;
}

constexpr double kMaxPeriodSpread = 0.2;
// Crossings a frequency needs: two whole periods, whose spread tells a signal from noise.
constexpr std::int64_t kMinCrossings = 3;

// Index of the first sample from `from` on beyond `threshold` (above it for Above, below it
// otherwise), or run.size(). Chunks are ruled out by their extreme first, a reduction the
// compiler vectorises: crossings are rare among samples.
template <bool Above>
std::size_t FindBeyond(std::span<const std::int16_t> run, std::size_t from, std::int16_t threshold) {
    constexpr std::size_t kChunk = 32;
    auto beyond = [threshold](std::int16_t s) { return Above ? s > threshold : s < threshold; };
    std::size_t i = from;
    for (; i + kChunk <= run.size(); i += kChunk) {
        std::int16_t extreme = run[i];
        for (std::size_t j = 1; j < kChunk; ++j)
            extreme = Above ? std::max(extreme, run[i + j]) : std::min(extreme, run[i + j]);
        if (beyond(extreme)) break;
    }
    for (; i < run.size(); ++i)
        if (beyond(run[i])) return i;
    return run.size();
}

// Rising crossings of a level with hysteresis: a rise above level + h counts once a fall
// below level - h has armed it. Thresholds are compared on whole raw values, held within
// the sample range (a threshold beyond it is never passed either way).
class CrossingCounter {
public:
    CrossingCounter(double level, double hysteresis)
        : rise_(level + hysteresis),
          riseAbove_(RawThreshold(std::floor(level + hysteresis))),
          fallBelow_(RawThreshold(std::ceil(level - hysteresis))) {}

    void scan(std::span<const std::int16_t> run) {
        for (std::size_t i = 0;; ++i) {
            if (armed_) {
                i = FindBeyond<true>(run, i, riseAbove_);
                if (i == run.size()) break;
                // The sample before lay at or below the threshold: interpolate.
                const std::int32_t before = i > 0 ? run[i - 1] : previous_;
                const double at = static_cast<double>(index_) + static_cast<double>(i) - 1 +
                                  (rise_ - before) / (run[i] - before);
                if (count_ == 0) {
                    first_ = at;
                } else {
                    const double interval = at - last_;
                    intervalSquares_ += interval * interval;
                }
                last_ = at;
                ++count_;
                armed_ = false;
            } else {
                i = FindBeyond<false>(run, i, fallBelow_);
                if (i == run.size()) break;
                armed_ = true;
            }
        }
        if (!run.empty()) previous_ = run.back();
        index_ += static_cast<std::int64_t>(run.size());
    }

    // Mean period in samples between the first and the last crossing; none below two periods, and
    // none when the intervals between crossings spread by more than kMaxPeriodSpread of
    // their mean: crossings of noise have no period.
    std::optional<double> period() const {
        if (count_ < kMinCrossings) return std::nullopt;
        const double intervals = static_cast<double>(count_ - 1);
        const double mean = (last_ - first_) / intervals;
        const double spread = std::sqrt(std::max(0.0, intervalSquares_ / intervals - mean * mean));
        if (spread > kMaxPeriodSpread * mean) return std::nullopt;
        return mean;
    }

private:
    static std::int16_t RawThreshold(double value) {
        return static_cast<std::int16_t>(std::clamp(value, double{INT16_MIN}, double{INT16_MAX}));
    }

    double rise_;
    std::int16_t riseAbove_;
    std::int16_t fallBelow_;
    bool armed_ = false;
    std::int32_t previous_ = 0;
    std::int64_t index_ = 0;
    std::int64_t count_ = 0;
    double first_ = 0;
    double last_ = 0;
    double intervalSquares_ = 0;
};

}  // namespace

Measurement MeasureSums(std::int64_t count, std::int16_t min, std::int16_t max, std::int64_t sum,
                        std::int64_t sumOfSquares, double gain) {
    Measurement m;
    if (count == 0) return m;
    const double n = static_cast<double>(count);
    // n^2 x variance, exact in 128 bits before the one rounding.
    const __int128 spread = static_cast<__int128>(count) * sumOfSquares - static_cast<__int128>(sum) * sum;
    m.Count = static_cast<std::size_t>(count);
    m.Min = min * gain;
    m.Max = max * gain;
    m.Mean = static_cast<double>(sum) / n * gain;
    m.Rms = std::sqrt(static_cast<double>(sumOfSquares) / n) * gain;
    m.PeakToPeak = (max - min) * gain;
    m.StdDev = std::sqrt(static_cast<double>(spread)) / n * gain;
    return m;
}

Measurement Measure(const SampleRuns& samples, double gain, double sampleRateHz) {
    Sums sums;
    for (const auto& run : samples.Runs) Accumulate(run, sums);
    Measurement m = MeasureSums(sums.Count, static_cast<std::int16_t>(sums.Min), static_cast<std::int16_t>(sums.Max), sums.Sum,
                                sums.SumOfSquares, gain);
    if (sums.Count == 0) return m;
    const double n = static_cast<double>(sums.Count);
    const __int128 spread = static_cast<__int128>(sums.Count) * sums.SumOfSquares -
                            static_cast<__int128>(sums.Sum) * sums.Sum;
    const double rawMean = static_cast<double>(sums.Sum) / n;
    const double rawStdDev = std::sqrt(static_cast<double>(spread)) / n;
    if (rawStdDev > 0) {
        CrossingCounter crossings(rawMean, rawStdDev / 4);
        for (const auto& run : samples.Runs) crossings.scan(run);
        if (const auto period = crossings.period()) m.FrequencyHz = sampleRateHz / *period;
    }
    return m;
}

Measurement Measure(std::span<const double> values, double sampleRateHz) {
    Measurement m;
    double sum = 0, squares = 0;
    m.Min = std::numeric_limits<double>::infinity();
    m.Max = -m.Min;
    for (const double v : values) {
        if (!std::isfinite(v)) continue;
        ++m.Count;
        sum += v;
        squares += v * v;
        m.Min = std::min(m.Min, v);
        m.Max = std::max(m.Max, v);
    }
    if (m.Count == 0) return Measurement{};
    const double n = static_cast<double>(m.Count);
    m.Mean = sum / n;
    m.Rms = std::sqrt(squares / n);
    m.PeakToPeak = m.Max - m.Min;
    // About the mean, in a second pass: no cancellation of two large sums.
    double spread = 0;
    for (const double v : values)
        if (std::isfinite(v)) spread += (v - m.Mean) * (v - m.Mean);
    m.StdDev = std::sqrt(spread / n);
    if (!(m.StdDev > 0)) return m;

    // Rising crossings of the mean with a hysteresis of a quarter of the deviation.
    const double rise = m.Mean + m.StdDev / 4, fall = m.Mean - m.StdDev / 4;
    bool armed = false;
    double previous = std::nan(""), first = 0, last = 0, intervalSquares = 0;
    std::int64_t count = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double v = values[i];
        if (!std::isfinite(v)) {
            previous = v;
            continue;
        }
        if (!armed && v < fall) armed = true;
        if (armed && v > rise) {
            // Interpolated between the samples around it, or at the first one after a gap.
            const double at = std::isfinite(previous) ? static_cast<double>(i) - 1 + (rise - previous) / (v - previous)
                                                      : static_cast<double>(i);
            if (count > 0) intervalSquares += (at - last) * (at - last);
            if (count == 0) first = at;
            last = at;
            ++count;
            armed = false;
        }
        previous = v;
    }
    if (count >= kMinCrossings) {
        const double intervals = static_cast<double>(count - 1);
        const double period = (last - first) / intervals;
        const double periodSpread = std::sqrt(std::max(0.0, intervalSquares / intervals - period * period));
        if (periodSpread <= kMaxPeriodSpread * period) m.FrequencyHz = sampleRateHz / period;
    }
    return m;
}

}  // namespace altrix
