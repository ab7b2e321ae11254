#pragma once

// The library's entry points: a model and a camera in, the line drawing out.

#include "api/KvHLRExport.h"
#include "api/KvHLRRecords.h"
#include "host/KvMesh.h"
#include "host/KvvView.h"

#include <boost/intrusive_ptr.hpp>
#include <vector>

namespace KvHLR {

using MeshList = std::vector<boost::intrusive_ptr<Kv::KvmMesh>>;

// Non-finite input: a triangle with a corner that is not finite, or that the camera sends to a
// non-finite view or screen position, is left out (it neither draws nor hides), and a point of the
// drawing that comes out non-finite is dropped from its line, so the drawing holds finite numbers only.

// Progress and cancellation: called as progress(percent, 100) while the work proceeds; a non-zero
// result cancels the run, which then returns false with strokeLines unchanged.
//
// Threads: calls from several threads are safe; they run one after another, since the library keeps
// process-wide state. The callback runs while the library is held, so it must not call CalcSilhouette.
using ProgressFunction = int (*)(long, long);

// Triangle soup. Returns true at once when the polygon has no triangles; otherwise the caller's polygon
// is emptied once the model is built (its memory is released before the heavy work starts).
KVHLR_API bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                              Polygon3D& polygon, std::vector<UserPolyline> const& userPolylines,
                              std::vector<StrokeLine>& strokeLines, ProgressFunction progress = nullptr);

// Host meshes, one shell per mesh, with the camera given as records.
KVHLR_API bool CalcSilhouette(ProjectorCriteria const& criteria, ViewInfoCriteria const& viewInfo,
                              MeshList const& meshes, std::vector<UserPolyline> const& userPolylines,
                              std::vector<StrokeLine>& strokeLines, ProgressFunction progress = nullptr);

// Host meshes seen through a host view. Returns false, appending nothing, when the view is null or
// has no camera.
KVHLR_API bool CalcSilhouette(ProjectorCriteria const& criteria, Kv::KvvView* view, MeshList const& meshes,
                              std::vector<UserPolyline> const& userPolylines,
                              std::vector<StrokeLine>& strokeLines, ProgressFunction progress = nullptr);

} // namespace KvHLR
