#pragma once

// Read-only helpers for tests that look into a built model.

#include "Hlr/HLRTriangleData.h"

#include <cstdint>

namespace KvHLR::testing {

// The edge between the vertices with indices i and j, in either direction, or null.
inline const HLRTriangleEdge* findEdge(const HLRTriangleData& data, std::int32_t i, std::int32_t j) {
    for (const HLRTriangleEdge& e : data.edges()) {
        const std::int32_t s = e.startVertex(), t = e.endVertex();
        if ((s == i && t == j) || (s == j && t == i)) {
            return &e;
        }
    }
    return nullptr;
}

// True when the triangle has the directed side from -> to (vertex positions).
inline bool runs(const HLRTriangle& t, std::int32_t from, std::int32_t to) {
    for (int k = 0; k < 3; ++k) {
        if (t.vertices[k] == from && t.vertices[(k + 1) % 3] == to) {
            return true;
        }
    }
    return false;
}

} // namespace KvHLR::testing
