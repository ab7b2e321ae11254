#include "Hlr/HLRProjectedTriangle.h"

#include "EdgeHideTestScene.h"
#include "Hlr/HLRError.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

#include <gtest/gtest.h>

#include <string>

using namespace KvHLR;
using Edge = HLRProjectedTriangleEdge;

namespace {

// The triangle (0, 0), (4, 0), (0, 4) on screen, at view depth -2 (the eye looks along -z), and
// edges offered to it. Most hide rules hold alike for both cameras; tests run them for each.
struct Cover {
    explicit Cover(bool orthographic, bool frontFacing = true)
        : scene(orthographic), a(scene.vertex(0, 0, -2)), b(scene.vertex(4, 0, -2)),
          c(scene.vertex(0, 4, -2)),
          triangle(frontFacing ? scene.triangle(a, b, c) : scene.triangle(c, b, a)) {}

    Edge& offer(double x0, double y0, double z0, double x1, double y1, double z1) {
        Edge& e = scene.edge(scene.vertex(x0, y0, z0), scene.vertex(x1, y1, z1));
        triangle.hide(e);
        return e;
    }

    EdgeHideTestScene scene;
    const HLRProjectedTriangleVertex* a;
    const HLRProjectedTriangleVertex* b;
    const HLRProjectedTriangleVertex* c;
    HLRProjectedTriangle& triangle;
};

const char* cameraName(bool orthographic) {
    return orthographic ? "orthographic" : "perspective";
}

void expectOnlyInterval(const Edge& e, double from, double to) {
    EXPECT_FALSE(e.isAllHidden());
    ASSERT_EQ(e.hiddenIntervals().size(), 1);
    EXPECT_NEAR(e.hiddenIntervals().intervalAt(1).from, from, 1e-12);
    EXPECT_NEAR(e.hiddenIntervals().intervalAt(1).to, to, 1e-12);
}

void expectVisible(const Edge& e) {
    EXPECT_FALSE(e.isAllHidden());
    EXPECT_EQ(e.hiddenIntervals().size(), 0);
}

} // namespace

TEST(HLRProjectedTriangleTest, EdgeBehindIsHiddenWhereItCrossesTheTriangle) {
    for (bool orthographic : {true, false}) {
        for (bool frontFacing : {true, false}) {
            SCOPED_TRACE(std::string(cameraName(orthographic)) + (frontFacing ? " front" : " back"));
            Cover cover(orthographic, frontFacing);
            // Enters through x = 0 at t = 1/6, leaves through x + y = 4 at t = 2/3.
            expectOnlyInterval(cover.offer(-1, 1, -4, 5, 1, -4), 1.0 / 6.0, 2.0 / 3.0);
            expectOnlyInterval(cover.offer(5, 1, -4, -1, 1, -4), 1.0 / 3.0, 5.0 / 6.0);
            // One end inside: hidden up to the outline.
            expectOnlyInterval(cover.offer(1, 1, -4, -1.5, 1, -4), 0.0, 0.4);
            expectOnlyInterval(cover.offer(-1.5, 1, -4, 1, 1, -4), 0.6, 1.0);
            // The same edge in front of the triangle, and one passing beside it.
            expectVisible(cover.offer(-1, 1, -1, 5, 1, -1));
            expectVisible(cover.offer(-1, 4.5, -4, 5, 2, -4));
        }
    }
}

TEST(HLRProjectedTriangleTest, EdgeInsideIsAllHiddenOnlyBehindThePlane) {
    for (bool orthographic : {true, false}) {
        SCOPED_TRACE(cameraName(orthographic));
        EdgeHideTestScene scene(orthographic);
        // Sloping away from the eye towards +x; the depth boxes of the edges below overlap its own,
        // so only the plane decides.
        HLRProjectedTriangle& slope =
            scene.triangle(scene.vertex(0, 0, -1), scene.vertex(4, 0, -5), scene.vertex(0, 4, -1));
        Edge& inFront = scene.edge(scene.vertex(1, 0.5, -1.1), scene.vertex(1, 1.5, -1.1));
        Edge& behind = scene.edge(scene.vertex(1, 0.5, -2.5), scene.vertex(1, 1.5, -2.5));
        slope.hide(inFront);
        slope.hide(behind);
        expectVisible(inFront);
        EXPECT_TRUE(behind.isAllHidden());
        EXPECT_EQ(behind.hiddenIntervals().size(), 0);
    }
}

TEST(HLRProjectedTriangleTest, EdgePassingThePlaneOutsideTheTriangleIsNotHidden) {
    // Behind the plane at one end, but already in front where it crosses the triangle's outline.
    for (bool orthographic : {true, false}) {
        SCOPED_TRACE(cameraName(orthographic));
        Cover cover(orthographic);
        expectVisible(cover.offer(-1, 1, -2.1, 5, 1, 0));
        expectVisible(cover.offer(-1, 1, 0, 5, 1, -2.1));
    }
}

TEST(HLRProjectedTriangleTest, TriangleNeverHidesItsOwnEdge) {
    Cover cover(true);
    // In an orthographic view the pointer test alone protects an edge of the triangle, on either
    // side, whatever its geometry.
    const HLRProjectedTriangleVertex* p = cover.scene.vertex(-1, 1, -4);
    const HLRProjectedTriangleVertex* q = cover.scene.vertex(5, 1, -4);
    Edge& ownLeft = cover.scene.edge(p, q, &cover.triangle, nullptr);
    Edge& ownRight = cover.scene.edge(p, q, nullptr, &cover.triangle);
    cover.triangle.hide(ownLeft);
    cover.triangle.hide(ownRight);
    expectVisible(ownLeft);
    expectVisible(ownRight);

    Cover perspective(false);
    Edge& side = perspective.scene.edge(perspective.a, perspective.b);
    perspective.triangle.hide(side);
    expectVisible(side);
    // Sharing one corner is not enough: this edge runs from a corner to behind the triangle.
    Edge& fromCorner = perspective.scene.edge(perspective.a, perspective.scene.vertex(1, 1, -4));
    perspective.triangle.hide(fromCorner);
    EXPECT_TRUE(fromCorner.isAllHidden());
}

TEST(HLRProjectedTriangleTest, FreeEdgesGetTheCoarseDepthToleranceInOrthographicViews) {
    // 0.03 behind the plane: beyond the fine tolerance, within the coarse one.
    const double depth = -2 - 0.03;
    ASSERT_GT(0.03, EdgeHideTestScene::kTolerance3D);
    ASSERT_LT(0.03, EdgeHideTestScene::kCoarseTolerance3D);
    Cover cover(true);
    Edge& freeEdge = cover.scene.edge(cover.scene.vertex(1, 1, depth), cover.scene.vertex(2, 1, depth));
    freeEdge.setTypeAsFreeEdge();
    Edge& dimension = cover.scene.edge(cover.scene.vertex(1, 1, depth), cover.scene.vertex(2, 1, depth));
    dimension.setTypeAsDimensionLine();
    cover.triangle.hide(freeEdge);
    cover.triangle.hide(dimension);
    expectVisible(freeEdge);
    EXPECT_TRUE(dimension.isAllHidden());
}

TEST(HLRProjectedTriangleTest, NearRegionTriangleHidesNothingInPerspective) {
    EdgeHideTestScene scene(false);
    HLRProjectedModel::sm_nearRegionBox =
        HLRBoundingBox3D(HLRVector3D(-60, -60, -2.5), HLRVector3D(60, 60, 1));
    HLRProjectedTriangle& near =
        scene.triangle(scene.vertex(0, 0, -2), scene.vertex(4, 0, -2), scene.vertex(0, 4, -2));
    ASSERT_TRUE(near.nearRegion());
    Edge& e = scene.edge(scene.vertex(-1, 1, -4), scene.vertex(5, 1, -4));
    near.hide(e);
    expectVisible(e);
    // The flag only matters to the perspective test.
    HLRProjectedModel::sm_bOrthoGraphic = true;
    near.hide(e);
    expectOnlyInterval(e, 1.0 / 6.0, 2.0 / 3.0);
}
