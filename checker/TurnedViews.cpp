#include "checker/TurnedViews.h"

#include "checker/Scores.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kvcheck {

TurnedViews::TurnedViews(const Mesh& mesh, const View& view, double sharpAngleDegrees,
                         const OcclusionScene& scene, double spacing, double tolerance, double reach)
    : m_mesh(mesh), m_scene(scene), m_spacing(spacing), m_tolerance(tolerance), m_reach(reach) {
    Vec3 lo{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
            std::numeric_limits<double>::max()};
    Vec3 hi = -1.0 * lo;
    for (const Vec3& p : mesh.points) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    const Vec3 pivot = mesh.points.empty() ? Vec3{} : 0.5 * (lo + hi);
    for (int axis : {0, 1})
        for (double sign : {1.0, -1.0}) {
            m_views.push_back(view.turned(axis, sign * kTurnRadians, pivot));
            m_edges.push_back(findFeatureEdges(mesh, m_views.back(), sharpAngleDegrees));
        }
    m_visible.resize(m_views.size());
}

TurnedViews::~TurnedViews() = default;

const SegmentGrid& TurnedViews::visibleLines(std::size_t k) const {
    if (!m_visible[k]) {
        const EdgeSamples samples =
            sampleEdges(m_mesh, m_edges[k], m_views[k], m_scene, nullptr, m_spacing, m_tolerance);
        m_visible[k] = std::make_unique<SegmentGrid>(truthGrid(
            samples, [](const Sample& s) { return s.visibility == Visibility::Visible; },
            frameOf(samples, m_reach), m_reach));
    }
    return *m_visible[k];
}

Visibility TurnedViews::ownVisibility(std::size_t k, const Vec3& p, const Carriers& carriers,
                                      std::optional<std::uint64_t> edge) const {
    const View& view = m_views[k];
    if (edge) {
        const std::vector<FeatureEdge>& drawn = m_edges[k];
        const auto at =
            std::lower_bound(drawn.begin(), drawn.end(), *edge, [](const FeatureEdge& e, std::uint64_t key) {
                return edgeKey(e.ends[0], e.ends[1]) < key;
            });
        if (at == drawn.end() || edgeKey(at->ends[0], at->ends[1]) != *edge ||
            at->edgeClass == EdgeClass::Uncertain)
            return Visibility::Unscored;
    }
    if (view.beyondNearPlane(p) <= m_tolerance)
        return Visibility::Unscored;
    return m_scene.trace(makeRay(p, view.towardViewer(p), view.distanceToNearPlane(p)), carriers);
}

Visibility TurnedViews::answerOf(std::size_t k, const Vec3& p, const Vec3& a, const Vec3& b,
                                 const Carriers& carriers, std::optional<std::uint64_t> edge) const {
    const Vec2 at = m_views[k].toDrawing(p);
    const Vec2 way = m_views[k].toDrawing(b) - m_views[k].toDrawing(a);
    // A stretch runs the line's way when the sine between them is below 0.2; a lone sample is a dot.
    const auto along = [&](Vec2 from, Vec2 to) {
        const Vec2 d = to - from;
        return length(d) == 0 || std::fabs(cross(d, way)) < 0.2 * length(d) * length(way);
    };
    return visibleLines(k).findWithin(at, along) ? Visibility::Visible : ownVisibility(k, p, carriers, edge);
}

Visibility TurnedViews::settle(const Vec3& p, const Vec3& a, const Vec3& b, const Carriers& carriers,
                               std::optional<std::uint64_t> edge) const {
    Visibility agreed = Visibility::Unscored;
    for (std::size_t pair : {0, 2}) {
        const Visibility one = answerOf(pair, p, a, b, carriers, edge);
        if (one == Visibility::Unscored || one != answerOf(pair + 1, p, a, b, carriers, edge))
            continue;
        if (agreed != Visibility::Unscored && agreed != one)
            return Visibility::Unscored;
        agreed = one;
    }
    return agreed;
}

} // namespace kvcheck
