// Gap bands per pixel column: hand-worked views of a few stretches, and many stretches against
// a plain check of every column.

#include <gtest/gtest.h>

#include "GapBands.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace altrix {
namespace {

using Bands = std::vector<std::pair<double, double>>;

TEST(GapBandsTest, ColumnsHoldingAnyPartOfAStretchMakeOneBandARun) {
    // A view of 0..100 on 10 columns of 10.
    const struct { const char* name; Bands stretches; int minColumns; Bands bands; } cases[] = {
        {"none", {}, 1, {}},
        {"two columns", {{15, 24}}, 1, {{10, 30}}},
        {"one set widened to three columns", {{15, 15}}, 3, {{0, 30}}},
        {"widened by one to the right", {{15, 24}}, 3, {{10, 40}}},
        {"from before the view", {{-50, 5}}, 1, {{0, 10}}},
        {"to beyond the view", {{95, 300}}, 1, {{90, 100}}},
        {"beyond the view", {{200, 300}}, 1, {}},
        {"two in one column", {{12, 13}, {16, 17}}, 1, {{10, 20}}},
        {"in columns side by side", {{12, 13}, {25, 26}}, 1, {{10, 30}}},
        {"apart", {{12, 13}, {45, 46}}, 1, {{10, 20}, {40, 50}}},
        {"overlapping, out of order", {{50, 60}, {10, 55}}, 1, {{10, 70}}},
        {"widened until they meet", {{15, 15}, {45, 45}}, 3, {{0, 60}}},
        {"on a column's edge", {{19.5, 20}}, 1, {{10, 30}}},
    };
    for (const auto& c : cases) {
        Bands out;
        BandsInView(JoinStretches(c.stretches), 0, 100, 10, c.minColumns, out);
        EXPECT_EQ(out, c.bands) << c.name;
    }
}

TEST(GapBandsTest, ManyStretchesCoverTheColumnsAPlainCheckFinds) {
    // 300,000 stretches of 50 sets every 480 sets over 144 M sets (8 hours), and every 7th
    // dropped so that some columns stay clear when zoomed in.
    Bands stretches;
    for (std::int64_t i = 0; i < 300'000; ++i)
        if (i % 7 != 3) stretches.emplace_back(double(i * 480), double(i * 480 + 49));
    const Bands joined = JoinStretches(stretches);
    const struct { double lower, upper; int columns; } views[] = {
        {0, 144e6, 1920}, {1000, 1000 + 1920 * 40.0, 1920}, {-500, 3000, 700}, {143.9e6, 144.1e6, 1000}, {5e6, 5e6 + 1333, 1333},
    };
    for (const auto& v : views) {
        const double w = (v.upper - v.lower) / v.columns;
        // A column is covered when the first stretch ending in it or after starts before its end
        // (the stretches made above are in order and apart).
        std::vector<bool> covered(static_cast<std::size_t>(v.columns), false);
        for (int c = 0; c < v.columns; ++c) {
            const auto s = std::find_if(std::lower_bound(stretches.begin(), stretches.end(), std::pair{v.lower + c * w - 50, 0.0}),
                                        stretches.end(), [&](const auto& r) { return r.second >= v.lower + c * w; });
            covered[static_cast<std::size_t>(c)] = s != stretches.end() && s->first < v.lower + (c + 1) * w;
        }
        Bands expected;
        for (int c = 0; c < v.columns; ++c) {
            if (!covered[static_cast<std::size_t>(c)]) continue;
            if (c > 0 && covered[static_cast<std::size_t>(c - 1)])
                expected.back().second = v.lower + (c + 1) * w;
            else
                expected.emplace_back(v.lower + c * w, v.lower + (c + 1) * w);
        }
        Bands out;
        BandsInView(joined, v.lower, v.upper, v.columns, 1, out);
        ASSERT_EQ(out.size(), expected.size()) << v.lower;
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_DOUBLE_EQ(out[i].first, expected[i].first) << v.lower << " band " << i;
            EXPECT_DOUBLE_EQ(out[i].second, expected[i].second) << v.lower << " band " << i;
        }
    }
}

}  // namespace
}  // namespace altrix
