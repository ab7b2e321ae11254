// Welding by exact position: what joins, what stays apart, and that the table survives growth.

#include "kit/mesh/VertexWelder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using kvhlr::VertexWelder;

TEST(VertexWelder, JoinsExactlyCoincidentPointsOnly) {
    VertexWelder welder;
    EXPECT_EQ(welder.add(ON_3dPoint(1, 2, 3)), 0u);
    EXPECT_EQ(welder.add(ON_3dPoint(0.0, 0.0, 0.0)), 1u);
    EXPECT_EQ(welder.add(ON_3dPoint(1, 2, 3)), 0u);
    EXPECT_EQ(welder.add(ON_3dPoint(-0.0, 0.0, -0.0)), 1u) << "negative zero is the same coordinate";
    EXPECT_EQ(welder.add(ON_3dPoint(std::nextafter(1.0, 2.0), 2, 3)), 2u)
        << "one ulp apart is not coincident";
    EXPECT_EQ(welder.add(ON_3dPoint(3, 2, 1)), 3u) << "permuted coordinates are another point";
    ASSERT_EQ(welder.points().size(), 4u);
    EXPECT_EQ(welder.points()[0], ON_3dPoint(1, 2, 3));
}

TEST(VertexWelder, KeepsIndicesThroughGrowth) {
    VertexWelder welder;
    constexpr int side = 120; // 1.7 million points, many table rehashes
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j)
                for (int k = 0; k < side; ++k) {
                    const std::uint64_t expected = (std::uint64_t(i) * side + j) * side + k;
                    const std::uint64_t index = welder.add(ON_3dPoint(i * 0.1, j * 0.1, k * 0.1));
                    if (index != expected)
                        FAIL() << "pass " << pass << ": point " << expected << " got index " << index;
                }
    EXPECT_EQ(welder.points().size(), std::size_t(side) * side * side);
    EXPECT_EQ(welder.takePoints().size(), std::size_t(side) * side * side);
    EXPECT_EQ(welder.add(ON_3dPoint(0, 0, 0)), 0u) << "a welder starts over after handing its points out";
}

TEST(WeldTriangles, SharesCornersAndLeavesOutCollapsedTrianglesAndStrayVertices) {
    // A square as loose triangles, a sliver whose two corners coincide, and a vertex no triangle uses.
    const std::vector<ON_3dPoint> corners{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0},
                                          {0, 1, 0}, {5, 5, 5}, {5, 5, 5}, {6, 5, 5}, {9, 9, 9}};
    VertexWelder welder;
    std::vector<std::uint32_t> asked;
    auto positionOf = [&](std::uint32_t i) {
        asked.push_back(i);
        return corners[i];
    };
    const Kv::KvTriangleList triangles =
        kvhlr::weldTriangles(welder, corners.size(), positionOf, {{0, 1, 2}, {6, 7, 8}, {3, 4, 5}});
    EXPECT_EQ(std::count(asked.begin(), asked.end(), 9u), 0) << "an unused vertex is never looked at";
    ASSERT_EQ(triangles.size(), 2u);
    EXPECT_EQ(welder.points().size(), 4u);
    EXPECT_EQ(triangles[0][0], triangles[1][0]);
    EXPECT_EQ(triangles[0][2], triangles[1][1]);
    EXPECT_EQ(triangles[1][2], 3u);
}

} // namespace
