// The 2D index for "is any segment within reach of this point".

#include "checker/SegmentGrid.h"

#include <gtest/gtest.h>

#include <random>

namespace kvcheck {
namespace {

TEST(SegmentGrid, AgreesWithAskingEverySegment) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(0, 10), offset(-1.5, 1.5);
    const Box2 frame{{-1, -1}, {11, 11}};
    const double reach = 0.05;
    SegmentGrid grid(frame, reach);
    std::vector<std::pair<Vec2, Vec2>> segments;
    for (int i = 0; i < 300; ++i) {
        const Vec2 a{coordinate(random), coordinate(random)};
        // Short and long segments, and points.
        const Vec2 b = i % 3 == 0   ? a
                       : i % 3 == 1 ? a + Vec2{offset(random), offset(random)}
                                    : Vec2{coordinate(random), coordinate(random)};
        segments.emplace_back(a, b);
        grid.add(a, b);
    }
    grid.finish();
    int near = 0;
    for (int i = 0; i < 20000; ++i) {
        const Vec2 p{coordinate(random), coordinate(random)};
        bool expected = false;
        for (const auto& [a, b] : segments) {
            double at = 0;
            expected = expected || distanceToSegment(p, a, b, at) <= reach;
        }
        near += expected;
        ASSERT_EQ(grid.anyWithin(p), expected) << p.x << " " << p.y;
    }
    EXPECT_GT(near, 1000); // the comparison covered both answers
}

} // namespace
} // namespace kvcheck
