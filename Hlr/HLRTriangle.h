#pragma once

#include "Hlr/HLRTriangleVertex.h"

#include <cstdint>

namespace KvHLR {

// A model triangle: its three vertices in the caller's order (which fixes its orientation) and its
// position in its store's triangle sequence, by which the projected model finds its image.
struct HLRTriangle {
    HLRTriangleVertex* vertices[3] = {nullptr, nullptr, nullptr};
    std::int32_t index = -1;

    HLRTriangle() = default;
    HLRTriangle(HLRTriangleVertex* a, HLRTriangleVertex* b, HLRTriangleVertex* c, std::int32_t indexIn)
        : vertices{a, b, c}, index(indexIn) {}
};

} // namespace KvHLR
