#pragma once

// Turns the triangles of a tessellated face so that they bend with its surface. Open CASCADE's mesher
// triangulates a face in its parameter plane, and where that plane is far from the surface's own shape it
// picks the diagonal of a quad of nodes that bends against the surface: near the pole of a surface of
// revolution, where a whole row of parameters meets in one point, it folds a ball's facets in and out,
// and along a closed face's seam, whose nodes are fewer than those beside it, it leaves a valley. Its
// outline, drawn where the facets turn from the viewer, then breaks into short pieces, and edges along
// it hide behind their neighbours. Where the surface bends the same way along both diagonals of a quad
// (away from its normal on a ball, toward it inside a hole), the quad is split along the diagonal that
// bends that way too; on a ball the facets become the nodes' convex hull.
//
// In:  one face's nodes (its seam welded, so that the seam's quads can be turned too), the surface's
//      normals at them (zero where it has none, at a pole), and its triangles, wound around the normals.
// Out: the triangles, turned. Used by the CAD reader and by the test models' fine tessellations, so that
//      both follow the surface alike.

#include <gp_XYZ.hxx>

#include <array>
#include <cstdint>
#include <vector>

namespace kvhlr {

using FacetTriangle = std::array<std::uint32_t, 3>;

void followSurface(const std::vector<gp_XYZ>& points, std::vector<gp_XYZ> normals,
                   std::vector<FacetTriangle>& triangles);

} // namespace kvhlr
