// Real dash pieces: lengths, gaps, the pattern running on around corners, and curves cut along them.

#include "kit/sheet/Dashes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace kvhlr;

double length(const std::vector<ON_2dPoint>& piece) {
    double sum = 0;
    for (std::size_t i = 1; i < piece.size(); ++i)
        sum += std::hypot(piece[i].x - piece[i - 1].x, piece[i].y - piece[i - 1].y);
    return sum;
}

TEST(Dashes, StraightLineAlternatesDashesAndGaps) {
    const auto dashes = dashPolyline({{0, 0}, {10, 0}}, {2, 1});
    // Dashes at 0-2, 3-5, 6-8, 9-10 (the last one cut by the line's end).
    ASSERT_EQ(dashes.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(dashes[i].front().x, 3.0 * i);
        EXPECT_DOUBLE_EQ(length(dashes[i]), 2.0);
    }
    EXPECT_DOUBLE_EQ(dashes[3].front().x, 9.0);
    EXPECT_DOUBLE_EQ(dashes[3].back().x, 10.0);
}

TEST(Dashes, PatternRunsOnAcrossVertices) {
    // Segments of 1.5 along x, then up: the first dash (length 2) turns the corner and keeps it; the
    // many short segments of the staircase do not restart the pattern.
    std::vector<ON_2dPoint> points{{0, 0}, {1.5, 0}, {1.5, 4}};
    auto dashes = dashPolyline(points, {2, 1});
    ASSERT_EQ(dashes[0].size(), 3u);
    EXPECT_DOUBLE_EQ(dashes[0][1].x, 1.5);
    EXPECT_DOUBLE_EQ(dashes[0][2].y, 0.5);
    EXPECT_DOUBLE_EQ(dashes[1][0].y, 1.5);

    std::vector<ON_2dPoint> staircase;
    for (int i = 0; i <= 90; ++i)
        staircase.emplace_back(0.1 * i, 0.0); // a straight line split into 90 short segments
    dashes = dashPolyline(staircase, {2, 1});
    ASSERT_EQ(dashes.size(), 3u);
    EXPECT_NEAR(length(dashes[0]), 2.0, 1e-9);
    EXPECT_NEAR(dashes[1].front().x, 3.0, 1e-9);
    EXPECT_NEAR(dashes[2].front().x, 6.0, 1e-9);
    EXPECT_NEAR(length(dashes[2]), 2.0, 1e-9);
}

TEST(Dashes, DegenerateInputs) {
    EXPECT_TRUE(dashPolyline({}, {1, 1}).empty());
    EXPECT_TRUE(dashPolyline({{1, 1}}, {1, 1}).empty()) << "a single point has no length to dash";
    EXPECT_EQ(dashPolyline({{0, 0}, {5, 0}}, {0, 1}).size(), 1u) << "no pattern: the line stays whole";
    // A pattern far too fine for the line leaves it whole instead of cutting it into countless dashes.
    EXPECT_EQ(dashPolyline({{0, 0}, {1e20, 0}}, {1e-3, 1e-3}).size(), 1u);
}

// Real dash pieces of a curve follow it: cut from points along it no farther than 0.005 mm apart from it.
TEST(Dashes, CurvesOfADashedLayerAreCutAlongThem) {
    Page page;
    PageLayer& hidden = page.layers.emplace_back();
    hidden.pen.dashMm = {2, 1};
    hidden.curves = {{{0, 0}, 20, 5, 0.3, 0, 2 * M_PI}};
    cutDashes(page);
    const PageLayer& layer = page.layers[0];
    EXPECT_TRUE(layer.curves.empty() && layer.pen.dashMm.empty());
    ASSERT_GT(layer.polylines.size(), 20u);
    for (const std::vector<PagePoint>& dash : layer.polylines)
        for (std::size_t i = 1; i < dash.size(); ++i) {
            // The middle of each piece, turned back and scaled to the unit circle, lies on it.
            const double mx = (dash[i].x + dash[i - 1].x) / 2, my = (dash[i].y + dash[i - 1].y) / 2;
            const double x = std::cos(0.3) * mx + std::sin(0.3) * my, y = -std::sin(0.3) * mx + std::cos(0.3) * my;
            EXPECT_NEAR(std::hypot(x / 20, y / 5), 1.0, 0.005 / 5);
        }
}

} // namespace
