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
// points. Triangles that welding would collapse (two corners at one position) are dropped: they have no
// area and no edges. Vertices that no kept triangle uses are not welded. Every index of `triangles`
// must select an entry of `vertices`.
Kv::KvTriangleList weldTriangles(VertexWelder& welder, const std::vector<ON_3dPoint>& vertices,
                                 const std::vector<std::array<std::uint32_t, 3>>& triangles);

} // namespace kvhlr
