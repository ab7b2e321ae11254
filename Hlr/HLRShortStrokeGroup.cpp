#include "Hlr/HLRShortStrokeGroup.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRIntervals.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedFreeEdgeData.h"
#include "Hlr/HLRProjectedTriangleData.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

#include <functional>

namespace KvHLR {

bool HLRShortStrokeEndOrder::operator()(const HLRShortStrokeEnd& a,
                                        const HLRProjectedTriangleVertex* vertex) const {
    return a.orderSource() && std::less<const HLRProjectedTriangleVertex*>()(a.orderSource(), vertex);
}

bool HLRShortStrokeEndOrder::operator()(const HLRProjectedTriangleVertex* vertex,
                                        const HLRShortStrokeEnd& b) const {
    return !b.orderSource() || std::less<const HLRProjectedTriangleVertex*>()(vertex, b.orderSource());
}

HLRShortStrokeGroup::HLRShortStrokeGroup(const HLRProjectedTriangleData& triangleData)
    : m_triangleData(&triangleData), m_freeEdgeData(nullptr), m_bounds(triangleData.extent()) {}

HLRShortStrokeGroup::HLRShortStrokeGroup(const HLRProjectedFreeEdgeData& freeEdgeData)
    : m_triangleData(nullptr), m_freeEdgeData(&freeEdgeData), m_bounds(freeEdgeData.extent()) {}

int HLRShortStrokeGroup::strokeKindOf(int type, bool convexityReversed) {
    using Kind = HLRProjectedTriangleEdge::LineKind;
    switch (HLRProjectedTriangleEdge::lineKindOf(type, convexityReversed)) {
    case Kind::HIDDEN:
        return HIDDEN_STROKES;
    case Kind::HIDDEN_FREE_EDGE:
        return FREE_EDGE_HIDDEN_STROKES;
    case Kind::HIDDEN_DIMENSION_LINE:
        return DIMENSION_HIDDEN_STROKES;
    case Kind::SILHOUETTE:
        return SILHOUETTE_STROKES;
    case Kind::CONVEX_SHARP:
        return CONVEX_SHARP_EDGE_STROKES;
    case Kind::CONCAVE_SHARP:
        return CONCAVE_SHARP_EDGE_STROKES;
    case Kind::FREE_EDGE:
        return FREE_EDGE_STROKES;
    case Kind::DIMENSION_LINE:
        return DIMENSION_STROKES;
    case Kind::NONE:
        break;
    }
    return -1;
}

HLRShortStroke* HLRShortStrokeGroup::newShortStroke(const HLRShortStroke& stroke, HLRPolyAlgo& algo) {
    const int kind = strokeKindOf(stroke.type(), m_convexityReversed);
    if (kind < 0)
        throw HLRError("HLRPolyAlgo::newShortStroke(): Illegal path.", "Hlr/HLRSHortStrokeGroup", 333);
    StrokeList& list = m_strokes[kind];
    list.push_back(stroke);
    algo.addLinkTo(list.back());
    return &list.back();
}

HLRShortStrokeEnd* HLRShortStrokeGroup::newShortStrokeEnd(const HLRProjectedTriangleVertex* vertex,
                                                          HLRPolyAlgo& algo) {
    auto it = m_ends.lower_bound(vertex);
    if (it == m_ends.end() || m_ends.key_comp()(vertex, *it)) {
        it = m_ends.emplace_hint(it, vertex);
        algo.addLinkTo(const_cast<HLRShortStrokeEnd&>(*it));
    }
    return const_cast<HLRShortStrokeEnd*>(&*it);
}

HLRShortStrokeEnd* HLRShortStrokeGroup::newShortStrokeEnd(const HLRVector2D& point, HLRPolyAlgo& algo) {
    // A new end made from a point sorts after every end made before it, so it always goes in.
    HLRShortStrokeEnd& end = const_cast<HLRShortStrokeEnd&>(*m_ends.emplace(point).first);
    algo.addLinkTo(end);
    return &end;
}

HLRShortStroke* HLRShortStrokeGroup::linkNewStroke(HLRShortStrokeEnd* from, HLRShortStrokeEnd* to, int type,
                                                   HLRPolyAlgo& algo) {
    HLRShortStroke* stroke = newShortStroke(HLRShortStroke(type), algo);
    stroke->setEnd1(from);
    stroke->setEnd2(to);
    from->addLink(stroke);
    to->addLink(stroke);
    return stroke;
}

void HLRShortStrokeGroup::addEdge(const HLRProjectedTriangleEdge& edge, HLRPolyAlgo& algo) {
    if (!edge.isValid() || (edge.type() & HLRProjectedTriangleEdge::ALL_MASK) == 0)
        return;
    HLRShortStrokeEnd* start = newShortStrokeEnd(edge.startVertex(), algo);
    HLRShortStrokeEnd* end = newShortStrokeEnd(edge.endVertex(), algo);
    const int hidden = edge.type();
    const int visible = hidden | HLRProjectedTriangleEdge::VISIBLE_EDGE;
    const HLRIntervals& intervals = edge.hiddenIntervals();
    const int count = intervals.size();
    if (edge.isAllHidden() || count == 0) {
        linkNewStroke(start, end, edge.isAllHidden() ? hidden : visible, algo);
        return;
    }
    // Interval ends at exactly 0 and 1 are the vertices themselves; any other one, even one a little
    // outside the edge, gets an end of its own.
    HLRShortStrokeEnd* previous = intervals.intervalAt(1).from > 0.0 ? start : nullptr;
    for (int i = 1; i <= count; ++i) {
        const HLRInterval& interval = intervals.intervalAt(i);
        HLRShortStrokeEnd* hideFrom =
            interval.from == 0.0 ? start : newShortStrokeEnd(edge.coordinate2DAt(interval.from), algo);
        HLRShortStrokeEnd* hideTo =
            interval.to == 1.0 ? end : newShortStrokeEnd(edge.coordinate2DAt(interval.to), algo);
        if (previous)
            linkNewStroke(previous, hideFrom, visible, algo);
        linkNewStroke(hideFrom, hideTo, hidden, algo);
        previous = hideTo;
    }
    if (intervals.intervalAt(count).to < 1.0)
        linkNewStroke(previous, end, visible, algo);
}

void HLRShortStrokeGroup::clearTerminalFlags() {
    // The ends are a tree of millions of nodes on a large drawing: a walk over them takes a good part of
    // a second.
    for (HLRShortStrokeEnd& end : ends()) {
        HLRCancelPoll::check();
        end.setTerminal(false);
    }
}

} // namespace KvHLR
