// Exact hiding against the plain hide test, on the scenes where the plain arithmetic goes wrong: an
// edge behind the common side of two faces, an edge piercing a face, models in other units, a very
// narrow perspective, and principal views where back edges lie right behind front edges.

#include "Cameras.h"
#include "LineLength.h"
#include "Hlr/HLRPolyAlgo.h"
#include "api/CalcSilhouette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

using namespace KvHLR;

// Switches exact hiding on or off for one test and back off afterwards.
class ExactHiding {
public:
    explicit ExactHiding(bool on) { HLRPolyAlgo::setExactHiding(on); }
    ~ExactHiding() { HLRPolyAlgo::setExactHiding(false); }
};

void append(Polygon3D& to, std::vector<ON_3dPoint> const& points,
            std::vector<std::array<std::uint32_t, 3>> const& triangles) {
    const auto offset = static_cast<std::uint32_t>(to.points.size());
    to.points.insert(to.points.end(), points.begin(), points.end());
    for (auto t : triangles)
        to.triangles.push_back({t[0] + offset, t[1] + offset, t[2] + offset});
}

// A unit square at height 1 over a triangle at height 0 whose diagonal side lies under the square's
// diagonal when seen from above.
Polygon3D squareOverTriangle() {
    Polygon3D scene;
    append(scene, {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, {{0, 1, 2}, {0, 2, 3}});
    append(scene, {{0.2, 0.2, 0}, {0.8, 0.8, 0}, {0.9, 0.2, 0}}, {{0, 2, 1}});
    return scene;
}

// A 2 x 2 floor at height 0 and a triangle leaning through it: two of its sides pierce the floor
// halfway along, so seen from above half of each is hidden (0.5 + 0.5 * sqrt 2 in all).
Polygon3D floorAndRamp() {
    Polygon3D scene;
    append(scene, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}, {{0, 1, 3}, {1, 2, 3}});
    append(scene, {{0.5, 0.5, -0.5}, {1.5, 0.5, 0.5}, {1.5, 1.5, 0.5}}, {{0, 1, 2}});
    return scene;
}

// A closed L-shaped block (concave along its inner corner) and a box that pierces one of its arms.
Polygon3D blocks() {
    Polygon3D scene;
    const double outline[6][2] = {{0, 0}, {3, 0}, {3, 1}, {1, 1}, {1, 3}, {0, 3}};
    std::vector<ON_3dPoint> points;
    for (double z : {0.0, 1.0})
        for (auto const& p : outline)
            points.emplace_back(p[0], p[1], z);
    std::vector<std::array<std::uint32_t, 3>> triangles = {
        {0, 2, 1}, {0, 3, 2}, {0, 5, 3}, {3, 5, 4},      // bottom, facing down
        {6, 7, 8}, {6, 8, 9}, {6, 9, 11}, {9, 10, 11}}; // top, facing up
    for (std::uint32_t i = 0; i < 6; ++i) {
        const std::uint32_t j = (i + 1) % 6;
        triangles.push_back({i, j, j + 6});
        triangles.push_back({i, j + 6, i + 6});
    }
    append(scene, points, triangles);
    std::vector<ON_3dPoint> box;
    for (int i = 0; i < 8; ++i)
        box.emplace_back(i & 1 ? 2.6 : 1.8, i & 2 ? 0.7 : 0.3, i & 4 ? 1.6 : 0.4);
    append(scene, box,
           {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
            {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}});
    return scene;
}

ViewInfoCriteria looking(ON_3dPoint eye, ON_3dPoint target, ON_3dVector up, ON_Xform projection,
                         double nearDepth, double farDepth) {
    ViewInfoCriteria view;
    view.modelViewXform = KvHLRTest::lookAt(eye, target, up);
    view.projectionXform = projection;
    view.nearPlaneDepth = nearDepth;
    view.farPlaneDepth = farDepth;
    return view;
}

ViewInfoCriteria fromAbove(ON_3dPoint centre) {
    return looking(ON_3dPoint(centre.x, centre.y, 10), centre, ON_3dVector(0, 1, 0),
                   KvHLRTest::orthographic(-2, 2, -2, 2, 1, 30), 1, 30);
}

// A general direction to look at the blocks from: no edge lies behind another in it.
const ON_3dPoint kBlocksCentre(1.5, 1.5, 0.5);
const ON_3dVector kTowardsEye(7.3, 5.1, 4.2);

ON_3dPoint eyeAt(double distance) {
    const double f = distance / kTowardsEye.Length();
    return ON_3dPoint(kBlocksCentre.x + kTowardsEye.x * f, kBlocksCentre.y + kTowardsEye.y * f,
                      kBlocksCentre.z + kTowardsEye.z * f);
}

// A parallel view of the blocks with everything scaled by s: model, eye, window and depths alike.
ViewInfoCriteria parallelViewOfBlocks(double s) {
    const ON_3dPoint eye = eyeAt(10);
    return looking(ON_3dPoint(eye.x * s, eye.y * s, eye.z * s),
                   ON_3dPoint(kBlocksCentre.x * s, kBlocksCentre.y * s, kBlocksCentre.z * s), ON_3dVector(0, 0, 1),
                   KvHLRTest::orthographic(-3 * s, 3 * s, -3 * s, 3 * s, 1 * s, 30 * s), 1 * s, 30 * s);
}

std::vector<StrokeLine> draw(Polygon3D polygon, ViewInfoCriteria const& view, bool exact) {
    const ExactHiding mode(exact);
    ProjectorCriteria criteria;
    criteria.showSilhouette = criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = true;
    criteria.showHiddenLine = true;
    std::vector<StrokeLine> lines;
    EXPECT_TRUE(CalcSilhouette(criteria, view, polygon, {}, lines));
    return lines;
}

struct KindTotals {
    int lines = 0;
    double length = 0.0;
};

std::map<int, KindTotals> totalsByKind(std::vector<StrokeLine> const& lines) {
    std::map<int, KindTotals> totals;
    for (StrokeLine const& line : lines) {
        ++totals[line.kind].lines;
        totals[line.kind].length += KvHLRTest::lineLength(line);
    }
    return totals;
}

int dotCount(std::vector<StrokeLine> const& lines) {
    int dots = 0;
    for (StrokeLine const& line : lines)
        dots += KvHLRTest::lineLength(line) < 1e-9;
    return dots;
}

} // namespace

TEST(ExactHiding, EdgeUnderTheCommonSideOfTwoFacesIsHidden) {
    // The triangle lies wholly under the square: exact hiding draws it all hidden, while each of the
    // square's triangles alone leaves the diagonal side visible to the plain test.
    const ViewInfoCriteria view = fromAbove(ON_3dPoint(0.5, 0.5, 0));
    const double perimeter = 0.6 * std::sqrt(2.0) + 0.7 + std::hypot(0.1, 0.6);
    EXPECT_NEAR(totalsByKind(draw(squareOverTriangle(), view, true))[1].length, perimeter, 1e-9);
    EXPECT_LT(totalsByKind(draw(squareOverTriangle(), view, false))[1].length, perimeter - 0.8);
}

TEST(ExactHiding, EdgePiercingAFaceIsHiddenOnlyBehindIt) {
    const ViewInfoCriteria view = fromAbove(ON_3dPoint(1, 1, 0));
    const double behind = 0.5 + 0.5 * std::sqrt(2.0);
    EXPECT_NEAR(totalsByKind(draw(floorAndRamp(), view, true))[1].length, behind, 1e-6);
    EXPECT_NEAR(totalsByKind(draw(floorAndRamp(), view, false))[1].length, 2 * behind, 1e-9);
}

TEST(ExactHiding, DrawingDoesNotDependOnTheModelsUnits) {
    const std::map<int, KindTotals> reference = totalsByKind(draw(blocks(), parallelViewOfBlocks(1), true));
    ASSERT_GT(reference.at(1).lines, 0);
    ASSERT_GT(reference.at(2).lines, 0) << "the L block's inner corner is concave";
    for (double s : {1e-6, 1e-3, 1e3, 1e6}) {
        Polygon3D scaled = blocks();
        for (ON_3dPoint& p : scaled.points)
            p = ON_3dPoint(p.x * s, p.y * s, p.z * s);
        const std::map<int, KindTotals> totals = totalsByKind(draw(scaled, parallelViewOfBlocks(s), true));
        ASSERT_EQ(totals.size(), reference.size()) << "scale " << s;
        for (auto const& [kind, expected] : reference) {
            EXPECT_EQ(totals.at(kind).lines, expected.lines) << "kind " << kind << ", scale " << s;
            EXPECT_NEAR(totals.at(kind).length / s, expected.length, 1e-9 * expected.length)
                << "kind " << kind << ", scale " << s;
        }
    }
}

TEST(ExactHiding, NarrowPerspectiveDrawsWhatTheParallelViewDraws) {
    // Seen from 2,000 units away through a 0.5 degree field, the blocks look as they do in a parallel
    // view; only the foreshortening of their depth, about one part in a thousand, differs.
    const double distance = 2000.0;
    const ViewInfoCriteria narrow =
        looking(eyeAt(distance), kBlocksCentre, ON_3dVector(0, 0, 1),
                KvHLRTest::perspective(0.5, 1, distance - 10, distance + 10), distance - 10, distance + 10);
    const ViewInfoCriteria parallel = parallelViewOfBlocks(1);
    const std::map<int, KindTotals> expected = totalsByKind(draw(blocks(), parallel, true));
    std::map<int, KindTotals> seen = totalsByKind(draw(blocks(), narrow, true));
    ASSERT_EQ(seen.size(), expected.size());
    // The two drawings differ in scale: compare each kind's share of all lines drawn.
    const auto total = [](std::map<int, KindTotals> const& totals) {
        double sum = 0.0;
        for (auto const& entry : totals)
            sum += entry.second.length;
        return sum;
    };
    for (auto const& [kind, wanted] : expected)
        EXPECT_NEAR(seen.at(kind).length / total(seen), wanted.length / total(expected), 0.005) << "kind " << kind;
}

TEST(ExactHiding, PrincipalViewHasNoDotsAndNoHiddenLinesUnderVisibleOnes) {
    // From straight above, the blocks' vertical edges are dots, and every hidden edge lies right under
    // a visible one.
    const ViewInfoCriteria view = fromAbove(ON_3dPoint(1.5, 1.5, 0));
    const std::vector<StrokeLine> plain = draw(blocks(), view, false);
    EXPECT_GT(dotCount(plain), 0);
    EXPECT_GT(totalsByKind(plain)[1].length, 8.0);
    const std::vector<StrokeLine> exact = draw(blocks(), view, true);
    EXPECT_EQ(dotCount(exact), 0);
    EXPECT_EQ(totalsByKind(exact).count(1), 0u);
    EXPECT_NEAR(totalsByKind(exact)[0].length, 12.0 + 2.4, 1e-9) << "the outlines of the block and the box";
}
