#include "Hlr/HLRLongStroke.h"
#include "Hlr/HLRLongStrokeEnd.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRShortStroke.h"
#include "Hlr/HLRShortStrokeEnd.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

using namespace KvHLR;

namespace {

using Edge = HLRProjectedTriangleEdge;
using Strokes = std::vector<HLRStroke*>;

int visible(int type) {
    return type | Edge::VISIBLE_EDGE;
}

template <typename Call> std::string errorOf(Call call) {
    try {
        call();
    } catch (const HLRError& error) {
        return error.what();
    }
    return "no error";
}

class HLRStrokeTest : public ::testing::Test {
protected:
    void SetUp() override { HLRPolyAlgo::sm_bConvexityReversed = false; }
    void TearDown() override { HLRPolyAlgo::sm_bConvexityReversed = false; }

    // Registered at both ends, as the extraction does it.
    static void link(HLRShortStroke& stroke) {
        stroke.end1()->addLink(&stroke);
        stroke.end2()->addLink(&stroke);
    }

    HLRShortStrokeEnd a{HLRVector2D(0, 0)}, b{HLRVector2D(1, 0)}, c{HLRVector2D(2, 0)};
};

TEST_F(HLRStrokeTest, EachKindHasItsListAndOnlyShortStrokeEndsSwapConvexity) {
    const int types[] = {visible(Edge::LEFT_FACE_FRONT | Edge::CONVEX_SHARP_EDGE), // silhouette first
                         visible(Edge::CONVEX_SHARP_EDGE),
                         visible(Edge::CONCAVE_SHARP_EDGE),
                         Edge::CONVEX_SHARP_EDGE,
                         visible(Edge::FREE_EDGE),
                         visible(Edge::DIMENSION_LINE),
                         Edge::FREE_EDGE,
                         Edge::DIMENSION_LINE};
    std::deque<HLRShortStroke> strokes;
    for (int type : types) {
        strokes.emplace_back(&a, &b, type);
        a.addLink(&strokes.back());
    }
    for (int kind = 0; kind < HLRStrokeEnd::LINK_KIND_COUNT; ++kind)
        EXPECT_EQ(a.linkedStrokes(types[kind]).strokes(), Strokes{&strokes[kind]}) << kind;

    HLRShortStroke smooth(&a, &b, visible(Edge::CONVEX_TEND_EDGE)); // draws nothing
    a.addLink(&smooth);
    EXPECT_TRUE(smooth.memberships().empty());

    HLRPolyAlgo::sm_bConvexityReversed = true;
    EXPECT_EQ(a.linkedStrokes(types[1]).strokes(), Strokes{&strokes[2]});
    HLRLongStrokeEnd longEnd(a);
    HLRLongStroke longConvex(types[1]);
    longEnd.addLink(&longConvex);
    EXPECT_EQ(longEnd.links()[HLRStrokeEnd::CONVEX_LINKS].strokes(), Strokes{&longConvex});
}

TEST_F(HLRStrokeTest, ValidCountsFollowValidityRemovalAndDestruction) {
    const int type = visible(Edge::CONVEX_SHARP_EDGE);
    HLRShortStroke ab(&a, &b, type), bc(&b, &c, type), late(&b, &c, type);
    link(ab);
    link(bc);
    ab.setValid(false);
    ab.setValid(false); // only a change counts
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 0);
    EXPECT_EQ(b.linkedStrokes(type).validCount(), 1);
    ab.setValid(true);
    EXPECT_EQ(b.linkedStrokes(type).validCount(), 2);

    b.removeLink(&ab);
    c.removeLink(&ab); // never held at c: nothing changes there
    link(late);
    EXPECT_EQ(c.linkedStrokes(type).validCount(), 2);
    EXPECT_EQ(b.linkedStrokes(type).strokes(), (Strokes{nullptr, &bc, &late}));
    ab.setValid(false); // no longer counted at b
    EXPECT_EQ(b.linkedStrokes(type).validCount(), 2);
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 0);

    {
        HLRShortStroke shortLived(&a, &c, type);
        link(shortLived);
        HLRShortStrokeEnd end(HLRVector2D(5, 5));
        end.addLink(&late);
        EXPECT_EQ(a.linkedStrokes(type).validCount(), 1);
    } // the end goes first, then the stroke: neither leaves a dangling pointer behind
    EXPECT_EQ(a.linkedStrokes(type).strokes(), (Strokes{&ab, nullptr}));
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 0);
    EXPECT_EQ(late.memberships().size(), 2u);
}

TEST_F(HLRStrokeTest, MergingEndsMovesStrokesAndInvalidatesDuplicates) {
    HLRShortStrokeEnd gone(HLRVector2D(0, 0.2)), other(HLRVector2D(0, 5));
    const int type = visible(Edge::LEFT_FACE_FRONT);
    HLRShortStroke between(&a, &gone, type); // held by both ends
    HLRShortStroke aToC(&a, &c, type);
    HLRShortStroke goneToC(&c, &gone, type); // duplicates aToC once merged
    HLRShortStroke goneToOther(&gone, &other, type);
    HLRShortStroke hidden(&gone, &other, Edge::LEFT_FACE_FRONT);
    for (HLRShortStroke* s : {&between, &aToC, &goneToC, &goneToOther, &hidden})
        link(*s);

    a.mergeWith(gone);

    EXPECT_EQ(a.point(), HLRVector2D(0, 0.1));
    EXPECT_FALSE(between.isValid());
    EXPECT_FALSE(goneToC.isValid());
    EXPECT_EQ(goneToC.end2(), &gone); // a duplicate stays with the merged end
    EXPECT_EQ(goneToOther.end1(), &a);
    EXPECT_EQ(hidden.end1(), &a);
    EXPECT_EQ(a.linkedStrokes(type).strokes(), (Strokes{&between, &aToC, &goneToOther}));
    EXPECT_EQ(a.linkedStrokes(type).validCount(), 2);
    EXPECT_EQ(a.linkedStrokes(hidden.type()).strokes(), Strokes{&hidden});

    // An end made from a point that takes over a vertex keeps its place in ordered sets.
    HLRProjectedTriangleVertex vertex;
    HLRShortStrokeEnd atVertex(&vertex);
    b.mergeWith(atVertex);
    EXPECT_EQ(b.source(), &vertex);
    EXPECT_TRUE(atVertex.precedes(b));
}

TEST_F(HLRStrokeTest, LongStrokesJoinAtTheSharedEndInEitherOrientation) {
    HLRShortStrokeEnd d(HLRVector2D(3, 0));
    const HLRVector2D A = a.point(), B = b.point(), C = c.point(), D = d.point();
    HLRLongStroke single(visible(Edge::FREE_EDGE));
    single.addStrokeEnd_onAdvice(&a, true);
    EXPECT_DOUBLE_EQ(single.length(), 0.0);
    EXPECT_EQ(single.directionInto(&a), HLRVector2D(0, 0)); // no neighbour: no direction

    auto make = [](HLRStrokeEnd* e1, HLRStrokeEnd* e2, std::vector<HLRVector2D> points, int type) {
        HLRLongStroke stroke(visible(type));
        for (const HLRVector2D& point : points)
            stroke.addPoint(point, true);
        stroke.setEnd1(e1);
        stroke.setEnd2(e2);
        return stroke;
    };
    for (bool atBack : {true, false}) {
        for (bool addedRunsFromB : {true, false}) {
            // The target ends at b on the side it grows; the added stroke leads from b to d.
            HLRLongStroke target = atBack ? make(&a, &b, {A, B}, Edge::LEFT_FACE_FRONT)
                                          : make(&b, &a, {B, A}, Edge::LEFT_FACE_FRONT);
            HLRLongStroke added = addedRunsFromB ? make(&b, &d, {B, C, D}, Edge::OUTER_SILHOUETTE_EDGE)
                                                 : make(&d, &b, {D, C, B}, Edge::OUTER_SILHOUETTE_EDGE);
            added.addTo_at_onAdvice(target, &b, atBack);
            const std::vector<HLRVector2D> expected =
                atBack ? std::vector<HLRVector2D>{A, B, C, D} : std::vector<HLRVector2D>{D, C, B, A};
            EXPECT_EQ(std::vector<HLRVector2D>(target.points().begin(), target.points().end()), expected);
            EXPECT_EQ(atBack ? target.end2() : target.end1(), &d);
            EXPECT_EQ(target.type(), visible(Edge::LEFT_FACE_FRONT | Edge::OUTER_SILHOUETTE_EDGE));
            EXPECT_DOUBLE_EQ(target.length(), 3.0);
            EXPECT_EQ(target.neighbourPointOf(&d), C);

            target.replaceLinkFrom_to(&d, &c); // moves the end, keeps the point count
            EXPECT_EQ(target.points().size(), 4u);
        }
    }
}

TEST_F(HLRStrokeTest, ForwardSenseFollowsTheFrontFaceAndTheModelsOrientation) {
    struct Case {
        int type;
        bool forward;
        bool forwardWhenReversed;
    };
    const Case cases[] = {
        {Edge::BOUNDARY_EDGE | Edge::LEFT_FACE_FRONT, false, false},
        {Edge::BOUNDARY_EDGE | Edge::RIGHT_FACE_FRONT, true, true},
        {Edge::LEFT_FACE_FRONT | Edge::CONVEX_TEND_EDGE, false, true},
        {Edge::RIGHT_FACE_FRONT | Edge::CONVEX_TEND_EDGE, true, false},
    };
    for (const Case& k : cases) {
        HLRShortStroke s(&a, &b, visible(k.type));
        HLRPolyAlgo::sm_bConvexityReversed = false;
        EXPECT_EQ(s.startEnd(), k.forward ? &a : &b) << k.type;
        HLRPolyAlgo::sm_bConvexityReversed = true;
        EXPECT_EQ(s.isForward(), k.forwardWhenReversed) << k.type;
    }
}

TEST_F(HLRStrokeTest, MisuseIsReportedWithTheOperationsName) {
    const int none = visible(Edge::CONVEX_TEND_EDGE);
    const HLRShortStrokeEnd& constEnd = a;
    HLRLongStrokeEnd longEnd(a);
    const HLRLongStrokeEnd& constLongEnd = longEnd;
    HLRShortStroke ab(&a, &b, none);
    HLRLongStroke line(none);
    EXPECT_EQ(errorOf([&] { a.linkedStrokes(none); }), "HLRShortStrokeEnd::linkedStrokes(): Illegal path.");
    EXPECT_EQ(errorOf([&] { constEnd.linkedStrokes(none); }),
              "HLRShortStrokeEnd::linkedStrokes(): Illegal path.");
    EXPECT_EQ(errorOf([&] { longEnd.linkedStrokes(none); }),
              "HLRLongStrokeEnd::linkedStrokes(): Illegal path.");
    EXPECT_EQ(errorOf([&] { constLongEnd.linkedStrokes(none); }),
              "HLRLongStrokeEnd::linkedStrokes(): Illegal path.");
    EXPECT_EQ(errorOf([&] { longEnd.mergeWith(b); }),
              "HLRStrokeEnd::mergeWith(): Child class'es responsibility.");
    EXPECT_EQ(errorOf([&] { ab.replaceLinkFrom_to(&c, &a); }),
              "HLRShortStroke::replaceLinkFrom_to(): Illegal path.");
    EXPECT_EQ(errorOf([&] { line.replaceLinkFrom_to(&c, &a); }),
              "HLRLongStroke::replaceLinkFrom_to(): Illegal path.");
    EXPECT_EQ(errorOf([&] { ab.addStrokeEnd_onAdvice(&c, true); }),
              "HLRShortStroke::addStrokeEnd_onAdvice(): Should not be called.");
}

} // namespace

// The joining walks ends in set order, so that order must not depend on where the heap put them:
// ends made from points sort by when they were made, after every end made from a vertex.
TEST(HLRShortStrokeEndOrder, PointEndsSortByCreationNotByAddress) {
    std::vector<std::unique_ptr<HLRShortStrokeEnd>> ends;
    for (int i = 0; i < 64; ++i)
        ends.push_back(std::make_unique<HLRShortStrokeEnd>(HLRVector2D(i, 0)));
    for (std::size_t i = 1; i < ends.size(); ++i) {
        EXPECT_TRUE(ends[i - 1]->precedes(*ends[i])) << i;
        EXPECT_FALSE(ends[i]->precedes(*ends[i - 1])) << i;
    }
    HLRProjectedTriangleVertex vertex{};
    const HLRShortStrokeEnd atVertex(&vertex);
    EXPECT_TRUE(atVertex.precedes(*ends.front()));
    EXPECT_FALSE(ends.back()->precedes(atVertex));
}
