#pragma once

#include <cstdint>

namespace KvHLR {

// A model vertex in world coordinates; `index` is its position in its store's vertex sequence.
struct HLRTriangleVertex {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    std::int32_t index = -1;

    HLRTriangleVertex() = default;
    HLRTriangleVertex(double xIn, double yIn, double zIn, std::int32_t indexIn)
        : x(xIn), y(yIn), z(zIn), index(indexIn) {}
};

} // namespace KvHLR
