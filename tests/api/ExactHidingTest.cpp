// Exact hiding against the plain hide test, on the scenes where the plain arithmetic goes wrong: an
// edge behind the common side of two faces, an edge piercing a face, a very narrow perspective, and
// principal views where back edges lie right behind front edges.

#include "Scenes.h"

#include <gtest/gtest.h>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

// A unit square at height 1 over a triangle at height 0 whose diagonal side lies under the square's
// diagonal when seen from above.
Polygon3D squareOverTriangle() {
    Polygon3D scene = square(0, 0, 1, 1);
    append(scene, soup({{0.2, 0.2, 0}, {0.8, 0.8, 0}, {0.9, 0.2, 0}}, {{0, 2, 1}}));
    return scene;
}

// A 2 x 2 floor at height 0 and a triangle leaning through it: two of its sides pierce the floor
// halfway along, so seen from above half of each is hidden (0.5 + 0.5 * sqrt 2 in all).
Polygon3D floorAndRamp() {
    Polygon3D scene = soup({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}, {{0, 1, 3}, {1, 2, 3}});
    append(scene, soup({{0.5, 0.5, -0.5}, {1.5, 0.5, 0.5}, {1.5, 1.5, 0.5}}, {{0, 1, 2}}));
    return scene;
}

// A closed L-shaped block (concave along its inner corner) and a box that pierces one of its arms.
Polygon3D blocks() {
    Polygon3D scene;
    const double outline[6][2] = {{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}};
    for (double z : {0.0, 1.0})
        for (auto const& p : outline)
            scene.points.emplace_back(p[0], p[1], z);
    scene.triangles = {{0, 2, 1}, {0, 3, 2}, {0, 5, 3}, {3, 5, 4},      // bottom, facing down
                       {6, 7, 8}, {6, 8, 9}, {6, 9, 11}, {9, 10, 11}}; // top, facing up
    for (std::uint32_t i = 0; i < 6; ++i) {
        const std::uint32_t j = (i + 1) % 6;
        scene.triangles.push_back({i, j, j + 6});
        scene.triangles.push_back({i, j + 6, i + 6});
    }
    append(scene, box(ON_3dPoint(1.8, 0.3, 0.4), ON_3dPoint(2.6, 0.7, 1.6)));
    return scene;
}

ViewInfoCriteria above(ON_3dPoint centre) {
    return fromAbove(centre, orthographic(-2, 2, -2, 2, 1, 30));
}

// A general direction to look at the blocks from: no edge lies behind another in it.
const ON_3dPoint kBlocksCentre(1.5, 1.5, 0.5);
const ON_3dVector kTowardsEye(7.3, 5.1, 4.2);

ON_3dPoint eyeAt(double distance) {
    const double f = distance / kTowardsEye.Length();
    return ON_3dPoint(kBlocksCentre.x + kTowardsEye.x * f, kBlocksCentre.y + kTowardsEye.y * f,
                      kBlocksCentre.z + kTowardsEye.z * f);
}

// A parallel view of the blocks. (The checker's cases judge drawings of models in other units.)
ViewInfoCriteria parallelViewOfBlocks() {
    return view(eyeAt(10), kBlocksCentre, ON_3dVector(0, 0, 1), orthographic(-3, 3, -3, 3, 1, 30), 1, 30);
}

std::vector<StrokeLine> draw(Polygon3D polygon, ViewInfoCriteria const& view, bool exact) {
    const Modes mode(exact);
    return KvHLRTest::draw(std::move(polygon), view);
}

int dotCount(std::vector<StrokeLine> const& lines) {
    int dots = 0;
    for (StrokeLine const& line : lines)
        dots += lineLength(line) < 1e-9;
    return dots;
}

} // namespace

TEST(ExactHiding, EdgeUnderTheCommonSideOfTwoFacesIsHidden) {
    // The triangle lies wholly under the square: exact hiding draws it all hidden, while each of the
    // square's triangles alone leaves the diagonal side visible to the plain test.
    const ViewInfoCriteria view = above(ON_3dPoint(0.5, 0.5, 0));
    const double perimeter = 0.6 * std::sqrt(2.0) + 0.7 + std::hypot(0.1, 0.6);
    EXPECT_NEAR(lengthByKind(draw(squareOverTriangle(), view, true))[1], perimeter, 1e-9);
    EXPECT_LT(lengthByKind(draw(squareOverTriangle(), view, false))[1], perimeter - 0.8);
}

TEST(ExactHiding, EdgePiercingAFaceIsHiddenOnlyBehindIt) {
    const ViewInfoCriteria view = above(ON_3dPoint(1, 1, 0));
    const double behind = 0.5 + 0.5 * std::sqrt(2.0);
    EXPECT_NEAR(lengthByKind(draw(floorAndRamp(), view, true))[1], behind, 1e-6);
    EXPECT_NEAR(lengthByKind(draw(floorAndRamp(), view, false))[1], 2 * behind, 1e-9);
}

TEST(ExactHiding, NarrowPerspectiveDrawsWhatTheParallelViewDraws) {
    // Seen from 2,000 units away through a 0.5 degree field, the blocks look as they do in a parallel
    // view; only the foreshortening of their depth, about one part in a thousand, differs.
    const double distance = 2000.0;
    const ViewInfoCriteria narrow =
        view(eyeAt(distance), kBlocksCentre, ON_3dVector(0, 0, 1), perspective(0.5, 1, distance - 10, distance + 10),
             distance - 10, distance + 10);
    const ViewInfoCriteria parallel = parallelViewOfBlocks();
    const std::map<int, double> expected = lengthByKind(draw(blocks(), parallel, true));
    std::map<int, double> seen = lengthByKind(draw(blocks(), narrow, true));
    ASSERT_EQ(seen.size(), expected.size());
    // The two drawings differ in scale: compare each kind's share of all lines drawn.
    const auto total = [](std::map<int, double> const& totals) {
        double sum = 0.0;
        for (auto const& entry : totals)
            sum += entry.second;
        return sum;
    };
    for (auto const& [kind, wanted] : expected)
        EXPECT_NEAR(seen.at(kind) / total(seen), wanted / total(expected), 0.005) << "kind " << kind;
}

TEST(ExactHiding, PrincipalViewHasNoDotsAndNoHiddenLinesUnderVisibleOnes) {
    // From straight above, the blocks' vertical edges are dots, and every hidden edge lies right under
    // a visible one.
    const ViewInfoCriteria view = above(ON_3dPoint(1.5, 1.5, 0));
    const std::vector<StrokeLine> plain = draw(blocks(), view, false);
    EXPECT_GT(dotCount(plain), 0);
    EXPECT_GT(lengthByKind(plain)[1], 8.0);
    const std::vector<StrokeLine> exact = draw(blocks(), view, true);
    EXPECT_EQ(dotCount(exact), 0);
    EXPECT_EQ(lengthByKind(exact).count(1), 0u);
    EXPECT_NEAR(lengthByKind(exact)[0], 12.0 + 2.4, 1e-9) << "the outlines of the block and the box";
}

TEST(ExactHiding, OccluderJustAboveAnEdgeHidesIt) {
    // A small triangle a thousandth under a large one, in a model fifteen thousand times as deep: both
    // lie in the nearest cell of the packed depth grid, and the large one must still be tried as a hider.
    Polygon3D scene = soup({{-2, -2, 0.001}, {2, -2, 0.001}, {0, 2, 0.001}}, {{0, 1, 2}});
    append(scene, soup({{-0.3, -0.3, 0}, {0.3, -0.3, 0}, {0, 0.3, 0}}, {{0, 1, 2}}));
    append(scene, soup({{2.5, 0, -15}, {3, 0, -15}, {2.5, 0.5, -15}}, {{0, 1, 2}}));
    const double perimeter = 0.6 + 2 * std::hypot(0.3, 0.6);
    EXPECT_NEAR(lengthByKind(draw(scene, fromAbove(ON_3dPoint(0, 0, 0)), true))[1], perimeter, 1e-9);
}

// A closed box (whose edges, unlike free edges, keep the fine tolerance) a few hundredths under a face,
// in a model a thousand times as deep: the face lies one cell of the packed depths nearer than the box's
// edges, and either hide test must still try it.
TEST(ExactHiding, BoxJustUnderAFaceIsHiddenByEitherHideTest) {
    Polygon3D scene = soup({{-2, -2, 0.05}, {2, -2, 0.05}, {0, 2, 0.05}}, {{0, 1, 2}});
    append(scene, box(ON_3dPoint(-0.3, -0.3, -0.2), ON_3dPoint(0.3, 0.3, 0)));
    append(scene, soup({{2.5, 0, -100}, {3, 0, -100}, {2.5, 0.5, -100}}, {{0, 1, 2}}));
    for (bool exact : {false, true}) {
        const std::map<int, double> lengths =
            lengthByKind(draw(scene, fromAbove(ON_3dPoint(0, 0, 0), orthographic(-3, 3, -3, 3, 1, 200)), exact));
        EXPECT_GE(lengths.count(1) ? lengths.at(1) : 0.0, 2.4 - 1e-9) << "the box's outline, hidden; exact " << exact;
    }
}

