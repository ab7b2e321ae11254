#pragma once

// Joins vertices that lie at exactly the same position. The library connects triangles only through
// shared vertex indices, so a mesh stored as loose triangles (STL, or formats that split vertices by
// normal or texture coordinate) must be welded before its edges can be classified.

#include "host/KvMesh.h"
#include "host/opennurbs.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kvhlr {

class VertexWelder {
public:
    explicit VertexWelder(std::size_t expectedPoints = 0);

    // The index of the welded point at exactly p's position, added at the end when new. Zero and
    // negative zero count as the same coordinate.
    std::uint64_t add(const ON_3dPoint& p);

    const Kv::KvPointList& points() const { return m_points; }
    // Hands the welded points over; the welder starts empty again.
    Kv::KvPointList takePoints();

private:
    void rehash(std::size_t slotCount);
    std::size_t findSlot(const ON_3dPoint& p) const;

    Kv::KvPointList m_points;
    // Open addressing with linear probing: each slot holds a point index plus one, 0 when empty.
    std::vector<std::uint32_t> m_slots;
};

// Welds the corners of `triangles` into `welder` and returns the triangles renumbered onto the welded
// points; `positionOf(i)` gives the position of vertex i (called for used vertices only, so it may also
// validate them). Triangles that welding would collapse (two corners at one position) are dropped: they
// have no area and no edges. Vertices that no kept triangle uses are not welded. `triangles` is any list
// with size() and operator[] giving three vertex indices, each below `vertexCount`.
template <class PositionOf, class Triangles = std::vector<std::array<std::uint32_t, 3>>>
Kv::KvTriangleList weldTriangles(VertexWelder& welder, std::size_t vertexCount, PositionOf&& positionOf,
                                 const Triangles& triangles) {
    constexpr std::uint32_t unset = ~std::uint32_t(0);
    std::vector<std::uint32_t> welded(vertexCount, unset); // the welder keeps indices below 2^32 - 1
    auto indexOf = [&](std::uint32_t vertex, const ON_3dPoint& p) {
        if (welded[vertex] == unset)
            welded[vertex] = static_cast<std::uint32_t>(welder.add(p));
        return welded[vertex];
    };
    Kv::KvTriangleList result;
    result.reserve(triangles.size());
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const std::array<std::uint32_t, 3> t = triangles[i];
        const ON_3dPoint a = positionOf(t[0]), b = positionOf(t[1]), c = positionOf(t[2]);
        if (a == b || b == c || c == a)
            continue; // welding is by exact position, so these corners would collapse the triangle
        result.emplace_back(indexOf(t[0], a), indexOf(t[1], b), indexOf(t[2], c));
    }
    return result;
}

} // namespace kvhlr
