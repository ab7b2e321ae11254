#pragma once

// Builds short-stroke networks by hand for the joining tests: groups inside a default-constructed
// algorithm, ends at given points, strokes registered at both their ends as extraction does.

#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedFreeEdgeData.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRShortStroke.h"
#include "Hlr/HLRShortStrokeEnd.h"
#include "Hlr/HLRShortStrokeGroup.h"

#include <list>
#include <vector>

namespace KvHLRTest {

using Edge = KvHLR::HLRProjectedTriangleEdge;

// Visible silhouette running forward from its first end to its second.
const int SILHOUETTE = Edge::VISIBLE_EDGE | Edge::LEFT_FACE_FRONT;
const int CONVEX = Edge::VISIBLE_EDGE | Edge::CONVEX_SHARP_EDGE | Edge::CONVEX_TEND_EDGE;
const int HIDDEN = Edge::CONVEX_SHARP_EDGE | Edge::CONVEX_TEND_EDGE;

class StrokeNetworkBuilder {
public:
    StrokeNetworkBuilder() { KvHLR::HLRPolyAlgo::sm_bConvexityReversed = false; }

    KvHLR::HLRShortStrokeGroup& addGroup() {
        m_sources.emplace_back(nullptr);
        return m_algo.shortStrokeGroups().emplace_back(m_sources.back());
    }

    KvHLR::HLRShortStrokeEnd* end(KvHLR::HLRShortStrokeGroup& group, double x, double y) {
        return group.newShortStrokeEnd(KvHLR::HLRVector2D(x, y), m_algo);
    }

    KvHLR::HLRShortStroke* stroke(KvHLR::HLRShortStrokeGroup& group, KvHLR::HLRShortStrokeEnd* from,
                                  KvHLR::HLRShortStrokeEnd* to, int type) {
        KvHLR::HLRShortStroke* made = group.newShortStroke(KvHLR::HLRShortStroke(from, to, type), m_algo);
        from->addLink(made);
        to->addLink(made);
        return made;
    }

    // Strokes through the ends in order, closing back to the first when asked.
    std::vector<KvHLR::HLRShortStroke*> chain(KvHLR::HLRShortStrokeGroup& group,
                                              const std::vector<KvHLR::HLRShortStrokeEnd*>& ends, int type,
                                              bool closed = false) {
        std::vector<KvHLR::HLRShortStroke*> made;
        for (std::size_t i = 0; i + 1 < ends.size(); ++i)
            made.push_back(stroke(group, ends[i], ends[i + 1], type));
        if (closed)
            made.push_back(stroke(group, ends.back(), ends.front(), type));
        return made;
    }

    KvHLR::HLRPolyAlgo& algo() { return m_algo; }

private:
    // The groups refer to their sources, so the sources outlive the algorithm that holds the groups.
    std::list<KvHLR::HLRProjectedFreeEdgeData> m_sources;
    KvHLR::HLRPolyAlgo m_algo;
};

} // namespace KvHLRTest
