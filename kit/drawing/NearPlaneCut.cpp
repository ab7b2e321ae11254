#include "kit/drawing/NearPlaneCut.h"

#include "kit/drawing/Geometry.h"
#include "kit/drawing/LevelCut.h"

#include <algorithm>
#include <cstdint>

namespace kvhlr {
namespace {

// The library files depths on a grid of 1024 steps over the model's depth (its packed boxes): the
// planes lie a few steps apart, so that no box on one side of the near depth reaches the other.
constexpr double kDepthSteps = 1024.0;
constexpr double kCutSteps = 2.0;    // the cut, past the near plane
constexpr double kNearSteps = 4.0;   // the library's near depth
constexpr double kSplitSteps = 12.0; // the far side of the slab

struct Planes {
    double cut, split;
};

void cutFace(LevelCutter& cutter, const Planes& planes, Kv::KvTriangleList& face) {
    Kv::KvTriangleList kept;
    kept.reserve(face.size());
    for (const auto& triangle : face) {
        const double d[3] = {cutter.value(triangle[0]), cutter.value(triangle[1]), cutter.value(triangle[2])};
        if (std::min({d[0], d[1], d[2]}) >= planes.split) {
            kept.push_back(triangle);
            continue;
        }
        if (std::max({d[0], d[1], d[2]}) <= planes.cut)
            continue;
        const IndexPolygon beyondCut = cutter.clip({triangle[0], triangle[1], triangle[2]}, planes.cut, true);
        addFan(cutter.clip(beyondCut, planes.split, false), kept);
        addFan(cutter.clip(beyondCut, planes.split, true), kept);
    }
    face = std::move(kept);
}

} // namespace

double depthOf(const ON_Xform& modelView, const ON_3dPoint& p) {
    const ON_4dPoint v = modelView * ON_4dPoint(p.x, p.y, p.z, 1.0);
    return -v.z / v.w;
}

bool isPerspective(const KvHLR::ViewInfoCriteria& camera) {
    return camera.projectionXform[3][3] != 1.0;
}

bool reachesNearPlane(const KvHLR::ViewInfoCriteria& camera, const std::vector<MeshPart>& parts) {
    if (!isPerspective(camera))
        return false;
    bool reaches = false;
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        reaches = reaches || !(depthOf(camera.modelViewXform, p) > camera.nearPlaneDepth);
    });
    return reaches;
}

std::optional<KvHLR::ViewInfoCriteria> cutAtNearPlane(const KvHLR::ViewInfoCriteria& camera,
                                                      std::vector<MeshPart>& parts) {
    if (!reachesNearPlane(camera, parts))
        return std::nullopt;
    const double nearDepth = camera.nearPlaneDepth;
    double farthest = nearDepth;
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        farthest = std::max(farthest, depthOf(camera.modelViewXform, p));
    });
    const double step = (farthest - nearDepth) / kDepthSteps;
    const Planes planes{nearDepth + kCutSteps * step, nearDepth + kSplitSteps * step};
    for (MeshPart& part : parts) {
        std::vector<double> depths;
        depths.reserve(part.points.size());
        for (const ON_3dPoint& p : part.points)
            depths.push_back(depthOf(camera.modelViewXform, p));
        LevelCutter cutter(part, std::move(depths));
        for (Kv::KvTriangleList& face : part.faces)
            cutFace(cutter, planes, face);
    }
    KvHLR::ViewInfoCriteria drawn = camera;
    drawn.nearPlaneDepth = nearDepth + kNearSteps * step;
    return drawn;
}

void clipToFrame(std::vector<KvHLR::StrokeLine>& lines, const Box2& frame) {
    std::vector<KvHLR::StrokeLine> clipped;
    for (const KvHLR::StrokeLine& line : lines) {
        KvHLR::StrokeLine* open = nullptr; // the piece the next segment may continue
        for (std::size_t i = 1; i < line.points.size(); ++i) {
            const ON_2dPoint p = line.points[i - 1], q = line.points[i];
            const ON_2dPoint delta(q.x - p.x, q.y - p.y);
            const auto inside = rangeInBox(p, delta, frame, 0.0, 1.0);
            if (!inside) {
                open = nullptr;
                continue;
            }
            const auto [t0, t1] = *inside;
            const auto at = [&](double t) { return ON_2dPoint(p.x + t * delta.x, p.y + t * delta.y); };
            if (!open || t0 > 0.0) {
                open = &clipped.emplace_back();
                open->kind = line.kind;
                open->level = line.level;
                open->points.push_back(t0 > 0.0 ? at(t0) : p);
            }
            open->points.push_back(t1 < 1.0 ? at(t1) : q);
            if (!line.sources.empty())
                open->sources.push_back(line.sources[i - 1]);
            if (t1 < 1.0)
                open = nullptr;
        }
    }
    lines = std::move(clipped);
}

} // namespace kvhlr
