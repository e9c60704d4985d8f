#pragma once
// The views a chart left, newest last, for stepping back through them. A view is the range of
// each of the chart's four axes (bottom, left, top, right). Whoever owns the view owns this;
// the chart only records and replays it.

#include <array>
#include <optional>
#include <vector>

namespace altrix {

struct AxisSpan {
    double Lower = 0;
    double Upper = 0;
    bool operator==(const AxisSpan&) const = default;
};
using AxisSpans = std::array<AxisSpan, 4>;

class ZoomHistory {
public:
    static constexpr int kMaxDepth = 100;

    // Keeps a view left; the oldest is forgotten beyond kMaxDepth.
    void Keep(const AxisSpans& view) {
        if (static_cast<int>(views_.size()) == kMaxDepth) views_.erase(views_.begin());
        views_.push_back(view);
    }
    // The view left last, taken off the history; none when empty.
    std::optional<AxisSpans> Back() {
        if (views_.empty()) return std::nullopt;
        const AxisSpans view = views_.back();
        views_.pop_back();
        return view;
    }
    void Clear() { views_.clear(); }
    int Depth() const { return static_cast<int>(views_.size()); }

private:
    std::vector<AxisSpans> views_;
};

}  // namespace altrix
