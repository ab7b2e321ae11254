#pragma once

// Cameras inside the model: a perspective camera draws only what lies beyond its near plane, as a
// renderer clips there. The library cannot take a model that reaches the near plane (a point at the
// eye projects to infinity), so the kit cuts the triangles first.
//
// In:  the model's points and triangle lists, and the camera.
// Out: the triangles beyond a plane just past the near plane, cut where they cross it, and the camera
//      the library is to draw them with. The cut adds no line: each triangle that crosses is also split
//      a little further on, and the thin slab between the two planes lies in the library's near region
//      (depths up to the camera's near depth, moved past the cut), whose edges it leaves out, while the
//      slab's far side is shared with the rest of its own triangle, a smooth edge. The slab still hides
//      what lies behind it. Models that stay beyond the near plane are left exactly as they are; the
//      drawing of a cut model is clipped to the camera's frame.

#include "api/KvHLRRecords.h"
#include "kit/drawing/Drawing.h"
#include "kit/mesh/MeshPart.h"

#include <optional>
#include <vector>

namespace kvhlr {

// The distance in front of the eye along the line of sight.
double depthOf(const ON_Xform& modelView, const ON_3dPoint& p);

// Whether the camera is a perspective one: the projection's last diagonal entry is not 1, as the library tells.
bool isPerspective(const KvHLR::ViewInfoCriteria& camera);

// Whether the camera is a perspective one (as the library tells: the projection's last diagonal entry
// is not 1) and some point lies on or before its near plane.
bool reachesNearPlane(const KvHLR::ViewInfoCriteria& camera, const std::vector<MeshPart>& parts);

// Cuts the parts' triangles as above when reachesNearPlane, and returns the camera to draw them with;
// nothing otherwise. Points nearer than the cut stay in the lists, used by no triangle.
std::optional<KvHLR::ViewInfoCriteria> cutAtNearPlane(const KvHLR::ViewInfoCriteria& camera,
                                                      std::vector<MeshPart>& parts);

// The lines within the camera's frame (cameraFrame), cut where they leave it. A drawing made from a
// camera inside the model keeps only these: what lies near the eye projects far outside the frame.
void clipToFrame(std::vector<KvHLR::StrokeLine>& lines, const Box2& frame);

} // namespace kvhlr
