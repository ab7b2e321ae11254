#pragma once

#include <cstddef>
#include <vector>

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

namespace KvHLR {

class HLRFreeEdge;
struct HLRIntersectionLines;
class HLRProjectedTriangleData;
class HLRProjector;

// The projected free-edge polylines of one shell, or the projected intersection lines of the model:
// their points and one free edge per polyline segment, an exact edge (exactEdges) with exact hiding and
// a projected edge (edges) without.
class HLRProjectedFreeEdgeData {
public:
    explicit HLRProjectedFreeEdgeData(const HLRProjector* projector);
    virtual ~HLRProjectedFreeEdgeData();

    // Edges point into the vertex sequence, so room for every point must be reserved before the first
    // addFreeEdge; the owner reserves the shell's free-edge point count.
    void reserve(std::size_t pointCount) { m_vertices.reserve(pointCount); }
    // Projects the polyline's points and appends one free edge per pair of consecutive points.
    void addFreeEdge(const HLRFreeEdge& freeEdge);
    // Projects the points of the lines and appends one intersection edge per segment, on the triangles
    // of the stores that the segment names. Reserves room for the points itself, so it is called once,
    // on an empty set.
    void addIntersectionLines(const HLRIntersectionLines& lines,
                              const std::vector<HLRProjectedTriangleData>& triangleData);
    // Sets the 2D extent from the points and adds it to box2D, and their view extent to box3D.
    void computeExtents(HLRBox2D& box2D, HLRBox3D& box3D);

    const std::vector<HLRProjectedTriangleVertex>& vertices() const { return m_vertices; }
    const std::vector<HLRProjectedTriangleEdge>& edges() const { return m_edges; }
    std::vector<HLRProjectedTriangleEdge>& edges() { return m_edges; }
    const std::vector<HLRExactEdge>& exactEdges() const { return m_exactEdges; }
    std::vector<HLRExactEdge>& exactEdges() { return m_exactEdges; }
    const HLRProjector* projector() const { return m_projector; }
    const HLRBox2D& extent() const { return m_extent; }

private:
    std::vector<HLRProjectedTriangleVertex> m_vertices;
    std::vector<HLRProjectedTriangleEdge> m_edges;
    std::vector<HLRExactEdge> m_exactEdges;
    const HLRProjector* m_projector;
    HLRBox2D m_extent;
};

} // namespace KvHLR
