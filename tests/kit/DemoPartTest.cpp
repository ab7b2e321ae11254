// The demo part must be a proper solid, or its drawing would show seams instead of the part's lines.

#include "MeshChecks.h"
#include "kit/mesh/DemoPart.h"

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
}

} // namespace
