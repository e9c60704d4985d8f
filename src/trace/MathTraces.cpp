#include "MathTraces.h"

#include "Readout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace altrix {

namespace {

// Values hold numbers and NaNs only (see MathExpression::Evaluate); a NaN never wins the
// comparison, so the loop needs no test of its own and vectorises.
double FullScaleOf(std::span<const double> values) {
    double largest = 0;
    for (const double v : values) {
        const double magnitude = std::abs(v);
        largest = largest < magnitude ? magnitude : largest;
    }
    if (!(largest > 0)) return 1;
    const double decade = std::pow(10.0, std::floor(std::log10(largest)));
    for (const double step : {1.0, 2.0, 5.0, 10.0})
        if (step * decade >= largest) return step * decade;
    return 10 * decade;
}

}  // namespace

bool MathTraces::Define(int m, const MathDefinition& definition) {
    Trace& trace = traces_[m - 1];
    if (trace.Definition == definition) return false;
    if (trace.Definition.Expression != definition.Expression) {
        trace.Error = definition.Expression.empty() ? std::nullopt : trace.Expression.Compile(definition.Expression);
        if (definition.Expression.empty()) trace.Expression = MathExpression();
        trace.Current = false;
    }
    trace.Definition = definition;
    return true;
}

std::vector<DataVector> MathTraces::VectorsOver(PositionStretch stretch, std::vector<std::string>& leftOut) const {
    std::vector<DataVector> vectors;
    for (int m = 1; m <= kMathCount; ++m) {
        if (!Shown(m)) continue;
        const std::span<const double> values = Values(m);
        const std::int64_t from = std::int64_t{stretch.First} - first_;
        const std::string label = MathLabel(m, Definition(m));
        if (stretch.empty() || from < 0 || from + stretch.count() > static_cast<std::int64_t>(values.size()))
            leftOut.push_back(label);
        else
            vectors.push_back({label, Definition(m).Expression,
                               values.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(stretch.count()))});
    }
    return vectors;
}

bool MathTraces::Shown(int m) const {
    const Trace& trace = traces_[m - 1];
    return trace.Definition.Enabled && trace.Expression.Valid();
}

void MathTraces::Follow(const void* storage, std::int32_t nextSample) {
    if (storage != storage_) {
        stale_ = true;
    } else {
        moved_ += (nextSample - nextSample_ + kTraceSlots) % kTraceSlots;
    }
    storage_ = storage;
    nextSample_ = nextSample;
}

void MathTraces::Update(const TraceSource& source, const std::array<std::string, 6>& gains) {
    const auto size = static_cast<std::size_t>(source.length());
    if (gains != gains_) {
        gains_ = gains;
        stale_ = true;
    }
    const bool whole = stale_ || over_ || moved_ >= static_cast<std::int64_t>(size);
    const auto moved = whole ? std::size_t{0} : static_cast<std::size_t>(moved_);
    stale_ = false;
    moved_ = 0;
    over_.reset();
    origin_ = 0;
    first_ = 0;
    leftOut_.clear();

    std::array<bool, kMathInputCount> needed{};
    for (int m = 1; m <= kMathCount; ++m)
        for (int n = 0; n < kMathInputCount; ++n) needed[n] = needed[n] || (Shown(m) && traces_[m - 1].Expression.Reads(n));
    for (int n = 0; n < kMathInputCount; ++n) {
        SlidingColumn& input = inputs_[n];
        if (input.size() != size) {
            input.Resize(size);
            inputCurrent_[n] = false;
        }
        if (!needed[n]) {
            inputCurrent_[n] = false;
            continue;
        }
        // The references and t stay by position; the channels move with the window.
        const bool channel = n < kChannelCount;
        std::size_t from = 0;
        if (inputCurrent_[n] && !whole) {
            if (!channel) continue;
            input.Shift(moved);
            from = size - moved;
        }
        const std::span<double> column = input.values();
        if (n == kMathTimeInput) {
            // A window's position x is at the Time readout's (x + 1) periods.
            for (std::size_t x = from; x < size; ++x) column[x] = static_cast<double>(x + 1) / source.sampleRateHz();
        } else {
            const ReadoutGain gain(gains_[n]);
            const WindowSamples samples = source.samples(n + 1);
            for (std::size_t x = from; x < size; ++x) column[x] = gain.Value(samples[static_cast<int>(x)]);
        }
        inputCurrent_[n] = true;
    }

    MathInputs in{{}, size, source.sampleRateHz()};
    for (int n = 0; n < kMathInputCount; ++n)
        if (needed[n]) in.Columns[n] = inputs_[n].values().data();
    for (int m = 1; m <= kMathCount; ++m) {
        Trace& trace = traces_[m - 1];
        if (!Shown(m)) {
            trace.Current = false;
            continue;
        }
        const bool positional = trace.Expression.Reads(4) || trace.Expression.Reads(5) ||
                                trace.Expression.Reads(kMathTimeInput);
        std::size_t from = 0;
        if (trace.Current && !whole && moved == 0) continue;
        if (trace.Current && !whole && !positional) {
            trace.Expression.Shift(size, moved);
            trace.Values.Shift(moved);
            from = size - moved;
        }
        trace.Values.Resize(size);
        trace.Expression.Evaluate(in, from, trace.Values.values());
        trace.Current = true;
        trace.FullScale = FullScaleOf(trace.Values.values());
    }
}

void MathTraces::UpdateOver(const TraceSource& source, PositionStretch stretch, const std::array<std::string, 6>& gains,
                            std::int32_t limit) {
    if (gains != gains_) {
        gains_ = gains;
        stale_ = true;
    }
    const double rate = source.sampleRateHz();
    std::array<bool, kMathInputCount> needed{};
    std::size_t history = 0;
    bool current = !stale_ && over_ == stretch;
    for (int m = 1; m <= kMathCount; ++m) {
        if (!Shown(m)) continue;
        const MathExpression& expression = traces_[m - 1].Expression;
        for (int n = 0; n < kMathInputCount; ++n) needed[n] = needed[n] || expression.Reads(n);
        history = std::max(history, expression.History(rate));
        current = current && traces_[m - 1].Current;
    }
    if (current) return;
    stale_ = false;
    over_ = stretch;
    const auto minutes = [rate](std::int64_t sets) {
        std::array<char, 32> text{};
        std::snprintf(text.data(), text.size(), "%.1f", double(sets) / rate / 60);
        return std::string(text.data());
    };
    const auto before = static_cast<std::int64_t>(std::min<std::size_t>(history, static_cast<std::size_t>(stretch.First)));
    leftOut_.clear();
    if (stretch.count() > limit)
        leftOut_ = "computed over views of at most " + minutes(limit) + " min; zoom in to see it";
    else if (before > limit)
        leftOut_ = "its functions over time read more than " + minutes(limit) +
                   " min before the view; a higher cut-off or a shorter time shows it";
    if (!leftOut_.empty() || stretch.empty()) {
        for (Trace& trace : traces_) {
            trace.Values.Resize(0);
            trace.Current = false;
        }
        origin_ = 0;
        first_ = stretch.First;
        return;
    }

    // The inputs from `before` sets ahead of the stretch, read `limit` sets at a time.
    const std::int64_t start = stretch.First - before;
    const auto size = static_cast<std::size_t>(stretch.Last - start + 1);
    for (int n = 0; n < kMathInputCount; ++n) {
        inputCurrent_[n] = false;
        if (!needed[n]) continue;
        SlidingColumn& input = inputs_[n];
        input.Resize(size);
        const std::span<double> column = input.values();
        if (n == kMathTimeInput) {
            for (std::size_t x = 0; x < size; ++x) column[x] = static_cast<double>(start + static_cast<std::int64_t>(x)) / rate;
            continue;
        }
        const ReadoutGain gain(gains_[n]);
        std::fill(column.begin(), column.end(), std::numeric_limits<double>::quiet_NaN());
        for (std::size_t x = 0; x < size; x += static_cast<std::size_t>(limit)) {
            const auto first = static_cast<std::int32_t>(start + static_cast<std::int64_t>(x));
            const std::int32_t last = std::min(stretch.Last, first + limit - 1);
            // A set not handed out (a failed read, a reference past its window) stays a gap.
            const SampleRuns runs = source.samplesOver(n + 1, {first, last});
            std::size_t at = x;
            for (const std::span<const std::int16_t> run : runs.Runs)
                for (const std::int16_t sample : run)
                    if (at < size) column[at++] = gain.Value(sample);
        }
    }

    origin_ = static_cast<std::size_t>(before);
    first_ = stretch.First;
    MathInputs in{{}, size, rate, origin_};
    for (int n = 0; n < kMathInputCount; ++n)
        if (needed[n]) in.Columns[n] = inputs_[n].values().data();
    for (int m = 1; m <= kMathCount; ++m) {
        Trace& trace = traces_[m - 1];
        trace.Current = false;
        if (!Shown(m)) continue;
        trace.Values.Resize(size);
        trace.Expression.Evaluate(in, 0, trace.Values.values());
        trace.Current = true;
        trace.FullScale = FullScaleOf(trace.Values.values().subspan(origin_));
    }
}

std::span<const double> MathTraces::Values(int m) const {
    const std::span<const double> values = traces_[m - 1].Values.values();
    return Shown(m) && traces_[m - 1].Current ? values.subspan(std::min(origin_, values.size())) : std::span<const double>();
}

}  // namespace altrix
