#include "api/CalcSilhouette.h"

#include "Hlr/HLRModel.h"
#include "Hlr/HLRProjector.h"
#include "api/DrawableGeometry.h"
#include "api/SilhouettePipeline.h"

#include <mutex>
#include <optional>

namespace KvHLR {
namespace {

// The library keeps process-wide state (progress stages, packed-box grids, tolerances, orientation
// and stroke flags) that one run writes and reads throughout, so runs from different host threads
// take turns.
std::mutex& runMutex() {
    static std::mutex mutex;
    return mutex;
}

// Builds the model from what the camera of `viewInfo` can draw, through `build(model, drawable)`,
// and runs the pipeline on it, holding the library for the whole run.
template <typename Build>
bool draw(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo, Build build,
          std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
          ProgressFunction progress) {
    const std::lock_guard<std::mutex> hold(runMutex());
    const HLRProjector projector = projectorFor(viewInfo);
    HLRModel model;
    build(model, DrawablePoints(projector));
    return calcSilhouetteCore(criteria, viewInfo, projector, model, userPolylines, strokeLines, progress);
}

} // namespace

bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo, Polygon3D& polygon,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    if (polygon.triangles.empty())
        return true;
    auto build = [&polygon](HLRModel& model, DrawablePoints const& drawable) {
        const std::optional<Polygon3D> part = drawablePart(polygon, drawable);
        model.build(part ? *part : polygon);
        // The model holds its own copy of the geometry; free the caller's before the heavy work starts.
        polygon = Polygon3D();
    };
    return draw(criteria, viewInfo, build, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                    MeshList const& meshes, std::vector<UserPolyline> const& userPolylines,
                    std::vector<StrokeLine>& strokeLines, ProgressFunction progress) {
    if (meshes.empty())
        return true;
    auto build = [&meshes, &criteria](HLRModel& model, DrawablePoints const& drawable) {
        model.build(drawablePart(meshes, drawable, criteria.separateBodyFaces), criteria.separateBodyFaces);
    };
    return draw(criteria, viewInfo, build, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(ProjectorCriteria const& criteria, Kv::KvvView* view, MeshList const& meshes,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    if (meshes.empty())
        return true;
    ViewInfoCriteria viewInfo;
    if (view == nullptr || !view->GetProjector(viewInfo.modelViewXform, viewInfo.projectionXform,
                                               viewInfo.nearPlaneDepth, viewInfo.farPlaneDepth, nullptr))
        return false;
    viewInfo.clientRect = CRect(0, 0, 0, 0);
    GetClientRect(view->GetSafeHwnd(), &viewInfo.clientRect); // a failed call leaves the zero rectangle
    return CalcSilhouette(criteria, viewInfo, meshes, userPolylines, strokeLines, progress);
}

} // namespace KvHLR
