// Exact hiding's own joining, seen through whole drawings: pieces that meet end to end become one line,
// ends a tolerance apart meet, and an edge drawn twice is drawn once.

#include "Scenes.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

std::vector<StrokeLine> drawExactly(Polygon3D polygon, ViewInfoCriteria const& view, bool hidden = true) {
    const Modes exact(true);
    return draw(std::move(polygon), view, everything(hidden));
}

std::vector<StrokeLine> ofKind(std::vector<StrokeLine> const& lines, int kind) {
    std::vector<StrokeLine> result;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(result),
                 [kind](StrokeLine const& line) { return line.kind == kind; });
    return result;
}

} // namespace

// The outline of a cube seen from above a corner is one closed line; of the three edges meeting at the
// near corner, and of the three hidden ones meeting at the far corner, two go on as one line. Wound
// inside out, the inner edges are still convex.
TEST(HLRExactStrokeJoiner, CubeOutlineIsOneClosedLineAndCornersPairTheirEdges) {
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "wound inside out" : "wound outward");
        const Polygon3D cube = box(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1));
        const std::vector<StrokeLine> lines =
            drawExactly(reversed ? insideOut(cube) : cube,
                        view(ON_3dPoint(7.3, 5.1, 4.2), ON_3dPoint(0.5, 0.5, 0.5), ON_3dVector(0, 0, 1),
                             orthographic(-2, 2, -2, 2, 1, 30), 1, 30));
        const std::vector<StrokeLine> outline = ofKind(lines, 0);
        ASSERT_EQ(outline.size(), 1u);
        ASSERT_EQ(outline[0].points.size(), 7u);
        EXPECT_EQ(outline[0].points.front().x, outline[0].points.back().x);
        EXPECT_EQ(outline[0].points.front().y, outline[0].points.back().y);
        EXPECT_EQ(ofKind(lines, 3).size(), 2u);
        EXPECT_EQ(ofKind(lines, 1).size(), 2u);
        EXPECT_TRUE(ofKind(lines, 2).empty());
    }
}

// Two squares side by side, the second a billionth of a unit to the right of where it would touch the
// first: their borders meet at ends that are not one vertex, and the edges along the seam lie on each
// other. The seam is drawn once, and the outline runs on through the seam's ends.
TEST(HLRExactStrokeJoiner, EndsAToleranceApartMeetAndAnEdgeDrawnTwiceIsDrawnOnce) {
    Polygon3D squares = square(0, 0, 1, 0);
    append(squares, square(1 + 1e-9, 0, 1, 0));
    const std::vector<StrokeLine> lines = drawExactly(squares, fromAbove(ON_3dPoint(1, 0.5, 0)), false);
    EXPECT_NEAR(lengthByKind(lines).at(0), 7.0, 1e-6);
    // The outer border as one closed line, the seam as one more.
    EXPECT_EQ(lines.size(), 2u);
}

// An open roof seen from above: its outline is all boundary, which votes neither way, so the ridge
// keeps the kind its faces give it, convex, as the plain hide test draws it.
TEST(HLRExactStrokeJoiner, ARidgeStaysConvexWhenTheOutlineVotesNeitherWay) {
    const Polygon3D roof = soup({{0, 0, 0}, {2, 0, 0}, {2, 1, 0.5}, {0, 1, 0.5}, {2, 2, 0}, {0, 2, 0}},
                                {{0, 1, 2}, {0, 2, 3}, {3, 2, 4}, {3, 4, 5}});
    const auto plain = lengthByKind(draw(roof, fromAbove(ON_3dPoint(1, 1, 0))));
    const auto exact = lengthByKind(drawExactly(roof, fromAbove(ON_3dPoint(1, 1, 0))));
    EXPECT_NEAR(plain.at(3), 2.0, 1e-9);
    EXPECT_NEAR(exact.at(3), 2.0, 1e-9);
    EXPECT_EQ(exact.count(2), 0u);
}
