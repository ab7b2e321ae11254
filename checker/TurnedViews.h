#pragma once

// Settles the samples that a view looking exactly along a face leaves open, as the views turned by a
// hair either way settle them. Principal views of boxy parts see many faces exactly edge-on: an edge
// of such a face may count as facing either way (FeatureEdges.h), and a ray from a line lying in it runs
// inside the face and grazes the sides of others (Occlusion.h). Turned about the screen's x or y axis,
// the face is seen from one side and the ray passes clear; the exact view must draw a line as both views
// of a pair draw it, and only where the turn itself changes what is seen is either answer right.
//
// A turned view answers for a point of a line by what it draws there: Visible when a visible stretch
// of its samples runs the line's way within the scoring tolerance (an edge-on face's sides fall on one
// another in the drawing, and which of them is drawn may change with the turn), else the line's own
// visibility when the turned view draws the line for certain. A sample is settled when both views of a
// pair give one answer and the other pair does not give the opposite one.
//
// The views turn about the centre of the mesh's bounding box by 0.01 degrees: far more than the
// rounding of the exact view's arithmetic (1e-6, FeatureEdges.cpp), so that an edge-on face is seen from
// one side, yet far less than the scoring tolerance, so that the drawing barely moves. A turned view's
// samples are taken only once a sample needs them.

#include "checker/FeatureEdges.h"
#include "checker/Occlusion.h"
#include "checker/SegmentGrid.h"

#include <memory>
#include <optional>

namespace kvcheck {

class TurnedViews {
public:
    static constexpr double kTurnRadians = 0.01 * M_PI / 180;

    // `sharpAngleDegrees` as for findFeatureEdges; `spacing` and `tolerance` (the world one) as for
    // sampleEdges, `reach` the scoring tolerance. The mesh and the scene must outlive this.
    TurnedViews(const Mesh& mesh, const View& view, double sharpAngleDegrees, const OcclusionScene& scene,
                double spacing, double tolerance, double reach);
    ~TurnedViews();

    // The settled visibility of point p of the line from a to b (its carriers as for
    // OcclusionScene::trace), or Unscored. `edge`: the line's edgeKey when it is an edge of the mesh drawn
    // depending on the view; nothing for a line drawn in every view.
    Visibility settle(const Vec3& p, const Vec3& a, const Vec3& b, const Carriers& carriers,
                      std::optional<std::uint64_t> edge) const;

private:
    Visibility answerOf(std::size_t k, const Vec3& p, const Vec3& a, const Vec3& b, const Carriers& carriers,
                        std::optional<std::uint64_t> edge) const;
    Visibility ownVisibility(std::size_t k, const Vec3& p, const Carriers& carriers,
                             std::optional<std::uint64_t> edge) const;
    // The stretches of turned view k's samples that it sees, sampled on first use.
    const SegmentGrid& visibleLines(std::size_t k) const;

    const Mesh& m_mesh;
    const OcclusionScene& m_scene;
    double m_spacing, m_tolerance, m_reach;
    // Turned about x by +, -, then about y by +, -; the edges each draws, as findFeatureEdges gives them.
    std::vector<View> m_views;
    std::vector<std::vector<FeatureEdge>> m_edges;
    mutable std::vector<std::unique_ptr<SegmentGrid>> m_visible;
};

} // namespace kvcheck
