#include "Hlr/HLRProjectedTriangleData.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRHugePages.h"

namespace KvHLR {

HLRProjectedTriangleData::HLRProjectedTriangleData(const HLRTriangleData& source,
                                                   const HLRProjector& projector, double sharpEdgeAngle,
                                                   std::uint32_t vertexIndexOffset)
    : m_source(&source), m_projector(&projector), m_sharpEdgeAngle(sharpEdgeAngle),
      m_vertexIndexOffset(vertexIndexOffset) {
    HLRHugePages::reserve(m_vertices, source.vertices().size());
    HLRHugePages::reserve(m_triangles, source.triangles().size());
    HLRHugePages::reserve(m_edges, source.edges().size());
}

HLRProjectedTriangleData::~HLRProjectedTriangleData() = default;

HLRProjectedTriangle* HLRProjectedTriangleData::newTriangle(const HLRTriangle& source) {
    m_triangles.emplace_back(&source);
    return &m_triangles.back();
}

std::uint32_t HLRProjectedTriangleData::project() {
    projectVertices();
    setTriangleVertices();
    buildEdges();
    for (HLRProjectedTriangleEdge& edge : m_edges) {
        HLRCancelPoll::check();
        edge.setType(m_sharpEdgeAngle);
    }
    return static_cast<std::uint32_t>(m_edges.size());
}

void HLRProjectedTriangleData::projectVertices() {
    for (const HLRTriangleVertex& vertex : m_source->vertices()) {
        HLRCancelPoll::check();
        const HLRVector3D point(vertex.x, vertex.y, vertex.z);
        const auto index = static_cast<std::int32_t>(m_vertices.size());
        m_vertices.push_back(HLRProjectedTriangleVertex::project(point, &vertex, index, *m_projector));
    }
}

void HLRProjectedTriangleData::setTriangleVertices() {
    for (HLRProjectedTriangle& triangle : m_triangles) {
        HLRCancelPoll::check();
        HLRTriangleVertex* const* corners = triangle.source()->vertices;
        triangle.setVertices(&m_vertices[corners[0]->index], &m_vertices[corners[1]->index],
                             &m_vertices[corners[2]->index]);
    }
}

void HLRProjectedTriangleData::buildEdges() {
    for (const HLRTriangleEdge& edge : m_source->edges()) {
        HLRCancelPoll::check();
        m_edges.emplace_back(&m_vertices[edge.startVertex()->index], &m_vertices[edge.endVertex()->index],
                             projectedTriangle(edge.leftTriangle()), projectedTriangle(edge.rightTriangle()));
    }
}

const HLRProjectedTriangle* HLRProjectedTriangleData::projectedTriangle(const HLRTriangle* source) const {
    return source == nullptr ? nullptr : &m_triangles[static_cast<std::size_t>(source->index)];
}

void HLRProjectedTriangleData::computeExtents(HLRBox2D& box2D, HLRBox3D& box3D) {
    HLRBox3D own3D;
    addVertexExtents(m_vertices, m_extent, own3D);
    box2D.add(m_extent);
    box3D.add(own3D);
}

} // namespace KvHLR
