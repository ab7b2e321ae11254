#include "Hlr/HLRProjectedFreeEdgeData.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRFreeEdge.h"
#include "Hlr/HLRIntersectionFinder.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleData.h"

namespace KvHLR {

HLRProjectedFreeEdgeData::HLRProjectedFreeEdgeData(const HLRProjector* projector) : m_projector(projector) {}

HLRProjectedFreeEdgeData::~HLRProjectedFreeEdgeData() = default;

void HLRProjectedFreeEdgeData::addFreeEdge(const HLRFreeEdge& freeEdge) {
    const std::size_t first = m_vertices.size();
    for (const HLRVector3D& point : freeEdge.points()) {
        m_vertices.push_back(HLRProjectedTriangleVertex::project(point, nullptr, *m_projector));
    }
    const int type = HLRProjectedTriangleEdge::FREE_EDGE |
                     (freeEdge.isTangentEdge() ? HLRProjectedTriangleEdge::TANGENT_EDGE : 0);
    for (std::size_t i = first + 1; i < m_vertices.size(); ++i) {
        if (HLRProjectedModel::sm_bExactHiding) {
            m_exactEdges.emplace_back(&m_vertices[i - 1], &m_vertices[i], nullptr, nullptr, type);
        } else {
            m_edges.emplace_back(&m_vertices[i - 1], &m_vertices[i], nullptr, nullptr);
            if (freeEdge.isTangentEdge())
                m_edges.back().setTypeAsTangentEdge();
            else
                m_edges.back().setTypeAsFreeEdge();
        }
    }
}

void HLRProjectedFreeEdgeData::addIntersectionLines(
    const HLRIntersectionLines& lines, const std::vector<HLRProjectedTriangleData>& triangleData) {
    m_vertices.reserve(lines.points.size());
    for (const HLRVector3D& point : lines.points) {
        HLRCancelPoll::check();
        m_vertices.push_back(HLRProjectedTriangleVertex::project(point, nullptr, *m_projector));
    }
    const int type = HLRProjectedTriangleEdge::FREE_EDGE | HLRProjectedTriangleEdge::INTERSECTION_EDGE;
    if (HLRProjectedModel::sm_bExactHiding)
        m_exactEdges.reserve(lines.segments.size());
    else
        m_edges.reserve(lines.segments.size());
    for (const HLRIntersectionLines::Segment& segment : lines.segments) {
        HLRCancelPoll::check();
        const HLRProjectedTriangleVertex* start = &m_vertices[segment.start];
        const HLRProjectedTriangleVertex* end = &m_vertices[segment.end];
        const HLRProjectedTriangleData& firstStore = triangleData[segment.first.store];
        const HLRProjectedTriangleData& secondStore = triangleData[segment.second.store];
        if (HLRProjectedModel::sm_bExactHiding) {
            m_exactEdges.emplace_back(
                start, end, firstStore.image(static_cast<std::int32_t>(segment.first.index)),
                secondStore.image(static_cast<std::int32_t>(segment.second.index)), type);
        } else {
            m_edges.emplace_back(start, end, &firstStore.triangles()[segment.first.index],
                                 &secondStore.triangles()[segment.second.index]);
            m_edges.back().setTypeAsIntersectionLine();
        }
    }
}

void HLRProjectedFreeEdgeData::computeExtents(HLRBox2D& box2D, HLRBox3D& box3D) {
    HLRBox3D own3D;
    addVertexExtents(m_vertices, m_extent, own3D);
    box2D.add(m_extent);
    box3D.add(own3D);
}

} // namespace KvHLR
