#pragma once

// Cameras fitted to the model: the view direction comes from a named view or from eye, target and up
// points; the camera is then placed so that the model fills the drawing, with a small margin, and lies
// wholly in front of the near plane.

#include "api/KvHLRRecords.h"
#include "kit/mesh/MeshPart.h"

#include <optional>
#include <string>
#include <vector>

namespace kvhlr {

enum class UpAxis { Y, Z };

// Directions in world coordinates: from the model towards the eye, and the drawing's up direction.
struct ViewDirection {
    ON_3dVector towardEye;
    ON_3dVector up;
};

// The names of the named views, in the order a front end lists them.
const std::vector<std::string>& namedViews();

// The direction of a named view for a model whose vertical axis is `upAxis`: front looks at the model
// from its front (+z for y up, -y for z up), top from above, iso from front, right and top alike.
// Throws InputError naming the parameter "view" for an unknown name.
ViewDirection namedViewDirection(const std::string& name, UpAxis upAxis);

// The direction from `target` towards `eye` with `up` as the drawing's vertical. Throws InputError naming
// the parameter "eye" when eye and target coincide, "up" when up is parallel to the line of sight.
ViewDirection lookDirection(const ON_3dPoint& eye, const ON_3dPoint& target, const ON_3dVector& up);

struct CameraRequest {
    ViewDirection direction;
    std::optional<double> perspectiveFovDegrees; // orthographic when empty
    // The model's extent is this fraction of the drawing frame, which it fills in one direction.
    double fill = 0.95;
};

// Throws InputError naming the parameter "perspective" for a field of view outside 0..180 degrees
// (both excluded), "fill" for a fill that is not a positive number: a request no model can be fitted to.
void checkCameraRequest(const CameraRequest& request);

// A camera looking along the requested direction, centred on the model and scaled so that its larger
// projected extent is `fill` of the square frame. With no points the frame is the unit square about the
// origin. The frame maps to screen coordinates -1..1 on both axes. Checks the request first.
KvHLR::ViewInfoCriteria fitCamera(const CameraRequest& request, const std::vector<MeshPart>& parts);

// A camera placed as OpenGL's gluLookAt places it: at `eye`, looking at `target`, with `up` as the
// drawing's vertical; perspective with the given field of view (degrees, of the square frame), or
// orthographic with a frame whose half width is the model's largest distance from the line of sight
// over `fill`. Far lies just beyond the model's farthest point; near halfway to its nearest point in
// front of the eye, or, with the eye inside the model (or the model reaching behind it), at a
// thousandth of far, where a perspective drawing is cut (kit/drawing/NearPlaneCut.h). Throws InputError as
// lookDirection does.
struct LookAt {
    ON_3dPoint eye;
    ON_3dPoint target;
    ON_3dVector up;
    std::optional<double> perspectiveFovDegrees; // orthographic when empty
    double fill = 0.95;
};
KvHLR::ViewInfoCriteria lookAtCamera(const LookAt& look, const std::vector<MeshPart>& parts);

} // namespace kvhlr
