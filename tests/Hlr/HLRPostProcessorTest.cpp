#include "Hlr/HLRPostProcessor.h"

#include "Hlr/HLRBoundingBox2D.h"

#include "HLRStrokeNetworkBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

// A world of 2000 x 2000 gives a renewal tolerance of 0.002, far below the spacing of the ends.
class HLRPostProcessorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_world = HLRBoundingBox2D::world();
        HLRBoundingBox2D::setWorld(HLRBox2D(HLRVector2D(-1000, -1000), HLRVector2D(1000, 1000)));
    }
    void TearDown() override { HLRBoundingBox2D::setWorld(m_world); }

    std::vector<HLRShortStrokeEnd*> ends(HLRShortStrokeGroup& group, const std::vector<HLRVector2D>& points) {
        std::vector<HLRShortStrokeEnd*> made;
        for (const HLRVector2D& p : points)
            made.push_back(builder.end(group, p.x(), p.y()));
        return made;
    }
    // A silhouette stroke far from everything else: its presence makes the algorithm renew the
    // network, which gives the ends their ids.
    void addLoneSilhouette(HLRShortStrokeGroup& group) {
        builder.stroke(group, builder.end(group, 500, 500), builder.end(group, 501, 500), SILHOUETTE);
    }

    StrokeNetworkBuilder builder;
    HLRShortStrokeGroup& group = builder.addGroup();

private:
    HLRBox2D m_world;
};

TEST_F(HLRPostProcessorTest, AMillionShortStrokesJoinIntoOneLongStrokeWithoutDeepRecursion) {
    // A chain snaking row by row over a 1000 x 1000 grid, a stroke per unit step.
    const int n = 1000000;
    const auto point = [](int i) {
        const int row = i / 1000;
        const int column = i % 1000;
        return HLRVector2D(row % 2 == 0 ? column : 999 - column, row);
    };
    std::vector<HLRShortStrokeEnd*> chain;
    chain.reserve(n + 1);
    for (int i = 0; i <= n; ++i)
        chain.push_back(builder.end(group, point(i).x(), point(i).y()));
    builder.chain(group, chain, CONVEX);
    addLoneSilhouette(group);

    HLRPostProcessor postProcessor(builder.algo(), 1, nullptr);
    postProcessor.execute(Edge::VISIBLE_MASK | Edge::CONVEX_SHARP_EDGE_MASK);

    EXPECT_DOUBLE_EQ(postProcessor.tolerance(), 0.002);
    ASSERT_EQ(postProcessor.featureLines().size(), 1u);
    const HLRLongStroke& joined = *postProcessor.featureLines().front();
    EXPECT_EQ(joined.type(), CONVEX);
    EXPECT_FALSE(joined.closed());
    ASSERT_EQ(joined.points().size(), std::size_t(n + 1));
    for (int i : {0, 999, 1000, 12345, n})
        EXPECT_EQ(joined.points()[i], point(i));
    EXPECT_EQ(joined.end1()->id(), chain.front()->id());
    EXPECT_EQ(joined.end2()->id(), chain.back()->id());
    EXPECT_TRUE(std::none_of(group.convexSharpEdgeStrokes().begin(), group.convexSharpEdgeStrokes().end(),
                             [](const HLRShortStroke& s) { return s.isValid(); }));
}

TEST_F(HLRPostProcessorTest, ALoopBecomesOneClosedLongStrokeRegisteredOnceAtItsEnd) {
    builder.chain(group, ends(group, {{0, 0}, {1, 0}, {2, 1}, {1, 2}, {0, 2}, {-1, 1}}), CONVEX, true);
    addLoneSilhouette(group);
    HLRPostProcessor postProcessor(builder.algo(), 1, nullptr);
    postProcessor.execute(Edge::VISIBLE_MASK | Edge::CONVEX_SHARP_EDGE_MASK);

    ASSERT_EQ(postProcessor.featureLines().size(), 1u);
    HLRLongStroke& loop = *postProcessor.featureLines().front();
    EXPECT_TRUE(loop.closed());
    EXPECT_EQ(loop.end1(), loop.end2());
    ASSERT_EQ(loop.points().size(), 7u);
    EXPECT_EQ(loop.points().front(), loop.points().back());
    const std::vector<HLRStroke*>& registered = loop.end1()->linkedStrokes(CONVEX).strokes();
    EXPECT_EQ(std::count(registered.begin(), registered.end(), &loop), 1);
}

TEST_F(HLRPostProcessorTest, SimpleJoiningStopsWhereMoreThanTwoHiddenStrokesMeet) {
    const std::vector<HLRShortStrokeEnd*> visible = ends(group, {{0, 0}, {1, 0}, {2, 0.5}, {3, 0}});
    builder.chain(group, visible, CONVEX);
    // Three hidden strokes meeting at the second end.
    for (double y : {1.0, 2.0, 3.0})
        builder.stroke(group, visible[1], builder.end(group, 1.5, y), HIDDEN);
    addLoneSilhouette(group);
    HLRPostProcessor postProcessor(builder.algo(), 1, nullptr);
    postProcessor.execute(Edge::VISIBLE_MASK | Edge::CONVEX_SHARP_EDGE_MASK);

    ASSERT_EQ(postProcessor.featureLines().size(), 2u);
    EXPECT_EQ(postProcessor.featureLines()[0]->points().size(), 2u);
    EXPECT_EQ(postProcessor.featureLines()[1]->points().size(), 3u);
    EXPECT_EQ(postProcessor.featureLines()[0]->end2(), postProcessor.featureLines()[1]->end1());
    // The branch flags do not outlive the joining.
    EXPECT_FALSE(visible[1]->terminal());
}

} // namespace
