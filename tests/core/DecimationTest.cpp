#include <gtest/gtest.h>

#include "Decimation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace altrix {
namespace {

struct Point {
    double x;
    double y;
    bool operator==(const Point&) const = default;
};
using Points = std::vector<Point>;

auto Into(Points& points) {
    return [&points](double x, double y) { points.push_back({x, y}); };
}

// A sample per index that differs between neighbours and takes both signs.
std::int16_t Pattern(int index) {
    return static_cast<std::int16_t>((index * 37) % 60001 - 30000);
}

TEST(Decimation, StridesAndClosingPointsOfChannelsAndReferences) {
    struct Row {
        std::int32_t pointCount;
        int stride, channelPoints, referencePoints;
    };
    const Row table[] = {{20000, 5, 20001, 20001}, {6500, 15, 6668, 6668}, {100000, 1, 99999, 100001}};
    auto trace = std::make_unique<ChannelSamples>();
    for (int slot = 0; slot < kTraceSlots; ++slot) (*trace)[slot] = Pattern(slot);
    auto reference = std::make_unique<ReferenceSamples>();
    for (int x = 0; x < kWindowPositions; ++x) (*reference)[x] = Pattern(x + 7);
    const std::int32_t next = 12345;  // the window wraps round the ring
    for (const Row& row : table) {
        Points channel, shown, hidden;
        PickChannelPoints(ChannelWindow(*trace, next), row.pointCount, 1.0f, Into(channel));
        PickReferencePoints(ReferenceWindow(*reference), row.pointCount, 1.0f, true, Into(shown));
        PickReferencePoints(ReferenceWindow(*reference), row.pointCount, 1.0f, false, Into(hidden));
        ASSERT_EQ(channel.size(), static_cast<std::size_t>(row.channelPoints)) << row.pointCount;
        ASSERT_EQ(shown.size(), static_cast<std::size_t>(row.referencePoints)) << row.pointCount;
        for (std::size_t i = 0; i + 1 < channel.size(); ++i) {
            const int x = static_cast<int>(i) * row.stride;
            ASSERT_EQ(channel[i], (Point{double(x), double(Pattern(SlotOfPosition(next, x)))})) << row.pointCount;
        }
        for (std::size_t i = 0; i + 1 < shown.size(); ++i) {
            const int x = static_cast<int>(i) * row.stride;
            ASSERT_EQ(shown[i], (Point{double(x), double(Pattern(x + 7))})) << row.pointCount;
        }
        // Stride 1 ends a channel at 99998, any other closes it with the newest slot at 99999;
        // a reference always closes at 99999, shown or not.
        const int last = row.stride == 1 ? 99998 : 99999;
        EXPECT_EQ(channel.back(), (Point{double(last), double(Pattern(SlotOfPosition(next, last)))}));
        EXPECT_EQ(shown.back(), (Point{99999, double(Pattern(99999 + 7))}));
        EXPECT_EQ(hidden, Points{shown.back()});
    }
}

// Window positions 0..59, stored in two runs that meet at 23, inside a column.
class Envelope : public ::testing::Test {
protected:
    static constexpr int kSize = 60;
    Points envelope(const ColumnView& view, float scale = 1.0f) const {
        const std::span<const std::int16_t> all(samples_);
        Points points;
        EnvelopePoints(WindowSamples{all.first(23), all.subspan(23)}, view, scale, Into(points));
        return points;
    }
    std::array<std::int16_t, kSize> samples_{};
};

TEST_F(Envelope, ASpikeAnywhereInTheViewOrBesideItAppearsInItsColumn) {
    struct Case {
        ColumnView view;
        int first, last;  // the positions drawn: the view's and the nearest one beyond each edge
    };
    const Case table[] = {
        {{0, 59, 7}, 0, 59},        // the whole window; 59 lies on the right edge
        {{10.5, 40.2, 5}, 10, 41},  // inside the window
        {{-20, 80, 9}, 0, 59},      // zoomed out: the outer columns hold nothing
        {{30, 33, 2}, 29, 33},
    };
    for (const Case& row : table) {
        const ColumnView& view = row.view;
        const double width = (view.right - view.left) / view.columns;
        for (int p = 0; p < kSize; ++p) {
            // Plotted at half scale: 1001 and -1001 truncate toward zero to 500 and -500.
            for (const std::int16_t spike : {1001, -1001}) {
                samples_.fill(0);
                samples_[p] = spike;
                const Points points = envelope(view, 0.5f);
                SCOPED_TRACE(::testing::Message() << view.left << ".." << view.right << ": " << spike << " at " << p);
                // Ascending positions, at most two in a pixel column or beyond an edge.
                std::vector<int> perColumn(view.columns + 2);
                for (std::size_t i = 0; i < points.size(); ++i) {
                    const double x = points[i].x;
                    ASSERT_TRUE(i == 0 || points[i - 1].x < x);
                    const int column = x < view.left    ? -1
                                       : x >= view.right ? view.columns
                                                         : std::min(int((x - view.left) / width), view.columns - 1);
                    ASSERT_LE(++perColumn[column + 1], 2);
                }
                const bool drawn = std::count(points.begin(), points.end(), Point{double(p), double(spike / 2)}) == 1;
                EXPECT_EQ(drawn, p >= row.first && p <= row.last);
                // With samples beyond both edges, the trace runs through them.
                if (view.left > 0 && view.right < kSize - 1) {
                    EXPECT_EQ(points.front().x, row.first);
                    EXPECT_EQ(points.back().x, row.last);
                }
            }
        }
    }
}

TEST_F(Envelope, AViewNarrowerThanItsColumnsIsThePlainLine) {
    for (int p = 0; p < kSize; ++p) samples_[p] = Pattern(p);
    Points every;
    for (int p = 9; p <= 31; ++p) every.push_back({double(p), double(Pattern(p))});
    EXPECT_EQ(envelope({10, 30.5, 1000}), every);
    EXPECT_EQ(envelope({10, 30.5, 21}), every);  // columns just under one sample wide
    EXPECT_TRUE(envelope({10, 10, 1000}).empty());
    EXPECT_TRUE(envelope({std::numeric_limits<double>::quiet_NaN(), 30, 1000}).empty());
    EXPECT_TRUE(envelope({-std::numeric_limits<double>::infinity(), 30, 1000}).empty());
}

}  // namespace
}  // namespace altrix
