#pragma once

#include <cstdint>
#include <vector>

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLROccluder.h"
#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRTriangle.h"
#include "Hlr/HLRTriangleData.h"

namespace KvHLR {

class HLRProjector;

// The projected counterpart of one model triangle store: vertex i is the image of model vertex i,
// triangle i the image of the model triangle with index i, and one edge per model edge.
//
// With exact hiding the store holds its triangles as occluders (HLROccluder) and only the edges that
// can be drawn, as exact edges (HLRExactEdge): flat arrays of plain records, with no projected triangle
// or projected edge at all. Otherwise it holds the projected triangles, which the shells' faces append
// (newTriangle), and one projected edge per model edge.
class HLRProjectedTriangleData {
public:
    // Reserves room for all vertices, triangles and edges of the source, so that pointers taken into
    // the sequences while they fill stay valid.
    HLRProjectedTriangleData(const HLRTriangleData& source, const HLRProjector& projector,
                             double sharpEdgeAngle, std::uint32_t vertexIndexOffset);
    virtual ~HLRProjectedTriangleData();

    // Appends the projected triangle of the source's next triangle: the model numbers its triangles in
    // the order in which they are appended here (shell, face, triangle order), so triangle i shows
    // the source's triangle i.
    HLRProjectedTriangle* newTriangle();
    // Projects every vertex, gives every triangle its plane and facing and builds and classifies the
    // edges. Returns the number of edges.
    std::uint32_t project();
    // Exact hiding: packs the occluders' boxes on the current grids and marks those in a perspective
    // camera's near region.
    void boxOccluders();
    // The image of the model triangle at `position`, in either mode, or null for HLRTriangleEdge::NONE.
    const HLRTriangleImage* image(std::int32_t position) const;
    // Sets the 2D extent from the vertices and adds it to box2D, and their view extent to box3D.
    void computeExtents(HLRBox2D& box2D, HLRBox3D& box3D);

    const HLRTriangleData* source() const { return m_source; }
    const HLRProjector* projector() const { return m_projector; }
    double sharpEdgeAngle() const { return m_sharpEdgeAngle; }
    std::uint32_t vertexIndexOffset() const { return m_vertexIndexOffset; }
    const HLRBox2D& extent() const { return m_extent; }
    const std::vector<HLRProjectedTriangleVertex>& vertices() const { return m_vertices; }
    const std::vector<HLRProjectedTriangle>& triangles() const { return m_triangles; }
    std::vector<HLRProjectedTriangle>& triangles() { return m_triangles; }
    const std::vector<HLRProjectedTriangleEdge>& edges() const { return m_edges; }
    std::vector<HLRProjectedTriangleEdge>& edges() { return m_edges; }
    const std::vector<HLROccluder>& occluders() const { return m_occluders; }
    const std::vector<HLRExactEdge>& exactEdges() const { return m_exactEdges; }
    std::vector<HLRExactEdge>& exactEdges() { return m_exactEdges; }

private:
    void projectVertices();
    void setTriangleVertices();
    void buildEdges();
    // The positions of the source's edges that exact hiding keeps (those that can be drawn), in order.
    std::vector<std::uint32_t> drawableEdges() const;
    // The projected triangle of the model triangle at `position`, or null for HLRTriangleEdge::NONE.
    const HLRProjectedTriangle* projectedTriangle(std::int32_t position) const;

    const HLRTriangleData* m_source;
    const HLRProjector* m_projector;
    double m_sharpEdgeAngle;
    std::uint32_t m_vertexIndexOffset;
    HLRBox2D m_extent;
    std::vector<HLRProjectedTriangleVertex> m_vertices;
    std::vector<HLRProjectedTriangle> m_triangles;
    std::vector<HLRProjectedTriangleEdge> m_edges;
    std::vector<HLROccluder> m_occluders;
    std::vector<HLRExactEdge> m_exactEdges;
};

} // namespace KvHLR
