#include "Hlr/HLRProjectedFreeEdgeData.h"

#include "Hlr/HLRFreeEdge.h"
#include "Hlr/HLRIntersectionFinder.h"

namespace KvHLR {

HLRProjectedFreeEdgeData::HLRProjectedFreeEdgeData(const HLRProjector* projector) : m_projector(projector) {}

HLRProjectedFreeEdgeData::~HLRProjectedFreeEdgeData() = default;

void HLRProjectedFreeEdgeData::addFreeEdge(const HLRFreeEdge& freeEdge) {
    const std::size_t first = m_vertices.size();
    for (const HLRVector3D& point : freeEdge.points()) {
        m_vertices.push_back(HLRProjectedTriangleVertex::project(point, nullptr, *m_projector));
    }
    for (std::size_t i = first + 1; i < m_vertices.size(); ++i) {
        m_edges.emplace_back(&m_vertices[i - 1], &m_vertices[i], nullptr, nullptr);
        if (freeEdge.isTangentEdge())
            m_edges.back().setTypeAsTangentEdge();
        else
            m_edges.back().setTypeAsFreeEdge();
    }
}

void HLRProjectedFreeEdgeData::addIntersectionLines(const HLRIntersectionLines& lines) {
    m_vertices.reserve(lines.points.size());
    for (const HLRVector3D& point : lines.points) {
        m_vertices.push_back(HLRProjectedTriangleVertex::project(point, nullptr, *m_projector));
    }
    m_edges.reserve(lines.segments.size());
    for (const HLRIntersectionLines::Segment& segment : lines.segments) {
        m_edges.emplace_back(&m_vertices[segment.start], &m_vertices[segment.end], segment.first,
                             segment.second);
        m_edges.back().setTypeAsIntersectionLine();
    }
}

void HLRProjectedFreeEdgeData::computeExtents(HLRBox2D& box2D, HLRBox3D& box3D) {
    HLRBox3D own3D;
    addVertexExtents(m_vertices, m_extent, own3D);
    box2D.add(m_extent);
    box3D.add(own3D);
}

} // namespace KvHLR
