#include "Hlr/HLRShortStrokeGroup.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedFreeEdgeData.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace KvHLR;

namespace {

using Edge = HLRProjectedTriangleEdge;

class HLRShortStrokeGroupTest : public ::testing::Test {
protected:
    HLRShortStrokeGroupTest() : freeEdgeData(nullptr), group(freeEdgeData) {
        // 0 -> 1 along the x axis, 1 -> 2 on from there, 3 -> 4 crossing the first at x = 5.
        for (HLRVector2D p : {HLRVector2D(0, 0), HLRVector2D(10, 0), HLRVector2D(10, 10), HLRVector2D(5, -5),
                              HLRVector2D(5, 5)}) {
            vertices.emplace_back();
            vertices.back().screenPosition = p;
        }
    }

    Edge edge(int from, int to, void (Edge::*setType)() = &Edge::setTypeAsFreeEdge) {
        Edge e(&vertices[from], &vertices[to], nullptr, nullptr);
        (e.*setType)();
        return e;
    }

    // Follows the free-edge strokes from the group's left-most end, each from its first end to its
    // second, checking on the way that each is registered at both ends: "V0-2 H2-4 ..." for a
    // visible stroke from x = 0 to 2, then a hidden one to 4.
    static std::string walk(HLRShortStrokeGroup& group) {
        const HLRStrokeEnd* at =
            &*std::min_element(group.ends().begin(), group.ends().end(),
                               [](const HLRShortStrokeEnd& l, const HLRShortStrokeEnd& r) {
                                   return l.point().x() < r.point().x();
                               });
        std::ostringstream pieces;
        while (at) {
            const HLRStroke* next = nullptr;
            for (int kind : {Edge::VISIBLE_FREE_EDGE_MASK, Edge::FREE_EDGE_MASK})
                for (const HLRStroke* s : at->linkedStrokes(kind).strokes())
                    next = s && s->end1() == at ? s : next;
            if (!next)
                break;
            const auto& arriving = next->end2()->linkedStrokes(next->type()).strokes();
            EXPECT_NE(std::find(arriving.begin(), arriving.end(), next), arriving.end());
            pieces << ((next->type() & Edge::VISIBLE_EDGE) ? " V" : " H") << at->point().x() << "-"
                   << next->end2()->point().x();
            at = next->end2();
        }
        return pieces.str();
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
        std::string expected;
        std::size_t ends;
    };
    const Case cases[] = {
        {"no interval", {}, false, " V0-10", 2},
        {"all hidden", {{0.2, 0.4}}, true, " H0-10", 2},
        {"hidden from the start", {{0.0, 0.7}}, false, " H0-7 V7-10", 3},
        {"hidden to the end", {{0.3, 1.0}}, false, " V0-3 H3-10", 3},
        {"two intervals", {{0.2, 0.4}, {0.6, 0.8}}, false, " V0-2 H2-4 V4-6 H6-8 V8-10", 6},
        // The start vertex keeps an end, but no stroke reaches it.
        {"reaching beyond the start", {{-0.1, 0.5}}, false, " H-1-5 V5-10", 4},
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
        EXPECT_EQ(walk(caseGroup), c.expected) << c.name;
        EXPECT_EQ(caseGroup.ends().size(), c.ends) << c.name;
        EXPECT_EQ(caseAlgo.strokeEnds().size(), c.ends) << c.name;
    }
}

TEST_F(HLRShortStrokeGroupTest, VertexEndsAreSharedAndIntervalEndsAreNot) {
    Edge first = edge(0, 1), second = edge(1, 2), crossing = edge(3, 4), invalid = edge(0, 2);
    Edge untyped(&vertices[2], &vertices[3], nullptr, nullptr);
    invalid.setValid(false);
    first.hideFromTo(0.5, 0.7);    // an end at (5, 0)
    crossing.hideFromTo(0.5, 0.6); // another end at (5, 0)
    for (const Edge* e : {&first, &second, &crossing, &invalid, &untyped})
        group.addEdge(*e, algo);

    EXPECT_EQ(group.newShortStrokeEnd(&vertices[1], algo)
                  ->linkedStrokes(Edge::VISIBLE_FREE_EDGE_MASK)
                  .strokes()
                  .size(),
              2u);
    const auto atCrossing =
        std::count_if(group.ends().begin(), group.ends().end(),
                      [](const HLRShortStrokeEnd& e) { return e.point() == HLRVector2D(5, 0); });
    EXPECT_EQ(atCrossing, 2);
    // Five vertices and four interval ends; the invalid and the untyped edge add nothing.
    EXPECT_EQ(group.ends().size(), 9u);
    EXPECT_EQ(algo.strokeEnds().size(), 9u);
    EXPECT_EQ(algo.freeEdgeStrokes().size() + algo.freeEdgeHiddenStrokes().size(), 7u);

    // Vertex ends come first in set order, and the ends can be changed in place.
    for (HLRShortStrokeEnd& end : group.ends())
        end.setTerminal(true);
    EXPECT_EQ(group.ends().begin()->source(), &vertices[0]);
    group.clearTerminalFlags();
    for (const HLRShortStrokeEnd& end : group.ends())
        EXPECT_FALSE(end.terminal());
}

TEST_F(HLRShortStrokeGroupTest, StrokesAreFiledByKindInTheGroupAndInTheAlgorithm) {
    group.addEdge(edge(1, 2, &Edge::setTypeAsDimensionLine), algo);
    ASSERT_EQ(algo.dimensionStrokes().size(), 1u);
    EXPECT_EQ(algo.dimensionStrokes().front(), &group.dimensionStrokes().front());

    // A group following a reversed orientation vote files convex and concave the other way.
    group.setConvexityReversed(true);
    HLRShortStroke* concave =
        group.newShortStroke(HLRShortStroke(Edge::VISIBLE_EDGE | Edge::CONCAVE_SHARP_EDGE), algo);
    EXPECT_EQ(&group.convexSharpEdgeStrokes().back(), concave);
    try {
        group.newShortStroke(HLRShortStroke(Edge::VISIBLE_EDGE | Edge::CONVEX_TEND_EDGE), algo);
        FAIL() << "a stroke that draws nothing was filed";
    } catch (const HLRError& error) {
        EXPECT_STREQ(error.what(), "HLRPolyAlgo::newShortStroke(): Illegal path.");
    }
}

} // namespace
