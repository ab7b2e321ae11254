#include "api/CalcSilhouette.h"

#include "Hlr/HLRModel.h"
#include "api/SilhouettePipeline.h"

#include <utility>

namespace KvHLR {
namespace {

bool drawThroughView(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                     HLRModel const& model, std::vector<UserPolyline> const& userPolylines,
                     std::vector<StrokeLine>& strokeLines, ProgressFunction progress) {
    return calcSilhouetteCore(criteria, viewInfo.modelViewXform, viewInfo.projectionXform,
                              viewInfo.nearPlaneDepth, viewInfo.farPlaneDepth, viewInfo.clientRect, model,
                              userPolylines, strokeLines, progress);
}

} // namespace

bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo, Polygon3D& polygon,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    if (polygon.triangles.empty())
        return true;
    HLRModel model;
    model.build(polygon);
    // The model holds its own copy of the geometry; free the caller's before the heavy work starts.
    polygon = Polygon3D();
    return drawThroughView(criteria, viewInfo, model, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                    MeshList const& meshes, std::vector<UserPolyline> const& userPolylines,
                    std::vector<StrokeLine>& strokeLines, ProgressFunction progress) {
    if (meshes.empty())
        return true;
    HLRModel model;
    model.build(meshes, criteria.separateBodyFaces);
    return drawThroughView(criteria, viewInfo, model, userPolylines, strokeLines, progress);
}

bool CalcSilhouette(ProjectorCriteria const& criteria, Kv::KvvView* view, MeshList const& meshes,
                    std::vector<UserPolyline> const& userPolylines, std::vector<StrokeLine>& strokeLines,
                    ProgressFunction progress) {
    if (meshes.empty())
        return true;
    HLRModel model;
    model.build(meshes, criteria.separateBodyFaces);

    CRect clientRect(0, 0, 0, 0);
    GetClientRect(view->GetSafeHwnd(), &clientRect); // a failed call leaves the zero rectangle
    ON_Xform modelView;
    ON_Xform projection;
    double nearDepth = 0.0;
    double farDepth = 0.0;
    if (!view->GetProjector(modelView, projection, nearDepth, farDepth, nullptr))
        return false;
    return calcSilhouetteCore(criteria, modelView, projection, nearDepth, farDepth, clientRect, model,
                              userPolylines, strokeLines, progress);
}

} // namespace KvHLR
