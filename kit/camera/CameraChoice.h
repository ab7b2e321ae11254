#pragma once

// The camera a front end asks for, in its user's terms: a named view or an eye looking at a target,
// the model's vertical axis, a perspective's field of view, and how much of the frame the model fills.
// kvhlr (from its options) and Python (from its arguments) make their cameras through it, so that
// both fit the same camera to the same choice and refuse the same choices alike.
//
// In:  the choice (and a model). Out: the request that fitCamera fits to a model, or the camera itself.

#include "kit/camera/CameraFit.h"

#include <optional>
#include <string>
#include <vector>

namespace kvhlr {

struct CameraChoice {
    std::string view = "iso"; // a named view (namedViews()), unless an eye is given
    UpAxis upAxis = UpAxis::Y;
    std::optional<ON_3dPoint> eye; // with a target: look from the eye towards it instead
    std::optional<ON_3dPoint> target;
    std::optional<ON_3dVector> up;        // the drawing's vertical with an eye; default: the up axis
    bool fitEye = false; // with an eye: keep only its direction and fit the camera as for a named view
    std::optional<double> perspectiveFov; // in degrees; orthographic when empty
    double fill = 0.95;                   // CameraRequest::fill
};

// "y" or "z". Throws InputError naming the parameter "up_axis" for any other name.
UpAxis upAxisNamed(const std::string& name);

// The request that the choice makes: the named view's direction, or the eye's, with its projection
// and fill. Throws InputError naming the parameter at fault (view, target, eye, up, perspective,
// fill) for a choice that no model can be drawn with; it needs no model, so a front end can call it
// before reading one.
CameraRequest cameraRequest(const CameraChoice& choice);

// The camera of the choice for a model: placed at the eye as lookAtCamera places it, or, for a named
// view or with fitEye, fitted to the model by fitCamera. Throws InputError as cameraRequest does.
KvHLR::ViewInfoCriteria placeCamera(const CameraChoice& choice, const std::vector<MeshPart>& parts);

} // namespace kvhlr
