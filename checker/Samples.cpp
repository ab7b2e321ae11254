#include "checker/Samples.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace kvcheck {

double drawingSize(const Mesh& mesh, const std::vector<FeatureEdge>& edges, const View& view) {
    Vec2 lo{std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    Vec2 hi{std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
    for (const FeatureEdge& edge : edges)
        for (std::uint32_t end : edge.ends) {
            if (view.beyondNearPlane(mesh.points[end]) <= 0)
                continue;
            const Vec2 p = view.toDrawing(mesh.points[end]);
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
        }
    const double size = std::max(hi.x - lo.x, hi.y - lo.y);
    return size > 0 && std::isfinite(size) ? size : 1.0;
}

namespace {

// Every value along an edge that differs from a neighbour's becomes `unscored`.
template <class Value> void unscoreChanges(std::vector<Value>& alongEdge, Value unscored) {
    const std::vector<Value> raw = alongEdge;
    for (std::size_t i = 0; i < raw.size(); ++i)
        if ((i > 0 && raw[i - 1] != raw[i]) || (i + 1 < raw.size() && raw[i + 1] != raw[i]))
            alongEdge[i] = unscored;
}

} // namespace

void unscoreTransitions(std::vector<Visibility>& alongEdge) {
    unscoreChanges(alongEdge, Visibility::Unscored);
}

namespace {

// Samples stretches one after another into `result`, whose firstOfEdge ends with the samples' count.
class Sampler {
public:
    Sampler(const View& view, const OcclusionScene& scene, const TurnedViews* turned, double spacing,
            double tolerance, EdgeSamples& result)
        : m_view(view), m_scene(scene), m_turned(turned), m_spacing(spacing), m_tolerance(tolerance),
          m_result(result) {}

    // `edge` as for TurnedViews::settle.
    void stretch(const Vec3& a, const Vec3& b, const Carriers& carriers, EdgeClass edgeClass,
                 std::optional<std::uint64_t> edge) {
        if (m_view.beyondNearPlane(a) <= m_tolerance || m_view.beyondNearPlane(b) <= m_tolerance) {
            ++m_result.edgesAtNearPlane;
            m_result.firstOfEdge.push_back(m_result.samples.size());
            return;
        }
        const double drawnLength = length(m_view.toDrawing(b) - m_view.toDrawing(a));
        const auto pieces = static_cast<std::size_t>(std::max(1.0, std::ceil(drawnLength / m_spacing)));
        // An edge seen end-on is left as this view leaves it: the turned views see it as a short line,
        // which this view draws as nothing.
        m_endOn = drawnLength <= m_spacing;
        m_alongEdge.clear();
        m_levels.clear();
        for (std::size_t i = 0; i < pieces; ++i) {
            const double t = (i + 0.5) / pieces;
            const Vec3 p = a + t * (b - a);
            m_result.samples.push_back({m_view.toDrawing(p), Visibility::Unscored, edgeClass});
            m_alongEdge.push_back(visibilityAt(p, a, b, carriers, edgeClass, edge));
            m_result.samples.back().settled = m_settled && m_alongEdge.back() != Visibility::Unscored;
            m_levels.push_back(m_alongEdge.back() == Visibility::Hidden && !m_settled ? levelAt(p, carriers) : 0);
        }
        unscoreTransitions(m_alongEdge);
        unscoreChanges(m_levels, 0);
        for (std::size_t i = 0; i < pieces; ++i) {
            Sample& sample = m_result.samples[m_result.samples.size() - pieces + i];
            sample.visibility = m_alongEdge[i];
            sample.level = m_alongEdge[i] == Visibility::Hidden ? m_levels[i] : 0;
        }
        m_result.firstOfEdge.push_back(m_result.samples.size());
    }

private:
    Visibility visibilityAt(const Vec3& p, const Vec3& a, const Vec3& b, const Carriers& carriers,
                            EdgeClass edgeClass, std::optional<std::uint64_t> edge) {
        m_settled = false;
        if (m_view.beyondNearPlane(p) <= m_tolerance)
            return Visibility::Unscored;
        const Visibility seen =
            edgeClass == EdgeClass::Uncertain
                ? Visibility::Unscored
                : m_scene.trace(makeRay(p, m_view.towardViewer(p), m_view.distanceToNearPlane(p)), carriers);
        m_settled = seen == Visibility::Unscored && m_turned && !m_endOn;
        return m_settled ? m_turned->settle(p, a, b, carriers, edge) : seen;
    }

    // A hidden point's occlusion level where the scene counts them and the count is certain, else 0.
    int levelAt(const Vec3& p, const Carriers& carriers) const {
        if (!m_scene.countsLevels())
            return 0;
        return m_scene.level(makeRay(p, m_view.towardViewer(p), m_view.distanceToNearPlane(p)), carriers).value_or(0);
    }

    const View& m_view;
    const OcclusionScene& m_scene;
    const TurnedViews* m_turned;
    double m_spacing, m_tolerance;
    EdgeSamples& m_result;
    std::vector<Visibility> m_alongEdge;
    std::vector<int> m_levels;
    bool m_endOn = false;   // whether the edge sampled is seen end-on
    bool m_settled = false; // whether the last visibilityAt asked the turned views
};

} // namespace

EdgeSamples sampleEdges(const Mesh& mesh, const std::vector<FeatureEdge>& edges, const View& view,
                        const OcclusionScene& scene, const TurnedViews* turned, double spacing,
                        double tolerance) {
    EdgeSamples result;
    result.firstOfEdge.reserve(edges.size() + 1);
    result.firstOfEdge.push_back(0);
    Sampler sampler(view, scene, turned, spacing, tolerance, result);
    // Tangent edges are drawn in every view (as outlines where they lie on one).
    for (const FeatureEdge& edge : edges)
        sampler.stretch(mesh.points[edge.ends[0]], mesh.points[edge.ends[1]],
                        {{edge.triangles[0], edge.triangles[1]}, edge.triangleCount}, edge.edgeClass,
                        edge.edgeClass == EdgeClass::Tangent
                            ? std::nullopt
                            : std::optional(edgeKey(edge.ends[0], edge.ends[1])));
    return result;
}

void sampleIntersections(const std::vector<IntersectionSegment>& segments, const View& view,
                         const OcclusionScene& scene, const TurnedViews* turned, double spacing,
                         double tolerance, EdgeSamples& samples) {
    Sampler sampler(view, scene, turned, spacing, tolerance, samples);
    for (const IntersectionSegment& segment : segments)
        sampler.stretch(segment.ends[0], segment.ends[1], segment.carriers,
                        segment.uncertain ? EdgeClass::DoubtfulIntersection : EdgeClass::Intersection,
                        std::nullopt);
}

} // namespace kvcheck
