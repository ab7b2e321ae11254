#include "Hlr/HLRTriangleParts.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRHugePages.h"
#include "Hlr/HLRTriangleData.h"
#include "Hlr/HLRTriangleEdge.h"

#include <algorithm>
#include <numeric>

namespace KvHLR {

namespace {

// The pass over the edges checks for a cancel once per this many edges.
constexpr std::size_t kEdgesPerCheck = 256;

} // namespace

std::uint32_t HLRTriangleParts::rootOf(std::vector<std::uint32_t>& parent, std::uint32_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

// Parts are joined through edges; a triangle that is not on three edges with a triangle on either
// side (an open border, an edge of three or more triangles, two neighbours wound alike, no area)
// leaves its part open.
HLRTriangleParts::HLRTriangleParts(const std::vector<const HLRTriangleData*>& triangleData) {
    std::size_t total = 0;
    for (const HLRTriangleData* data : triangleData) {
        m_storeStart.push_back(total);
        total += data->triangles().size();
    }
    std::vector<std::uint32_t> parent;
    parent.reserve(total);
    HLRHugePages::advise(parent.data(), total * sizeof(std::uint32_t));
    parent.resize(total);
    std::iota(parent.begin(), parent.end(), 0u);
    // Each edge is recorded once, with the triangle that runs along it one way on its left and the one
    // that runs the other way on its right; a third triangle takes the place of one of them.
    m_edgeRecords.assign(total, 0);
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const HLRTriangleData& source = *triangleData[s];
        const auto index = [&](std::int32_t t) {
            return static_cast<std::uint32_t>(m_storeStart[s] + static_cast<std::size_t>(t));
        };
        const std::vector<HLRTriangleEdge>& edges = source.edges();
        for (std::size_t e = 0; e < edges.size(); ++e) {
            if (e % kEdgesPerCheck == 0)
                HLRCancelPoll::check();
            const std::int32_t left = edges[e].leftTriangle(), right = edges[e].rightTriangle();
            if (left == HLRTriangleEdge::NONE || right == HLRTriangleEdge::NONE) {
                const std::int32_t own = left == HLRTriangleEdge::NONE ? right : left;
                if (own != HLRTriangleEdge::NONE)
                    m_edgeRecords[index(own)] =
                        static_cast<std::uint8_t>((m_edgeRecords[index(own)] + 1) | kOpenSide);
                continue;
            }
            ++m_edgeRecords[index(left)];
            ++m_edgeRecords[index(right)];
            // Most edges join triangles whose parents are one root already: no root needs finding.
            if (parent[index(left)] == parent[index(right)])
                continue;
            // The lower root stays: the triangles come in order, so trees stay shallow.
            const std::uint32_t a = rootOf(parent, index(left)), b = rootOf(parent, index(right));
            parent[std::max(a, b)] = std::min(a, b);
        }
    }
    // Every triangle's parent comes before it, and a root is the first triangle of its part: walking the
    // triangles in order turns each parent into its part's number in place, parts numbered as met.
    for (std::size_t t = 0; t < total; ++t) {
        if (parent[t] == t) {
            parent[t] = static_cast<std::uint32_t>(m_closed.size());
            m_closed.push_back(1);
            m_triangleCount.push_back(0);
            m_firstTriangle.push_back(t);
        } else {
            parent[t] = parent[parent[t]];
        }
        ++m_triangleCount[parent[t]];
        if (m_edgeRecords[t] != 3)
            m_closed[parent[t]] = 0;
    }
    m_partOfTriangle = std::move(parent);
}

} // namespace KvHLR
