#pragma once

// Finds the lines along which the surface of a mesh passes through itself: two bodies that pierce or
// rest on each other, or folds of one body. Each is a segment where two triangles that share no point
// meet; triangles that share a point are neighbours on the surface, and are not tested against each
// other, nor are slivers (corners nearly in a line), whose planes are rounding noise and whose edges
// are left unjudged anyway (FeatureEdges.h). Candidate pairs come from a grid (TrianglePairs.h), each
// pair is tested in double precision.
//
// Two triangles give a segment where each crosses the other's plane inside the other. Where they merely
// touch, nothing is drawn: at a single point, or all over where they lie in one plane (a face resting
// on another). A contact along an edge of one of them gives a segment only when that edge is not
// drawn already (a drawing needs no second line there) and the surface passes through the other
// triangle there, its two triangles lying on opposite sides of that triangle's plane; the segment is
// then taken once, from the lower-numbered of the two.
//
// A corner within `tolerance` of the other triangle's plane counts as lying in it. Where the answer
// changes when that tolerance is taken a hundred times larger (a triangle sunk a hair's breadth into
// another, a segment barely longer than a point), or where the two planes meet at so small an angle
// that rounding shifts their common line far, the segment is uncertain: a drawing may leave it out,
// but a line drawn there must still be visible or hidden as the segment is.

#include "checker/FeatureEdges.h"
#include "checker/Occlusion.h"

#include <vector>

namespace kvcheck {

struct IntersectionSegment {
    std::array<Vec3, 2> ends;
    Carriers carriers;      // the two triangles that cross, and along an edge the edge's other triangle
    bool uncertain = false; // whether it is there is for rounding to decide
};

// `drawnEdges`: the edges the drawing shows anyway (findFeatureEdges, of any class).
std::vector<IntersectionSegment>
findIntersections(const Mesh& mesh, const std::vector<FeatureEdge>& drawnEdges, double tolerance);

} // namespace kvcheck
