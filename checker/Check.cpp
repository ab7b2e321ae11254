#include "checker/Check.h"

#include "checker/InputError.h"
#include "checker/ObjFile.h"
#include "checker/Section.h"
#include "checker/Weld.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <ostream>

namespace kvcheck {
namespace {

// The world distance within which geometry counts as touching: a millionth of the model's size, or of
// its distance from the origin when that is larger, since coordinates are only stored to single
// precision (about 6e-8 relative).
double worldToleranceOf(const Mesh& mesh) {
    if (mesh.points.empty())
        return 0;
    Vec3 lo = mesh.points.front(), hi = lo;
    double farthest = 0;
    for (const Vec3& p : mesh.points) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        farthest = std::max({farthest, std::abs(p.x), std::abs(p.y), std::abs(p.z)});
    }
    return 1e-6 * std::max(length(hi - lo), farthest);
}

// A line on a face seen edge-on lies on the model's outline in this view (a rod seen end-on, where it
// enters a plate): whether it shows, or the outline is drawn over it, is for rounding to decide.
void leaveEdgeOnToRounding(std::vector<IntersectionSegment>& segments, const Mesh& mesh, const View& view) {
    constexpr double kEdgeOnCosine = 1e-6; // as for an edge's faces (FeatureEdges.cpp)
    for (IntersectionSegment& segment : segments) {
        for (int i = 0; i < segment.carriers.count; ++i) {
            const Triangle& t = mesh.triangles[segment.carriers.triangles[static_cast<std::size_t>(i)]];
            const std::optional<Vec3> normal =
                unitNormalOf(mesh.points[t[0]], mesh.points[t[1]], mesh.points[t[2]]);
            if (normal && std::fabs(dot(*normal, view.towardViewer(segment.ends[0]))) <= kEdgeOnCosine)
                segment.uncertain = true;
        }
    }
}

} // namespace

CaseFigures runCheck(const CheckRequest& request, std::ostream& warnings) {
    const auto start = std::chrono::steady_clock::now();
    const ObjContent content = readObj(request.meshPath);
    if (content.groupLines > 0)
        warnings << "kvhlr_check: warning: " << request.meshPath
                 << " holds objects, groups or materials; kvhlr welds each of them on its own, the checker "
                    "welds the whole file\n";
    const Mesh whole = weld(content.mesh);
    const Drawing drawing = readDrawing(request.drawingPath);
    const View view(drawing.camera, request.drawingPath);
    std::optional<SectionCut> section;
    if (request.section)
        section.emplace(whole, (*request.section)[0], (*request.section)[1], view, worldToleranceOf(whole));
    const Mesh& mesh = section ? section->kept() : whole;

    CaseFigures figures;
    figures.name = request.name.empty() ? request.drawingPath : request.name;
    figures.points = mesh.points.size();
    figures.triangles = mesh.triangles.size();
    std::vector<FeatureEdge> edges = findFeatureEdges(mesh, view, request.sharpAngleDegrees);
    for (const FeatureEdge& edge : edges)
        ++figures.edgesByClass[static_cast<int>(edge.edgeClass)];
    if (request.tangentEdges) {
        const std::vector<FeatureEdge> tangent = findTangentEdges(mesh, edges);
        figures.tangentEdges = tangent.size();
        edges.insert(edges.end(), tangent.begin(), tangent.end());
    }

    figures.drawingSize = drawingSize(mesh, edges, view);
    figures.tolerance = kToleranceShare * figures.drawingSize;
    figures.spacing = figures.tolerance / 2;
    figures.worldTolerance = worldToleranceOf(mesh);
    OcclusionScene scene(mesh, figures.worldTolerance);
    scene.countLevels(request.levels);
    figures.levelsJudged = request.levels;
    if (section)
        scene.addOccluder([&](const Ray& ray) { return section->crossing(ray); });
    const TurnedViews turned(mesh, view, request.sharpAngleDegrees, scene, figures.spacing,
                             figures.worldTolerance, figures.tolerance);
    EdgeSamples samples =
        sampleEdges(mesh, edges, view, scene, &turned, figures.spacing, figures.worldTolerance);
    figures.intersectionsJudged = request.intersections;
    if (request.intersections) {
        std::vector<IntersectionSegment> segments = findIntersections(mesh, edges, figures.worldTolerance);
        leaveEdgeOnToRounding(segments, mesh, view);
        figures.intersectionSegments = segments.size();
        for (const IntersectionSegment& segment : segments)
            figures.uncertainIntersectionSegments += segment.uncertain;
        sampleIntersections(segments, view, scene, &turned, figures.spacing, figures.worldTolerance, samples);
    }
    for (const Sample& s : samples.samples)
        ++figures.samplesByVisibility[static_cast<int>(s.visibility)];
    figures.edgesAtNearPlane = samples.edgesAtNearPlane;

    figures.scores = score(samples, drawing.lines, figures.tolerance, figures.spacing,
                           kOverlapShare * figures.drawingSize, kMergingShare * figures.drawingSize);
    figures.lineFaults =
        findLineFaults(drawing.lines, frameOf(samples, figures.tolerance), figures.drawingSize);
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return figures;
}

} // namespace kvcheck
