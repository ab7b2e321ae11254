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

} // namespace
