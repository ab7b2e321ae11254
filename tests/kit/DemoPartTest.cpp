// The demo part must be a proper solid, or its drawing would show seams instead of the part's lines.

#include "kit/DemoPart.h"
#include "MeshChecks.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(DemoPart, IsOneClosedOutwardWoundSolid) {
    const std::vector<kvhlr::MeshPart> parts = kvhlr::demoPart();
    ASSERT_EQ(parts.size(), 1u);
    ASSERT_EQ(parts[0].faces.size(), 1u);
    const Kv::KvPointList& points = parts[0].points;
    const Kv::KvTriangleList& triangles = parts[0].faces[0];
    EXPECT_GT(triangles.size(), 1000u);
    EXPECT_TRUE(kvhlrtest::closedAndConsistent(triangles));
    // Plate 120 x 12 x 120 minus four holes, plus the boss: well inside (120*120*12, 120*120*36).
    const double volume = kvhlrtest::signedVolume6(points, triangles) / 6.0;
    EXPECT_GT(volume, 120.0 * 120 * 12 * 0.9);
    EXPECT_LT(volume, 120.0 * 120 * 12 * 1.2);
    double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9};
    for (const ON_3dPoint& p : points) {
        const double c[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
            lo[i] = std::min(lo[i], c[i]);
            hi[i] = std::max(hi[i], c[i]);
        }
    }
    EXPECT_DOUBLE_EQ(lo[0], -60);
    EXPECT_DOUBLE_EQ(hi[0], 60);
    EXPECT_DOUBLE_EQ(lo[1], 0);
    EXPECT_DOUBLE_EQ(hi[1], 36) << "the boss rises above the plate, y up";
    EXPECT_DOUBLE_EQ(lo[2], -60);
    EXPECT_DOUBLE_EQ(hi[2], 60);
}

} // namespace
