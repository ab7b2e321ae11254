#pragma once

// Finds the pairs of triangles whose bounding boxes, grown by a margin, overlap, comparing only the
// triangles that share a grid cell rather than every triangle with every other. The boxes are filed
// in a uniform 3D grid, in every cell each one overlaps; two boxes are compared in the cells they share
// and reported from one of them only, the cell that holds the lowest corner of their overlap. The cell
// side starts at the triangles' mean box size and doubles while the boxes would fill more than a few
// cells each on average (a few large triangles among many small ones).

#include "checker/Mesh.h"

#include <utility>
#include <vector>

namespace kvcheck {

// Each pair once, the smaller triangle index first.
std::vector<std::pair<std::uint32_t, std::uint32_t>> overlappingBoxes(const Mesh& mesh, double margin);

} // namespace kvcheck
