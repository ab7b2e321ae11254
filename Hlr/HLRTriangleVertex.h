#pragma once

namespace KvHLR {

// A model vertex in world coordinates; its position in its store's vertex sequence is its index.
struct HLRTriangleVertex {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    HLRTriangleVertex() = default;
    HLRTriangleVertex(double xIn, double yIn, double zIn) : x(xIn), y(yIn), z(zIn) {}
};

} // namespace KvHLR
