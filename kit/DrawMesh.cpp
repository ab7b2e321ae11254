#include "kit/DrawMesh.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRPolyAlgo.h"
#include "api/CalcSilhouette.h"

#include <exception>
#include <mutex>
#include <utility>

namespace kvhlr {
namespace {

// The library's callback is a plain function: the hook of the drawing under way is reached through
// this pointer, set while the kit's lock is held. An exception from the hook cancels the drawing and
// is thrown again once the library has returned.
const DrawOptions* g_current = nullptr;
std::exception_ptr g_hookFailure;

int forwardProgress(long done, long total) {
    if (!g_current->progress || total <= 0)
        return 0;
    try {
        return g_current->progress(static_cast<double>(done) / static_cast<double>(total)) ? 0 : 1;
    } catch (...) {
        g_hookFailure = std::current_exception();
        return 1;
    }
}

KvHLR::ProjectorCriteria criteriaOf(const DrawOptions& options) {
    if (!(options.sharpAngle >= 0.0 && options.sharpAngle <= 180.0))
        throw std::invalid_argument("the sharp-edge angle must lie between 0 and 180 degrees");
    KvHLR::ProjectorCriteria criteria;
    criteria.showSilhouette = options.silhouettes;
    criteria.showConvexSharpEdge = criteria.showConcaveSharpEdge = options.sharp;
    criteria.showHiddenLine = options.hidden;
    criteria.sharpEdgeAngle = options.sharpAngle;
    criteria.separateBodyFaces = options.separateBodyFaces;
    return criteria;
}

// Runs one library call with the options' hide test, intersection lines and hook; the lock keeps another
// drawing from switching the process-wide modes between this one's setting and its run.
template <typename Call>
Drawing drawWith(const KvHLR::ViewInfoCriteria& camera, const DrawOptions& options, Call call) {
    static std::mutex lock;
    const KvHLR::ProjectorCriteria criteria = criteriaOf(options);
    const std::lock_guard<std::mutex> guard(lock);
    KvHLR::HLRPolyAlgo::setExactHiding(options.exact);
    KvHLR::HLRPolyAlgo::setIntersectionLines(options.intersections);
    KvHLR::HLRCancelPoll::setFrequentProgress(true);
    g_current = &options;
    g_hookFailure = nullptr;
    Drawing drawing;
    drawing.camera = camera;
    const bool completed = call(criteria, drawing.lines, forwardProgress);
    g_current = nullptr;
    if (g_hookFailure)
        std::rethrow_exception(std::exchange(g_hookFailure, nullptr));
    if (!completed)
        throw DrawingCancelled();
    return drawing;
}

} // namespace

Drawing drawMesh(KvHLR::Polygon3D&& mesh, const KvHLR::ViewInfoCriteria& camera, const DrawOptions& options) {
    return drawWith(camera, options, [&](const KvHLR::ProjectorCriteria& criteria, auto& lines, auto hook) {
        return KvHLR::CalcSilhouette(criteria, camera, mesh, {}, lines, hook);
    });
}

Drawing drawParts(std::vector<MeshPart>&& parts, const KvHLR::ViewInfoCriteria& camera,
                  const DrawOptions& options) {
    const KvHLR::MeshList meshes = toMeshList(std::move(parts));
    return drawWith(camera, options, [&](const KvHLR::ProjectorCriteria& criteria, auto& lines, auto hook) {
        return KvHLR::CalcSilhouette(criteria, camera, meshes, {}, lines, hook);
    });
}

} // namespace kvhlr
