#pragma once

#include "Hlr/HLRTriangle.h"
#include "Hlr/HLRTriangleEdge.h"
#include "Hlr/HLRTriangleVertex.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KvHLR {

// The vertices, triangles and edges that one or more shells draw from. Faces point at triangles and
// projected vertices at vertices, so both sequences are sized once by reserve() and never grow past
// it; triangles and edges give positions in them. The edges are made all at once by buildEdges(), in
// room for an edge a triangle side, so that they are never copied as they come either.
class HLRTriangleData {
public:
    using VertexSequence = std::vector<HLRTriangleVertex>;
    using TriangleSequence = std::vector<HLRTriangle>;
    using EdgeSequence = std::vector<HLRTriangleEdge>; // in order of first appearance

    HLRTriangleData() = default;
    // Copies element by element: the copy's pointers still refer to the source's elements.
    HLRTriangleData(const HLRTriangleData&) = default;
    HLRTriangleData& operator=(const HLRTriangleData&) = default;
    virtual ~HLRTriangleData();

    const VertexSequence& vertices() const { return m_vertices; }
    const TriangleSequence& triangles() const { return m_triangles; }
    const EdgeSequence& edges() const { return m_edges; }

    // Makes room for all vertices and triangles to come. Throws std::length_error for counts
    // beyond the 32-bit indices.
    void reserve(std::size_t vertexCount, std::size_t triangleCount);
    // Appends a vertex and returns its position, which is its index. Throws std::length_error when
    // the reserved room is used up: growing would move vertices that projected vertices point at.
    std::int32_t addVertex(double x, double y, double z);
    // Appends a triangle over the vertices at the given positions. Throws std::out_of_range for a
    // position without a vertex and std::length_error when the reserved room is used up (faces point
    // at triangles).
    HLRTriangle& addTriangle(std::size_t a, std::size_t b, std::size_t c);

    // Derives the edges from the triangles, replacing any derived before. A triangle with two
    // equal vertex indices adds none. Two triangles running a shared edge in opposite directions
    // become its left and right triangle; a later triangle running it in the same direction as an
    // earlier one takes that one's side.
    void buildEdges();

private:
    VertexSequence m_vertices;
    TriangleSequence m_triangles;
    EdgeSequence m_edges;
};

} // namespace KvHLR
