#pragma once
// The amplitude spectrum of a trace over a stretch, through FFTW3. The one module of the
// core that uses FFTW.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "Stretch.h"

namespace altrix {

struct SpectrumPeak {
    double FrequencyHz = 0;
    double Amplitude = 0;
};

// Holds an FFTW plan and its buffers for one length and makes them again only when the
// length changes, so that repeated spectra of a stretch allocate nothing. One thread.
class SpectrumAnalyzer {
public:
    SpectrumAnalyzer();
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer&) = delete;
    SpectrumAnalyzer& operator=(const SpectrumAnalyzer&) = delete;

    // The one-sided spectrum of `samples` x `gain` with the mean removed and a Hann window:
    // bin k lies at k x sampleRateHz / n and holds an amplitude scaled so that a sine centred
    // on a bin reads its peak amplitude. Fewer than 4 samples give no bins.
    void compute(const SampleRuns& samples, double gain, double sampleRateHz);
    // The same of values in units (a math trace's); values that are no numbers count as the
    // mean of the others.
    void compute(std::span<const double> values, double sampleRateHz);

    // n / 2 + 1 bins of the last compute, DC first.
    std::span<const double> amplitudes() const { return amplitudes_; }
    double binHz() const { return binHz_; }
    // The strongest bin above DC with its frequency and amplitude interpolated from its
    // larger neighbour (exact for a lone sine on the Hann window's main lobe).
    std::optional<SpectrumPeak> peak() const;

private:
    void prepare(std::size_t length);
    // Prepared for n samples, or no bins for fewer than 4.
    bool start(std::size_t n);
    // The spectrum of the windowed input, scaled by gain.
    void finish(std::size_t n, double gain, double sampleRateHz);

    std::size_t length_ = 0;
    double* input_ = nullptr;
    void* output_ = nullptr;  // fftw_complex[length / 2 + 1]
    void* plan_ = nullptr;    // fftw_plan
    std::vector<double> window_;
    std::vector<double> amplitudes_;
    double binHz_ = 0;
};

}  // namespace altrix
