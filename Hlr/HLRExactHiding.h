#pragma once

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLROccluder.h"
#include "Hlr/HLRParallelLoop.h"
#include "WindowQuery/Grid.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KvHLR {

class HLRClosedParts;
class HLRExactEdge;

// Exact hiding's hide pass.
//
// In: the occluders (every triangle of the model, HLROccluder) and the edges to hide, with their packed
// boxes on the current grids. Out: each edge's hidden state, the same on any number of threads.
//
// The occluders are filed in a stack of uniform grids (WindowQuery::Grid), each at the finest level
// where its box spans at most two cells each way, and only if the edges' windows may meet it, each
// cell listing them nearest first, so that a query stops reading a cell at the first occluder beyond
// the edge. One OpenMP loop then offers every edge to the occluders its window meets, until it is
// hidden all along, the edges taken along a Z-order curve of their windows on screen so that edges
// that follow each other read the same occluders from the cache.
class HLRExactHiding {
public:
    // How the grid reads an occluder: by the packed codes of its screen box.
    struct OccluderTraits {
        using Item = const HLROccluder*;
        static std::uint32_t minCode(const Item& occluder) { return occluder->box2D.minCode(); }
        static std::uint32_t maxCode(const Item& occluder) { return occluder->box2D.maxCode(); }
        static void checkpoint() { HLRCancelPoll::check(); }
        template <class Body> static void forEachBlock(std::size_t count, std::size_t blockSize, Body&& body) {
            KvHLR::forEachBlock(count, blockSize, [&body](std::size_t, std::size_t begin, std::size_t end) { body(begin, end); });
        }
    };
    using Grid = WindowQuery::Grid<OccluderTraits>;

    // The grid over the occluders for the hide pass over these edges.
    static Grid gridOf(std::vector<const HLROccluder*> occluders, const std::vector<HLRExactEdge*>& edges);
    // The hide pass over a grid that gridOf made for these edges. A drawing hidden in several passes
    // counts the occlusion levels' reads over all of them against one budget: each pass is given the
    // reads of those before it, and returns them with its own. With occlusion levels, `closedParts`
    // (numbering the occluders as the grid's items) tells how many times each occluder's cover counts
    // for an edge; without it each counts once.
    static std::size_t hideEdges(const Grid& grid, const std::vector<HLRExactEdge*>& edges,
                                 std::size_t coverReadsBefore = 0,
                                 const HLRClosedParts* closedParts = nullptr);
};

} // namespace KvHLR
