#pragma once

// Finds the edges of a mesh that a hidden-line drawing must show, from the mesh and the camera alone:
//
// - boundary: an edge with one triangle;
// - silhouette: one triangle faces the viewer, the other faces away (facing is the sign of the normal
//   against the direction to the eye, or against the viewing direction in an orthographic view);
// - sharp: both face the same way and their normals are more than 180 degrees minus the sharp-edge
//   angle apart.
//
// Whether some edges are drawn cannot be told from the geometry with certainty, and those edges are
// returned as Uncertain so that the drawing is judged neither for nor against them:
// - an edge with three or more triangles, or with two that run it the same way (inconsistent
//   winding): which faces a program pairs there is a matter of its bookkeeping, not of geometry;
// - an edge of a degenerate triangle (its corners nearly collinear), whose normal is rounding noise;
// - an edge whose drawn/not-drawn answer changes within rounding: a triangle seen almost exactly
//   edge-on may count as facing either way, and normals may lie almost exactly at the sharp-edge angle.
//   When every reading draws the edge but the readings disagree on its kind, it is a Feature of
//   uncertain kind: scored for visibility, left out of the kind agreement.

#include "checker/Mesh.h"
#include "checker/View.h"

#include <vector>

namespace kvcheck {

enum class EdgeClass : std::uint8_t { Boundary, Silhouette, Sharp, Feature, Uncertain };

struct FeatureEdge {
    std::array<std::uint32_t, 2> ends; // point indices
    // The edge's triangles, the first `triangleCount` valid; an edge with more than two is Uncertain
    // and keeps only two of them.
    std::array<std::uint32_t, 2> triangles;
    std::uint8_t triangleCount = 0;
    EdgeClass edgeClass = EdgeClass::Feature;
};

// `sharpAngleDegrees` as kvhlr's --sharp-angle: faces meeting at an angle below it form a sharp edge.
std::vector<FeatureEdge> findFeatureEdges(const Mesh& mesh, const View& view, double sharpAngleDegrees);

} // namespace kvcheck
