#include "Hlr/HLRShortStrokeGroup.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedFreeEdgeData.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

using Edge = HLRProjectedTriangleEdge;

// One stroke seen along an edge on the x axis: where it starts and ends, and whether it is visible.
struct Piece {
    double from;
    double to;
    bool visible;
    bool operator==(const Piece& o) const { return from == o.from && to == o.to && visible == o.visible; }
};

std::ostream& operator<<(std::ostream& out, const Piece& p) {
    return out << (p.visible ? "V(" : "H(") << p.from << ", " << p.to << ")";
}

class HLRShortStrokeGroupTest : public ::testing::Test {
protected:
    HLRShortStrokeGroupTest() : freeEdgeData(nullptr), group(freeEdgeData) {
        // 0 -> 1 along the x axis, 1 -> 2 on from there, 3 -> 4 crossing the first one at x = 5.
        for (HLRVector2D p : {HLRVector2D(0, 0), HLRVector2D(10, 0), HLRVector2D(10, 10), HLRVector2D(5, -5),
                              HLRVector2D(5, 5)}) {
            HLRProjectedTriangleVertex v;
            v.screenPosition = p;
            v.index = static_cast<int>(vertices.size());
            vertices.push_back(v);
        }
    }

    Edge edge(int from, int to, void (Edge::*setType)() = &Edge::setTypeAsFreeEdge) {
        Edge e(&vertices[from], &vertices[to], nullptr, nullptr);
        (e.*setType)();
        return e;
    }

    // Follows the strokes leaving `start` in the sense in which they were made (end1 to end2),
    // checking on the way that each is registered at both of its ends.
    static std::vector<Piece> walk(const HLRShortStrokeEnd* start, int type) {
        std::vector<Piece> pieces;
        const int kinds[] = {type | Edge::VISIBLE_EDGE, type};
        for (const HLRStrokeEnd* at = start; at;) {
            const HLRStroke* next = nullptr;
            for (int kind : kinds)
                for (const HLRStroke* s : at->linkedStrokes(kind).strokes())
                    if (s && s->end1() == at)
                        next = s;
            if (!next)
                break;
            const auto& arriving = next->end2()->linkedStrokes(next->type()).strokes();
            EXPECT_NE(std::find(arriving.begin(), arriving.end(), next), arriving.end());
            pieces.push_back(
                {at->point().x(), next->end2()->point().x(), (next->type() & Edge::VISIBLE_EDGE) != 0});
            at = next->end2();
        }
        return pieces;
    }

    std::vector<HLRProjectedTriangleVertex> vertices;
    HLRProjectedFreeEdgeData freeEdgeData;
    HLRPolyAlgo algo;
    HLRShortStrokeGroup group;
};

TEST_F(HLRShortStrokeGroupTest, CutsAnEdgeIntoAlternatingStrokesAtItsHiddenIntervals) {
    struct Case {
        std::string name;
        std::vector<std::pair<double, double>> hidden;
        bool allHidden;
        std::vector<Piece> expected;
    };
    const Case cases[] = {
        {"no interval", {}, false, {{0, 10, true}}},
        {"all hidden", {{0.2, 0.4}}, true, {{0, 10, false}}},
        {"hidden from the start", {{0.0, 0.7}}, false, {{0, 7, false}, {7, 10, true}}},
        {"hidden to the end", {{0.3, 1.0}}, false, {{0, 3, true}, {3, 10, false}}},
        {"two intervals",
         {{0.2, 0.4}, {0.6, 0.8}},
         false,
         {{0, 2, true}, {2, 4, false}, {4, 6, true}, {6, 8, false}, {8, 10, true}}},
    };
    for (const Case& c : cases) {
        HLRPolyAlgo caseAlgo;
        HLRShortStrokeGroup caseGroup(freeEdgeData);
        Edge e = edge(0, 1);
        for (const auto& interval : c.hidden)
            e.hideFromTo(interval.first, interval.second);
        if (c.allHidden)
            e.hideAll();
        caseGroup.addEdge(e, caseAlgo);

        const HLRShortStrokeEnd* start = caseGroup.newShortStrokeEnd(&vertices[0], caseAlgo);
        EXPECT_EQ(walk(start, Edge::FREE_EDGE), c.expected) << c.name;
        // One end per vertex plus one per interval end strictly inside the edge.
        EXPECT_EQ(caseGroup.ends().size(), c.expected.size() + 1) << c.name;
        EXPECT_EQ(caseAlgo.strokeEnds().size(), caseGroup.ends().size()) << c.name;
    }
}

TEST_F(HLRShortStrokeGroupTest, AnIntervalReachingBeyondTheEdgeGetsAnEndOfItsOwn) {
    Edge e = edge(0, 1);
    e.hideFromTo(-0.1, 0.5);
    group.addEdge(e, algo);
    const HLRShortStrokeEnd* start = group.newShortStrokeEnd(&vertices[0], algo);
    EXPECT_TRUE(walk(start, Edge::FREE_EDGE).empty()); // no visible piece before the interval
    ASSERT_EQ(group.freeEdgeHiddenStrokes().size(), 1u);
    const HLRShortStroke& hidden = group.freeEdgeHiddenStrokes().front();
    EXPECT_EQ(hidden.end1()->point(), HLRVector2D(-1, 0));
    EXPECT_EQ(walk(static_cast<const HLRShortStrokeEnd*>(hidden.end1()), Edge::FREE_EDGE),
              (std::vector<Piece>{{-1, 5, false}, {5, 10, true}}));
}

TEST_F(HLRShortStrokeGroupTest, EdgesThatDrawNothingAreSkipped) {
    Edge invalid = edge(0, 1);
    invalid.setValid(false);
    Edge untyped(&vertices[0], &vertices[1], nullptr, nullptr);
    group.addEdge(invalid, algo);
    group.addEdge(untyped, algo);
    EXPECT_TRUE(group.ends().empty());
    EXPECT_TRUE(algo.freeEdgeStrokes().empty());
}

TEST_F(HLRShortStrokeGroupTest, VertexEndsAreSharedAndIntervalEndsAreNot) {
    Edge first = edge(0, 1), second = edge(1, 2), crossing = edge(3, 4);
    first.hideFromTo(0.5, 0.7);    // an end at (5, 0)
    crossing.hideFromTo(0.5, 0.6); // another end at (5, 0)
    for (const Edge* e : {&first, &second, &crossing})
        group.addEdge(*e, algo);

    HLRShortStrokeEnd* shared = group.newShortStrokeEnd(&vertices[1], algo);
    EXPECT_EQ(shared->linkedStrokes(Edge::VISIBLE_FREE_EDGE_MASK).strokes().size(), 2u);
    int atCrossing = 0;
    for (const HLRShortStrokeEnd& end : group.ends())
        atCrossing += end.point() == HLRVector2D(5, 0);
    EXPECT_EQ(atCrossing, 2);
    // Vertices 0, 1, 2, 3, 4 and the ends at 0.5, 0.7, 0.5, 0.6.
    EXPECT_EQ(group.ends().size(), 9u);
    EXPECT_EQ(algo.strokeEnds().size(), 9u);
}

TEST_F(HLRShortStrokeGroupTest, StrokesAreFiledByKindInTheGroupAndInTheAlgorithm) {
    Edge freeEdge = edge(0, 1), dimension = edge(1, 2, &Edge::setTypeAsDimensionLine);
    freeEdge.hideFromTo(0.4, 0.6);
    dimension.hideFromTo(0.0, 0.5);
    group.addEdge(freeEdge, algo);
    group.addEdge(dimension, algo);

    auto pointers = [](HLRShortStrokeGroup::StrokeList& list) {
        std::vector<HLRShortStroke*> result;
        for (HLRShortStroke& s : list)
            result.push_back(&s);
        return result;
    };
    EXPECT_EQ(pointers(group.freeEdgeStrokes()), algo.freeEdgeStrokes());
    EXPECT_EQ(pointers(group.freeEdgeHiddenStrokes()), algo.freeEdgeHiddenStrokes());
    EXPECT_EQ(pointers(group.dimensionStrokes()), algo.dimensionStrokes());
    EXPECT_EQ(pointers(group.dimensionHiddenStrokes()), algo.dimensionHiddenStrokes());
    EXPECT_EQ(algo.freeEdgeStrokes().size(), 2u);
    EXPECT_EQ(algo.freeEdgeHiddenStrokes().size(), 1u);
    EXPECT_EQ(algo.dimensionStrokes().size(), 1u);
    EXPECT_EQ(algo.dimensionHiddenStrokes().size(), 1u);
    EXPECT_TRUE(group.silhouetteStrokes().empty());
    EXPECT_TRUE(algo.hiddenStrokes().empty());
}

TEST_F(HLRShortStrokeGroupTest, KindOfAStrokeType) {
    const int v = Edge::VISIBLE_EDGE;
    using G = HLRShortStrokeGroup;
    EXPECT_EQ(G::strokeKindOf(Edge::LEFT_FACE_FRONT | Edge::CONVEX_SHARP_EDGE, false), G::HIDDEN_STROKES);
    EXPECT_EQ(G::strokeKindOf(Edge::FREE_EDGE, false), G::FREE_EDGE_HIDDEN_STROKES);
    EXPECT_EQ(G::strokeKindOf(Edge::DIMENSION_LINE, false), G::DIMENSION_HIDDEN_STROKES);
    EXPECT_EQ(G::strokeKindOf(v | Edge::BOUNDARY_EDGE | Edge::CONCAVE_SHARP_EDGE, false),
              G::SILHOUETTE_STROKES);
    EXPECT_EQ(G::strokeKindOf(v | Edge::CONVEX_SHARP_EDGE, false), G::CONVEX_SHARP_EDGE_STROKES);
    EXPECT_EQ(G::strokeKindOf(v | Edge::CONVEX_SHARP_EDGE, true), G::CONCAVE_SHARP_EDGE_STROKES);
    EXPECT_EQ(G::strokeKindOf(v | Edge::CONCAVE_SHARP_EDGE, false), G::CONCAVE_SHARP_EDGE_STROKES);
    EXPECT_EQ(G::strokeKindOf(v | Edge::CONCAVE_SHARP_EDGE, true), G::CONVEX_SHARP_EDGE_STROKES);
    EXPECT_EQ(G::strokeKindOf(v | Edge::FREE_EDGE, false), G::FREE_EDGE_STROKES);
    EXPECT_EQ(G::strokeKindOf(v | Edge::DIMENSION_LINE, false), G::DIMENSION_STROKES);
    EXPECT_EQ(G::strokeKindOf(v | Edge::CONVEX_TEND_EDGE, false), -1);

    try {
        group.newShortStroke(HLRShortStroke(v | Edge::CONVEX_TEND_EDGE), algo);
        FAIL() << "a stroke of no kind was filed";
    } catch (const HLRError& error) {
        EXPECT_STREQ(error.what(), "HLRPolyAlgo::newShortStroke(): Illegal path.");
    }
    HLRShortStroke smooth(v | Edge::CONVEX_TEND_EDGE);
    try {
        algo.addLinkTo(smooth);
        FAIL() << "a stroke of no kind was filed";
    } catch (const HLRError& error) {
        EXPECT_STREQ(error.what(), "HLRPolyAlgo::newShortStroke(): Illegal path.");
    }
    EXPECT_TRUE(algo.convexSharpEdgeStrokes().empty());
}

TEST_F(HLRShortStrokeGroupTest, AGroupFollowingAReversedVoteFilesSharpStrokesTheOtherWay) {
    group.setConvexityReversed(true);
    HLRShortStroke* concave =
        group.newShortStroke(HLRShortStroke(Edge::VISIBLE_EDGE | Edge::CONCAVE_SHARP_EDGE), algo);
    ASSERT_EQ(group.convexSharpEdgeStrokes().size(), 1u);
    EXPECT_EQ(&group.convexSharpEdgeStrokes().front(), concave);
    EXPECT_TRUE(group.concaveSharpEdgeStrokes().empty());
}

TEST_F(HLRShortStrokeGroupTest, EndsComeInSetOrderAndCanBeChangedInPlace) {
    HLRShortStrokeEnd* pointEnd = group.newShortStrokeEnd(HLRVector2D(1, 1), algo);
    HLRShortStrokeEnd* later = group.newShortStrokeEnd(&vertices[2], algo);
    HLRShortStrokeEnd* earlier = group.newShortStrokeEnd(&vertices[0], algo);
    EXPECT_EQ(group.newShortStrokeEnd(&vertices[2], algo), later);
    EXPECT_NE(group.newShortStrokeEnd(HLRVector2D(1, 1), algo), pointEnd);
    EXPECT_EQ(algo.strokeEnds(),
              (std::vector<HLRShortStrokeEnd*>{pointEnd, later, earlier, algo.strokeEnds()[3]}));

    std::vector<const HLRShortStrokeEnd*> order;
    for (HLRShortStrokeEnd& end : group.ends()) {
        order.push_back(&end);
        end.setTerminal(true);
    }
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0], earlier);
    EXPECT_EQ(order[1], later);
    EXPECT_EQ(order[2]->source(), nullptr);
    EXPECT_EQ(order[3]->source(), nullptr);

    group.clearTerminalFlags();
    for (const HLRShortStrokeEnd& end : static_cast<const HLRShortStrokeGroup&>(group).ends())
        EXPECT_FALSE(end.terminal());
}

} // namespace
