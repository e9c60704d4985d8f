#include <gtest/gtest.h>

#include "Decimation.h"

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

}  // namespace
}  // namespace altrix
