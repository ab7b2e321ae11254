#include "Hlr/HLRStrokeNetworkRenewer.h"

#include "HLRStrokeNetworkBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace {

using namespace KvHLR;
using namespace KvHLRTest;

const double T = 1e-3;
const int SILHOUETTE_KIND = Edge::VISIBLE_SILHOUETTE_MASK;

class HLRStrokeNetworkRenewerTest : public ::testing::Test {
protected:
    void renew(int mask) {
        HLRStrokeNetworkRenewer renewer(builder.algo(), group, mask, T);
        renewer.execute();
    }
    // A silhouette stroke from the end to a point far off, so that the end carries a valid stroke.
    HLRShortStroke* spoke(HLRShortStrokeEnd* end, double dx, double dy, int type = SILHOUETTE) {
        return builder.stroke(group, end, builder.end(group, end->point().x() + dx, end->point().y() + dy),
                              type);
    }
    int validCount(const HLRShortStrokeEnd* end, int kind = SILHOUETTE_KIND) const {
        return end->linkedStrokes(kind).validCount();
    }

    StrokeNetworkBuilder builder;
    HLRShortStrokeGroup& group = builder.addGroup();
};

TEST_F(HLRStrokeNetworkRenewerTest, EndsNearlyOnAStrokesEndAreMergedIntoThatEnd) {
    HLRShortStrokeEnd* a = builder.end(group, 0, 0);
    HLRShortStrokeEnd* b = builder.end(group, 1, 0);
    HLRShortStroke* s = builder.stroke(group, a, b, SILHOUETTE);
    // Just before a on the stroke's line, and just past b slightly off it.
    HLRShortStrokeEnd* nearA = builder.end(group, -0.5 * T, 0);
    HLRShortStrokeEnd* nearB = builder.end(group, 1 + 0.4 * T, 0.1 * T);
    HLRShortStroke* fromA = spoke(nearA, -1, 1);
    HLRShortStroke* fromB = spoke(nearB, 1, 1);

    renew(SILHOUETTE_KIND);

    EXPECT_FALSE(nearA->isValid());
    EXPECT_FALSE(nearB->isValid());
    EXPECT_DOUBLE_EQ(a->point().x(), -0.25 * T);
    EXPECT_DOUBLE_EQ(b->point().x(), 1 + 0.2 * T);
    EXPECT_DOUBLE_EQ(b->point().y(), 0.05 * T);
    EXPECT_EQ(fromA->end1(), a);
    EXPECT_EQ(fromB->end1(), b);
    EXPECT_TRUE(s->isValid() && fromA->isValid() && fromB->isValid());
    EXPECT_EQ(validCount(a), 2);
    EXPECT_EQ(validCount(b), 2);
    EXPECT_EQ(group.silhouetteStrokes().size(), 3u);
}

TEST_F(HLRStrokeNetworkRenewerTest, EndsOutsideTheGrownBoxOrWithoutValidStrokesAreLeftAlone) {
    HLRShortStrokeEnd* a = builder.end(group, 0, 0);
    HLRShortStroke* s = builder.stroke(group, a, builder.end(group, 1, 0), SILHOUETTE);
    // Within 20 t of a, but outside the stroke's box grown by t.
    HLRShortStrokeEnd* outside = builder.end(group, -1.5 * T, 0);
    spoke(outside, -1, 1);
    // On the stroke's line near a, but its only stroke of the kind is no longer valid.
    HLRShortStrokeEnd* stale = builder.end(group, -0.5 * T, 0);
    spoke(stale, -1, -1)->setValid(false);
    // Inside the box of a diagonal stroke and well inside it, but too far off its line.
    HLRShortStroke* diagonal =
        builder.stroke(group, builder.end(group, 0, 2), builder.end(group, 1, 3), SILHOUETTE);
    HLRShortStrokeEnd* offLine = builder.end(group, 0.6, 2.5);
    spoke(offLine, 0, 1);
    // Right on the stroke, but carrying only a stroke of another kind.
    HLRShortStrokeEnd* otherKind = builder.end(group, 0.25, 0);
    spoke(otherKind, 0, -1, CONVEX);

    renew(SILHOUETTE_KIND | Edge::CONVEX_SHARP_EDGE_MASK);

    for (HLRShortStrokeEnd* end : {outside, stale, offLine, otherKind})
        EXPECT_TRUE(end->isValid());
    EXPECT_EQ(a->point().x(), 0.0);
    EXPECT_EQ(validCount(a), 1);
    EXPECT_EQ(group.silhouetteStrokes().size(), 5u);
    EXPECT_EQ(s->end2()->point().x(), 1.0);
    EXPECT_EQ(diagonal->end2()->point().x(), 1.0);
}

TEST_F(HLRStrokeNetworkRenewerTest, AnEndOnTheInteriorSplitsTheStrokeAndDuplicatesOfAHalfAreDropped) {
    HLRShortStrokeEnd* a = builder.end(group, 0, 0);
    HLRShortStrokeEnd* b = builder.end(group, 1, 0);
    HLRShortStroke* s = builder.stroke(group, a, b, SILHOUETTE);
    HLRShortStrokeEnd* mid = builder.end(group, 0.5, 0);
    HLRShortStroke* branch = spoke(mid, 0, 1);
    // Already joins mid to b: the same as the second half the split makes.
    HLRShortStroke* duplicate = builder.stroke(group, mid, b, SILHOUETTE);

    renew(SILHOUETTE_KIND);

    ASSERT_EQ(group.silhouetteStrokes().size(), 4u);
    HLRShortStroke& second = group.silhouetteStrokes().back();
    EXPECT_EQ(s->end1(), a);
    EXPECT_EQ(s->end2(), mid);
    EXPECT_EQ(second.end1(), mid);
    EXPECT_EQ(second.end2(), b);
    EXPECT_EQ(second.type(), s->type());
    EXPECT_FALSE(duplicate->isValid());
    EXPECT_TRUE(branch->isValid() && s->isValid() && second.isValid());
    EXPECT_EQ(validCount(mid), 3);
    EXPECT_EQ(validCount(b), 1);
    // b holds the second half in place of the first.
    const std::vector<HLRStroke*>& atB = b->linkedStrokes(SILHOUETTE_KIND).strokes();
    EXPECT_EQ(std::count(atB.begin(), atB.end(), s), 0);
    EXPECT_EQ(std::count(atB.begin(), atB.end(), &second), 1);
    // The algorithm files the new stroke like any other.
    EXPECT_EQ(builder.algo().silhouetteStrokes().back(), &second);
}

TEST_F(HLRStrokeNetworkRenewerTest, AStrokeIsSplitAtEveryEndLyingOnIt) {
    HLRShortStrokeEnd* a = builder.end(group, 0, 0);
    HLRShortStrokeEnd* b = builder.end(group, 10, 0);
    builder.stroke(group, a, b, SILHOUETTE);
    for (int x : {7, 2, 9, 1, 5, 3, 8, 4, 6})
        spoke(builder.end(group, x, 0), 0.3, 1);

    renew(SILHOUETTE_KIND);

    // Exactly one valid stroke of length 1 between neighbouring ends along y = 0.
    std::vector<std::pair<double, double>> pieces;
    for (const HLRShortStroke& stroke : group.silhouetteStrokes())
        if (stroke.isValid() && stroke.end1()->point().y() == 0 && stroke.end2()->point().y() == 0)
            pieces.emplace_back(std::minmax(stroke.end1()->point().x(), stroke.end2()->point().x()));
    std::sort(pieces.begin(), pieces.end());
    ASSERT_EQ(pieces.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(pieces[i], std::make_pair(double(i), double(i + 1)));
}

TEST_F(HLRStrokeNetworkRenewerTest, AnEndBesideAStrokesEndBelowTheCoordinatesPrecisionDoesNotSplitIt) {
    // With a tolerance far below the precision of coordinates near 0.25, c passes the line tests of
    // a-b, yet the half from c to b would be as long as the stroke: such splits could cycle forever.
    HLRShortStrokeEnd* a = builder.end(group, 0, 0);
    HLRShortStrokeEnd* b = builder.end(group, 0.25, 3e-17);
    HLRShortStroke* s = builder.stroke(group, a, b, SILHOUETTE);
    HLRShortStrokeEnd* c = builder.end(group, 0, 1e-17);
    spoke(c, -1, 1);

    HLRStrokeNetworkRenewer renewer(builder.algo(), group, SILHOUETTE_KIND, 4e-19);
    renewer.execute();

    EXPECT_EQ(group.silhouetteStrokes().size(), 2u);
    EXPECT_EQ(s->end1(), a);
    EXPECT_EQ(s->end2(), b);
    EXPECT_TRUE(c->isValid());
}

TEST_F(HLRStrokeNetworkRenewerTest, HiddenStrokesAreRenewedOnlyWhenTheMaskAsksForHiddenKinds) {
    HLRShortStrokeEnd* a = builder.end(group, 0, 0);
    builder.stroke(group, a, builder.end(group, 1, 0), HIDDEN);
    HLRShortStrokeEnd* nearA = builder.end(group, -0.5 * T, 0);
    spoke(nearA, -1, 1, HIDDEN);

    renew(Edge::VISIBLE_MASK | SILHOUETTE_KIND);
    EXPECT_TRUE(nearA->isValid());

    renew(Edge::SILHOUETTE_MASK);
    EXPECT_FALSE(nearA->isValid());
    EXPECT_EQ(validCount(a, Edge::NO_TYPE), 2);
}

} // namespace

TEST_F(HLRStrokeNetworkRenewerTest, AnEndOnAStrokeWithinTwentyTolerancesOfItsEndIsMergedNotSplitOff) {
    HLRShortStrokeEnd* a = builder.end(group, 0, 0);
    builder.stroke(group, a, builder.end(group, 1, 0), SILHOUETTE);
    HLRShortStrokeEnd* inside = builder.end(group, 5 * T, 0);
    spoke(inside, 0, 1);

    renew(SILHOUETTE_KIND);

    EXPECT_NE(a->isValid(), inside->isValid()) << "the two ends became one";
    const auto& strokes = group.silhouetteStrokes();
    EXPECT_EQ(std::count_if(strokes.begin(), strokes.end(), [](auto const& s) { return s.isValid(); }), 2)
        << "no stub five tolerances long split off";
}
