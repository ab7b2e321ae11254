#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjector.h"
#include "api/KvHLRRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

using Edge = HLRProjectedTriangleEdge;
using Point = std::pair<double, double>;

// The unit cube, wound counter-clockwise seen from outside, or inside out.
Polygon3D cube(bool insideOut) {
    Polygon3D cube;
    for (int i = 0; i < 8; ++i)
        cube.points.emplace_back(i & 1, (i >> 1) & 1, (i >> 2) & 1);
    cube.triangles = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                      {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    for (auto& triangle : cube.triangles)
        if (insideOut)
            std::swap(triangle[1], triangle[2]);
    return cube;
}

// Orthographic, three faces in sight: the cube turned about y, then about x, ten units ahead.
HLRProjector generalView() {
    const double ca = std::cos(0.45), sa = std::sin(0.45), cb = std::cos(0.6), sb = std::sin(0.6);
    const double r[3][3] = {{cb, 0, sb}, {sa * sb, ca, -sa * cb}, {-ca * sb, sa, ca * cb}};
    double mv[4][4] = {}, proj[4][4] = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            mv[j][i] = r[i][j]; // the projector reads its arrays column by column
        mv[3][i] = -0.5 * (r[i][0] + r[i][1] + r[i][2]) - (i == 2 ? 10.0 : 0.0);
    }
    mv[3][3] = 1.0;
    for (int i = 0; i < 4; ++i)
        proj[i][i] = 1.0;
    return HLRProjector(mv, proj, 0.1, 100.0);
}

// The strokes as a drawing: rounded end points, each segment in one orientation.
std::set<std::pair<Point, Point>> drawing(const std::vector<HLRShortStroke*>& strokes) {
    auto rounded = [](const HLRStrokeEnd* e) {
        return Point(std::round(e->point().x() * 1e6), std::round(e->point().y() * 1e6));
    };
    std::set<std::pair<Point, Point>> result;
    for (const HLRShortStroke* s : strokes)
        result.insert(std::minmax(rounded(s->end1()), rounded(s->end2())));
    return result;
}

class HLRPolyAlgoTest : public ::testing::Test {
protected:
    HLRPolyAlgoTest() {
        m_model.build(cube(false));
    }
    ~HLRPolyAlgoTest() override { HLRPolyAlgo::sm_bConvexityReversed = false; }

    HLRModel m_model;
    HLRProjector m_projector = generalView();
    const double m_angle = 135.0 * 3.141592653589793 / 180.0;
};

TEST_F(HLRPolyAlgoTest, CubeGivesItsOutlineInnerEdgesAndHiddenBackEdges) {
    HLRPolyAlgo algo(m_model, m_projector, m_angle, true, 800, nullptr);
    EXPECT_TRUE(algo.procs().empty());
    algo.execute();
    EXPECT_FALSE(algo.convexityReversed());
    EXPECT_EQ(drawing(algo.silhouetteStrokes()).size(), 6u);
    EXPECT_EQ(drawing(algo.convexSharpEdgeStrokes()).size(), 3u);
    for (const HLRShortStroke* s : algo.convexSharpEdgeStrokes())
        EXPECT_TRUE(s->type() & Edge::CONVEX_SHARP_EDGE);
    EXPECT_TRUE(algo.concaveSharpEdgeStrokes().empty());
    EXPECT_EQ(drawing(algo.hiddenStrokes()).size(), 3u);
    // A group for the triangle data and one for the shell's empty free-edge set.
    ASSERT_EQ(algo.shortStrokeGroups().size(), 2u);
    EXPECT_EQ(algo.shortStrokeGroups().front().ends().size(), 8u);
}

TEST_F(HLRPolyAlgoTest, InsideOutModelIsDetectedAndItsSharpEdgesStillComeOutConvex) {
    HLRPolyAlgo reference(m_model, m_projector, m_angle, true, 800, nullptr);
    reference.execute();
    HLRModel insideOut;
    insideOut.build(cube(true));
    HLRPolyAlgo algo(insideOut, m_projector, m_angle, true, 800, nullptr);
    algo.execute();

    EXPECT_TRUE(algo.convexityReversed());
    EXPECT_TRUE(HLRPolyAlgo::sm_bConvexityReversed);
    EXPECT_EQ(drawing(algo.convexSharpEdgeStrokes()), drawing(reference.convexSharpEdgeStrokes()));
    EXPECT_EQ(drawing(algo.silhouetteStrokes()), drawing(reference.silhouetteStrokes()));
    EXPECT_TRUE(algo.concaveSharpEdgeStrokes().empty());
    ASSERT_FALSE(algo.convexSharpEdgeStrokes().empty());
    for (const HLRShortStroke* s : algo.convexSharpEdgeStrokes())
        EXPECT_EQ(s->type() & Edge::SHARP_EDGE_MASK, Edge::CONVEX_SHARP_EDGE);
    // Their ends still find the corrected strokes, and the group follows the vote.
    const HLRShortStroke* sharp = algo.convexSharpEdgeStrokes().front();
    const std::vector<HLRStroke*>& atEnd = sharp->end1()->linkedStrokes(sharp->type()).strokes();
    EXPECT_NE(std::find(atEnd.begin(), atEnd.end(), sharp), atEnd.end());
    EXPECT_TRUE(algo.shortStrokeGroups().front().convexityReversed());

    // Without a model nothing is found, and the orientation is taken as it comes.
    HLRPolyAlgo empty;
    empty.execute();
    EXPECT_TRUE(empty.shortStrokeGroups().empty());
    EXPECT_FALSE(HLRPolyAlgo::sm_bConvexityReversed);
    empty.renewStrokeNetwork(Edge::ALL_MASK, 1e-6);
    EXPECT_FALSE(empty.networkRenewed());
}

} // namespace
