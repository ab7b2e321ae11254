#pragma once

// Points taken along the feature edges and the intersection segments at a fixed spacing in the
// drawing, each with its drawing position and whether the viewer sees it: Visible or Hidden by a ray
// cast toward the viewer, or Unscored where the answer is not certain. The triangles an edge or a
// segment lies on do not hide it.
//
// A sample is Unscored when it lies within `tolerance` of the near plane or behind it, when its edge is
// Uncertain (FeatureEdges.h) or its ray touches triangles that do not block it together (Occlusion.h)
// and the views turned by a hair do not settle it (TurnedViews.h), or when a neighbour along the edge
// differs from it: a visibility change lies between them, and where exactly is for the drawing to place
// within the scoring tolerance, not for a sample to decide.

#include "checker/Intersections.h"
#include "checker/TurnedViews.h"

namespace kvcheck {

struct Sample {
    Vec2 at;
    Visibility visibility = Visibility::Unscored;
    EdgeClass edgeClass = EdgeClass::Feature;
    // Settled by the turned views: the answer rests on a tie, and so does which of the lines falling
    // together there is drawn. Such a sample asks for a line, but of no particular kind, and excuses any
    // line near it (Scores.h).
    bool settled = false;
    // A Hidden sample's occlusion level (OcclusionScene::level) where the scene counts levels; 0 where it
    // does not, where the count is uncertain, settled, or differs from a neighbour's along the edge.
    int level = 0;
};

struct EdgeSamples {
    std::vector<Sample> samples;
    // The samples of edge e are [firstOfEdge[e], firstOfEdge[e + 1]), the intersection segments'
    // following the edges'; an edge or segment that reaches the near plane at an end has none (it
    // cannot be projected whole).
    std::vector<std::size_t> firstOfEdge;
    std::size_t edgesAtNearPlane = 0; // and intersection segments
};

// The larger side of the bounding box of the feature edges' projections: the size against which the
// drawing is judged. 1 when there is nothing to project.
double drawingSize(const Mesh& mesh, const std::vector<FeatureEdge>& edges, const View& view);

// Samples at the middles of the pieces of each edge cut no longer than `spacing` in the drawing. The
// samples that the view leaves open are settled by `turned` (TurnedViews.h) when given.
EdgeSamples sampleEdges(const Mesh& mesh, const std::vector<FeatureEdge>& edges, const View& view,
                        const OcclusionScene& scene, const TurnedViews* turned, double spacing,
                        double tolerance);

// Appends the samples of the intersection segments to those of the edges, each segment taken as an edge,
// in class Intersection or, when uncertain, DoubtfulIntersection.
void sampleIntersections(const std::vector<IntersectionSegment>& segments, const View& view,
                         const OcclusionScene& scene, const TurnedViews* turned, double spacing,
                         double tolerance, EdgeSamples& samples);

// Applies the neighbour rule to the visibilities along one edge: every sample that differs from a
// neighbour becomes Unscored.
void unscoreTransitions(std::vector<Visibility>& alongEdge);

} // namespace kvcheck
