#include "Hlr/HLRClosedParts.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLROccluder.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleData.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRTriangleParts.h"

#include <algorithm>

namespace KvHLR {

HLRClosedParts::HLRClosedParts(const std::vector<HLRProjectedTriangleData>& triangleData) {
    std::vector<const HLRTriangleData*> sources;
    for (const HLRProjectedTriangleData& data : triangleData)
        sources.push_back(data.source());
    const HLRTriangleParts parts(sources);
    const std::vector<std::uint32_t>& partOf = parts.partOfTriangle();
    std::vector<std::uint8_t> counted = parts.closed();
    m_partBox.resize(counted.size());
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLROccluder>& occluders = triangleData[s].occluders();
        for (std::size_t i = 0; i < occluders.size(); ++i) {
            if ((i & 4095U) == 0)
                HLRCancelPoll::check();
            const std::uint32_t part = partOf[parts.storeStart()[s] + i];
            if (!counted[part])
                continue;
            const HLRTriangleImage& image = occluders[i].image;
            counted[part] = !image.nearRegion;
            for (const HLRProjectedTriangleVertex* corner : image.corners)
                m_partBox[part].add(corner->viewPosition);
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
    m_codeOfOccluder.resize(partOf.size());
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLROccluder>& occluders = triangleData[s].occluders();
        for (std::size_t i = 0; i < occluders.size(); ++i) {
            const std::size_t t = parts.storeStart()[s] + i;
            const std::uint32_t part = partOf[t];
            m_codeOfOccluder[t] =
                counted[part] ? part | (occluders[i].image.isFront() ? kFacesEye : 0U) : kNone;
        }
    }
}

} // namespace KvHLR
