// Arcs fitted to a page's polylines: round stretches become arcs and whole circles, corners and straight
// runs stay lines, and whole circles get centre marks on their view's centre layer.

#include "kit/InputError.h"
#include "kit/sheet/ArcFit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace kvhlr;

std::vector<PagePoint> arc(PagePoint centre, double radius, double from, double to, int pieces) {
    std::vector<PagePoint> points;
    for (int i = 0; i <= pieces; ++i) {
        const double t = from + (to - from) * i / pieces;
        points.push_back({centre.x + radius * std::cos(t), centre.y + radius * std::sin(t)});
    }
    return points;
}

// A slot: two straight sides and two half circles of 16 pieces each, clockwise; then shapes that are no
// arcs: a square, hexagons (their corners turn by 60 degrees), a straight line of many pieces, a zigzag.
TEST(ArcFit, RoundStretchesBecomeArcsAndCornersStayLines) {
    std::vector<PagePoint> slot = arc({0, 0}, 5, 1.5 * M_PI, 0.5 * M_PI, 16);
    for (const PagePoint& p : arc({20, 0}, 5, 0.5 * M_PI, -0.5 * M_PI, 16))
        slot.push_back(p);
    slot.push_back(slot.front());
    const FittedPolyline fitted = fitArcs(slot, 0.05); // its chords stray 0.024 mm from the circle
    ASSERT_EQ(fitted.curves.size(), 2u);
    EXPECT_EQ(fitted.lines.size(), 2u) << "the straight sides";
    for (const PageCurve& c : fitted.curves) {
        EXPECT_NEAR(c.majorMm, 5.0, 1e-9);
        EXPECT_NEAR(c.end - c.start, M_PI, 1e-9);
        EXPECT_NEAR(c.centre.y, 0.0, 1e-9);
    }
    EXPECT_NEAR(fitted.curves[0].start, 0.5 * M_PI, 1e-9) << "counter-clockwise from its start";
    EXPECT_NEAR(fitted.curves[1].start, 1.5 * M_PI, 1e-9);

    std::vector<PagePoint> straight, zigzag;
    for (int i = 0; i <= 40; ++i) {
        straight.push_back({i * 0.5, 0.0});
        zigzag.push_back({i * 0.5, i % 2 * 0.5});
    }
    // The small hexagon's sides stray 0.04 mm from its circle, but its corners turn by 60 degrees.
    for (const auto& polyline : {std::vector<PagePoint>{{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}},
                                 arc({0, 0}, 10, 0, 2 * M_PI, 6), arc({0, 0}, 0.3, 0, 2 * M_PI, 6), straight, zigzag}) {
        const FittedPolyline kept = fitArcs(polyline, 0.05);
        EXPECT_TRUE(kept.curves.empty());
        ASSERT_EQ(kept.lines.size(), 1u);
        EXPECT_EQ(kept.lines[0].size(), polyline.size());
    }
    EXPECT_EQ(fitArcs({{1, 1}}, 0.01).lines.size(), 1u) << "a dot stays";
}

// A 256-sided cylinder seen end-on, hidden and visible rims on one another: one circle each, one centre
// mark on the view's own centre layer, numbered as the pen it shares.
TEST(ArcFit, WholeCirclesGetOneCentreMarkOnTheirView) {
    const Pen chain{0.18, {8, 1.5, 1.5, 1.5}, "#000000"};
    Page page;
    page.layers = {{"1-front-hidden", "front", {0.25, {3, 1}, "#000000"}, {arc({50, 60}, 20, 0, 2 * M_PI, 256)}, {}},
                   {"2-front-silhouettes", "front", {0.5, {}, "#000000"}, {arc({50, 60}, 20, 1, 1 + 2 * M_PI, 256)}, {}},
                   {"3-top-cutting-plane", "top", chain, {}, {}}};
    fitArcs(page, 0.01, chain);
    ASSERT_EQ(page.layers.size(), 4u);
    for (int i : {0, 1}) {
        EXPECT_TRUE(page.layers[i].polylines.empty());
        ASSERT_EQ(page.layers[i].curves.size(), 1u);
        EXPECT_TRUE(page.layers[i].curves[0].closed());
        EXPECT_NEAR(page.layers[i].curves[0].majorMm, 20.0, 1e-9);
    }
    const PageLayer& marks = page.layers[2];
    EXPECT_EQ(marks.name, "3-front-centre");
    EXPECT_EQ(marks.view, "front");
    ASSERT_EQ(marks.polylines.size(), 2u);
    EXPECT_NEAR(marks.polylines[0][0].x, 50 - 23.0, 1e-9) << "3 mm past the circle";
    EXPECT_NEAR(marks.polylines[1][1].y, 60 + 23.0, 1e-9);
    for (double tolerance : {0.0, 20.0, double(NAN)})
        EXPECT_THROW(fitArcs(page, tolerance, std::nullopt), InputError);
}

} // namespace
