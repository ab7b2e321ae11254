#pragma once

// A triangle mesh as the checker sees it: corner positions and index triples into them.

#include "checker/Geometry.h"

#include <array>
#include <cstdint>
#include <vector>

namespace kvcheck {

using Triangle = std::array<std::uint32_t, 3>;

struct Mesh {
    std::vector<Vec3> points;
    std::vector<Triangle> triangles;
    // The model's tangent edges, where two of its faces meet smoothly (a CAD model's, which its mesh
    // cannot tell): sides of its triangles, each by its two points.
    std::vector<std::array<std::uint32_t, 2>> tangentSides = {};
};

} // namespace kvcheck
