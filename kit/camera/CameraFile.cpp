#include "kit/camera/CameraFile.h"

#include "api/DrawingPlane.h"

#include "kit/InputError.h"
#include "kit/JsonFile.h"

#include <cmath>

namespace kvhlr {
namespace {

double finiteNumber(const nlohmann::json& value, const std::string& key, const std::string& path) {
    if (!value.is_number())
        throw InputError(path, "\"" + key + "\" must hold numbers");
    const double number = value.get<double>();
    if (!std::isfinite(number))
        throw InputError(path, "\"" + key + "\" holds a number that is not finite");
    return number;
}

const nlohmann::json& member(const nlohmann::json& document, const std::string& key,
                             const std::string& path) {
    const auto found = document.find(key);
    if (found == document.end())
        throw InputError(path, "the camera has no \"" + key + "\"");
    return *found;
}

ON_Xform matrixOf(const nlohmann::json& document, const std::string& key, const std::string& path) {
    const nlohmann::json& entries = member(document, key, path);
    if (!entries.is_array() || entries.size() != 16)
        throw InputError(path, "\"" + key + "\" must be an array of 16 numbers");
    ON_Xform xform;
    for (int i = 0; i < 16; ++i)
        xform[i / 4][i % 4] = finiteNumber(entries[i], key, path);
    return xform;
}

// Invertible up to rounding whatever the scale of each column.
bool invertible(ON_Xform xform) {
    return KvHLR::invertScaled(xform);
}

bool finite(double a, double b) {
    return std::isfinite(a) && std::isfinite(b);
}

} // namespace

KvHLR::ViewInfoCriteria readCameraFile(const std::string& path) {
    const nlohmann::json document =
        readJsonObject(path, "camera file", {"modelView", "projection", "near", "far"});
    KvHLR::ViewInfoCriteria camera;
    camera.modelViewXform = matrixOf(document, "modelView", path);
    camera.projectionXform = matrixOf(document, "projection", path);
    camera.nearPlaneDepth = finiteNumber(member(document, "near", path), "near", path);
    camera.farPlaneDepth = finiteNumber(member(document, "far", path), "far", path);
    return camera;
}

void checkCamera(const KvHLR::ViewInfoCriteria& camera, const std::vector<MeshPart>& parts,
                 const std::string& subject) {
    if (!invertible(camera.modelViewXform))
        throw InputError(subject, "the modelView transform is singular");
    if (!invertible(camera.projectionXform))
        throw InputError(subject, "the projection transform is singular");
    const ON_Xform& view = camera.modelViewXform;
    const ON_Xform& projection = camera.projectionXform;
    const double nearZ = -camera.nearPlaneDepth;
    // A perspective camera may stand inside the model: the drawing kit cuts it at the near plane.
    const bool cutAtNearPlane = projection[3][3] != 1.0;
    if (!(camera.nearPlaneDepth > 0.0 && camera.farPlaneDepth > camera.nearPlaneDepth &&
          std::isfinite(camera.farPlaneDepth)))
        throw InputError(subject, "the near and far depths must be positive and finite, near below far");
    forEachPoint(parts, [&](const ON_3dPoint& p) {
        const ON_4dPoint v = view * ON_4dPoint(p.x, p.y, p.z, 1.0);
        if (!(v.z / v.w < nearZ)) {
            if (cutAtNearPlane)
                return;
            throw InputError(subject, "the model reaches the near plane or lies behind the eye");
        }
        const ON_4dPoint s = projection * v;
        if (!finite(s.x / s.w, s.y / s.w))
            throw InputError(subject, "the projection sends part of the model to infinity");
    });
}

} // namespace kvhlr
