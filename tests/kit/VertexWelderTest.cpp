// Welding by exact position: what joins, what stays apart, that the table survives growth, and that
// welding on several threads numbers the points as one welder does.

#include "kit/mesh/VertexWelder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

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

// Points and triangles as text, coordinates exact (the sign of zero too).
std::string described(const Kv::KvPointList& points, const Kv::KvTriangleList& triangles) {
    std::string text;
    char number[40];
    for (const ON_3dPoint& p : points) {
        std::snprintf(number, sizeof number, "%a %a %a,", p.x, p.y, p.z);
        text += number;
    }
    for (const auto& t : triangles)
        text += std::to_string(t[0]) + " " + std::to_string(t[1]) + " " + std::to_string(t[2]) + ",";
    return text;
}

TEST(WeldInParallel, NumbersPointsAsTheWelderDoesOnAnyNumberOfThreads) {
    // Few positions for many vertices, negative zero beside zero, triangles that collapse, and vertices
    // that no triangle uses.
    constexpr std::uint32_t n = 3000;
    std::vector<float> xyz;
    for (std::uint32_t i = 0; i < n; ++i)
        xyz.insert(xyz.end(), {float(i % 7), i % 10 == 5 ? -0.0f : float(i % 5), float(i % 3)});
    std::vector<std::array<std::uint32_t, 3>> triangles;
    for (std::uint32_t i = 0; i < n / 2; ++i)
        triangles.push_back({i, i % 4 == 0 ? i + 105 : (7 * i + 1) % n, (13 * i + 2) % n}); // 105: one period
    kvhlr::VertexWelder welder;
    const Kv::KvTriangleList expected = kvhlr::weldTriangles(
        welder, n, [&](std::uint32_t v) { return ON_3dPoint(xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]); },
        triangles);
    ASSERT_LT(expected.size(), triangles.size()) << "some triangles collapse";
    const kvhlr::FloatVertices vertices{reinterpret_cast<const char*>(xyz.data()), 36, n};
    for (unsigned threads : {1u, 2u, 3u, 5u}) {
        const auto welded =
            kvhlr::weldInParallel(vertices, triangles.data(), triangles.size(), 10, threads, [](double) {});
        ASSERT_TRUE(welded.has_value());
        EXPECT_EQ(described(welded->points, welded->triangles), described(welder.points(), expected))
            << threads << " threads";
    }
    xyz.insert(xyz.end(), {0.0f, NAN, 0.0f});
    EXPECT_FALSE(kvhlr::weldInParallel({reinterpret_cast<const char*>(xyz.data()), 36, n + 1},
                                       triangles.data(), triangles.size(), 10, 2, [](double) {}))
        << "a vertex that is not finite, though unused";
}

} // namespace
