#pragma once

// Joins vertices that lie at exactly the same position. The library connects triangles only through
// shared vertex indices, so a mesh stored as loose triangles (STL, or formats that split vertices by
// normal or texture coordinate) must be welded before its edges can be classified.

#include "host/KvMesh.h"
#include "host/opennurbs.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
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
        // The last corner is welded first: the order in which the points have always come out.
        const std::uint32_t third = indexOf(t[2], c), second = indexOf(t[1], b);
        result.emplace_back(indexOf(t[0], a), second, third);
    }
    return result;
}

// Vertices read in single precision, in place: vertex i's three coordinates are the floats at
// base + i / 3 * groupBytes + i % 3 * 12 (groupBytes 36 for plain triples, 50 for the corners of a
// binary STL file's records).
struct FloatVertices {
    const char* base;
    std::size_t groupBytes;
    std::size_t count;
};

struct WeldedTriangles {
    Kv::KvPointList points;
    Kv::KvTriangleList triangles;
    // Each point's first vertex: the index in `vertices` it was taken from.
    std::vector<std::uint32_t> firstVertices;
};

// The triangles over `vertices` welded exactly as weldTriangles welds them into a new welder (the same
// points in the same order, the same triangles), the hashing shared among `threads` threads, each
// owning a share of the positions. Null `triangles` means that triangle t is vertices 3 t,
// 3 t + 1 and 3 t + 2. `expectedPoints` sizes the hash tables. `progress` is told, on the calling
// thread, the share of the work done, as the vertices are hashed and then numbered (so that a hook that
// throws stops either pass within a fraction of a second). Nothing when a vertex (used or not) is not finite: the caller
// names it. Throws std::length_error for 2^31 vertices or more.
std::optional<WeldedTriangles> weldInParallel(const FloatVertices& vertices,
                                              const std::array<std::uint32_t, 3>* triangles,
                                              std::size_t triangleCount, std::size_t expectedPoints,
                                              unsigned threads, const std::function<void(double)>& progress);

} // namespace kvhlr
