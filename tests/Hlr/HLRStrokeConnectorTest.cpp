#include "Hlr/HLRDirectionalLeftMostConnector.h"
#include "Hlr/HLRDirectionalRightMostConnector.h"
#include "Hlr/HLRLeftMostConnector.h"
#include "Hlr/HLRRightMostConnector.h"
#include "Hlr/HLRSimpleConnector.h"

#include "HLRStrokeNetworkBuilder.h"

#include <gtest/gtest.h>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

// A walk arrives at `center` along `from`; strokes leave it in several directions.
class HLRStrokeConnectorTest : public ::testing::Test {
protected:
    // Arriving heading east at the origin. Around it: ends north, east and south, each continued
    // by one more stroke so that none of them is a dead end.
    void buildCross(double arrivalX = -1.0) {
        center = builder.end(group, 0, 0);
        west = builder.end(group, arrivalX, 0);
        from = builder.stroke(group, west, center, SILHOUETTE);
        for (auto [x, y] : {std::pair{1.0, 0.0}, {0.0, -1.0}, {0.0, 1.0}}) {
            HLRShortStrokeEnd* out = builder.end(group, x, y);
            leaving.push_back(builder.stroke(group, center, out, SILHOUETTE));
            builder.stroke(group, out, builder.end(group, 2 * x + 0.1, 2 * y + 0.1), SILHOUETTE);
        }
    }
    HLRShortStroke* east() const { return leaving[0]; }
    HLRShortStroke* south() const { return leaving[1]; }
    HLRShortStroke* north() const { return leaving[2]; }

    StrokeNetworkBuilder builder;
    HLRShortStrokeGroup& group = builder.addGroup();
    HLRShortStrokeEnd* center = nullptr;
    HLRShortStrokeEnd* west = nullptr;
    HLRShortStroke* from = nullptr;
    std::vector<HLRShortStroke*> leaving;
};

TEST_F(HLRStrokeConnectorTest, SimpleTakesTheFirstEligibleLeftTheSharpestLeftAndRightTheSharpestRight) {
    buildCross();
    EXPECT_EQ(HLRSimpleConnector().nextStroke(*center, *from), east());
    EXPECT_EQ(HLRLeftMostConnector().nextStroke(*center, *from), north());
    EXPECT_EQ(HLRRightMostConnector().nextStroke(*center, *from), south());
    center->setTerminal(true);
    EXPECT_EQ(HLRSimpleConnector().nextStroke(*center, *from), nullptr);
    EXPECT_EQ(HLRLeftMostConnector().nextStroke(*center, *from), nullptr);
    EXPECT_EQ(HLRRightMostConnector().nextStroke(*center, *from), nullptr);
    center->setTerminal(false);

    // Joined strokes are no longer eligible: the choice falls to the next best.
    east()->setValid(false);
    north()->setValid(false);
    EXPECT_EQ(HLRSimpleConnector().nextStroke(*center, *from), south());
    EXPECT_EQ(HLRLeftMostConnector().nextStroke(*center, *from), south());
}

TEST_F(HLRStrokeConnectorTest, TurnsAreMeasuredAgainstTheArrivalDirection) {
    // Arriving heading west, south is on the left and north on the right.
    buildCross(1.0);
    east()->setValid(false); // a full reversal, whose sign of turn is a matter of rounding
    EXPECT_EQ(HLRLeftMostConnector().nextStroke(*center, *from), south());
    EXPECT_EQ(HLRRightMostConnector().nextStroke(*center, *from), north());
    // Nearly turning back is sharper than a right angle on either side; the turn angles lie near
    // +pi and -pi, where a comparison of absolute directions would go wrong.
    HLRShortStroke* backLeft = builder.stroke(group, center, builder.end(group, 1.0, -0.01), SILHOUETTE);
    HLRShortStroke* backRight = builder.stroke(group, center, builder.end(group, 1.0, 0.01), SILHOUETTE);
    EXPECT_EQ(HLRLeftMostConnector().nextStroke(*center, *from), backLeft);
    EXPECT_EQ(HLRRightMostConnector().nextStroke(*center, *from), backRight);
}

TEST_F(HLRStrokeConnectorTest, AvoidingDeadEndsSkipsStrokesLeadingNowhereEvenWhenAlone) {
    buildCross();
    // A stroke turning sharper left than north, whose far end holds nothing else.
    HLRShortStroke* spur = builder.stroke(group, center, builder.end(group, -1, 1), SILHOUETTE);
    EXPECT_EQ(HLRLeftMostConnector(false).nextStroke(*center, *from), spur);
    EXPECT_EQ(HLRLeftMostConnector(true).nextStroke(*center, *from), north());

    for (HLRShortStroke* s : leaving)
        s->setValid(false);
    EXPECT_EQ(HLRRightMostConnector(true).nextStroke(*center, *from), nullptr);
    EXPECT_EQ(HLRRightMostConnector(false).nextStroke(*center, *from), spur);
}

TEST_F(HLRStrokeConnectorTest, DirectionalConnectorsJoinHeadToTailOnlyUnlessOnTheOuterSilhouette) {
    center = builder.end(group, 0, 0);
    from = builder.stroke(group, builder.end(group, -1, 0), center, SILHOUETTE); // ends at center
    HLRShortStrokeEnd* left = builder.end(group, 1, 1);
    HLRShortStrokeEnd* right = builder.end(group, 1, -1);
    HLRShortStroke* headToHead = builder.stroke(group, left, center, SILHOUETTE); // also ends at center
    HLRShortStroke* headToTail = builder.stroke(group, center, right, SILHOUETTE);

    // The left-most choice meets `from` head to head: refused rather than replaced by another.
    EXPECT_EQ(HLRLeftMostConnector().nextStroke(*center, *from), headToHead);
    EXPECT_EQ(HLRDirectionalLeftMostConnector().nextStroke(*center, *from), nullptr);
    EXPECT_EQ(HLRDirectionalRightMostConnector().nextStroke(*center, *from), headToTail);

    headToHead->setType(headToHead->type() | Edge::OUTER_SILHOUETTE_EDGE);
    EXPECT_EQ(HLRDirectionalLeftMostConnector().nextStroke(*center, *from), headToHead);
    headToHead->setType(SILHOUETTE);
    from->setType(from->type() | Edge::OUTER_SILHOUETTE_EDGE);
    EXPECT_EQ(HLRDirectionalLeftMostConnector().nextStroke(*center, *from), headToHead);
}

} // namespace
