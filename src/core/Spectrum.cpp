#include "Spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace altrix {

namespace {

constexpr std::size_t kMinimumLength = 4;

}  // namespace

SpectrumAnalyzer::SpectrumAnalyzer() = default;

SpectrumAnalyzer::~SpectrumAnalyzer() {
    prepare(0);
}

void SpectrumAnalyzer::prepare(std::size_t length) {
    if (length == length_) return;
    if (plan_) fftw_destroy_plan(static_cast<fftw_plan>(plan_));
    fftw_free(input_);
    fftw_free(output_);
    plan_ = nullptr;
    input_ = nullptr;
    output_ = nullptr;
    length_ = length;
    window_.clear();
    if (length == 0) return;

    input_ = fftw_alloc_real(length);
    auto* output = fftw_alloc_complex(length / 2 + 1);
    output_ = output;
    // Estimated, not measured: a new stretch length must not stall the window.
    plan_ = fftw_plan_dft_r2c_1d(static_cast<int>(length), input_, output, FFTW_ESTIMATE);
    // The periodic Hann window; its coefficients sum to length / 2.
    window_.resize(length);
    for (std::size_t i = 0; i < length; ++i)
        window_[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(length));
}

bool SpectrumAnalyzer::start(std::size_t n) {
    if (n < kMinimumLength) {
        amplitudes_.clear();
        binHz_ = 0;
        return false;
    }
    prepare(n);
    return true;
}

void SpectrumAnalyzer::compute(const SampleRuns& samples, double gain, double sampleRateHz) {
    const std::size_t n = samples.size();
    if (!start(n)) return;

    std::int64_t sum = 0;
    for (const auto& run : samples.Runs) sum = std::accumulate(run.begin(), run.end(), sum);
    const double mean = static_cast<double>(sum) / static_cast<double>(n);
    double* in = input_;
    const double* w = window_.data();
    for (const auto& run : samples.Runs) {
        for (const std::int16_t s : run) *in++ = (s - mean) * *w++;
    }
    finish(n, gain, sampleRateHz);
}

void SpectrumAnalyzer::compute(std::span<const double> values, double sampleRateHz) {
    const std::size_t n = values.size();
    if (!start(n)) return;
    double sum = 0;
    std::size_t numbers = 0;
    for (const double v : values)
        if (std::isfinite(v)) {
            sum += v;
            ++numbers;
        }
    const double mean = numbers > 0 ? sum / static_cast<double>(numbers) : 0;
    for (std::size_t i = 0; i < n; ++i) input_[i] = std::isfinite(values[i]) ? (values[i] - mean) * window_[i] : 0;
    finish(n, 1, sampleRateHz);
}

void SpectrumAnalyzer::finish(std::size_t n, double gain, double sampleRateHz) {
    fftw_execute(static_cast<fftw_plan>(plan_));

    // A sine of amplitude A centred on bin k gives |X[k]| = A / 2 x sum(window) = A x n / 4.
    const auto* out = static_cast<const fftw_complex*>(output_);
    const std::size_t bins = n / 2 + 1;
    const double scale = 4.0 * gain / static_cast<double>(n);
    amplitudes_.resize(bins);
    for (std::size_t k = 0; k < bins; ++k)
        amplitudes_[k] = scale * std::sqrt(out[k][0] * out[k][0] + out[k][1] * out[k][1]);
    // DC and, for an even length, the Nyquist bin have no mirror image.
    amplitudes_[0] /= 2;
    if (n % 2 == 0) amplitudes_[bins - 1] /= 2;
    binHz_ = sampleRateHz / static_cast<double>(n);
}

std::optional<SpectrumPeak> SpectrumAnalyzer::peak() const {
    if (amplitudes_.size() < 2) return std::nullopt;
    const auto strongest = std::max_element(amplitudes_.begin() + 1, amplitudes_.end());
    const std::size_t k = static_cast<std::size_t>(strongest - amplitudes_.begin());
    const double top = *strongest;
    if (!(top > 0)) return std::nullopt;

    // On the Hann window's main lobe a sine delta bins beyond k gives the larger neighbour
    // the ratio a = (1 + delta) / (2 - delta) to bin k, so delta = (2a - 1) / (a + 1), and
    // bin k reads the amplitude x sinc(delta) / (1 - delta^2).
    const double left = amplitudes_[k - 1];
    const double right = k + 1 < amplitudes_.size() ? amplitudes_[k + 1] : 0.0;
    const double ratio = std::max(left, right) / top;
    const double offset = (2 * ratio - 1) / (ratio + 1);
    const double delta = right >= left ? offset : -offset;
    const double x = std::numbers::pi * delta;
    const double sinc = x == 0 ? 1.0 : std::sin(x) / x;
    return SpectrumPeak{(static_cast<double>(k) + delta) * binHz_, top * (1 - delta * delta) / sinc};
}

}  // namespace altrix
