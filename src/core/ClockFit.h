#pragma once
// ClockFit: where one drive's sample sets lie on the PC's monotonic clock, from the instants its
// blocks arrived. The drive's sample clock may run a few hundred ppm off its nominal 5000 sets a
// second, and every block reaches the PC late by a varying delay (the serial driver hands over
// bursts of blocks; the reader thread wakes late; now and then the link stalls). Arrivals are
// never early, so the drive's clock is the lower envelope of the arrivals, not their mean.
//
// Method. Blocks are grouped into windows of kWindowBlocks by their index; of each window only
// the block that arrived earliest against the current line is kept. That minimum ignores any
// number of late blocks in its window (a burst's early blocks wait for its last; a stall holds
// back a few dozen blocks), where a least-squares or reweighted fit over every block would be
// pulled by them or need their history. The rate comes from a least-squares line through the
// window minima of the segment (updated point by point, Welford's way, so constant memory and
// good conditioning over hours); its offset from the lowest of the last kEnvelopeWindows minima
// against that slope, so the line runs under the recent arrivals and touches the earliest.
// A window minimum far above the line (a stall longer than a window) does not enter the rate.
//
// Contracts. Block k holds sets 16k .. 16k + 15 and is sent once its last set is taken, so the
// fitted arrival of block k is the instant set 16k + 16 is taken, less the link's least delay
// (which no fit can see, and which all drives on like links share). Indices rise within a
// segment (a block at or before the newest is ignored); lost blocks simply leave gaps.
// NewSegment() starts afresh after a reconnect (the stream restarts, with a new offset), keeping
// the rate measured so far as a prior for the new segment's, since it belongs to the drive.
// Add is O(1), amortised over a window; nothing is allocated.

#include <array>
#include <cstdint>

#include "ScopeProtocol.h"

namespace altrix {

class ClockFit {
public:
    static constexpr double kNominalSetsPerSecond = 5000.0;
    static constexpr double kNominalBlockSeconds = kSetsPerBlock / kNominalSetsPerSecond;
    static constexpr std::int64_t kWindowBlocks = 256;  // about 0.8 s
    static constexpr int kEnvelopeWindows = 64;         // about 52 s

    // Block `blockIndex` (absolute, from the start of the stream) arrived at `arrivalSeconds`.
    void Add(std::int64_t blockIndex, double arrivalSeconds);
    // The stream starts again (a reconnect): its blocks no longer follow the old line.
    void NewSegment();

    // The instant set `setIndex` of the current segment was taken, in the arrivals' seconds;
    // NaN before the segment's first block. Accurate for sets of the last minutes; the line
    // is straight, so far older sets carry the rate's error times their age.
    double TimeOfSet(std::int64_t setIndex) const;
    // How fast the drive's clock runs against its nominal rate, in ppm; 0 until measured.
    double RatePpm() const;
    // Estimated error of TimeOfSet for the newest set, meant as a bound most cases keep (see
    // the .cpp for how often): the envelope's own bias (five times the RMS height of the recent
    // minima over the line, divided by their count) and three standard errors of the rate times
    // the distance from the envelope's touching point, added in quadrature. Infinite until the
    // segment has two fitted windows.
    double ErrorEstimateSeconds() const;

    std::int64_t WindowsFitted() const { return fitCount_; }
    std::int64_t WindowsRejected() const { return rejected_; }

private:
    struct Point {
        double X;  // blocks since the segment's first
        double Y;  // seconds since its arrival
        bool Fitted = true;  // not an outlier
    };

    void CloseWindow();
    bool HasOwnRate() const;       // enough minima in this segment for a rate of its own
    double OwnVariance() const;    // of this segment's least-squares slope
    double Slope() const;          // seconds a block, the best known
    double SlopeVariance() const;  // of Slope(); infinite when unknown
    double LineAt(double x) const;

    // The segment's origin.
    bool started_ = false;
    std::int64_t firstBlock_ = 0;
    double firstArrival_ = 0.0;
    double newestX_ = 0.0;

    // The open window and its earliest block so far.
    std::int64_t window_ = 0;
    Point windowMin_{};
    double windowMinResidual_ = 0.0;

    // Least squares through the fitted window minima (Welford).
    std::int64_t fitCount_ = 0;
    double meanX_ = 0.0, meanY_ = 0.0, cxx_ = 0.0, cxy_ = 0.0, cyy_ = 0.0;
    std::int64_t rejected_ = 0;

    // The rate of earlier segments: inverse-variance weighted with this segment's.
    double priorSlope_ = 0.0;
    double priorVariance_ = 0.0;  // 0: none

    // The last minima, the envelope line through the lowest (touch_) and the spread of the
    // fitted ones (outliers would widen the very bound that rejects them).
    std::array<Point, kEnvelopeWindows> recent_{};
    int recentCount_ = 0;
    int recentNext_ = 0;
    Point touch_{};
    double lineSlope_ = kNominalBlockSeconds;
    double spread_ = 0.0;
    int fittedRecent_ = 0;
};

}  // namespace altrix
