#pragma once

// The built-in demo model, generated in code: a square flange plate (y up) with four bolt holes and a
// central boss that rises from a faceted fillet, bored through and counterbored at the top. Drawn
// isometrically with hidden lines it shows silhouettes, convex and concave sharp edges and hidden lines.

#include "kit/mesh/MeshPart.h"

#include <vector>

namespace kvhlr {

// One closed, consistently outward-wound mesh, welded.
std::vector<MeshPart> demoPart();

} // namespace kvhlr
