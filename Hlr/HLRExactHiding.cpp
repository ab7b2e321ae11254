#include "Hlr/HLRExactHiding.h"

#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProjectedModel.h"

#include "api/CalcSilhouette.h"

#include <atomic>
#include <string>
#include <utility>

namespace KvHLR {

namespace {

// Reads counted against the occlusion levels' budget at a time: an edge behind a deep stack charges as
// it goes, so that the pass stops early, and the shared count is touched rarely.
constexpr std::uint32_t kCoverReadsPerCharge = 4096;

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

HLRTooManyOcclusionLevels::HLRTooManyOcclusionLevels()
    : std::length_error("the hidden edges lie behind more than " +
                        std::to_string(kMaxCoverReads) +
                        " surfaces in all, too many to count their occlusion levels: tell fewer levels apart") {}

HLRTooManyOcclusionLevels::~HLRTooManyOcclusionLevels() = default;

void HLRExactHiding::hideEdges(const Grid& grid, const std::vector<HLRExactEdge*>& edges) {
    std::atomic<std::size_t> coverReads{0};
    const auto charge = [&coverReads](std::uint32_t reads) {
        if (reads > 0 && coverReads.fetch_add(reads, std::memory_order_relaxed) + reads >
                             HLRTooManyOcclusionLevels::kMaxCoverReads)
            throw HLRTooManyOcclusionLevels();
    };
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
            // With occlusion levels an edge hidden all along goes on counting the occluders in front of it
            // until it is covered as often as is counted all along (HLRExactEdge::isDone); those reads are
            // charged to the budget a block at a time.
            std::uint32_t tests = 0, counted = 0;
            grid.forEachMeeting(windowOf(edge), edge.boundingBox3D().farthestDepth(),
                                [&](const HLROccluder* occluder, std::size_t) {
                                    if ((++tests & 255U) == 0)
                                        HLRCancelPoll::check();
                                    if (edge.isAllHidden() && ++counted == kCoverReadsPerCharge) {
                                        charge(counted);
            if (levels)
                edge.settleCovers();
                                        counted = 0;
                                    }
                                    occluder->hide(edge);
                                    return !edge.isDone();
                                });
            charge(counted);
        });
}

} // namespace KvHLR
