#include "checker/Samples.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

void unscoreTransitions(std::vector<Visibility>& alongEdge) {
    const std::vector<Visibility> raw = alongEdge;
    for (std::size_t i = 0; i < raw.size(); ++i)
        if ((i > 0 && raw[i - 1] != raw[i]) || (i + 1 < raw.size() && raw[i + 1] != raw[i]))
            alongEdge[i] = Visibility::Unscored;
}

namespace {

Visibility visibilityAt(const Vec3& p, const FeatureEdge& edge, const View& view, const OcclusionScene& scene,
                        double tolerance) {
    if (edge.edgeClass == EdgeClass::Uncertain || view.beyondNearPlane(p) <= tolerance)
        return Visibility::Unscored;
    const Ray ray = makeRay(p, view.towardViewer(p), view.distanceToNearPlane(p));
    return scene.trace(ray, edge.triangles, edge.triangleCount);
}

} // namespace

EdgeSamples sampleEdges(const Mesh& mesh, const std::vector<FeatureEdge>& edges, const View& view,
                        const OcclusionScene& scene, double spacing, double tolerance) {
    EdgeSamples result;
    result.firstOfEdge.reserve(edges.size() + 1);
    std::vector<Visibility> alongEdge;
    for (const FeatureEdge& edge : edges) {
        result.firstOfEdge.push_back(result.samples.size());
        const Vec3 &a = mesh.points[edge.ends[0]], &b = mesh.points[edge.ends[1]];
        if (view.beyondNearPlane(a) <= tolerance || view.beyondNearPlane(b) <= tolerance) {
            ++result.edgesAtNearPlane;
            continue;
        }
        const double drawnLength = length(view.toDrawing(b) - view.toDrawing(a));
        const auto pieces = static_cast<std::size_t>(std::max(1.0, std::ceil(drawnLength / spacing)));
        alongEdge.clear();
        for (std::size_t i = 0; i < pieces; ++i) {
            const double t = (i + 0.5) / pieces;
            const Vec3 p = a + t * (b - a);
            result.samples.push_back({view.toDrawing(p), Visibility::Unscored, edge.edgeClass});
            alongEdge.push_back(visibilityAt(p, edge, view, scene, tolerance));
        }
        unscoreTransitions(alongEdge);
        for (std::size_t i = 0; i < pieces; ++i)
            result.samples[result.samples.size() - pieces + i].visibility = alongEdge[i];
    }
    result.firstOfEdge.push_back(result.samples.size());
    return result;
}

} // namespace kvcheck
