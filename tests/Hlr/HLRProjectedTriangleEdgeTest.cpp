#include "Hlr/HLRProjectedTriangleEdge.h"

#include "EdgeHideTestScene.h"
#include "Hlr/HLRError.h"
#include "Hlr/HLRProjectedTriangle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <type_traits>
#include <utility>

using namespace KvHLR;
using Edge = HLRProjectedTriangleEdge;

// A modifiable edge hands out its triangles for change.
static_assert(std::is_same_v<decltype(std::declval<Edge&>().leftTriangle()), HLRProjectedTriangle*> &&
              std::is_same_v<decltype(std::declval<Edge&>().rightTriangle()), HLRProjectedTriangle*>);

namespace {

constexpr double kDefaultSharpEdgeAngle = 135.0 * 3.141592653589793 / 180.0;

// Two triangles hinged on the edge from (0, 0, 0) to (1, 0, 0) in view coordinates, seen by an
// orthographic camera looking along -z. The left one runs the edge from start to end.
struct Hinge {
    EdgeHideTestScene scene{true};
    const HLRProjectedTriangleVertex* start = scene.viewVertex(0, 0, 0);
    const HLRProjectedTriangleVertex* end = scene.viewVertex(1, 0, 0);

    // A face on either side, its third corner at (0, y, z).
    HLRProjectedTriangle& left(double y, double z) {
        return scene.triangle(start, end, scene.viewVertex(0, y, z));
    }
    HLRProjectedTriangle& right(double y, double z) {
        return scene.triangle(end, start, scene.viewVertex(0, y, z));
    }
    int typeOf(const HLRProjectedTriangle* l, const HLRProjectedTriangle* r,
               double angle = kDefaultSharpEdgeAngle) {
        Edge& e = scene.edge(start, end, l, r);
        e.setType(angle);
        return e.type();
    }
};

} // namespace

TEST(HLRProjectedTriangleEdgeTest, MasksAreMadeOfTheirFlags) {
    EXPECT_EQ(Edge::SILHOUETTE_MASK, Edge::LEFT_FACE_FRONT | Edge::RIGHT_FACE_FRONT | Edge::BOUNDARY_EDGE);
    EXPECT_EQ(Edge::ALL_MASK,
              Edge::SILHOUETTE_MASK | Edge::SHARP_EDGE_MASK | Edge::FREE_EDGE | Edge::DIMENSION_LINE);
    EXPECT_EQ(Edge::VISIBLE_SHARP_EDGE_MASK,
              Edge::CONVEX_SHARP_EDGE | Edge::CONCAVE_SHARP_EDGE | Edge::VISIBLE_EDGE);
}

TEST(HLRProjectedTriangleEdgeTest, FrontFacesClassifyBySharpnessAndConvexity) {
    Hinge h;
    // Flat: no feature line.
    const int flat = h.typeOf(&h.left(1, 0), &h.right(-1, 0));
    EXPECT_EQ(flat, Edge::CONVEX_TEND_EDGE);
    // Ridge falling away from the eye, normals 90 degrees apart: convex and sharp.
    EXPECT_EQ(h.typeOf(&h.left(1, -1), &h.right(-1, -1)), 36);
    // Valley: concave and sharp.
    EXPECT_EQ(h.typeOf(&h.left(1, 1), &h.right(-1, 1)), 72);
    // A shallow ridge (normals 30 degrees apart) is smooth under the default angle.
    const double k = std::tan(15.0 * 3.141592653589793 / 180.0);
    EXPECT_EQ(h.typeOf(&h.left(1, -k), &h.right(-1, -k)), Edge::CONVEX_TEND_EDGE);
    EXPECT_EQ(h.typeOf(&h.left(1, k), &h.right(-1, k)), Edge::CONCAVE_TEND_EDGE);
}

TEST(HLRProjectedTriangleEdgeTest, ExtremeSharpEdgeAnglesMakeEveryOrNoEdgeSharp) {
    Hinge h;
    const double pi = 3.141592653589793;
    HLRProjectedTriangle& flatL = h.left(1, 0);
    HLRProjectedTriangle& flatR = h.right(-1, 0);
    EXPECT_EQ(h.typeOf(&flatL, &flatR, pi), 36);
    EXPECT_EQ(h.typeOf(&flatL, &flatR, pi - 0.04), 36);
    HLRProjectedTriangle& ridgeL = h.left(1, -1);
    HLRProjectedTriangle& ridgeR = h.right(-1, -1);
    EXPECT_EQ(h.typeOf(&ridgeL, &ridgeR, 0.0), Edge::CONVEX_TEND_EDGE);
    // Just above a right angle the 90 degree ridge is no longer sharp, just below it is.
    EXPECT_EQ(h.typeOf(&ridgeL, &ridgeR, pi / 2 + 0.01), 36);
    EXPECT_EQ(h.typeOf(&ridgeL, &ridgeR, pi / 2 - 0.01), Edge::CONVEX_TEND_EDGE);
}

TEST(HLRProjectedTriangleEdgeTest, FrontAndBackFaceMakeASilhouetteOnTheFrontSide) {
    Hinge h;
    HLRProjectedTriangle& front = h.left(1, -1);
    // A fin folded back under the front face: seen from behind.
    HLRProjectedTriangle& back = h.right(1, -2);
    ASSERT_EQ(front.orientation(), HLRProjectedTriangle::FRONT_FACING);
    ASSERT_EQ(back.orientation(), HLRProjectedTriangle::BACK_FACING);
    const int leftFront = h.typeOf(&front, &back);
    EXPECT_EQ(leftFront, Edge::LEFT_FACE_FRONT | Edge::CONVEX_TEND_EDGE | Edge::CONVEX_SHARP_EDGE);
    EXPECT_NE(leftFront & Edge::SILHOUETTE_MASK, 0);

    // The same pair seen along the reversed edge has the front face on its right.
    Edge& reversed = h.scene.edge(h.end, h.start, &back, &front);
    reversed.setType(kDefaultSharpEdgeAngle);
    EXPECT_EQ(reversed.type(), Edge::RIGHT_FACE_FRONT | Edge::CONVEX_TEND_EDGE | Edge::CONVEX_SHARP_EDGE);
}

TEST(HLRProjectedTriangleEdgeTest, MissingOrDegenerateFaceMakesABoundaryFlaggedOnTheFrontSide) {
    Hinge h;
    HLRProjectedTriangle& front = h.left(1, 0);
    HLRProjectedTriangle& back = h.scene.triangle(h.end, h.start, h.scene.viewVertex(0, 1, 0));
    // All three corners on the edge's line: no plane, no facing.
    HLRProjectedTriangle& degenerate = h.scene.triangle(h.start, h.end, h.scene.viewVertex(2, 0, 0));
    ASSERT_EQ(back.orientation(), HLRProjectedTriangle::BACK_FACING);
    ASSERT_EQ(degenerate.orientation(), HLRProjectedTriangle::UNDETERMINED);

    EXPECT_EQ(h.typeOf(&front, nullptr), 17);
    EXPECT_EQ(h.typeOf(&back, nullptr), 18);
    EXPECT_EQ(h.typeOf(nullptr, &front), Edge::BOUNDARY_EDGE | Edge::RIGHT_FACE_FRONT);
    EXPECT_EQ(h.typeOf(nullptr, &back), Edge::BOUNDARY_EDGE | Edge::LEFT_FACE_FRONT);
    EXPECT_EQ(h.typeOf(&front, &degenerate), 17);
    EXPECT_EQ(h.typeOf(&degenerate, &back), Edge::BOUNDARY_EDGE | Edge::LEFT_FACE_FRONT);
    EXPECT_EQ(h.typeOf(&degenerate, nullptr), Edge::BOUNDARY_EDGE);
    EXPECT_EQ(h.typeOf(&degenerate, &degenerate), Edge::BOUNDARY_EDGE);
}

TEST(HLRProjectedTriangleEdgeTest, EdgeWithoutTrianglesCannotBeClassified) {
    Hinge h;
    Edge& e = h.scene.edge(h.start, h.end);
    e.setTypeAsDimensionLine();
    try {
        e.setType(kDefaultSharpEdgeAngle);
        FAIL() << "setType accepted an edge without triangles";
    } catch (const HLRError& error) {
        EXPECT_EQ(std::string(error.what()), "HLRProjectedTriangleEdge::setType(): Invalid path");
    }
    EXPECT_EQ(e.type(), Edge::DIMENSION_LINE);
}

TEST(HLRProjectedTriangleEdgeTest, OnlyDrawnKindsAreFeatureLines) {
    Hinge h;
    Edge& e = h.scene.edge(h.start, h.end, &h.left(1, 0), &h.right(-1, 0));
    EXPECT_EQ(e.type(), Edge::NO_TYPE);
    EXPECT_FALSE(e.isFeatureLine());
    e.setType(kDefaultSharpEdgeAngle);
    EXPECT_FALSE(e.isFeatureLine());
    e.setTypeAsFreeEdge();
    EXPECT_EQ(e.type(), Edge::FREE_EDGE);
    EXPECT_TRUE(e.isFeatureLine());
    e.setType(3.141592653589793);
    EXPECT_TRUE(e.isFeatureLine());
}

TEST(HLRProjectedTriangleEdgeTest, HideFromToIgnoresSliversAndTurnsFullRangeIntoAllHidden) {
    Hinge h;
    Edge& e = h.scene.edge(h.start, h.end);
    e.hideFromTo(0.3, 0.30005);
    EXPECT_EQ(e.hiddenIntervals().size(), 0);
    e.hideFromTo(0.2, 0.5);
    ASSERT_EQ(e.hiddenIntervals().size(), 1);
    const HLRInterval& piece = e.hiddenIntervals().intervalAt(1);
    EXPECT_EQ(piece.from, 0.2);
    EXPECT_EQ(piece.to, 0.5);
    EXPECT_EQ(piece.fromTolerance, 1e-4);
    EXPECT_EQ(piece.toTolerance, 1e-4);
    e.hideFromTo(0.4, 1.0);
    EXPECT_FALSE(e.isAllHidden());
    EXPECT_EQ(e.hiddenIntervals().size(), 1);
    EXPECT_EQ(e.hiddenIntervals().intervalAt(1).to, 1.0);

    // Nearly the whole edge counts as the whole edge; the pieces already there stay.
    e.hideFromTo(0.00005, 0.99995);
    EXPECT_TRUE(e.isAllHidden());
    EXPECT_EQ(e.hiddenIntervals().size(), 1);

    Edge& other = h.scene.edge(h.start, h.end);
    other.hideFromTo(0.0, 1.0);
    EXPECT_TRUE(other.isAllHidden());
    EXPECT_EQ(other.hiddenIntervals().size(), 0);
}

TEST(HLRProjectedTriangleEdgeTest, PointsAndBoxesFollowTheEndVertices) {
    EdgeHideTestScene scene(false);
    // View positions (2, 4, -2) and (-12, 16, -4).
    Edge& e = scene.edge(scene.vertex(1, 2, -2), scene.vertex(-3, 4, -4));
    EXPECT_TRUE(e.coordinate2DAt(0.5) == HLRVector2D(-1, 3));
    const HLRVector3D at = e.coordinate3DAt(0.25);
    EXPECT_DOUBLE_EQ(at.x, -1.5);
    EXPECT_DOUBLE_EQ(at.z, -2.5);

    const HLRBox2D box2D = e.setBoundingBox2D();
    EXPECT_TRUE(box2D.min() == HLRVector2D(-3, 2) && box2D.max() == HLRVector2D(1, 4));
    EXPECT_EQ(e.boundingBox2D().maxCode(), HLRBoundingBox2D(box2D.min(), box2D.max()).maxCode());
    const HLRBox3D box3D = e.setBoundingBox3D();
    EXPECT_EQ(box3D.min().x, -12);
    EXPECT_EQ(box3D.max().z, -2);
    const HLRBoundingBox3D packed3D(HLRVector3D(-12, 4, -4), HLRVector3D(2, 16, -2));
    EXPECT_EQ(e.boundingBox3D().minCode(), packed3D.minCode());
    EXPECT_EQ(e.boundingBox3D().maxCode(), packed3D.maxCode());
}

TEST(HLRProjectedTriangleEdgeTest, CopiesCarryTheirOwnHiddenState) {
    Hinge h;
    Edge& e = h.scene.edge(h.start, h.end, &h.left(1, -1), nullptr);
    e.setType(kDefaultSharpEdgeAngle);
    e.hideFromTo(0.1, 0.2);
    e.setValid(false);
    Edge copy(e);
    copy.hideFromTo(0.5, 0.6);
    EXPECT_EQ(copy.type(), e.type());
    EXPECT_FALSE(copy.isValid());
    EXPECT_EQ(copy.boundingBox2D().minCode(), e.boundingBox2D().minCode());
    EXPECT_EQ(copy.hiddenIntervals().size(), 2);
    EXPECT_EQ(e.hiddenIntervals().size(), 1);
    e = copy;
    EXPECT_EQ(e.hiddenIntervals().size(), 2);
}
