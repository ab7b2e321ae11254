#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KvHLR {

class HLRTriangleData;

// The model's triangles joined into parts through their edges, and which parts are closed and
// consistently wound.
//
// In: the model's triangle stores, with their edges. Out: per triangle, counted over all stores in
// order, its part (parts numbered in the order their first triangles come) and its edge records; per
// part, its first triangle, its number of triangles and whether it is closed and consistently wound
// (every triangle on three edges, each with one triangle on either side running the other way).
//
// The intersection finder judges which parts can cross themselves from here on (HLRCrossingFreeParts),
// and the occlusion levels count the surfaces of a closed part in pairs (HLRClosedParts).
class HLRTriangleParts {
public:
    // Added to a triangle's edge records where one of its edges has no triangle on its other side.
    static constexpr std::uint8_t kOpenSide = 4;

    explicit HLRTriangleParts(const std::vector<const HLRTriangleData*>& triangleData);

    // The root of `i` in a union-find forest, halving the path on the way.
    static std::uint32_t rootOf(std::vector<std::uint32_t>& parent, std::uint32_t i);

    // The first triangle of each store, counted over all stores.
    const std::vector<std::size_t>& storeStart() const { return m_storeStart; }
    // By triangle, counted over all stores.
    const std::vector<std::uint32_t>& partOfTriangle() const { return m_partOfTriangle; }
    // By triangle: how many edge records name it (no more than three: HLRTriangleData::buildEdges files
    // each side of a triangle on one edge), plus kOpenSide where one of them is open; 3 on a closed,
    // consistently wound part.
    const std::vector<std::uint8_t>& edgeRecords() const { return m_edgeRecords; }
    // By part.
    const std::vector<std::uint8_t>& closed() const { return m_closed; }
    const std::vector<std::uint32_t>& triangleCount() const { return m_triangleCount; }
    const std::vector<std::size_t>& firstTriangle() const { return m_firstTriangle; }

    // The arrays handed over whole, for a caller that keeps them.
    std::vector<std::size_t> takeStoreStart() { return std::move(m_storeStart); }
    std::vector<std::uint32_t> takePartOfTriangle() { return std::move(m_partOfTriangle); }
    std::vector<std::uint8_t> takeEdgeRecords() { return std::move(m_edgeRecords); }
    std::vector<std::uint8_t> takeClosed() { return std::move(m_closed); }
    std::vector<std::uint32_t> takeTriangleCount() { return std::move(m_triangleCount); }
    std::vector<std::size_t> takeFirstTriangle() { return std::move(m_firstTriangle); }

private:
    std::vector<std::size_t> m_storeStart;
    std::vector<std::uint32_t> m_partOfTriangle;
    std::vector<std::uint8_t> m_edgeRecords;
    std::vector<std::uint8_t> m_closed;
    std::vector<std::uint32_t> m_triangleCount;
    std::vector<std::size_t> m_firstTriangle;
};

} // namespace KvHLR
