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
};

} // namespace kvcheck
