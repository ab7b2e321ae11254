// Which edges a drawing must show, and which the checker declines to judge.

#include "Scenes.h"

#include "checker/FeatureEdges.h"

#include <gtest/gtest.h>

#include <map>

namespace kvcheck {
namespace {

using test::lookAt;

std::map<EdgeClass, int> countByClass(const Mesh& mesh, const View& view, double sharpAngle = 135) {
    std::map<EdgeClass, int> counts;
    for (const FeatureEdge& edge : findFeatureEdges(mesh, view, sharpAngle))
        ++counts[edge.edgeClass];
    return counts;
}

View obliqueView(const Vec3& eye) {
    return View(test::orthographic(lookAt(eye, {0.5, 0.5, 0.5}, {0, 0, 1}), 2, 0.1, 30), "oblique");
}

TEST(FeatureEdges, CubeSeenObliquelyHasSixSilhouettesAndSixSharpEdges) {
    // Three faces turn toward the eye and three away: the six edges between a front and a back face
    // form the outline; the three between front faces and the three between back faces are sharp.
    // The face diagonals join coplanar triangles and draw nothing.
    const std::map<EdgeClass, int> expected{{EdgeClass::Silhouette, 6}, {EdgeClass::Sharp, 6}};
    EXPECT_EQ(countByClass(test::unitCube(), obliqueView({5, 4, 3})), expected);
    EXPECT_EQ(
        countByClass(test::unitCube(),
                     View(test::perspective(lookAt({3, 2.5, 2}, {0.5, 0.5, 0.5}, {0, 0, 1}), 60, 0.1, 30),
                          "perspective")),
        expected);
}

TEST(FeatureEdges, FacesSeenEdgeOnLeaveTheKindOpenButTheEdgeDrawn) {
    // Looking straight down, the four side faces are edge-on: front- or back-facing is for rounding to
    // decide, yet every reading draws all twelve edges, as silhouettes or as sharp edges. The side
    // faces' diagonals are drawn only where rounding turns their two halves different ways.
    const View top(test::orthographic(lookAt({0.5, 0.5, 5}, {0.5, 0.5, 0.5}, {0, 1, 0}), 2, 0.1, 30), "top");
    const std::map<EdgeClass, int> expected{{EdgeClass::Feature, 12}, {EdgeClass::Uncertain, 4}};
    EXPECT_EQ(countByClass(test::unitCube(), top), expected);
}

TEST(FeatureEdges, SharpEdgeAngleSplitsCreasesAndLeavesTheThresholdUndecided) {
    // Two front-facing faces hinged along the x axis, their normals `turn` degrees apart. With the
    // default angle of 135 degrees, creases of more than 45 degrees are sharp.
    auto hinge = [](double turn) {
        const double a = turn * M_PI / 180;
        Mesh mesh;
        mesh.points = {{0, 0, 0}, {1, 0, 0}, {0.5, 1, 0}, {0.5, -std::cos(a), std::sin(a)}};
        mesh.triangles = {{0, 1, 2}, {1, 0, 3}};
        return mesh;
    };
    const View view = obliqueView({0.3, -0.2, 8});
    auto creaseClass = [&](double turn) {
        for (const FeatureEdge& edge : findFeatureEdges(hinge(turn), view, 135))
            if (edge.triangleCount == 2)
                return int(edge.edgeClass);
        return -1; // not drawn
    };
    EXPECT_EQ(creaseClass(44), -1);
    EXPECT_EQ(creaseClass(45), int(EdgeClass::Uncertain));
    EXPECT_EQ(creaseClass(46), int(EdgeClass::Sharp));
    EXPECT_EQ(countByClass(hinge(30), view, 160).at(EdgeClass::Sharp), 1);
    EXPECT_EQ(countByClass(hinge(30), view).at(EdgeClass::Boundary), 4);
}

TEST(FeatureEdges, EdgesWithoutAClearPairOfFacesAreUncertain) {
    Mesh fin;
    fin.points = {{0, 0, 0}, {1, 0, 0}, {0.5, 1, 0}, {0.5, -1, 0}, {0.5, 0, 1}, {0.5, 0, 0}};
    fin.triangles = {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}}; // three triangles on edge 0-1
    std::map<EdgeClass, int> expected{{EdgeClass::Boundary, 6}, {EdgeClass::Uncertain, 1}};
    EXPECT_EQ(countByClass(fin, obliqueView({0.3, -2, 8})), expected);

    Mesh flipped = fin;
    flipped.triangles = {{0, 1, 2}, {0, 1, 3}}; // neighbours wound the same way along edge 0-1
    expected = {{EdgeClass::Boundary, 4}, {EdgeClass::Uncertain, 1}};
    EXPECT_EQ(countByClass(flipped, obliqueView({0.3, -2, 8})), expected);

    Mesh sliver = fin;
    sliver.triangles = {{0, 1, 2}, {1, 0, 5}}; // the second triangle has collinear corners
    EXPECT_EQ(countByClass(sliver, obliqueView({0.3, -2, 8})), expected);
}

} // namespace
} // namespace kvcheck
