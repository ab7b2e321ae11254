// Intersection lines: where parts of a model pass through each other the drawing gets the line they
// meet along, hidden where the model covers it; where parts only rest on each other it gets nothing
// new. Every case is drawn with both hide tests.

#include "Scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

constexpr std::int32_t kIntersectionKind = 6;

// A 4 x 4 slab, 0.5 thick, with a 1 x 1 post standing through it from z = -1 to z = 2: the post meets
// the slab's top in a square loop at z = 0.5 and its bottom in another at z = 0.
Polygon3D postThroughSlab() {
    Polygon3D scene = box(ON_3dPoint(-2, -2, 0), ON_3dPoint(2, 2, 0.5));
    append(scene, box(ON_3dPoint(-0.5, -0.5, -1), ON_3dPoint(0.5, 0.5, 2)));
    return scene;
}

// Seen from above, in front of the post's -y side and right of its +x side; the loop's -y and +x sides
// (each 1 long, |(3, -4, 5)|^2 = 50) are sqrt(1 - 3^2 / 50) and sqrt(1 - 4^2 / 50) long in a parallel view.
const ON_3dVector kTowardsEye(3, -4, 5);
const double kProjectedFrontSides = std::sqrt(41.0 / 50) + std::sqrt(34.0 / 50);

ViewInfoCriteria generalView(bool perspective) {
    const ON_3dPoint eye(kTowardsEye.x * 2, kTowardsEye.y * 2, 0.5 + kTowardsEye.z * 2);
    return view(eye, ON_3dPoint(0, 0, 0.5), ON_3dVector(0, 0, 1),
                perspective ? KvHLRTest::perspective(40, 1, 1, 40) : orthographic(-3, 3, -3, 3, 1, 40), 1,
                40);
}

std::vector<StrokeLine> drawLines(Polygon3D scene, ViewInfoCriteria const& camera, bool exact,
                                  bool intersections = true) {
    const Modes modes(exact, intersections);
    return draw(std::move(scene), camera);
}

std::size_t countOf(std::vector<StrokeLine> const& lines, std::int32_t kind) {
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [kind](StrokeLine const& line) { return line.kind == kind; }));
}

class IntersectionLines : public ::testing::TestWithParam<bool> {
protected:
    bool exact() const { return GetParam(); }
};

// The loop's two sides that face the eye are visible, drawn as one line from one of the post's edges
// round the front one to the third; the far sides lie behind the post and the lower loop under the
// slab, drawn hidden: visible and hidden together, the whole length of both loops seen in projection.
TEST_P(IntersectionLines, PostThroughSlabDrawsItsLoopsVisibleInFrontAndHiddenBehind) {
    const std::vector<StrokeLine> without = drawLines(postThroughSlab(), generalView(false), exact(), false);
    const std::vector<StrokeLine> with = drawLines(postThroughSlab(), generalView(false), exact(), true);
    EXPECT_EQ(countOf(with, kIntersectionKind), 1u);
    EXPECT_NEAR(lengthByKind(with)[kIntersectionKind], kProjectedFrontSides, 1e-6);
    const double addedHidden = lengthByKind(with)[1] - lengthByKind(without)[1];
    EXPECT_NEAR(addedHidden, 3 * kProjectedFrontSides, 1e-6);
    EXPECT_EQ(countOf(without, kIntersectionKind), 0u);
    EXPECT_EQ(countOf(drawLines(postThroughSlab(), generalView(true), exact()), kIntersectionKind), 1u)
        << "in perspective";
}

// Resting on each other gives nothing new: the box's bottom lies in the plate's top (faces lying on each
// other), its sides touch the plate along its own bottom edges (drawn already), and a tilted box
// touches it in a corner only.
TEST_P(IntersectionLines, BodiesRestingOnEachOtherGiveNoIntersectionLine) {
    Polygon3D onFace = box(ON_3dPoint(-2, -2, -0.5), ON_3dPoint(2, 2, 0));
    append(onFace, box(ON_3dPoint(-0.5, -0.5, 0), ON_3dPoint(0.5, 0.5, 1)));
    Polygon3D onCorner = box(ON_3dPoint(-2, -2, -0.5), ON_3dPoint(2, 2, 0));
    append(onCorner, soup({{0, 0, 0}, {1, 0.2, 1}, {-0.2, 1, 1}, {0.3, -0.4, 1.2}},
                          {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}, {1, 3, 2}}));
    for (Polygon3D* scene : {&onFace, &onCorner}) {
        const std::vector<StrokeLine> with = drawLines(*scene, generalView(false), exact(), true);
        const std::vector<StrokeLine> without = drawLines(*scene, generalView(false), exact(), false);
        EXPECT_TRUE(sameDrawing(with, without));
    }
}

// A closed band round a pentagram (its corners taken every 144 degrees, so it winds twice round the
// axis), capped by fans from two apexes: every face looks away from its centre, yet the band passes
// through itself along five vertical lines, 2 long, where the pentagram's sides cross. A part that
// merely faces away from its centre must not be taken for one that cannot cross itself.
TEST_P(IntersectionLines, ABodyWoundTwiceRoundItsCentreGetsTheLinesWhereItPassesThroughItself) {
    std::vector<ON_3dPoint> points{{0, 0, 3}, {0, 0, -3}};
    std::vector<std::array<std::uint32_t, 3>> triangles;
    for (std::uint32_t k = 0; k < 5; ++k) {
        const double angle = k * 0.8 * 3.141592653589793;
        points.emplace_back(std::cos(angle), std::sin(angle), 1.0);
        points.emplace_back(std::cos(angle), std::sin(angle), -1.0);
    }
    for (std::uint32_t k = 0; k < 5; ++k) {
        const std::uint32_t top = 2 + 2 * k, bottom = top + 1;
        const std::uint32_t nextTop = 2 + 2 * ((k + 1) % 5), nextBottom = nextTop + 1;
        triangles.push_back({bottom, nextBottom, nextTop});
        triangles.push_back({bottom, nextTop, top});
        triangles.push_back({0, top, nextTop});
        triangles.push_back({1, nextBottom, bottom});
    }
    const Polygon3D band = soup(points, triangles);
    auto with = lengthByKind(drawLines(band, generalView(false), exact(), true));
    auto without = lengthByKind(drawLines(band, generalView(false), exact(), false));
    // Vertical lines, seen from (3, -4, 5), are sqrt(1 - 25 / 50) of their length.
    EXPECT_NEAR(with[kIntersectionKind] + with[1] - without[1], 5 * 2 * std::sqrt(0.5), 1e-6);
}

// An open strip between radii 1 and 2 wound twice round the z axis, every triangle facing up, whose
// second turn passes through the first where 0.5 cos(a / 2) + 0.05 a meets itself a turn later: where
// cos(a / 2) = pi / 10, along a level radial segment 1 long. Each turn alone is a height field; the
// sheet as a whole is not, and must get its line.
TEST_P(IntersectionLines, ASheetWoundThroughItselfGetsItsLine) {
    std::vector<ON_3dPoint> points;
    std::vector<std::array<std::uint32_t, 3>> triangles;
    const std::uint32_t steps = 96;
    const auto height = [](double a) { return 0.5 * std::cos(a / 2) + 0.05 * a; };
    for (std::uint32_t k = 0; k <= steps; ++k) {
        const double a = 4 * 3.141592653589793 * k / steps;
        points.emplace_back(std::cos(a), std::sin(a), height(a));
        points.emplace_back(2 * std::cos(a), 2 * std::sin(a), height(a));
    }
    for (std::uint32_t k = 0; k < steps; ++k) {
        triangles.push_back({2 * k, 2 * k + 1, 2 * k + 3});
        triangles.push_back({2 * k, 2 * k + 3, 2 * k + 2});
    }
    const Polygon3D strip = soup(points, triangles);
    auto with = lengthByKind(drawLines(strip, generalView(false), exact(), true));
    auto without = lengthByKind(drawLines(strip, generalView(false), exact(), false));
    const double a = 2 * std::acos(3.141592653589793 / 10);
    const double towards = (3 * std::cos(a) - 4 * std::sin(a)) / std::sqrt(50.0);
    EXPECT_NEAR(with[kIntersectionKind] + with[1] - without[1], std::sqrt(1 - towards * towards), 0.02);
}

// A model large enough to have its parts sorted out on a second thread while it is projected: a post
// through a fine sphere meets it in two loops, the top one seen whole as one line (the bottom one lies
// under the sphere), and the sphere alone (a part that cannot cross itself) gets none.
TEST_P(IntersectionLines, ALargeSphereWithAPostThroughItGetsItsLoops) {
    Polygon3D scene = sphere(200, 200);
    ASSERT_GT(scene.triangles.size(), std::size_t{1} << 16);
    const auto sphereAlone = lengthByKind(drawLines(scene, generalView(false), exact(), true));
    append(scene, box(ON_3dPoint(-0.2, -0.2, -1.5), ON_3dPoint(0.2, 0.2, 1.5)));
    const std::vector<StrokeLine> lines = drawLines(scene, generalView(false), exact(), true);
    EXPECT_EQ(sphereAlone.count(kIntersectionKind), 0u);
    EXPECT_EQ(countOf(lines, kIntersectionKind), 1u);
}

// A slab a thousand times wider than the posts through it: filed into cells of the posts' size, each
// of its triangles would take some hundred thousand; the grid is made coarser instead, and the posts'
// loops come out as on a slab of their own size (seen from far away, so that the wide slab lies wholly
// in front of the eye).
TEST_P(IntersectionLines, ASlabFarWiderThanThePostsThroughItGetsTheirLoops) {
    const auto postsThroughSlab = [](double halfWidth) {
        Polygon3D scene = box(ON_3dPoint(-halfWidth, -halfWidth, 0), ON_3dPoint(halfWidth, halfWidth, 0.5));
        append(scene, box(ON_3dPoint(-0.5, -0.5, -1), ON_3dPoint(0.5, 0.5, 2)));
        append(scene, box(ON_3dPoint(1, -1.5, -1), ON_3dPoint(1.4, -1.1, 2)));
        return scene;
    };
    const double distance = 1e5;
    const ON_3dPoint eye(kTowardsEye.x * distance, kTowardsEye.y * distance, 0.5 + kTowardsEye.z * distance);
    const ViewInfoCriteria farAway = view(eye, ON_3dPoint(0, 0, 0.5), ON_3dVector(0, 0, 1),
                                          orthographic(-3, 3, -3, 3, 1, 10 * distance), 1, 10 * distance);
    const std::vector<StrokeLine> near = drawLines(postsThroughSlab(2), farAway, exact());
    const std::vector<StrokeLine> wide = drawLines(postsThroughSlab(1e3), farAway, exact());
    EXPECT_EQ(countOf(wide, kIntersectionKind), countOf(near, kIntersectionKind));
    EXPECT_NEAR(lengthByKind(wide)[kIntersectionKind], lengthByKind(near)[kIntersectionKind], 1e-3);
    EXPECT_GT(lengthByKind(near)[kIntersectionKind], 1.0); // the front sides of both posts, in part
}

INSTANTIATE_TEST_SUITE_P(BothHideTests, IntersectionLines, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Exact" : "Specified";
                         });

// Long triangles standing in the planes y = i, crossed by others in the planes x = j: n^2 crossings of
// 2n triangles, over 0 <= x, y <= n.
Polygon3D crossingGrid(std::uint32_t n) {
    std::vector<ON_3dPoint> points;
    std::vector<std::array<std::uint32_t, 3>> triangles;
    const double w = n;
    for (std::uint32_t i = 0; i < n; ++i) {
        const auto at = static_cast<std::uint32_t>(points.size());
        // Over 0 <= x, y <= n the first cover -1 <= z <= 1 at least, the second 0 <= z <= 2.
        points.insert(points.end(), {{-w, i + 0.5, -1}, {3 * w, i + 0.5, -1}, {w, i + 0.5, 3}});
        points.insert(points.end(), {{i + 0.5, -w, 2}, {i + 0.5, 3 * w, 2}, {i + 0.5, w, -2}});
        triangles.push_back({at, at + 1, at + 2});
        triangles.push_back({at + 3, at + 4, at + 5});
    }
    return soup(points, triangles);
}

std::uint32_t sideOverBudget(std::size_t budget) {
    return static_cast<std::uint32_t>(std::ceil(std::sqrt(budget + 1.0)));
}

// Just over the budget, the call is refused while the crossings are found, with the error a result
// too large to hold gets. The plain hide test's lower budget refuses a grid far smaller, before its
// hide pass, whose lines the exact hide test draws.
TEST(IntersectionLinesBudget, ASoupCrossingAlongMoreSegmentsThanTheBudgetIsRefused) {
    const std::uint32_t n = sideOverBudget(HLRTooManyIntersectionLines::kMaxSegments);
    Polygon3D scene = crossingGrid(n);
    std::vector<StrokeLine> lines;
    const Modes modes(true, true);
    EXPECT_THROW(CalcSilhouette(everything(), isometric(ON_3dPoint(n / 2.0, n / 2.0, 0)), scene, {}, lines),
                 HLRTooManyIntersectionLines);
    EXPECT_TRUE(lines.empty());

    const std::uint32_t m = sideOverBudget(HLRTooManyIntersectionLines::kMaxSegmentsPlainHiding);
    const ViewInfoCriteria camera = isometric(ON_3dPoint(m / 2.0, m / 2.0, 0));
    EXPECT_THROW(drawLines(crossingGrid(m), camera, false), HLRTooManyIntersectionLines);
    EXPECT_GT(countOf(drawLines(crossingGrid(m), camera, true), kIntersectionKind), 0u);
}

} // namespace
