#include "Hlr/HLRProjectedFace.h"

#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

#include <utility>
#include <vector>

namespace KvHLR {

HLRProjectedFace::HLRProjectedFace() = default;

HLRProjectedFace::~HLRProjectedFace() = default;

void HLRProjectedFace::hide(HLRProjectedTriangleEdge& edge) {
    if (!edge.boundingBox2D().overlaps(boundingBox2D())) {
        return;
    }
    for (HLRProjectedTriangle& triangle : m_triangles) {
        if (edge.isAllHidden()) {
            return;
        }
        triangle.hide(edge);
    }
}

// A face may hold most of a large model's triangles: they are boxed on the library's threads, a block at
// a time, and the blocks' extents joined after (a union, the same however the triangles were shared).
void HLRProjectedFace::setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) {
    std::vector<std::pair<HLRBox2D, HLRBox3D>> blockExtents(blockCount(m_triangles.size(), kItemsPerBlock));
    forEachBlock(m_triangles.size(), kItemsPerBlock, [&](std::size_t block, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            m_triangles[i]->setBoundingBoxes(blockExtents[block].first, blockExtents[block].second);
        }
    });
    HLRBox2D own2D;
    HLRBox3D own3D;
    for (const auto& [blockBox2D, blockBox3D] : blockExtents) {
        own2D.add(blockBox2D);
        own3D.add(blockBox3D);
    }
    adoptExtents(own2D, own3D, box2D, box3D);
}

} // namespace KvHLR
