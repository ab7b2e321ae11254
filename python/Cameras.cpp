#include "python/Cameras.h"

#include "python/Keywords.h"
#include "python/MeshArrays.h"

#include "kit/InputError.h"
#include "kit/camera/CameraChoice.h"
#include "kit/camera/CameraFile.h"

#include <algorithm>
#include <cmath>

namespace kvhlr::python {
namespace {

ON_Xform xformOf(py::handle object, const char* name) {
    const py::array_t<double, py::array::forcecast> matrix(py::reinterpret_borrow<py::object>(object));
    if (matrix.ndim() != 2 || matrix.shape(0) != 4 || matrix.shape(1) != 4)
        throw py::value_error(std::string(name) + " must be a 4x4 matrix");
    ON_Xform xform;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!std::isfinite(xform[r][c] = matrix.at(r, c)))
                throw py::value_error(std::string(name) + " must hold finite numbers");
    return xform;
}

std::vector<MeshPart> arrayParts(py::handle bounds) {
    std::vector<MeshPart> parts(1);
    Kv::KvPointList& points = parts[0].points;
    points = pointsOf(bounds, "bounds");
    for (const ON_3dPoint& p : points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            throw py::value_error("bounds must hold finite numbers");
    if (points.size() == 2) {
        const ON_3dPoint lo = points[0], hi = points[1];
        points.clear();
        for (int corner = 0; corner < 8; ++corner)
            points.emplace_back(corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z);
    }
    return parts;
}

// The model a plane is placed on: its centre and floor place named planes and plans, so it cannot be empty.
Bounds planeBounds(py::handle bounds) {
    Bounds model = boundsOf(bounds);
    if (std::all_of(model.parts->begin(), model.parts->end(),
                    [](const MeshPart& part) { return part.points.empty(); }))
        throw py::value_error("bounds: no points to place the plane on");
    return model;
}

} // namespace

Bounds boundsOf(std::shared_ptr<const std::vector<MeshPart>> parts) {
    const UpAxis upAxis = fromCadFile(*parts) ? UpAxis::Z : UpAxis::Y;
    return {std::move(parts), upAxis};
}

Bounds boundsOf(py::handle bounds) {
    if (py::isinstance<Model>(bounds))
        return boundsOf(bounds.cast<const Model&>().parts);
    return {std::make_shared<const std::vector<MeshPart>>(arrayParts(bounds)), UpAxis::Y};
}

UpAxis upAxisOf(py::handle upAxis, const Bounds& bounds) {
    return upAxis.is_none() ? bounds.upAxis : upAxisOf(upAxis);
}

py::array_t<double> matrixArray(const ON_Xform& xform) {
    py::array_t<double> matrix({4, 4});
    auto entries = matrix.mutable_unchecked<2>();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            entries(r, c) = xform[r][c];
    return matrix;
}

Camera cameraOf(py::handle modelView, py::handle projection, double near, double far) {
    Camera camera;
    camera.modelViewXform = xformOf(modelView, "model_view");
    camera.projectionXform = xformOf(projection, "projection");
    camera.nearPlaneDepth = near;
    camera.farPlaneDepth = far;
    checkCamera(camera, {}, "camera"); // as kvhlr checks a camera file: no model yet
    return camera;
}

Camera namedView(const std::string& name, py::handle bounds, py::handle upAxis,
                 std::optional<double> perspective, double fill) {
    const Bounds model = boundsOf(bounds);
    CameraChoice choice;
    choice.view = viewNameOf(name);
    choice.upAxis = upAxisOf(upAxis, model);
    choice.perspectiveFov = perspective;
    choice.fill = fill;
    return placeCamera(choice, *model.parts);
}

Camera lookAt(const Vector& eye, const Vector& target, const Vector& up, py::handle bounds,
              std::optional<double> perspective, double fill, bool fit) {
    CameraChoice choice;
    choice.eye = ON_3dPoint(eye[0], eye[1], eye[2]);
    choice.target = ON_3dPoint(target[0], target[1], target[2]);
    choice.up = ON_3dVector(up[0], up[1], up[2]);
    choice.perspectiveFov = perspective;
    choice.fill = fill;
    choice.fitEye = fit;
    return placeCamera(choice, *boundsOf(bounds).parts);
}

bool isPerspective(const Camera& camera) {
    return camera.projectionXform[3][2] != 0.0;
}

std::string cameraRepr(const Camera& camera) {
    return py::str("<Camera {}, near={!r}, far={!r}>")
        .format(isPerspective(camera) ? "perspective" : "orthographic", camera.nearPlaneDepth,
                camera.farPlaneDepth);
}

SectionPlane planeOf(const Vector& point, const Vector& normal) {
    SectionChoice choice;
    choice.point = ON_3dPoint(point[0], point[1], point[2]);
    choice.normal = ON_3dVector(normal[0], normal[1], normal[2]);
    try {
        checkSectionChoice(choice);
    } catch (const InputError& error) {
        throw py::value_error((error.parameter() == "section_point" ? "point: " : "normal: ") +
                              error.reason());
    }
    return {*choice.point, *choice.normal};
}

SectionPlane namedPlane(const std::string& name, py::handle bounds, py::handle upAxis) {
    const Bounds model = planeBounds(bounds);
    const UpAxis axis = upAxisOf(upAxis, model);
    try {
        return sectionPlane({viewNameOf(name), {}, {}, {}}, axis, *model.parts);
    } catch (const InputError& error) {
        throw py::value_error("name: " + error.reason());
    }
}

SectionPlane planPlane(double height, py::handle bounds, py::handle upAxis) {
    const Bounds model = planeBounds(bounds);
    return sectionPlane({"", {}, {}, height}, upAxisOf(upAxis, model), *model.parts);
}

Camera sectionCamera(const SectionPlane& plane, py::handle bounds, py::handle upAxis) {
    const Bounds model = boundsOf(bounds);
    CameraRequest request;
    request.direction = sectionViewDirection(plane, upAxisOf(upAxis, model));
    return fitCamera(request, *model.parts);
}

} // namespace kvhlr::python
