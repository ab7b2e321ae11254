#include "kit/camera/CameraChoice.h"

#include "kit/InputError.h"

namespace kvhlr {

UpAxis upAxisNamed(const std::string& name) {
    if (name == "y" || name == "z")
        return name == "y" ? UpAxis::Y : UpAxis::Z;
    throw InputError::ofParameter("up_axis", "expected 'y' or 'z', not '" + name + "'");
}

CameraRequest cameraRequest(const CameraChoice& choice) {
    CameraRequest request;
    if (choice.eye && !choice.target)
        throw InputError::ofParameter("target", "an eye needs a target to look at");
    request.direction = choice.eye ? lookDirection(*choice.eye, *choice.target,
                                                   choice.up ? *choice.up
                                                             : namedViewDirection("front", choice.upAxis).up)
                                   : namedViewDirection(choice.view, choice.upAxis);
    request.perspectiveFovDegrees = choice.perspectiveFov;
    request.fill = choice.fill;
    checkCameraRequest(request);
    return request;
}

KvHLR::ViewInfoCriteria placeCamera(const CameraChoice& choice, const std::vector<MeshPart>& parts) {
    const CameraRequest request = cameraRequest(choice);
    if (!choice.eye || choice.fitEye)
        return fitCamera(request, parts);
    return lookAtCamera(LookAt{*choice.eye, *choice.target, request.direction.up, request.perspectiveFovDegrees,
                               request.fill},
                        parts);
}

} // namespace kvhlr
