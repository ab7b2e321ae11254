#include "Hlr/HLRProjectedTriangleData.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRError.h"
#include "Hlr/HLRHugePages.h"
#include "Hlr/HLRProjectedModel.h"

namespace KvHLR {

HLRProjectedTriangleData::HLRProjectedTriangleData(const HLRTriangleData& source,
                                                   const HLRProjector& projector, double sharpEdgeAngle,
                                                   std::uint32_t vertexIndexOffset)
    : m_source(&source), m_projector(&projector), m_sharpEdgeAngle(sharpEdgeAngle),
      m_vertexIndexOffset(vertexIndexOffset) {
    HLRHugePages::reserve(m_vertices, source.vertices().size());
    HLRHugePages::reserve(m_triangles, source.triangles().size());
    // Exact hiding keeps only the edges that can be drawn, which on a smooth model are a small share:
    // their sequence grows as they are found.
    if (!HLRProjectedModel::sm_bExactHiding)
        HLRHugePages::reserve(m_edges, source.edges().size());
}

HLRProjectedTriangleData::~HLRProjectedTriangleData() = default;

HLRProjectedTriangle* HLRProjectedTriangleData::newTriangle() {
    m_triangles.emplace_back();
    return &m_triangles.back();
}

std::uint32_t HLRProjectedTriangleData::project() {
    if (m_triangles.size() != m_source->triangles().size()) {
        throw HLRError("HLRProjectedTriangleData::project(): a triangle of the store without its image",
                       "Hlr/HLRProjectedTriangleData", 30);
    }
    projectVertices();
    setTriangleVertices();
    buildEdges();
    return static_cast<std::uint32_t>(m_edges.size());
}

void HLRProjectedTriangleData::projectVertices() {
    for (const HLRTriangleVertex& vertex : m_source->vertices()) {
        HLRCancelPoll::check();
        const HLRVector3D point(vertex.x, vertex.y, vertex.z);
        m_vertices.push_back(HLRProjectedTriangleVertex::project(point, &vertex, *m_projector));
    }
}

void HLRProjectedTriangleData::setTriangleVertices() {
    for (std::size_t i = 0; i < m_triangles.size(); ++i) {
        HLRCancelPoll::check();
        const std::int32_t* corners = m_source->triangles()[i].vertices;
        m_triangles[i].setVertices(&m_vertices[static_cast<std::size_t>(corners[0])],
                                   &m_vertices[static_cast<std::size_t>(corners[1])],
                                   &m_vertices[static_cast<std::size_t>(corners[2])]);
    }
}

// A smooth edge draws nothing, hides nothing and is never hidden: exact hiding leaves it out, so that a
// smooth model of millions of edges keeps only its few thousand outline and sharp ones. The plain hide
// test keeps one edge per model edge.
void HLRProjectedTriangleData::buildEdges() {
    const bool drawableOnly = HLRProjectedModel::sm_bExactHiding;
    for (const HLRTriangleEdge& modelEdge : m_source->edges()) {
        HLRCancelPoll::check();
        if (!drawableOnly || HLRProjectedTriangleEdge::becomesFeatureLine(
                                 projectedTriangle(modelEdge.leftTriangle()),
                                 projectedTriangle(modelEdge.rightTriangle()), m_sharpEdgeAngle))
            m_edges.push_back(edgeOf(modelEdge));
    }
}

HLRProjectedTriangleEdge HLRProjectedTriangleData::edgeOf(const HLRTriangleEdge& modelEdge) const {
    HLRProjectedTriangleEdge edge(&m_vertices[static_cast<std::size_t>(modelEdge.startVertex())],
                                  &m_vertices[static_cast<std::size_t>(modelEdge.endVertex())],
                                  projectedTriangle(modelEdge.leftTriangle()),
                                  projectedTriangle(modelEdge.rightTriangle()));
    edge.setType(m_sharpEdgeAngle);
    return edge;
}

const HLRProjectedTriangle* HLRProjectedTriangleData::projectedTriangle(std::int32_t position) const {
    return position == HLRTriangleEdge::NONE ? nullptr : &m_triangles[static_cast<std::size_t>(position)];
}

void HLRProjectedTriangleData::computeExtents(HLRBox2D& box2D, HLRBox3D& box3D) {
    HLRBox3D own3D;
    addVertexExtents(m_vertices, m_extent, own3D);
    box2D.add(m_extent);
    box3D.add(own3D);
}

} // namespace KvHLR
