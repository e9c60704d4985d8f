#include "ClockFit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace altrix {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A window minimum this far above the envelope is a stall, not the clock: at least 20 ms
// (well above any read jitter) and six times the recent minima's spread.
constexpr double kOutlierFloorSeconds = 0.020;
constexpr double kOutlierSpreads = 6.0;
// Minima fitted before outliers are told apart, and before the segment's own rate counts.
constexpr std::int64_t kTrustedWindows = 8;
constexpr std::int64_t kRateWindows = 3;
// Without any measured rate, the nominal one is trusted to this (the drive's crystal).
constexpr double kUnknownRateFraction = 500e-6;
// The error estimate: the envelope's bias as this share of the minima's RMS height over the
// line per minimum, and this many standard errors of the rate. Measured over generated streams
// (bursts of 1 to 128 blocks, 1 to 16 ms late, -150 to +200 ppm), the error stayed within the
// estimate in 95 % of the checks of the first two minutes and in 99 % after.
constexpr double kSpreadShare = 5.0;
constexpr double kRateSigmas = 3.0;
// Keeps a noise-free fit's variance above zero, so weights stay finite.
constexpr double kVarianceFloor = 1e-30;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

void ClockFit::Add(std::int64_t blockIndex, double arrivalSeconds) {
    if (!started_) {
        started_ = true;
        firstBlock_ = blockIndex;
        firstArrival_ = arrivalSeconds;
        newestX_ = 0.0;
        window_ = FloorDiv(blockIndex, kWindowBlocks);
        windowMin_ = {0.0, 0.0};
        windowMinResidual_ = 0.0;
        return;
    }
    const double x = static_cast<double>(blockIndex - firstBlock_);
    if (!(x > newestX_)) return;
    const double y = arrivalSeconds - firstArrival_;
    const std::int64_t window = FloorDiv(blockIndex, kWindowBlocks);
    if (window != window_) {
        CloseWindow();
        window_ = window;
        windowMinResidual_ = kInfinity;
    }
    newestX_ = x;
    const double residual = y - lineSlope_ * x;
    if (residual < windowMinResidual_) {
        windowMinResidual_ = residual;
        windowMin_ = {x, y};
    }
}

void ClockFit::CloseWindow() {
    Point p = windowMin_;
    const bool outlier = fitCount_ >= kTrustedWindows &&
                         p.Y - LineAt(p.X) > std::max(kOutlierFloorSeconds, kOutlierSpreads * spread_);
    p.Fitted = !outlier;
    if (outlier) {
        ++rejected_;
    } else {
        ++fitCount_;
        const double n = static_cast<double>(fitCount_);
        const double dx = p.X - meanX_;
        const double dy = p.Y - meanY_;
        meanX_ += dx / n;
        meanY_ += dy / n;
        cxx_ += dx * (p.X - meanX_);
        cxy_ += dx * (p.Y - meanY_);
        cyy_ += dy * (p.Y - meanY_);
    }
    recent_[static_cast<std::size_t>(recentNext_)] = p;
    recentNext_ = (recentNext_ + 1) % kEnvelopeWindows;
    recentCount_ = std::min(recentCount_ + 1, kEnvelopeWindows);

    lineSlope_ = Slope();
    touch_ = recent_[0];
    for (int i = 1; i < recentCount_; ++i) {
        const Point& q = recent_[static_cast<std::size_t>(i)];
        if (q.Y - lineSlope_ * q.X < touch_.Y - lineSlope_ * touch_.X) touch_ = q;
    }
    double sum = 0.0;
    int fitted = 0;
    for (int i = 0; i < recentCount_; ++i) {
        const Point& q = recent_[static_cast<std::size_t>(i)];
        if (!q.Fitted) continue;
        const double height = q.Y - LineAt(q.X);
        sum += height * height;
        ++fitted;
    }
    spread_ = fitted > 0 ? std::sqrt(sum / fitted) : 0.0;
    fittedRecent_ = fitted;
}

void ClockFit::NewSegment() {
    if (fitCount_ >= kRateWindows) {
        priorSlope_ = Slope();
        priorVariance_ = SlopeVariance();
    }
    const double prior = priorSlope_;
    const double priorVariance = priorVariance_;
    const std::int64_t rejected = rejected_;
    *this = ClockFit{};
    priorSlope_ = prior;
    priorVariance_ = priorVariance;
    rejected_ = rejected;
    lineSlope_ = Slope();
}

bool ClockFit::HasOwnRate() const { return fitCount_ >= kRateWindows && cxx_ > 0.0; }

double ClockFit::OwnVariance() const {
    const double residual = std::max(cyy_ - cxy_ * cxy_ / cxx_, 0.0) / static_cast<double>(fitCount_ - 2);
    return std::max(residual / cxx_, kVarianceFloor);
}

double ClockFit::Slope() const {
    const bool prior = priorVariance_ > 0.0;
    if (!HasOwnRate()) return prior ? priorSlope_ : kNominalBlockSeconds;
    const double slope = cxy_ / cxx_;
    if (!prior) return slope;
    return SlopeVariance() * (slope / OwnVariance() + priorSlope_ / priorVariance_);
}

double ClockFit::SlopeVariance() const {
    const bool prior = priorVariance_ > 0.0;
    if (!HasOwnRate()) return prior ? priorVariance_ : kInfinity;
    return prior ? 1.0 / (1.0 / OwnVariance() + 1.0 / priorVariance_) : OwnVariance();
}

double ClockFit::LineAt(double x) const {
    const Point& through = recentCount_ > 0 ? touch_ : windowMin_;
    return through.Y + lineSlope_ * (x - through.X);
}

double ClockFit::TimeOfSet(std::int64_t setIndex) const {
    if (!started_) return std::numeric_limits<double>::quiet_NaN();
    // Set s is taken as block s / 16 - 1 arrives (see the header).
    const double x = static_cast<double>(setIndex - kSetsPerBlock * (firstBlock_ + 1)) / kSetsPerBlock;
    return firstArrival_ + LineAt(x);
}

double ClockFit::RatePpm() const {
    if (fitCount_ < kRateWindows && !(priorVariance_ > 0.0)) return 0.0;
    return (kNominalBlockSeconds / Slope() - 1.0) * 1e6;
}

double ClockFit::ErrorEstimateSeconds() const {
    if (!started_ || fittedRecent_ < 2) return kInfinity;
    const double bias = kSpreadShare * spread_ / fittedRecent_;
    double variance = SlopeVariance();
    if (std::isinf(variance)) variance = std::pow(kUnknownRateFraction * kNominalBlockSeconds, 2);
    const double distance = newestX_ - touch_.X;
    return std::sqrt(bias * bias + kRateSigmas * kRateSigmas * variance * distance * distance);
}

}  // namespace altrix
