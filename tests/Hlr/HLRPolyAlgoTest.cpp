#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRCancelException.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRProgressObservableProc.h"
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

// What a progress callback sees: the stage that reports and the percentage.
std::vector<std::pair<std::string, long>> g_reports;
std::string g_cancelIn;
int g_cancelAfter = 0;

int recordProgress(long percent, long) {
    const std::string stage = HLRProgressObservableProc::current()->name();
    g_reports.emplace_back(stage, percent);
    return stage == g_cancelIn && --g_cancelAfter == 0;
}

class HLRPolyAlgoTest : public ::testing::Test {
protected:
    HLRPolyAlgoTest() {
        m_model.build(cube(false));
        g_reports.clear();
        g_cancelIn.clear();
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

    // Renewed once: the ends are numbered, and a second call changes nothing.
    algo.renewStrokeNetwork(Edge::ALL_MASK, 1e-6);
    EXPECT_TRUE(algo.networkRenewed());
    EXPECT_EQ(std::prev(algo.shortStrokeGroups().front().ends().end())->id(), 7);
    algo.strokeEnds().front()->setId(99);
    algo.renewStrokeNetwork(Edge::ALL_MASK, 1e-6);
    EXPECT_EQ(algo.strokeEnds().front()->id(), 99);
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

TEST_F(HLRPolyAlgoTest, ProgressRunsThroughEveryStageInOrder) {
    HLRPolyAlgo algo(m_model, m_projector, m_angle, true, 800, &recordProgress);
    algo.execute();
    // Consecutive reports of one stage collapsed into the stage, its report count and last percentage.
    std::vector<std::string> stages;
    std::vector<std::pair<std::size_t, long>> reports;
    for (const auto& report : g_reports) {
        if (stages.empty() || stages.back() != report.first) {
            stages.push_back(report.first);
            reports.emplace_back(0, 0);
        }
        reports.back() = {reports.back().first + 1, report.second};
    }
    EXPECT_EQ(stages, (std::vector<std::string>{"HLRProjectedModel::preBuild", "HLRProjectedModel::mainBuild",
                                                "HLRProjectedModel::postBuild", "HLRProjectedModel::build",
                                                "HLRPolyAlgo::preProcess", "HLRProjectedModel::mainProcess",
                                                "HLRProjectedModel::execute", "HLRPolyAlgo::mainProcess",
                                                "HLRPolyAlgo::processHiddenStatusOfEdges",
                                                "HLRPolyAlgo::correctConvexityOfStrokes",
                                                "HLRPolyAlgo::postProcess", "HLRPolyAlgo::execute"}));
    ASSERT_EQ(reports.size(), 12u);
    // The phases weigh 20, 70 and 10 percent; the extraction, 80 percent of its phase, reports each
    // edge and its end. Sums of weights inexact in binary may truncate one percent lower.
    EXPECT_NEAR(reports[4].second, 20, 1);
    EXPECT_NEAR(reports[7].second, 90, 1);
    EXPECT_EQ(reports[8].first, algo.getModel().edgeCount() + 1u);
    EXPECT_NEAR(reports[8].second, 98, 1);
    EXPECT_EQ(reports[11].second, 100);
}

TEST_F(HLRPolyAlgoTest, CancellingDuringTheExtractionStopsItAndLeavesLaterRunsIntact) {
    HLRPolyAlgo complete(m_model, m_projector, m_angle, true, 800, nullptr);
    complete.execute();
    g_cancelIn = "HLRPolyAlgo::processHiddenStatusOfEdges";
    g_cancelAfter = 5;
    {
        HLRPolyAlgo algo(m_model, m_projector, m_angle, true, 800, &recordProgress);
        try {
            algo.execute();
            FAIL() << "the run was not cancelled";
        } catch (const HLRCancelException& cancel) {
            EXPECT_STREQ(cancel.what(), "HLRProgressObservableProc::updateObserver(): "
                                        "HLRPolyAlgo::processHiddenStatusOfEdges is canceled.");
        }
        // Five edges were cut; the free-edge group was never started.
        EXPECT_EQ(algo.shortStrokeGroups().size(), 1u);
        EXPECT_LT(algo.strokeEnds().size(), complete.strokeEnds().size());
    }
    g_cancelIn.clear();
    HLRPolyAlgo again(m_model, m_projector, m_angle, true, 800, &recordProgress);
    again.execute();
    EXPECT_EQ(g_reports.back(), std::make_pair(std::string("HLRPolyAlgo::execute"), 100L));
    EXPECT_EQ(drawing(again.silhouetteStrokes()), drawing(complete.silhouetteStrokes()));
}

} // namespace
