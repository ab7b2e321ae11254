#include "Hlr/HLRWindowQueryTraverser.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

#include <cstdint>
#include <utility>

namespace KvHLR {

HLRWindowQueryTraverser::~HLRWindowQueryTraverser() = default;

std::vector<std::int16_t> HLRWindowQueryTraverser::nearestDepthsOf(
    const std::vector<HLRProjectedTriangle*>& triangles) {
    std::vector<std::int16_t> depths;
    depths.reserve(triangles.size());
    for (const HLRProjectedTriangle* triangle : triangles) {
        depths.push_back(triangle->boundingBox3D().nearestDepth());
    }
    return depths;
}

namespace {

// The packed screen boxes of the edges: the windows of the hide pass's queries.
std::vector<WindowQuery::Imple::QuantisedBox> windowsOf(const std::vector<HLRProjectedTriangleEdge*>& edges) {
    std::vector<WindowQuery::Imple::QuantisedBox> windows;
    windows.reserve(edges.size());
    for (const HLRProjectedTriangleEdge* edge : edges) {
        const HLRBoundingBox2D& box = edge->boundingBox2D();
        windows.push_back(WindowQuery::Imple::QuantisedBox::fromCodes(box.minCode(), box.maxCode()));
    }
    return windows;
}

} // namespace

void HLRWindowQueryTraverser::setHiddenObject(HLRProjectedTriangleEdge* edge) {
    m_hiddenObject = edge;
    m_farthestDepth = edge->boundingBox3D().farthestDepth();
    setWindow(edge->boundingBox2D().minCode(), edge->boundingBox2D().maxCode());
}

bool HLRWindowQueryTraverser::visit(HLRProjectedTriangle* const& triangle, std::size_t index) {
    // One integer comparison spares the floating-point test for a triangle whose nearest point lies
    // beyond the edge's farthest.
    if ((*m_nearestDepths)[index] < m_farthestDepth) {
        return true;
    }
    // One long edge behind a dense part of a large model meets millions of triangles: its query alone
    // may run for seconds.
    if ((++m_tests & 255U) == 0)
        HLRCancelPoll::check();
    triangle->hide(*m_hiddenObject);
    return !m_hiddenObject->isAllHidden();
}

void HLRWindowQueryTraverser::hide(const Tree& tree, HLRProjectedTriangleEdge& edge) {
    setHiddenObject(&edge);
    tree.query(*this);
}

void HLRWindowQueryTraverser::buildTree(Tree& tree, std::vector<HLRProjectedTriangle*> hiders,
                                        const std::vector<HLRProjectedTriangleEdge*>& edges,
                                        unsigned threadCount) {
    tree.build(std::move(hiders), threadCount, windowsOf(edges));
}

void HLRWindowQueryTraverser::hideEdges(const Tree& tree,
                                        const std::vector<HLRProjectedTriangleEdge*>& edges) {
    const std::vector<std::int16_t> nearestDepths = nearestDepthsOf(tree.items());
    // Edges take very different times (an edge hidden early stops its query), and where they do depends
    // on where they lie: equal shares in index order left one thread idle a tenth of the time, so they
    // go out a block at a time.
    runInParallel(
        static_cast<std::ptrdiff_t>(edges.size()), kEdgesPerBlock,
        [&nearestDepths] { return HLRWindowQueryTraverser(&nearestDepths); },
        [&](HLRWindowQueryTraverser& traverser, std::ptrdiff_t i) {
            HLRCancelPoll::check();
            traverser.hide(tree, *edges[static_cast<std::size_t>(i)]);
        });
}

} // namespace KvHLR
