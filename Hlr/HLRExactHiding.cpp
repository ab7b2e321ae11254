#include "Hlr/HLRExactHiding.h"

#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProjectedModel.h"

#include <utility>

namespace KvHLR {

namespace {

WindowQuery::Imple::QuantisedBox windowOf(const HLRExactEdge& edge) {
    return WindowQuery::Imple::QuantisedBox::fromCodes(edge.boundingBox2D().minCode(),
                                                       edge.boundingBox2D().maxCode());
}

} // namespace

HLRExactHiding::Grid HLRExactHiding::gridOf(std::vector<const HLROccluder*> occluders,
                                            const std::vector<HLRExactEdge*>& edges) {
    // Nearness: the depth field of each occluder's packed view box maximum, its nearest depth cell.
    std::vector<std::int16_t> nearness;
    nearness.reserve(occluders.size());
    for (const HLROccluder* occluder : occluders) {
        nearness.push_back(occluder->box3D.nearestDepth());
    }
    std::vector<WindowQuery::Imple::QuantisedBox> windows;
    windows.reserve(edges.size());
    for (const HLRExactEdge* edge : edges) {
        windows.push_back(windowOf(*edge));
    }
    return Grid(std::move(occluders), nearness, &windows);
}

void HLRExactHiding::hideEdges(const Grid& grid, const std::vector<HLRExactEdge*>& edges) {
    // A block of edges at a time, as the plain hide pass hands them out: an edge hidden early ends its
    // query, so edges take very different times.
    const bool levels = HLRProjectedModel::sm_bOcclusionLevels;
    runInParallel(
        static_cast<std::ptrdiff_t>(edges.size()), kEdgesPerBlock, [] { return 0; },
        [&](int, std::ptrdiff_t i) {
            HLRCancelPoll::check();
            HLRExactEdge& edge = *edges[static_cast<std::size_t>(i)];
            // The grid reports only occluders whose nearest depth reaches the edge's farthest. A long edge
            // behind a dense part of a large model meets millions: a check every few hundred.
            // With occlusion levels an edge hidden all along goes on counting the occluders in front of it.
            std::uint32_t tests = 0;
            grid.forEachMeeting(windowOf(edge), edge.boundingBox3D().farthestDepth(),
                                [&edge, &tests, levels](const HLROccluder* occluder, std::size_t) {
                                    if ((++tests & 255U) == 0)
                                        HLRCancelPoll::check();
                                    occluder->hide(edge);
                                    return levels || !edge.isAllHidden();
                                });
        });
}

} // namespace KvHLR
