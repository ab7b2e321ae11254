#include "api/CalcSilhouette.h"

#include "Hlr/HLRModel.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjector.h"
#include "api/DrawableGeometry.h"
#include "api/SilhouettePipeline.h"

#include <memory>
#include <optional>
#include <mutex>

namespace KvHLR {
namespace {

// The library keeps process-wide state (progress stages, packed-box grids, tolerances, orientation
// and stroke flags) that one run writes and reads throughout, so runs from different host threads
// take turns.
std::mutex& runMutex() {
    static std::mutex mutex;
    return mutex;
}

// Runs the pipeline on what the camera of `viewInfo` can draw of the built model, in the modes given,
// or else in those the switches hold when the run starts.
bool drawModel(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo, HLRModel const& model,
               std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
               ProgressFunction progress, std::optional<HLRRunModes> const& modes) {
    const HLRProjector projector = projectorFor(viewInfo);
    const std::unique_ptr<HLRModel> part = drawablePart(model, projector);
    return calcSilhouetteCore(criteria, viewInfo, projector, part ? *part : model, userPolylines, strokeLines,
                              progress, modes ? *modes : HLRPolyAlgo::switchedModes());
}

bool drawPolygon(std::optional<HLRRunModes> const& modes, ProjectorCriteria const& criteria,
                 ViewInfoCriteria const& viewInfo, Polygon3D& polygon,
                 std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                 ProgressFunction progress) {
    if (polygon.triangles.empty())
        return true;
    const std::lock_guard<std::mutex> hold(runMutex());
    HLRModel model;
    model.build(polygon);
    // The model holds its own copy of the geometry; free the caller's before the heavy work starts.
    polygon = Polygon3D();
    return drawModel(criteria, viewInfo, model, userPolylines, strokeLines, progress, modes);
}

bool drawMeshes(std::optional<HLRRunModes> const& modes, ProjectorCriteria const& criteria,
                ViewInfoCriteria const& viewInfo, MeshList const& meshes,
                std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                ProgressFunction progress) {
    if (meshes.empty())
        return true;
    const std::lock_guard<std::mutex> hold(runMutex());
    HLRModel model;
    model.build(meshes, criteria.separateBodyFaces);
    return drawModel(criteria, viewInfo, model, userPolylines, strokeLines, progress, modes);
}

} // namespace

bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo, Polygon3D& polygon,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    return drawPolygon(std::nullopt, criteria, viewInfo, polygon, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                    MeshList const& meshes, std::vector<UserPolyline> const& userPolylines,
                    std::vector<StrokeLine>& strokeLines, ProgressFunction progress) {
    return drawMeshes(std::nullopt, criteria, viewInfo, meshes, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(HLRRunModes const& modes, ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                    Polygon3D& polygon, std::vector<UserPolyline> const& userPolylines,
                    std::vector<StrokeLine>& strokeLines, ProgressFunction progress) {
    return drawPolygon(modes, criteria, viewInfo, polygon, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(HLRRunModes const& modes, ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                    MeshList const& meshes, std::vector<UserPolyline> const& userPolylines,
                    std::vector<StrokeLine>& strokeLines, ProgressFunction progress) {
    return drawMeshes(modes, criteria, viewInfo, meshes, userPolylines, strokeLines, progress);
}

// The model is built before the view is asked for anything, so a mesh list that the build refuses
// throws whatever the view, and a view without a camera has had the meshes read.
bool CalcSilhouette(ProjectorCriteria const& criteria, Kv::KvvView* view, MeshList const& meshes,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    if (meshes.empty())
        return true;
    const std::lock_guard<std::mutex> hold(runMutex());
    HLRModel model;
    model.build(meshes, criteria.separateBodyFaces);
    if (view == nullptr)
        return false;
    ViewInfoCriteria viewInfo;
    viewInfo.clientRect = CRect(0, 0, 0, 0);
    GetClientRect(view->GetSafeHwnd(), &viewInfo.clientRect); // a failed call leaves the zero rectangle
    if (!view->GetProjector(viewInfo.modelViewXform, viewInfo.projectionXform, viewInfo.nearPlaneDepth,
                            viewInfo.farPlaneDepth, nullptr))
        return false;
    return drawModel(criteria, viewInfo, model, userPolylines, strokeLines, progress, std::nullopt);
}

} // namespace KvHLR
