#include "Hlr/HLRLongStrokeGroup.h"

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRPostProcessor.h"

#include "HLRStrokeNetworkBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

// Silhouette joining on hand-built outlines. Every silhouette runs clockwise (y up) from its first
// end to its second, as the outline of a body seen from outside does.
class HLRLongStrokeGroupTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_world = HLRBoundingBox2D::world();
        HLRBoundingBox2D::setWorld(HLRBox2D(HLRVector2D(-1000, -1000), HLRVector2D(1000, 1000)));
        HLRLongStrokeGroup::sm_bToAvoidStrokeWithDeadEnd = true;
    }
    void TearDown() override { HLRBoundingBox2D::setWorld(m_world); }

    std::vector<HLRShortStrokeEnd*> circle(int count, double radius) {
        std::vector<HLRShortStrokeEnd*> made;
        for (int i = 0; i < count; ++i) {
            const double angle = -2 * 3.141592653589793 * i / count;
            made.push_back(builder.end(group, radius * std::cos(angle), radius * std::sin(angle)));
        }
        return made;
    }

    // The 10 x 10 square outline in unit strokes, and inside it a "theta": three paths between
    // X = (2, 5) and Y = (8, 5), over the top and the bottom towards Y, through the middle towards X.
    void buildSquareWithTheta() {
        std::vector<HLRShortStrokeEnd*> outline;
        for (int i = 0; i < 10; ++i)
            outline.push_back(builder.end(group, 0, i));
        for (int i = 0; i < 10; ++i)
            outline.push_back(builder.end(group, i, 10));
        for (int i = 10; i > 0; --i)
            outline.push_back(builder.end(group, 10, i));
        for (int i = 10; i > 0; --i)
            outline.push_back(builder.end(group, i, 0));
        builder.chain(group, outline, SILHOUETTE, true);
        HLRShortStrokeEnd* x = builder.end(group, 2, 5);
        HLRShortStrokeEnd* y = builder.end(group, 8, 5);
        builder.chain(group, {x, builder.end(group, 5, 7), y}, SILHOUETTE);
        builder.chain(group, {y, builder.end(group, 5, 5), x}, SILHOUETTE);
        builder.chain(group, {x, builder.end(group, 5, 3), y}, SILHOUETTE);
    }

    std::vector<const HLRLongStroke*> join(int silhouetteConnectMode) {
        m_postProcessor = std::make_unique<HLRPostProcessor>(builder.algo(), silhouetteConnectMode, nullptr);
        m_postProcessor->execute(Edge::VISIBLE_MASK | Edge::SILHOUETTE_MASK);
        std::vector<const HLRLongStroke*> valid;
        for (const HLRLongStroke* stroke : m_postProcessor->featureLines())
            if (stroke->isValid())
                valid.push_back(stroke);
        return valid;
    }
    const HLRLongStrokeGroup& longGroup() const { return m_postProcessor->longStrokeGroups().front(); }

    StrokeNetworkBuilder builder;
    HLRShortStrokeGroup& group = builder.addGroup();

private:
    HLRBox2D m_world;
    std::unique_ptr<HLRPostProcessor> m_postProcessor;
};

TEST_F(HLRLongStrokeGroupTest, AnOutlineLoopIsCutAtItsFourExtremes) {
    const int n = 4000;
    builder.chain(group, circle(n, 100), SILHOUETTE, true);
    const std::vector<const HLRLongStroke*> strokes = join(1);

    // Clockwise from the rightmost point: bottom, left, top, right.
    static const HLRVector2D extremes[] = {{100, 0}, {0, -100}, {-100, 0}, {0, 100}};
    ASSERT_EQ(strokes.size(), 4u);
    std::size_t points = 0;
    for (const HLRLongStroke* stroke : strokes) {
        EXPECT_FALSE(stroke->closed());
        points += stroke->points().size();
        const auto nearest = [](const HLRVector2D& p) {
            int best = 0;
            for (int i = 1; i < 4; ++i)
                if (p.distanceTo(extremes[i]) < p.distanceTo(extremes[best]))
                    best = i;
            EXPECT_LT(p.distanceTo(extremes[best]), 1e-9);
            return best;
        };
        EXPECT_EQ(nearest(stroke->points().back()), (nearest(stroke->points().front()) + 1) % 4);
    }
    EXPECT_EQ(points, std::size_t(n + 4));
    // The loop's flags are all cleared again.
    for (const HLRShortStrokeEnd& end : group.ends())
        EXPECT_FALSE(end.terminal());
}

TEST_F(HLRLongStrokeGroupTest, BranchPointsAndExtremesStopJoining) {
    buildSquareWithTheta();
    const std::vector<const HLRLongStroke*> strokes = join(1);

    // Four sides of the square and the three paths of the theta.
    ASSERT_EQ(strokes.size(), 7u);
    for (const HLRLongStroke* stroke : strokes)
        EXPECT_FALSE(stroke->closed());
    // Ties on an extreme coordinate: lowest at the left, highest at the right, rightmost at the
    // bottom, leftmost at the top.
    const std::array<HLRStrokeEnd*, 4>& bounding = longGroup().boundingStrokeEnds();
    EXPECT_EQ(bounding[HLRLongStrokeGroup::MIN_X]->point(), HLRVector2D(0, 0));
    EXPECT_EQ(bounding[HLRLongStrokeGroup::MAX_X]->point(), HLRVector2D(10, 10));
    EXPECT_EQ(bounding[HLRLongStrokeGroup::MIN_Y]->point(), HLRVector2D(10, 0));
    EXPECT_EQ(bounding[HLRLongStrokeGroup::MAX_Y]->point(), HLRVector2D(0, 10));
}

} // namespace
