// Non-finite numbers through the entry points: a triangle with a corner that is not finite, or that
// the camera sends to infinity, is left out (it neither draws nor hides); a camera that makes every
// point non-finite gives an empty drawing; a user polyline loses the points it cannot draw. No
// drawing ever holds a non-finite number.

#include "Scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace KvHLR;
using KvHLRTest::everything;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kMax = std::numeric_limits<double>::max();

// Corners that cannot be drawn: not finite, or finite but sent to infinity by the view transform,
// whose first row takes (x - y) / sqrt(2).
const ON_3dPoint kBadCorners[] = {ON_3dPoint(kNaN, 1, 1), ON_3dPoint(1, kInf, 1), ON_3dPoint(1, 1, -kInf),
                                  ON_3dPoint(kMax, -kMax, 1)};

ViewInfoCriteria fromAbove() {
    return KvHLRTest::view(ON_3dPoint(1, 1, 10), ON_3dPoint(1, 1, 0), ON_3dVector(1, 1, 0),
                           KvHLRTest::orthographic(-3, 3, -3, 3, 1, 30), 1, 30);
}

void expectFinite(std::vector<StrokeLine> const& lines) {
    for (StrokeLine const& line : lines)
        for (ON_2dPoint const& p : line.points)
            EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
}

std::vector<StrokeLine> drawFinite(ViewInfoCriteria const& view, Polygon3D polygon,
                                   std::vector<UserPolyline> const& userPolylines = {}) {
    std::vector<StrokeLine> lines;
    EXPECT_TRUE(CalcSilhouette(everything(), view, polygon, userPolylines, lines));
    expectFinite(lines);
    return lines;
}

// A 2 x 2 square at height 0 and the two corners of a lid edge above it, not yet used by a triangle.
Polygon3D squareAndLidEdge() {
    Polygon3D polygon;
    polygon.points = {ON_3dPoint(0, 0, 0), ON_3dPoint(2, 0, 0), ON_3dPoint(2, 2, 0),
                      ON_3dPoint(0, 2, 0), ON_3dPoint(0, 0, 1), ON_3dPoint(2, 0, 1)};
    polygon.triangles = {{0, 1, 2}, {0, 2, 3}};
    return polygon;
}

TEST(NonFiniteInput, TriangleWithAnUndrawableCornerNeitherDrawsNorHides) {
    const std::vector<StrokeLine> expected = drawFinite(fromAbove(), squareAndLidEdge());
    ASSERT_FALSE(expected.empty());
    for (ON_3dPoint const& bad : kBadCorners) {
        Polygon3D polygon = squareAndLidEdge();
        polygon.points.push_back(bad);
        polygon.triangles.push_back({4, 5, 6}); // over the square, were its third corner finite
        EXPECT_TRUE(KvHLRTest::sameDrawing(drawFinite(fromAbove(), polygon), expected));
    }
}

TEST(NonFiniteInput, CameraThatMakesEveryPointNonFiniteDrawsNothing) {
    ViewInfoCriteria nanView = fromAbove();
    nanView.modelViewXform[0][0] = kNaN;
    ViewInfoCriteria noWeight = fromAbove(); // every screen point gets w = 0
    for (int column = 0; column < 4; ++column)
        noWeight.projectionXform[3][column] = 0.0;
    UserPolyline polyline;
    polyline.points = {ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)};
    for (ViewInfoCriteria const& view : {nanView, noWeight}) {
        EXPECT_TRUE(drawFinite(view, squareAndLidEdge(), {polyline}).empty());

        Kv::KvvView hostView;
        hostView.SetProjector(view.modelViewXform, view.projectionXform, view.nearPlaneDepth,
                              view.farPlaneDepth);
        std::vector<StrokeLine> lines;
        EXPECT_TRUE(
            CalcSilhouette(everything(), &hostView, {KvHLRTest::hostMesh(squareAndLidEdge())}, {polyline}, lines));
        EXPECT_TRUE(lines.empty());
    }
}

TEST(NonFiniteInput, UserPolylineKeepsOnlyItsDrawablePoints) {
    UserPolyline polyline;
    polyline.kind = 7;
    polyline.points = {ON_3dPoint(0, 0, 0), ON_3dPoint(kNaN, 0, 0), ON_3dPoint(1, kInf, 0),
                       ON_3dPoint(2, 0, 0)};
    const std::vector<StrokeLine> lines = drawFinite(fromAbove(), squareAndLidEdge(), {polyline});
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].kind, 7);
    ASSERT_EQ(lines[0].points.size(), 2u);
    EXPECT_NEAR(
        std::hypot(lines[0].points[1].x - lines[0].points[0].x, lines[0].points[1].y - lines[0].points[0].y),
        2.0, 1e-9);
}

} // namespace
