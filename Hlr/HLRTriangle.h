#pragma once

#include <cstdint>

namespace KvHLR {

// A model triangle: the positions of its three vertices in its store's vertex sequence, in the
// caller's order (which fixes its orientation). Its own position in the store's triangle sequence is
// its index, by which the projected model finds its image. Twelve bytes: a model has millions.
struct HLRTriangle {
    std::int32_t vertices[3] = {-1, -1, -1};

    HLRTriangle() = default;
    HLRTriangle(std::int32_t a, std::int32_t b, std::int32_t c) : vertices{a, b, c} {}
};

} // namespace KvHLR
