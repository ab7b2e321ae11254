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

#include <algorithm>
#include <optional>
#include <vector>

namespace kvcheck {

// Intersection and DoubtfulIntersection are no edges of the mesh: they mark the samples of the lines
// where surfaces cross (Intersections.h), and of those whose existence rounding could decide either way.
// Tangent edges are sides of the mesh that its geometry does not tell: the model says where two of its
// faces meet smoothly (Mesh::tangentSides).
enum class EdgeClass : std::uint8_t {
    Boundary,
    Silhouette,
    Sharp,
    Feature,
    Uncertain,
    Intersection,
    DoubtfulIntersection,
    Tangent
};

struct FeatureEdge {
    std::array<std::uint32_t, 2> ends; // point indices
    // The edge's triangles, the first `triangleCount` valid; an edge with more than two is Uncertain
    // and keeps only two of them.
    std::array<std::uint32_t, 2> triangles;
    std::uint8_t triangleCount = 0;
    EdgeClass edgeClass = EdgeClass::Feature;
};

// The unit normal of triangle abc, or nothing when its corners are so nearly collinear (the sine of its
// corner angle at a below 1e-6) that the normal's direction is rounding noise.
std::optional<Vec3> unitNormalOf(const Vec3& a, const Vec3& b, const Vec3& c);

// An edge's point indices, the smaller in the high half, the larger in the low half.
inline std::uint64_t edgeKey(std::uint32_t a, std::uint32_t b) {
    return std::uint64_t(std::min(a, b)) << 32 | std::max(a, b);
}

// One triangle's side.
struct Incidence {
    std::uint64_t key; // of the edge
    std::uint32_t triangle;
    bool forward; // the triangle runs the edge from its smaller end to its larger
};

// Every side of every triangle, sorted by edge key and then triangle: the triangles of an edge follow
// one another.
std::vector<Incidence> incidencesOf(const Mesh& mesh);

// The drawn edges in the order of their keys, `ends` holding the smaller index first.
// `sharpAngleDegrees` as kvhlr's --sharp-angle: faces meeting at an angle below it form a sharp edge.
std::vector<FeatureEdge> findFeatureEdges(const Mesh& mesh, const View& view, double sharpAngleDegrees);

// The model's tangent edges that are no drawn edge already (one on the outline is judged as an outline),
// in class Tangent, with their triangles; `edges` as findFeatureEdges gives them.
std::vector<FeatureEdge> findTangentEdges(const Mesh& mesh, const std::vector<FeatureEdge>& edges);

} // namespace kvcheck
