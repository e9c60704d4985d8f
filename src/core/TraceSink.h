#pragma once
// Where the display's points go: numbered line series that are refilled in place, grey bands
// behind them, and the repaint that shows them. A chart implements it; tests record it.

#include <span>
#include <utility>

namespace altrix {

// Takes the points of one series, in ascending x.
class SeriesPoints {
public:
    virtual void add(double x, double y) = 0;

protected:
    ~SeriesPoints() = default;
};

class TraceSink {
public:
    // Empties series `number` and returns where its new points go, valid until the next call.
    virtual SeriesPoints& refill(int number) = 0;
    // Grey bands over the bottom-axis ranges [first, last]; replaces the bands shown before.
    virtual void setBands(std::span<const std::pair<double, double>> ranges) = 0;
    // Draws what was refilled: at once, or queued so that several changes repaint once.
    virtual void redraw(bool queued) = 0;

protected:
    ~TraceSink() = default;
};

}  // namespace altrix
