#include "Hlr/HLRLongStroke.h"
#include "Hlr/HLRLongStrokeEnd.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRShortStroke.h"
#include "Hlr/HLRShortStrokeEnd.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace KvHLR;

namespace {

using Edge = HLRProjectedTriangleEdge;

int visible(int type) {
    return type | Edge::VISIBLE_EDGE;
}

std::vector<HLRStroke*> strokesOf(const HLRStrokeLinks& links) {
    return links.strokes();
}

std::deque<HLRVector2D> pts(std::initializer_list<HLRVector2D> list) {
    return std::deque<HLRVector2D>(list);
}

template <typename Call> std::string errorOf(Call call) {
    try {
        call();
    } catch (const HLRError& error) {
        return error.what();
    }
    return "no error";
}

// Every test starts and ends with the model taken as correctly wound.
class HLRStrokeTest : public ::testing::Test {
protected:
    void SetUp() override { HLRPolyAlgo::sm_bConvexityReversed = false; }
    void TearDown() override { HLRPolyAlgo::sm_bConvexityReversed = false; }

    // A short stroke registered at both of its ends, as the extraction makes them.
    static void link(HLRShortStroke& stroke) {
        stroke.end1()->addLink(&stroke);
        stroke.end2()->addLink(&stroke);
    }
};

TEST_F(HLRStrokeTest, EachStrokeKindHasItsOwnLinkList) {
    HLRShortStrokeEnd a(HLRVector2D(0, 0)), b(HLRVector2D(1, 0));
    const int types[] = {visible(Edge::LEFT_FACE_FRONT | Edge::CONVEX_SHARP_EDGE), // silhouette wins
                         visible(Edge::CONVEX_SHARP_EDGE),
                         visible(Edge::CONCAVE_SHARP_EDGE),
                         Edge::CONVEX_SHARP_EDGE, // hidden
                         visible(Edge::FREE_EDGE),
                         visible(Edge::DIMENSION_LINE),
                         Edge::FREE_EDGE,
                         Edge::DIMENSION_LINE};
    std::deque<HLRShortStroke> strokes;
    for (int type : types) {
        strokes.emplace_back(&a, &b, type);
        a.addLink(&strokes.back());
    }
    for (int kind = 0; kind < HLRStrokeEnd::LINK_KIND_COUNT; ++kind) {
        EXPECT_EQ(strokesOf(a.links()[kind]), std::vector<HLRStroke*>{&strokes[kind]}) << kind;
        EXPECT_EQ(&a.linkedStrokes(types[kind]), &a.links()[kind]) << kind;
    }
    EXPECT_EQ(&a.linkedStrokes(0), &a.links()[HLRStrokeEnd::HIDDEN_LINKS]);

    // A visible stroke of no drawable kind is not filed, and asking for its list is an error.
    HLRShortStroke smooth(&a, &b, visible(Edge::CONVEX_TEND_EDGE));
    a.addLink(&smooth);
    EXPECT_TRUE(smooth.memberships().empty());
    const HLRShortStrokeEnd& constEnd = a;
    EXPECT_EQ(errorOf([&] { a.linkedStrokes(smooth.type()); }),
              "HLRShortStrokeEnd::linkedStrokes(): Illegal path.");
    EXPECT_EQ(errorOf([&] { constEnd.linkedStrokes(smooth.type()); }),
              "HLRShortStrokeEnd::linkedStrokes(): Illegal path.");
    HLRLongStrokeEnd longEnd(a);
    const HLRLongStrokeEnd& constLongEnd = longEnd;
    EXPECT_EQ(errorOf([&] { longEnd.linkedStrokes(smooth.type()); }),
              "HLRLongStrokeEnd::linkedStrokes(): Illegal path.");
    EXPECT_EQ(errorOf([&] { constLongEnd.linkedStrokes(smooth.type()); }),
              "HLRLongStrokeEnd::linkedStrokes(): Illegal path.");
}

TEST_F(HLRStrokeTest, ReversedConvexitySwapsSharpListsOnShortStrokeEndsOnly) {
    HLRPolyAlgo::sm_bConvexityReversed = true;
    HLRShortStrokeEnd a(HLRVector2D(0, 0)), b(HLRVector2D(1, 0));
    HLRShortStroke convex(&a, &b, visible(Edge::CONVEX_SHARP_EDGE));
    HLRShortStroke concave(&a, &b, visible(Edge::CONCAVE_SHARP_EDGE));
    a.addLink(&convex);
    a.addLink(&concave);
    EXPECT_EQ(strokesOf(a.links()[HLRStrokeEnd::CONCAVE_LINKS]), std::vector<HLRStroke*>{&convex});
    EXPECT_EQ(strokesOf(a.links()[HLRStrokeEnd::CONVEX_LINKS]), std::vector<HLRStroke*>{&concave});
    EXPECT_EQ(strokesOf(a.linkedStrokes(convex.type())), std::vector<HLRStroke*>{&convex});

    HLRLongStrokeEnd longEnd(a);
    HLRLongStroke longConvex(visible(Edge::CONVEX_SHARP_EDGE));
    longEnd.addLink(&longConvex);
    EXPECT_EQ(strokesOf(longEnd.links()[HLRStrokeEnd::CONVEX_LINKS]), std::vector<HLRStroke*>{&longConvex});
}

TEST_F(HLRStrokeTest, ValidCountFollowsValidityOfEveryHoldingList) {
    HLRShortStrokeEnd a(HLRVector2D(0, 0)), b(HLRVector2D(1, 0)), c(HLRVector2D(2, 0));
    const int type = visible(Edge::CONVEX_SHARP_EDGE);
    HLRShortStroke ab(&a, &b, type), bc(&b, &c, type);
    link(ab);
    link(bc);
    EXPECT_EQ(b.linkedStrokes(type).validCount(), 2);

    ab.setValid(false);
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 0);
    EXPECT_EQ(b.linkedStrokes(type).validCount(), 1);
    ab.setValid(false); // no change the second time
    EXPECT_EQ(b.linkedStrokes(type).validCount(), 1);
    ab.setValid(true);
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 1);
    EXPECT_EQ(b.linkedStrokes(type).validCount(), 2);

    // An invalid stroke registered later does not count until it becomes valid.
    HLRShortStroke late(&a, &c, type);
    late.setValid(false);
    link(late);
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 1);
    late.setValid(true);
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 2);
    EXPECT_EQ(late.memberships().size(), 2u);
}

TEST_F(HLRStrokeTest, RemovedStrokesLeaveHolesAndAreForgottenBothWays) {
    HLRShortStrokeEnd a(HLRVector2D(0, 0)), b(HLRVector2D(1, 0));
    const int type = Edge::CONCAVE_SHARP_EDGE; // hidden
    HLRShortStroke first(&a, &b, type), second(&a, &b, type), third(&a, &b, type);
    a.addLink(&first);
    a.addLink(&second);
    a.removeLink(&first);
    a.addLink(&third);
    EXPECT_EQ(strokesOf(a.linkedStrokes(type)), (std::vector<HLRStroke*>{nullptr, &second, &third}));
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 2);
    EXPECT_TRUE(first.memberships().empty());
    first.setValid(false); // no longer held: the count stays
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 2);

    // Removing a stroke that is not there changes nothing.
    HLRShortStroke stranger(&a, &b, type);
    a.removeLink(&stranger);
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 2);

    {
        HLRShortStroke shortLived(&a, &b, type);
        a.addLink(&shortLived);
        EXPECT_EQ(a.linkedStrokes(type).validCount(), 3);
    }
    EXPECT_EQ(strokesOf(a.linkedStrokes(type)), (std::vector<HLRStroke*>{nullptr, &second, &third, nullptr}));
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 2);

    // A destroyed end is dropped from the memberships of its strokes, which may then live on.
    {
        HLRShortStrokeEnd shortLived(HLRVector2D(5, 5));
        shortLived.addLink(&second);
        EXPECT_EQ(second.memberships().size(), 2u);
    }
    EXPECT_EQ(second.memberships().size(), 1u);
    second.setValid(false);
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 1);
}

TEST_F(HLRStrokeTest, ShortStrokeGeometry) {
    HLRShortStrokeEnd a(HLRVector2D(0, 0)), b(HLRVector2D(3, 4)), near(HLRVector2D(2, 3));
    HLRShortStroke s(&a, &b, visible(Edge::FREE_EDGE));
    EXPECT_DOUBLE_EQ(s.length(), 5.0);
    EXPECT_EQ(s.neighbourPointOf(&a), b.point());
    EXPECT_EQ(s.neighbourPointOf(&b), a.point());
    EXPECT_EQ(s.otherEnd(&a), &b);
    EXPECT_EQ(s.otherEnd(&b), &a);
    EXPECT_EQ(s.directionInto(&b), HLRVector2D(3, 4));
    EXPECT_EQ(s.directionOutOf(&b), HLRVector2D(-3, -4));
    EXPECT_FALSE(s.isSecondEnd(&a));
    EXPECT_TRUE(s.isSecondEnd(&b));
    EXPECT_TRUE(s.isSecondEnd(&near)); // a foreign end counts by distance

    s.replaceLinkFrom_to(&b, &near);
    EXPECT_EQ(s.end2(), &near);
    EXPECT_EQ(errorOf([&] { s.replaceLinkFrom_to(&b, &a); }),
              "HLRShortStroke::replaceLinkFrom_to(): Illegal path.");
    EXPECT_EQ(errorOf([&] { s.addStrokeEnd_onAdvice(&a, true); }),
              "HLRShortStroke::addStrokeEnd_onAdvice(): Should not be called.");
}

TEST_F(HLRStrokeTest, ForwardSenseKeepsTheFrontFaceOnOneSide) {
    struct Case {
        int type;
        bool forward;
        bool forwardWhenReversed;
    };
    const Case cases[] = {
        {Edge::BOUNDARY_EDGE | Edge::LEFT_FACE_FRONT, false, false},
        {Edge::BOUNDARY_EDGE | Edge::RIGHT_FACE_FRONT, true, true},
        {Edge::BOUNDARY_EDGE, false, false},
        {Edge::LEFT_FACE_FRONT | Edge::CONVEX_TEND_EDGE, false, true},
        {Edge::LEFT_FACE_FRONT | Edge::CONCAVE_TEND_EDGE, true, false},
        {Edge::RIGHT_FACE_FRONT | Edge::CONVEX_TEND_EDGE, true, false},
        {Edge::RIGHT_FACE_FRONT | Edge::CONCAVE_TEND_EDGE, false, true},
        {Edge::CONVEX_SHARP_EDGE | Edge::CONVEX_TEND_EDGE, false, false},
    };
    HLRShortStrokeEnd a(HLRVector2D(0, 0)), b(HLRVector2D(1, 0));
    for (const Case& c : cases) {
        HLRShortStroke s(&a, &b, visible(c.type));
        HLRPolyAlgo::sm_bConvexityReversed = false;
        EXPECT_EQ(s.isForward(), c.forward) << c.type;
        EXPECT_EQ(s.startEnd(), c.forward ? &a : &b) << c.type;
        HLRPolyAlgo::sm_bConvexityReversed = true;
        EXPECT_EQ(s.isForward(), c.forwardWhenReversed) << c.type;
    }
}

TEST_F(HLRStrokeTest, DeadEndOppositeLooksForAnotherValidStrokeOfTheKind) {
    HLRShortStrokeEnd a(HLRVector2D(0, 0)), b(HLRVector2D(1, 0)), c(HLRVector2D(2, 0));
    const int type = visible(Edge::LEFT_FACE_FRONT);
    HLRShortStroke ab(&a, &b, type), bc(&b, &c, type);
    HLRShortStroke otherKind(&b, &c, visible(Edge::FREE_EDGE));
    link(ab);
    link(bc);
    link(otherKind);
    EXPECT_FALSE(ab.hasDeadEndOpposite(&a)); // bc continues at b
    EXPECT_TRUE(ab.hasDeadEndOpposite(&b));  // nothing else at a
    bc.setValid(false);
    EXPECT_TRUE(ab.hasDeadEndOpposite(&a)); // a free edge does not continue a silhouette

    HLRShortStroke loop(&a, &a, type);
    EXPECT_TRUE(loop.hasDeadEndOpposite(&a));
}

TEST_F(HLRStrokeTest, LongStrokePointsAndLength) {
    HLRShortStrokeEnd a(HLRVector2D(0, 0)), b(HLRVector2D(3, 0)), c(HLRVector2D(3, 4)), d(HLRVector2D(9, 9));
    HLRLongStroke single(visible(Edge::FREE_EDGE));
    single.addStrokeEnd_onAdvice(&a, true);
    EXPECT_DOUBLE_EQ(single.length(), 0.0);
    EXPECT_EQ(single.neighbourPointOf(&a), a.point());

    // Grown the way the joining grows it: seed point, then each short stroke's far end.
    HLRLongStroke line(visible(Edge::FREE_EDGE));
    HLRShortStroke ab(&a, &b, line.type()), bc(&b, &c, line.type());
    line.addStrokeEnd_onAdvice(&b, false);
    ab.addTo_at_onAdvice(line, &b, false);
    bc.addTo_at_onAdvice(line, &b, true);
    EXPECT_EQ(line.points(), pts({a.point(), b.point(), c.point()}));
    EXPECT_DOUBLE_EQ(line.length(), 7.0);
    EXPECT_TRUE(line.isForward());

    line.setEnd1(&a);
    line.setEnd2(&c);
    EXPECT_EQ(line.neighbourPointOf(&a), b.point());
    EXPECT_EQ(line.neighbourPointOf(&c), b.point());
    EXPECT_FALSE(line.isSecondEnd(&a));
    EXPECT_TRUE(line.isSecondEnd(&d)); // nearer to c than to a

    line.replaceLinkFrom_to(&c, &d);
    EXPECT_EQ(line.end2(), &d);
    EXPECT_EQ(line.points(), pts({a.point(), b.point(), d.point()}));
    line.replaceLinkFrom_to(&a, &c);
    EXPECT_EQ(line.end1(), &c);
    EXPECT_EQ(line.points(), pts({c.point(), b.point(), d.point()}));
    EXPECT_EQ(errorOf([&] { line.replaceLinkFrom_to(&a, &b); }),
              "HLRLongStroke::replaceLinkFrom_to(): Illegal path.");
    EXPECT_EQ(line.points().size(), 3u);
}

TEST_F(HLRStrokeTest, LongStrokeAddedToAnotherMeetsAtTheSharedEndInEitherOrientation) {
    HLRShortStrokeEnd p(HLRVector2D(0, 0)), q(HLRVector2D(1, 0)), r(HLRVector2D(2, 0)), s(HLRVector2D(3, 0));
    const HLRVector2D P = p.point(), Q = q.point(), R = r.point(), S = s.point();
    auto make = [](HLRStrokeEnd* e1, HLRStrokeEnd* e2, std::initializer_list<HLRVector2D> points, int type) {
        HLRLongStroke stroke(visible(type));
        for (const HLRVector2D& point : points)
            stroke.addPoint(point, true);
        stroke.setEnd1(e1);
        stroke.setEnd2(e2);
        return stroke;
    };
    // The target meets the added stroke at q: at its back (P..Q) or at its front (Q..P); the added
    // stroke may run away from q or towards it.
    struct Case {
        bool atBack;
        bool addedRunsFromQ;
        std::deque<HLRVector2D> expected;
    };
    const Case cases[] = {
        {true, true, pts({P, Q, R, S})},
        {true, false, pts({P, Q, R, S})},
        {false, true, pts({S, R, Q, P})},
        {false, false, pts({S, R, Q, P})},
    };
    for (const Case& c : cases) {
        HLRLongStroke target = c.atBack ? make(&p, &q, {P, Q}, Edge::LEFT_FACE_FRONT)
                                        : make(&q, &p, {Q, P}, Edge::LEFT_FACE_FRONT);
        HLRLongStroke added = c.addedRunsFromQ ? make(&q, &s, {Q, R, S}, Edge::OUTER_SILHOUETTE_EDGE)
                                               : make(&s, &q, {S, R, Q}, Edge::OUTER_SILHOUETTE_EDGE);
        added.addTo_at_onAdvice(target, &q, c.atBack);
        EXPECT_EQ(target.points(), c.expected) << c.atBack << c.addedRunsFromQ;
        EXPECT_EQ(c.atBack ? target.end2() : target.end1(), &s);
        EXPECT_EQ(target.type(), visible(Edge::LEFT_FACE_FRONT | Edge::OUTER_SILHOUETTE_EDGE));
    }
}

TEST_F(HLRStrokeTest, LongStrokeIsExtensibleOnlyWhenOpenValidAndContinuedAtBothEnds) {
    HLRLongStrokeEnd left(HLRShortStrokeEnd(HLRVector2D(0, 0))), right(HLRShortStrokeEnd(HLRVector2D(1, 0)));
    const int type = visible(Edge::LEFT_FACE_FRONT);
    HLRLongStroke line(type), atLeft(type), atRight(type);
    line.setEnd1(&left);
    line.setEnd2(&right);
    for (HLRStrokeEnd* end : {&left, &right})
        end->addLink(&line);
    left.addLink(&atLeft);
    EXPECT_FALSE(line.isExtensible()); // nothing else at the right end
    right.addLink(&atRight);
    EXPECT_TRUE(line.isExtensible());
    line.setClosed(true);
    EXPECT_FALSE(line.isExtensible());
    line.setClosed(false);
    line.setValid(false);
    EXPECT_FALSE(line.isExtensible());
}

TEST_F(HLRStrokeTest, MergingEndsMovesStrokesAndDropsDuplicates) {
    HLRShortStrokeEnd keep(HLRVector2D(0, 0)), gone(HLRVector2D(0, 0.2)), far(HLRVector2D(5, 0)),
        other(HLRVector2D(0, 5));
    const int type = visible(Edge::LEFT_FACE_FRONT);
    HLRShortStroke between(&keep, &gone, type); // both ends hold it
    HLRShortStroke keptToFar(&keep, &far, type);
    HLRShortStroke goneToFar(&far, &gone, type); // duplicates keptToFar once merged
    HLRShortStroke goneToOther(&gone, &other, type);
    HLRShortStroke hiddenGone(&gone, &other, Edge::LEFT_FACE_FRONT);
    for (HLRShortStroke* s : {&between, &keptToFar, &goneToFar, &goneToOther, &hiddenGone})
        link(*s);

    keep.mergeWith(gone);

    EXPECT_EQ(keep.point(), HLRVector2D(0, 0.1));
    EXPECT_FALSE(between.isValid());
    EXPECT_FALSE(goneToFar.isValid());
    EXPECT_EQ(goneToFar.end2(), &gone); // left with the merged end
    EXPECT_TRUE(goneToOther.isValid());
    EXPECT_EQ(goneToOther.end1(), &keep);
    EXPECT_EQ(hiddenGone.end1(), &keep);
    EXPECT_EQ(strokesOf(keep.linkedStrokes(type)),
              (std::vector<HLRStroke*>{&between, &keptToFar, &goneToOther}));
    EXPECT_EQ(keep.linkedStrokes(type).validCount(), 2);
    EXPECT_EQ(strokesOf(keep.linkedStrokes(hiddenGone.type())), std::vector<HLRStroke*>{&hiddenGone});
    // The merged end keeps its entries; validity alone takes it out of the network.
    EXPECT_EQ(gone.linkedStrokes(type).strokes().size(), 3u);

    // A long-stroke end cannot take over another end.
    HLRLongStrokeEnd longEnd(keep);
    EXPECT_EQ(errorOf([&] { longEnd.mergeWith(gone); }),
              "HLRStrokeEnd::mergeWith(): Child class'es responsibility.");
}

TEST_F(HLRStrokeTest, MergingTakesOverTheVertexButNotTheSetOrder) {
    HLRProjectedTriangleVertex vertex;
    vertex.screenPosition = HLRVector2D(1, 1);
    HLRShortStrokeEnd atVertex(&vertex), atPoint(HLRVector2D(1, 1.1));
    EXPECT_EQ(atVertex.point(), vertex.screenPosition);
    atPoint.mergeWith(atVertex);
    EXPECT_EQ(atPoint.source(), &vertex);
    EXPECT_EQ(atPoint.orderSource(), nullptr);
    EXPECT_TRUE(atVertex.precedes(atPoint));
    EXPECT_FALSE(atPoint.precedes(atVertex));
}

TEST_F(HLRStrokeTest, EndsOrderVerticesFirstThenPointsAndLongEndsById) {
    HLRProjectedTriangleVertex vertices[2];
    HLRShortStrokeEnd v0(&vertices[0]), v1(&vertices[1]), p(HLRVector2D(0, 0)), q(HLRVector2D(0, 0));
    EXPECT_TRUE(v0.precedes(v1));
    EXPECT_FALSE(v1.precedes(v0));
    EXPECT_TRUE(v1.precedes(p));
    EXPECT_FALSE(p.precedes(v0));
    EXPECT_NE(p.precedes(q), q.precedes(p)); // distinct although at the same place
    EXPECT_FALSE(p.precedes(p));
    const HLRStrokeEnd& base = v0;
    EXPECT_TRUE(base.precedes(v1)); // through the virtual operation

    HLRLongStrokeEnd first(v0), second(v1);
    first.setId(3);
    second.setId(7);
    EXPECT_TRUE(first.precedes(second));
    EXPECT_FALSE(second.precedes(first));
    EXPECT_FALSE(first.precedes(first));
    EXPECT_EQ(HLRLongStrokeEnd(first).id(), 3);
}

} // namespace
