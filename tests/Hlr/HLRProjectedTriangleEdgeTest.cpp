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
        // The shortcut that leaves smooth edges out must agree with the full classification.
        const bool becomesFeature =
            Edge::becomesFeatureLine(l ? &l->image() : nullptr, r ? &r->image() : nullptr, angle);
        e.setType(angle);
        EXPECT_EQ(becomesFeature, e.isFeatureLine());
        return e.type();
    }
};

} // namespace

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
    // A surface seen almost edge-on, bending smoothly: its facing parts at the edge all the same.
    const int smooth = h.typeOf(&h.left(0.01, -1), &h.right(0.01, 1));
    EXPECT_NE(smooth & Edge::SILHOUETTE_MASK, 0);
    EXPECT_EQ(smooth & Edge::SHARP_EDGE_MASK, 0);

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

TEST(HLRProjectedTriangleEdgeTest, HideFromToIgnoresSliversAndTurnsFullRangeIntoAllHidden) {
    Hinge h;
    Edge& e = h.scene.edge(h.start, h.end);
    e.hideFromTo(0.3, 0.30005);
    EXPECT_EQ(e.hiddenIntervals().size(), 0);
    e.hideFromTo(0.2, 0.5);
    ASSERT_EQ(e.hiddenIntervals().size(), 1);
    EXPECT_EQ(e.hiddenIntervals().intervalAt(1).from, 0.2);

    // Nearly the whole edge counts as the whole edge; the pieces already there stay.
    e.hideFromTo(0.00005, 0.99995);
    EXPECT_TRUE(e.isAllHidden());
    EXPECT_EQ(e.hiddenIntervals().size(), 1);

    Edge& other = h.scene.edge(h.start, h.end);
    other.hideFromTo(0.0, 1.0);
    EXPECT_TRUE(other.isAllHidden());
    EXPECT_EQ(other.hiddenIntervals().size(), 0);
}

TEST(HLRProjectedTriangleEdgeTest, EdgeExactlyAtTheSharpAngleIsNotSharp) {
    // A shallow ridge, its normals about 0.1 radians apart. The sharp-edge angle is stepped to where
    // the threshold equals the ridge's cosine bit for bit: there the edge is smooth, a step wider sharp.
    Hinge h;
    HLRProjectedTriangle& l = h.left(1, -0.05);
    HLRProjectedTriangle& r = h.right(-1, -0.05);
    const double cosine = dot(l.normal(), r.normal()) / (length(l.normal()) * length(r.normal()));
    const double pi = 3.141592653589793;
    double angle = pi - std::acos(cosine);
    while (std::cos(pi - angle) < cosine)
        angle = std::nextafter(angle, 4.0);
    while (std::cos(pi - angle) > cosine)
        angle = std::nextafter(angle, 0.0);
    ASSERT_EQ(std::cos(pi - angle), cosine);
    EXPECT_EQ(h.typeOf(&l, &r, angle), Edge::CONVEX_TEND_EDGE);
    double wider = angle;
    while (std::cos(pi - wider) <= cosine)
        wider = std::nextafter(wider, 4.0);
    EXPECT_EQ(h.typeOf(&l, &r, wider), Edge::CONVEX_TEND_EDGE | Edge::CONVEX_SHARP_EDGE);
}
