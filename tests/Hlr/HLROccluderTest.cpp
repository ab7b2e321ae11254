#include "Hlr/HLROccluder.h"

#include "EdgeHideTestScene.h"
#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLRExactHiding.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

#include <gtest/gtest.h>

#include <deque>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

// Exact hiding's hide test in an orthographic view looking along -z, on the grids of
// EdgeHideTestScene: the triangle (0, 0), (4, 0), (0, 4) on screen at view depth -2, and edges offered
// to it. The exact tolerances and the centre of projection are set for the scene and restored after.
class HLROccluderTest : public ::testing::Test {
protected:
    HLROccluderTest()
        : m_savedTolerance2D(HLRProjectedModel::sm_dExactTolerance2D),
          m_savedTolerance3D(HLRProjectedModel::sm_dExactTolerance3D),
          m_savedCentre(HLRProjectedModel::sm_projectionCentre), m_savedWRow(HLRProjectedModel::sm_screenWRow) {
        HLRProjectedModel::sm_dExactTolerance2D = EdgeHideTestScene::kTolerance2D;
        HLRProjectedModel::sm_dExactTolerance3D = EdgeHideTestScene::kTolerance3D;
        HLRProjectedModel::sm_projectionCentre = HLRVector4D(0.0, 0.0, 1.0, 0.0);
        HLRProjectedModel::sm_screenWRow = HLRVector4D(0.0, 0.0, 0.0, 1.0);
        m_occluder.image.setCorners(a, b, c);
        m_occluder.image.packBoxes(m_occluder.box2D, m_occluder.box3D);
    }
    ~HLROccluderTest() override {
        HLRProjectedModel::sm_dExactTolerance2D = m_savedTolerance2D;
        HLRProjectedModel::sm_dExactTolerance3D = m_savedTolerance3D;
        HLRProjectedModel::sm_projectionCentre = m_savedCentre;
        HLRProjectedModel::sm_screenWRow = m_savedWRow;
    }

    // Offers the edge from p to q, a sharp edge on the given triangles, to the occluder.
    const HLRExactEdge& offer(const HLRProjectedTriangleVertex* p, const HLRProjectedTriangleVertex* q,
                              const HLRTriangleImage* left = nullptr) {
        HLRExactEdge& edge =
            m_edges.emplace_back(p, q, left, nullptr, HLRProjectedTriangleEdge::CONVEX_SHARP_EDGE);
        edge.setBoundingBox2D();
        edge.setBoundingBox3D();
        m_occluder.hide(edge);
        return edge;
    }

    EdgeHideTestScene scene{true};
    const HLRProjectedTriangleVertex* a = scene.vertex(0, 0, -2);
    const HLRProjectedTriangleVertex* b = scene.vertex(4, 0, -2);
    const HLRProjectedTriangleVertex* c = scene.vertex(0, 4, -2);
    HLROccluder m_occluder;

private:
    double m_savedTolerance2D;
    double m_savedTolerance3D;
    HLRVector4D m_savedCentre;
    HLRVector4D m_savedWRow;
    std::deque<HLRExactEdge> m_edges;
};

} // namespace

TEST_F(HLROccluderTest, EdgePiercingThePlaneIsHiddenOnlyBeyondIt) {
    // Inside the triangle on screen all along, from in front of its plane to behind it.
    const HLRExactEdge& edge = offer(scene.vertex(0.5, 1, -1), scene.vertex(2.5, 1, -3));
    ASSERT_FALSE(edge.isAllHidden());
    ASSERT_EQ(edge.hiddenIntervals().size(), 1);
    EXPECT_NEAR(edge.hiddenIntervals().intervalAt(1).from, 0.5, 1e-4);
    EXPECT_EQ(edge.hiddenIntervals().intervalAt(1).to, 1.0);
    // The triangle it lies on never hides it.
    const HLRExactEdge& own = offer(scene.vertex(0.5, 1, -1), scene.vertex(2.5, 1, -3), &m_occluder.image);
    EXPECT_FALSE(own.isAllHidden());
    EXPECT_EQ(own.hiddenIntervals().size(), 0);
}

TEST_F(HLROccluderTest, EdgeLeavingACornerJustOutsideASideIsNotHidden) {
    // From the corner b back along the side a-b, outside it by less than the outline's growth at its far
    // end: the side through the shared corner is not grown, so no sliver of the edge is covered.
    const HLRExactEdge& edge = offer(b, scene.vertex(0, -4e-6, -3));
    EXPECT_FALSE(edge.isAllHidden());
    EXPECT_EQ(edge.hiddenIntervals().size(), 0);
    // Farther inside, the same edge is hidden all along behind the triangle.
    EXPECT_TRUE(offer(b, scene.vertex(0, 1e-3, -3)).isAllHidden());
}

// The counted test of a needle reaches past its sharp corner along a side that an edge runs beside
// within the tolerance: the hide pass passes over, before reading its corners, an occluder whose box lies
// farther than kCountReach tolerances from the stretch still to count, and that is sound only for a
// triangle that countReachBounded accepts.
TEST_F(HLROccluderTest, CountedCoverReachesPastTheBoxNoFartherThanItsBound) {
    const bool savedLevels = HLRProjectedModel::sm_bOcclusionLevels;
    const int savedCounted = HLRProjectedModel::sm_nCountedLevels;
    HLRProjectedModel::sm_bOcclusionLevels = true;
    HLRProjectedModel::sm_nCountedLevels = 3;
    const double tol = EdgeHideTestScene::kTolerance2D;
    HLROccluder front; // covers the whole edge, which is then hidden all along and counts its covers
    front.image.setCorners(scene.vertex(-10, -10, -2.5), scene.vertex(10, -10, -2.5),
                           scene.vertex(0, 10, -2.5));
    front.image.packBoxes(front.box2D, front.box3D);
    // Needles from a to (4, 0) and (4, h), and an edge just outside their long side, running past a.
    for (const double h : {1.0 / 16, 1.0 / 128, 1.0 / 8192}) {
        m_occluder.image.setCorners(a, scene.vertex(4, 0, -2), scene.vertex(4, h, -2));
        m_occluder.image.packBoxes(m_occluder.box2D, m_occluder.box3D);
        HLRExactEdge edge(scene.vertex(-0.5, -tol / 2, -3), scene.vertex(2, -tol / 2, -3), nullptr, nullptr,
                          HLRProjectedTriangleEdge::CONVEX_SHARP_EDGE);
        edge.setBoundingBox2D();
        edge.setBoundingBox3D();
        front.hide(edge);
        ASSERT_TRUE(edge.isAllHidden());
        m_occluder.hide(edge);
        double reach = 0.0; // how far the needle's count reaches past a, which is its box's least x
        for (const HLRCoverCounts::Stretch& stretch : edge.levelsWithin(0.0, 1.0)) {
            if (stretch.count == 2)
                reach = std::max(reach, -edge.coordinate2DAt(stretch.from).x());
        }
        // Where side c-a meets the edge's line, to the counts' steps of 2^-16 of the edge.
        EXPECT_NEAR(reach, 2 * tol / h, 2.5 / 65536) << h;
        // The two blunter needles are bounded, the sharpest is not and would be passed over wrongly.
        EXPECT_EQ(m_occluder.countReachBounded(), h > 1e-3) << h;
        EXPECT_EQ(reach <= HLROccluder::kCountReach * tol, m_occluder.countReachBounded()) << h;
    }
    HLRProjectedModel::sm_bOcclusionLevels = savedLevels;
    HLRProjectedModel::sm_nCountedLevels = savedCounted;
}

// The hide pass tries the occluders that hid some of a thread's last edges before it asks the grid, and
// hides an edge all along on their word alone: each edge must end as it does when hidden with no edge
// before it. Edges behind a square of two triangles run out past its right side by a sliver or more,
// where a third triangle covers some of them and none of the first ones.
TEST_F(HLROccluderTest, HidePassEndsEachEdgeAsItsOwnQueryDoes) {
    const HLRProjectedTriangleVertex* d = scene.vertex(4, 4, -2);
    std::deque<HLROccluder> occluders(3);
    occluders[0] = m_occluder;
    occluders[1].image.setCorners(b, d, c);
    occluders[2].image.setCorners(scene.vertex(3.9, -1, -2), scene.vertex(5.9, -1, -2),
                                  scene.vertex(3.9, 3, -2)); // covers x <= 5.4 - y / 2
    std::vector<const HLROccluder*> all;
    for (HLROccluder& occluder : occluders) {
        occluder.image.packBoxes(occluder.box2D, occluder.box3D);
        all.push_back(&occluder);
    }
    std::deque<HLRExactEdge> edges;
    for (double y = 0.2; y < 3.9; y += 0.1)
        for (const double end : {3.5, 4.01, 4.27}) {
            HLRExactEdge& edge =
                edges.emplace_back(scene.vertex(0.5, y, -5), scene.vertex(end, y, -5), nullptr, nullptr,
                                   HLRProjectedTriangleEdge::CONVEX_SHARP_EDGE);
            edge.setBoundingBox2D();
            edge.setBoundingBox3D();
        }
    const auto hide = [&all](const std::vector<HLRExactEdge*>& some) {
        HLRExactHiding::hideEdges(HLRExactHiding::gridOf(all, some), some);
    };
    std::deque<HLRExactEdge> alone = edges;
    std::vector<HLRExactEdge*> together;
    for (HLRExactEdge& edge : edges)
        together.push_back(&edge);
    hide(together);
    const auto pieces = [](const HLRExactEdge& edge) {
        std::vector<std::pair<double, double>> list;
        for (int i = 1; i <= edge.hiddenIntervals().size(); ++i)
            list.emplace_back(edge.hiddenIntervals().intervalAt(i).from,
                              edge.hiddenIntervals().intervalAt(i).to);
        return list;
    };
    int slivers = 0, patched = 0;
    for (std::size_t i = 0; i < edges.size(); ++i) {
        hide({&alone[i]});
        EXPECT_EQ(edges[i].isAllHidden(), alone[i].isAllHidden()) << i;
        EXPECT_EQ(pieces(edges[i]), pieces(alone[i])) << i;
        const double end = edges[i].endVertex()->screenPosition.x();
        const double y = edges[i].endVertex()->screenPosition.y();
        const bool covered = end < 4.0 || end < 5.4 - y / 2;
        EXPECT_EQ(edges[i].isAllHidden(), covered) << i;
        slivers += end == 4.01 && !covered;
        patched += end > 4.0 && covered;
    }
    EXPECT_GT(slivers, 5);
    EXPECT_GT(patched, 10);
}
