#pragma once

#include <cstdint>

namespace KvHLR {

// An undirected model edge with the triangle on each side, by their positions in the edge's store
// (HLRTriangleData, which turns them into vertices and triangles). The left triangle runs the edge
// from start to end, the right one from end to start; a side without a triangle (NONE) makes the edge
// a boundary. A large model has millions of edges, so the record is four 32-bit positions: it has no
// virtual table and is not meant to be derived from.
class HLRTriangleEdge final {
public:
    static constexpr std::int32_t NONE = -1;

    HLRTriangleEdge(std::int32_t startVertex, std::int32_t endVertex, std::int32_t leftTriangle)
        : m_startVertex(startVertex), m_endVertex(endVertex), m_leftTriangle(leftTriangle) {}

    std::int32_t startVertex() const { return m_startVertex; }
    std::int32_t endVertex() const { return m_endVertex; }
    std::int32_t leftTriangle() const { return m_leftTriangle; }
    std::int32_t rightTriangle() const { return m_rightTriangle; }
    void setLeftTriangle(std::int32_t triangle) { m_leftTriangle = triangle; }
    void setRightTriangle(std::int32_t triangle) { m_rightTriangle = triangle; }

private:
    std::int32_t m_startVertex;
    std::int32_t m_endVertex;
    std::int32_t m_leftTriangle;
    std::int32_t m_rightTriangle = NONE;
};

} // namespace KvHLR
