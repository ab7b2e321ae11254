#include "Hlr/HLRClosedParts.h"

#include "Hlr/HLROccluder.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleData.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRTriangleParts.h"

#include <algorithm>

namespace KvHLR {

namespace {

// The view box of a run of consecutive triangles of one part, and whether one of them reaches the near
// region.
struct Run {
    std::uint32_t part;
    HLRBox3D box;
    bool nearRegion;
};

} // namespace

// The triangles are read a block at a time on the team's threads, each block's runs of one part kept
// and put together in block order after (a part's triangles mostly come one after another, so a block
// has a few runs); the boxes and flags they make are the same in any order.
HLRClosedParts::HLRClosedParts(const std::vector<HLRProjectedTriangleData>& triangleData,
                               const HLRTriangleParts& parts) {
    const std::vector<std::uint32_t>& partOf = parts.partOfTriangle();
    std::vector<std::uint8_t> counted = parts.closed();
    m_partBox.resize(counted.size());
    m_codeOfOccluder.resize(partOf.size());
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLROccluder>& occluders = triangleData[s].occluders();
        const std::size_t start = parts.storeStart()[s];
        std::vector<std::vector<Run>> runs(blockCount(occluders.size(), kItemsPerBlock));
        forEachBlock(occluders.size(), kItemsPerBlock,
                     [&](std::size_t block, std::size_t begin, std::size_t end) {
                         for (std::size_t i = begin; i < end; ++i) {
                             const std::uint32_t part = partOf[start + i];
                             const HLRTriangleImage& image = occluders[i].image;
                             m_codeOfOccluder[start + i] = part | (image.isFront() ? kFacesEye : 0U);
                             if (!counted[part])
                                 continue;
                             if (runs[block].empty() || runs[block].back().part != part)
                                 runs[block].push_back({part, HLRBox3D(), false});
                             Run& run = runs[block].back();
                             run.nearRegion = run.nearRegion || image.nearRegion;
                             for (const HLRProjectedTriangleVertex* corner : image.corners)
                                 run.box.add(corner->viewPosition);
                         }
                     });
        for (const std::vector<Run>& blockRuns : runs)
            for (const Run& run : blockRuns) {
                m_partBox[run.part].add(run.box);
                counted[run.part] = counted[run.part] && !run.nearRegion;
            }
    }
    // The depth test of the hide pass takes a point within its tolerance of a plane to lie in it.
    const double grow =
        std::max(HLRProjectedModel::sm_dCoarseTolerance3D, HLRProjectedModel::sm_dExactTolerance3D);
    const HLRVector3D margin(grow, grow, grow);
    const HLRVector4D& centre = HLRProjectedModel::sm_projectionCentre;
    for (std::size_t p = 0; p < m_partBox.size(); ++p) {
        if (!counted[p])
            continue;
        HLRBox3D& box = m_partBox[p];
        box = HLRBox3D(box.min() - margin, box.max() + margin);
        if (!HLRProjectedModel::sm_bOrthoGraphic) {
            const HLRVector3D eye(centre.x() / centre.w(), centre.y() / centre.w(), centre.z() / centre.w());
            counted[p] = eye.x < box.min().x || eye.x > box.max().x || eye.y < box.min().y ||
                         eye.y > box.max().y || eye.z < box.min().z || eye.z > box.max().z;
        }
    }
    forEachBlock(m_codeOfOccluder.size(), kItemsPerBlock,
                 [&](std::size_t, std::size_t begin, std::size_t end) {
                     for (std::size_t t = begin; t < end; ++t)
                         if (!counted[partOf[t]])
                             m_codeOfOccluder[t] = kNone;
                 });
    m_cellCovers = HLRCellCovers(triangleData, parts.storeStart(), m_codeOfOccluder, m_partBox.size());
}

} // namespace KvHLR
