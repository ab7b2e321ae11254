// Intersection lines: where parts of a model pass through each other the drawing gets the line they
// meet along, hidden where the model covers it; where parts only rest on each other it gets nothing
// new. Every case is drawn with both hide tests.

#include "Hlr/HLRPolyAlgo.h"
#include "Scenes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

constexpr std::int32_t kIntersectionKind = 6;

// Switches the modes for one drawing, and both back off afterwards.
class Modes {
public:
    Modes(bool exact, bool intersections) {
        HLRPolyAlgo::setExactHiding(exact);
        HLRPolyAlgo::setIntersectionLines(intersections);
    }
    ~Modes() {
        HLRPolyAlgo::setExactHiding(false);
        HLRPolyAlgo::setIntersectionLines(false);
    }
};

// A 4 x 4 slab, 0.5 thick, with a 1 x 1 post standing through it from z = -1 to z = 2: the post meets
// the slab's top in a square loop at z = 0.5 and its bottom in another at z = 0.
Polygon3D postThroughSlab() {
    Polygon3D scene = box(ON_3dPoint(-2, -2, 0), ON_3dPoint(2, 2, 0.5));
    append(scene, box(ON_3dPoint(-0.5, -0.5, -1), ON_3dPoint(0.5, 0.5, 2)));
    return scene;
}

// Seen from above, in front of the post's -y side and right of its +x side.
const ON_3dVector kTowardsEye(3, -4, 5);

// The length of the loop's -y and +x sides (each 1 long) seen in a parallel view from kTowardsEye.
double projectedFrontSides() {
    const double squared =
        kTowardsEye.x * kTowardsEye.x + kTowardsEye.y * kTowardsEye.y + kTowardsEye.z * kTowardsEye.z;
    return std::sqrt(1 - kTowardsEye.x * kTowardsEye.x / squared) +
           std::sqrt(1 - kTowardsEye.y * kTowardsEye.y / squared);
}

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

std::vector<StrokeLine> ofKind(std::vector<StrokeLine> const& lines, std::int32_t kind) {
    std::vector<StrokeLine> result;
    for (StrokeLine const& line : lines)
        if (line.kind == kind)
            result.push_back(line);
    return result;
}

class IntersectionLines : public ::testing::TestWithParam<bool> {
protected:
    bool exact() const { return GetParam(); }
};

// The loop's two sides that face the eye are visible, drawn as one line from one of the post's edges
// round the front one to the third; the far sides lie behind the post and the lower loop under the slab.
TEST_P(IntersectionLines, PostThroughSlabDrawsTheVisibleSidesOfItsLoopAsOneLine) {
    const std::vector<StrokeLine> visible =
        ofKind(drawLines(postThroughSlab(), generalView(false), exact()), kIntersectionKind);
    ASSERT_EQ(visible.size(), 1u);
    EXPECT_NEAR(lineLength(visible[0]), projectedFrontSides(), 1e-6);
}

// With hidden lines, the rest of both loops is drawn hidden: the drawing has the whole length of the
// loops (8) seen in projection, visible and hidden together.
TEST_P(IntersectionLines, HiddenPartsOfTheLoopsAreHiddenLines) {
    const std::vector<StrokeLine> without = drawLines(postThroughSlab(), generalView(false), exact(), false);
    const std::vector<StrokeLine> with = drawLines(postThroughSlab(), generalView(false), exact(), true);
    const double added = lengthByKind(with)[1] - lengthByKind(without)[1];
    EXPECT_NEAR(added + lengthByKind(with)[kIntersectionKind], 4 * projectedFrontSides(), 1e-6);
    EXPECT_EQ(ofKind(without, kIntersectionKind).size(), 0u);
}

// In perspective, the same single line.
TEST_P(IntersectionLines, PerspectiveViewDrawsTheLoopToo) {
    const std::vector<StrokeLine> visible =
        ofKind(drawLines(postThroughSlab(), generalView(true), exact()), kIntersectionKind);
    ASSERT_EQ(visible.size(), 1u);
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

INSTANTIATE_TEST_SUITE_P(BothHideTests, IntersectionLines, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Exact" : "Specified";
                         });

// The pairs are tested by several threads; the drawing must not depend on which finds what first.
TEST(IntersectionLinesOfManyBodies, AreTheSameEveryRun) {
    Polygon3D scene;
    for (int i = 0; i < 40; ++i) {
        // Each cube pushed halfway into the one before, a little off its axis.
        const ON_3dPoint corner(0.5 * i, 0.3 * std::sin(i), 0.2 * std::cos(i));
        append(scene, box(corner, ON_3dPoint(corner.x + 1, corner.y + 1, corner.z + 1)));
    }
    const std::vector<StrokeLine> first = drawLines(scene, isometric(ON_3dPoint(10, 0.5, 0.5)), true);
    EXPECT_GT(ofKind(first, kIntersectionKind).size(), 20u);
    for (int run = 0; run < 3; ++run)
        EXPECT_TRUE(sameDrawing(first, drawLines(scene, isometric(ON_3dPoint(10, 0.5, 0.5)), true)));
}

} // namespace
