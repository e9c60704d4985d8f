#pragma once
// A TraceSink that keeps every series' points as the display hands them over, and the samples
// the drawing tests fill traces with. Bound to a display, the sink paints as the chart does: a
// repaint asked for at once lets the display recount before the series are drawn; a queued one
// waits for paint().

#include "ScopeDisplay.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace altrix::testing {

// A sample per slot that differs between neighbours and takes both signs.
inline std::int16_t Pattern(int index) {
    return static_cast<std::int16_t>((index * 37) % 60001 - 30000);
}

using Point = std::pair<double, double>;

class RecordingSink final : public TraceSink {
public:
    RecordingSink() = default;
    explicit RecordingSink(ScopeDisplay& display) : display_(&display) {}

    SeriesPoints& refill(int number) override {
        points_.target = &series[number];
        points_.target->clear();
        return points_;
    }
    void setBands(std::span<const std::pair<double, double>>) override {}
    void redraw(bool queued) override {
        if (!queued) paint();
    }
    // The chart's paint: the display's before-draw handler, then the series as they are.
    void paint() {
        ++paints;
        if (display_) display_->BeforeDrawSeries();
    }

    std::map<int, std::vector<Point>> series;
    int paints = 0;

private:
    struct Appender final : SeriesPoints {
        void add(double x, double y) override { target->emplace_back(x, y); }
        std::vector<Point>* target = nullptr;
    } points_;
    ScopeDisplay* display_ = nullptr;
};

}  // namespace altrix::testing
