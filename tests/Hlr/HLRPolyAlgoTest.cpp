#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRCancelException.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRProgressObservableProc.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjector.h"
#include "api/KvHLRRecords.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

using Edge = HLRProjectedTriangleEdge;

// The unit cube, every triangle wound counter-clockwise seen from outside, or all the other way.
Polygon3D cube(bool insideOut) {
    Polygon3D cube;
    for (int i = 0; i < 8; ++i)
        cube.points.emplace_back(i & 1, (i >> 1) & 1, (i >> 2) & 1);
    cube.triangles = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                      {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    if (insideOut)
        for (auto& triangle : cube.triangles)
            std::swap(triangle[1], triangle[2]);
    return cube;
}

// An orthographic view of the cube from a general direction (three faces in sight), ten units in
// front of the eye.
HLRProjector generalView() {
    const double a = 0.45, b = 0.6; // rotations about x and y
    const double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    // Rx(a) * Ry(b), then the cube's centre moved to (0, 0, -10).
    const double r[3][3] = {{cb, 0, sb}, {sa * sb, ca, -sa * cb}, {-ca * sb, sa, ca * cb}};
    double rowOrder[4][4] = {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            rowOrder[i][j] = r[i][j];
        rowOrder[i][3] = -0.5 * (r[i][0] + r[i][1] + r[i][2]) + (i == 2 ? -10.0 : 0.0);
    }
    rowOrder[3][3] = 1.0;
    double mv[4][4], proj[4][4] = {};
    for (int i = 0; i < 4; ++i) {
        proj[i][i] = 1.0;
        for (int j = 0; j < 4; ++j)
            mv[j][i] = rowOrder[i][j]; // the projector reads its arrays column by column
    }
    return HLRProjector(mv, proj, 0.1, 100.0);
}

using Segment = std::pair<std::pair<double, double>, std::pair<double, double>>;

// The strokes' end points, rounded and ordered, so that two runs can be compared as drawings.
std::set<Segment> segments(const std::vector<HLRShortStroke*>& strokes) {
    auto rounded = [](const HLRVector2D& p) {
        return std::make_pair(std::round(p.x() * 1e6) / 1e6, std::round(p.y() * 1e6) / 1e6);
    };
    std::set<Segment> result;
    for (const HLRShortStroke* s : strokes) {
        auto a = rounded(s->end1()->point()), b = rounded(s->end2()->point());
        result.insert(a < b ? Segment(a, b) : Segment(b, a));
    }
    return result;
}

bool allHave(const std::vector<HLRShortStroke*>& strokes, int bits) {
    for (const HLRShortStroke* s : strokes)
        if ((s->type() & bits) != bits)
            return false;
    return true;
}

// What a progress callback sees: the stage that reports and the percentage.
std::vector<std::pair<std::string, long>> g_reports;
std::string g_cancelIn;
std::size_t g_cancelAfter = 0;

int recordProgress(long percent, long total) {
    EXPECT_EQ(total, 100);
    const std::string stage = HLRProgressObservableProc::current()->name();
    g_reports.emplace_back(stage, percent);
    if (stage == g_cancelIn && --g_cancelAfter == 0)
        return 1;
    return 0;
}

class HLRPolyAlgoTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_reports.clear();
        g_cancelIn.clear();
        HLRPolyAlgo::sm_bConvexityReversed = false;
    }
    void TearDown() override { HLRPolyAlgo::sm_bConvexityReversed = false; }

    HLRModel& model(bool insideOut) {
        m_model.build(cube(insideOut));
        return m_model;
    }

    HLRModel m_model;
    HLRProjector m_projector = generalView();
    const double m_sharpEdgeAngle = 135.0 * 3.141592653589793 / 180.0;
};

TEST_F(HLRPolyAlgoTest, CubeGivesItsOutlineInnerEdgesAndHiddenBackEdges) {
    HLRPolyAlgo algo(model(false), m_projector, m_sharpEdgeAngle, true, 800, nullptr);
    algo.execute();

    EXPECT_FALSE(algo.convexityReversed());
    EXPECT_EQ(segments(algo.silhouetteStrokes()).size(), 6u);
    EXPECT_EQ(segments(algo.convexSharpEdgeStrokes()).size(), 3u);
    EXPECT_TRUE(allHave(algo.convexSharpEdgeStrokes(), Edge::VISIBLE_EDGE | Edge::CONVEX_SHARP_EDGE));
    EXPECT_TRUE(algo.concaveSharpEdgeStrokes().empty());
    EXPECT_EQ(segments(algo.hiddenStrokes()).size(), 3u);
    EXPECT_TRUE(algo.freeEdgeStrokes().empty());

    // One group for the triangle data and one for the shell's (empty) free-edge set; 7 visible
    // corners and the hidden one.
    ASSERT_EQ(algo.shortStrokeGroups().size(), 2u);
    EXPECT_EQ(algo.shortStrokeGroups().front().ends().size(), 8u);
    EXPECT_EQ(algo.strokeEnds().size(), 8u);
    EXPECT_TRUE(algo.shortStrokeGroups().back().ends().empty());

    HLRShortStrokeEnd* bounding[4] = {};
    algo.getBoundingStrokeEnds(bounding);
    for (const HLRShortStrokeEnd* end : bounding)
        ASSERT_NE(end, nullptr);
    EXPECT_LT(bounding[0]->point().x(), bounding[1]->point().x());
    EXPECT_LT(bounding[2]->point().y(), bounding[3]->point().y());
    EXPECT_FALSE(HLRPolyAlgo::checkPolygonsReverse(bounding));
}

TEST_F(HLRPolyAlgoTest, InsideOutModelIsDetectedAndItsSharpEdgesStillComeOutConvex) {
    HLRPolyAlgo reference(model(false), m_projector, m_sharpEdgeAngle, true, 800, nullptr);
    reference.execute();
    const std::set<Segment> convex = segments(reference.convexSharpEdgeStrokes());

    HLRModel insideOut;
    insideOut.build(cube(true));
    HLRPolyAlgo algo(insideOut, m_projector, m_sharpEdgeAngle, true, 800, nullptr);
    algo.execute();

    EXPECT_TRUE(algo.convexityReversed());
    EXPECT_TRUE(HLRPolyAlgo::sm_bConvexityReversed);
    EXPECT_EQ(segments(algo.convexSharpEdgeStrokes()), convex);
    EXPECT_TRUE(allHave(algo.convexSharpEdgeStrokes(), Edge::VISIBLE_EDGE | Edge::CONVEX_SHARP_EDGE));
    for (const HLRShortStroke* s : algo.convexSharpEdgeStrokes())
        EXPECT_EQ(s->type() & Edge::CONCAVE_TEND_EDGE_MASK, 0);
    EXPECT_TRUE(algo.concaveSharpEdgeStrokes().empty());
    EXPECT_EQ(segments(algo.silhouetteStrokes()), segments(reference.silhouetteStrokes()));

    // The ends still find the corrected strokes, and the group follows the vote.
    ASSERT_FALSE(algo.convexSharpEdgeStrokes().empty());
    const HLRShortStroke* sharp = algo.convexSharpEdgeStrokes().front();
    const auto& atEnd = sharp->end1()->linkedStrokes(sharp->type()).strokes();
    EXPECT_NE(std::find(atEnd.begin(), atEnd.end(), sharp), atEnd.end());
    const HLRShortStrokeGroup& group = algo.shortStrokeGroups().front();
    EXPECT_TRUE(group.convexityReversed());
    EXPECT_EQ(group.concaveSharpEdgeStrokes().size(), algo.convexSharpEdgeStrokes().size());
}

TEST_F(HLRPolyAlgoTest, WithoutAModelTheRunLeavesEverythingEmpty) {
    HLRPolyAlgo::sm_bConvexityReversed = true;
    HLRPolyAlgo algo;
    algo.execute();
    EXPECT_TRUE(algo.procs().empty());
    EXPECT_TRUE(algo.shortStrokeGroups().empty());
    EXPECT_TRUE(algo.strokeEnds().empty());
    EXPECT_TRUE(algo.hiddenStrokes().empty());
    EXPECT_TRUE(algo.silhouetteStrokes().empty());
    EXPECT_FALSE(algo.convexityReversed());
    EXPECT_FALSE(HLRPolyAlgo::sm_bConvexityReversed);

    algo.renewStrokeNetwork(Edge::ALL_MASK, 1e-6);
    EXPECT_FALSE(algo.networkRenewed());
}

TEST_F(HLRPolyAlgoTest, NetworkIsRenewedOnceAndNumbersTheEnds) {
    HLRPolyAlgo algo(model(false), m_projector, m_sharpEdgeAngle, true, 800, nullptr);
    algo.execute();
    for (const HLRShortStrokeEnd* end : algo.strokeEnds())
        EXPECT_EQ(end->id(), -1);

    algo.renewStrokeNetwork(Edge::ALL_MASK, 1e-6);
    EXPECT_TRUE(algo.networkRenewed());
    std::int32_t expected = 0;
    for (const HLRShortStrokeEnd& end : algo.shortStrokeGroups().front().ends())
        EXPECT_EQ(end.id(), expected++);

    HLRShortStrokeEnd* first = algo.strokeEnds().front();
    first->setId(99);
    algo.renewStrokeNetwork(Edge::ALL_MASK, 1e-6);
    EXPECT_EQ(first->id(), 99);
}

TEST_F(HLRPolyAlgoTest, ProgressRunsThroughEveryStageInOrder) {
    HLRPolyAlgo silent(model(false), m_projector, m_sharpEdgeAngle, true, 800, nullptr);
    EXPECT_TRUE(silent.procs().empty());
    silent.execute();
    EXPECT_TRUE(g_reports.empty());

    HLRPolyAlgo algo(m_model, m_projector, m_sharpEdgeAngle, true, 800, &recordProgress);
    EXPECT_EQ(algo.procs().size(), 12u);
    algo.execute();

    // Consecutive reports of one stage collapsed into (stage, number of reports, last percentage).
    struct Stage {
        std::string name;
        std::size_t reports;
        long last;
    };
    std::vector<Stage> stages;
    for (const auto& report : g_reports) {
        if (stages.empty() || stages.back().name != report.first)
            stages.push_back({report.first, 0, 0});
        ++stages.back().reports;
        stages.back().last = report.second;
    }
    const std::vector<std::string> expectedOrder = {"HLRProjectedModel::preBuild",
                                                    "HLRProjectedModel::mainBuild",
                                                    "HLRProjectedModel::postBuild",
                                                    "HLRProjectedModel::build",
                                                    "HLRPolyAlgo::preProcess",
                                                    "HLRProjectedModel::mainProcess",
                                                    "HLRProjectedModel::execute",
                                                    "HLRPolyAlgo::mainProcess",
                                                    "HLRPolyAlgo::processHiddenStatusOfEdges",
                                                    "HLRPolyAlgo::correctConvexityOfStrokes",
                                                    "HLRPolyAlgo::postProcess",
                                                    "HLRPolyAlgo::execute"};
    ASSERT_EQ(stages.size(), expectedOrder.size());
    for (std::size_t i = 0; i < stages.size(); ++i)
        EXPECT_EQ(stages[i].name, expectedOrder[i]);

    // The phases weigh 20, 70 and 10 percent; the extraction takes 80 percent of its phase, one
    // step per edge plus its end.
    EXPECT_NEAR(stages[4].last, 20, 1);
    EXPECT_NEAR(stages[7].last, 90, 1);
    EXPECT_EQ(stages[8].reports, algo.getModel().edgeCount() + 1u);
    EXPECT_NEAR(stages[8].last, 98, 1);
    EXPECT_EQ(stages[11].last, 100);
    // Never backwards, but for the truncation of sums of weights that are not exact in binary
    // (0.2 + 0.7 + 0.1 is just below 1, so the post-process phase ends at 99).
    for (std::size_t i = 1; i < g_reports.size(); ++i)
        EXPECT_LE(g_reports[i - 1].second, g_reports[i].second + 1) << g_reports[i].first;
}

TEST_F(HLRPolyAlgoTest, CancellingDuringTheExtractionStopsTheRunHalfwayAndLeavesNextRunsIntact) {
    HLRPolyAlgo complete(model(false), m_projector, m_sharpEdgeAngle, true, 800, nullptr);
    complete.execute();

    g_cancelIn = "HLRPolyAlgo::processHiddenStatusOfEdges";
    g_cancelAfter = 5;
    {
        HLRPolyAlgo algo(m_model, m_projector, m_sharpEdgeAngle, true, 800, &recordProgress);
        try {
            algo.execute();
            FAIL() << "the run was not cancelled";
        } catch (const HLRCancelException& cancel) {
            EXPECT_STREQ(
                cancel.what(),
                "HLRProgressObservableProc::updateObserver(): HLRPolyAlgo::processHiddenStatusOfEdges "
                "is canceled.");
        }
        // Five of the cube's edges were cut; the free-edge group was never started.
        EXPECT_EQ(algo.shortStrokeGroups().size(), 1u);
        EXPECT_LT(algo.strokeEnds().size(), complete.strokeEnds().size());
        EXPECT_EQ(g_reports.back().first, g_cancelIn);
    }
    EXPECT_TRUE(HLRProgressObservableProc::sessionStack().empty());

    g_cancelIn.clear();
    g_reports.clear();
    HLRPolyAlgo again(m_model, m_projector, m_sharpEdgeAngle, true, 800, &recordProgress);
    again.execute();
    EXPECT_EQ(g_reports.back(), std::make_pair(std::string("HLRPolyAlgo::execute"), 100L));
    EXPECT_EQ(segments(again.silhouetteStrokes()), segments(complete.silhouetteStrokes()));
    EXPECT_EQ(again.strokeEnds().size(), complete.strokeEnds().size());
}

} // namespace
