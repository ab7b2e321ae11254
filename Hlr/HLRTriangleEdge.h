#pragma once

#include "Hlr/HLRTriangle.h"
#include "Hlr/HLRTriangleVertex.h"

namespace KvHLR {

// An undirected model edge with the triangle on each side. The left triangle runs the edge from
// start to end, the right one from end to start; a side without a triangle makes the edge a
// boundary. A large model has millions of edges, so the record stays at four pointers: it has no
// virtual table and is not meant to be derived from.
class HLRTriangleEdge final {
public:
    HLRTriangleEdge(HLRTriangleVertex* startVertex, HLRTriangleVertex* endVertex, HLRTriangle* leftTriangle)
        : m_startVertex(startVertex), m_endVertex(endVertex), m_leftTriangle(leftTriangle) {}

    HLRTriangleVertex* startVertex() const { return m_startVertex; }
    HLRTriangleVertex* endVertex() const { return m_endVertex; }
    HLRTriangle* leftTriangle() const { return m_leftTriangle; }
    HLRTriangle* rightTriangle() const { return m_rightTriangle; }

    void setLeftTriangle(HLRTriangle* triangle) { m_leftTriangle = triangle; }
    void setRightTriangle(HLRTriangle* triangle) { m_rightTriangle = triangle; }

private:
    HLRTriangleVertex* m_startVertex;
    HLRTriangleVertex* m_endVertex;
    HLRTriangle* m_leftTriangle;
    HLRTriangle* m_rightTriangle = nullptr;
};

} // namespace KvHLR
