#include "Hlr/HLRProjectedShell.h"

#include <cmath>

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRProjectedTriangleData.h"
#include "Hlr/HLRShell.h"

namespace KvHLR {

HLRProjectedShell::HLRProjectedShell(const HLRShell& source, HLRProjectedTriangleData& triangleData,
                                     const HLRProjector& projector)
    : m_source(&source), m_triangleData(&triangleData), m_freeEdges(&projector), m_projector(&projector) {}

HLRProjectedShell::~HLRProjectedShell() = default;

void HLRProjectedShell::buildFaces() {
    for (const HLRFace& modelFace : m_source->faces()) {
        HLRProjectedFace& face = m_faces.emplace_back();
        for (std::size_t i = 0; i < modelFace.triangles().size(); ++i) {
            HLRCancelPoll::check();
            face.addTriangle(m_triangleData->newTriangle());
        }
    }
}

std::uint32_t HLRProjectedShell::buildFreeEdges() {
    m_freeEdges.reserve(static_cast<std::size_t>(m_source->freeEdgePointCount()));
    for (const HLRFreeEdge& freeEdge : m_source->freeEdges()) {
        m_freeEdges.addFreeEdge(freeEdge);
    }
    return static_cast<std::uint32_t>(m_freeEdges.edges().size() + m_freeEdges.exactEdges().size());
}

void HLRProjectedShell::buildBoundsAndBuckets() {
    HLRBox3D scratch;
    setBoundingBoxes(m_bounds, scratch);
    const int n = static_cast<int>(std::sqrt(static_cast<double>(m_faces.size()) / 5.0));
    if (n < MIN_GRID_RESOLUTION) {
        return;
    }
    setBuckets(m_bounds, n);
    for (HLRProjectedFace& face : m_faces) {
        HLRCancelPoll::check();
        addToBuckets(&face);
    }
}

void HLRProjectedShell::hide(HLRProjectedTriangleEdge& edge) {
    if (!edge.boundingBox2D().overlaps(boundingBox2D())) {
        return;
    }
    if (built()) {
        hideByBuckets(edge);
    } else {
        hideByObjects(edge);
    }
}

void HLRProjectedShell::hideByObjects(HLRProjectedTriangleEdge& edge) {
    for (HLRProjectedFace& face : m_faces) {
        if (edge.isAllHidden()) {
            return;
        }
        face.hide(edge);
    }
}

void HLRProjectedShell::setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) {
    HLRBox2D own2D;
    HLRBox3D own3D;
    for (HLRProjectedFace& face : m_faces) {
        face.setBoundingBoxes(own2D, own3D);
    }
    adoptExtents(own2D, own3D, box2D, box3D);
}

} // namespace KvHLR
