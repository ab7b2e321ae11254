#pragma once

// Cameras and cutting planes for Python: placed on a model as kvhlr places them (named views, an eye
// looking at a target, named planes and plans), or given as matrices.
//
// In:  the arguments of Camera and Plane, the model as `bounds` (a Model, its vertices, or its box).
// Out: the kit's cameras (KvHLR::ViewInfoCriteria) and planes (SectionPlane), and their matrices as
//      numpy arrays.

#include "python/ModelFiles.h"

#include "kit/camera/CameraFit.h"
#include "kit/drawing/Section.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvhlr::python {

namespace py = pybind11;
using Camera = KvHLR::ViewInfoCriteria;
using Vector = std::array<double, 3>;

// The model a camera or a plane is placed on (the argument `bounds`): a Model's parts, whose file
// says its vertical (z for STEP and IGES, as kvhlr draws them); or an array of the model's vertices
// (N, 3), or of two rows, the minimum and maximum corners of its box, which the camera sees as its
// eight corners.
struct Bounds {
    std::shared_ptr<const std::vector<MeshPart>> parts;
    UpAxis upAxis = UpAxis::Y;
};

// Throws ValueError naming "bounds" for an array of the wrong shape or numbers that are not finite.
Bounds boundsOf(py::handle bounds);
Bounds boundsOf(std::shared_ptr<const std::vector<MeshPart>> parts);

// The model's vertical: `upAxis` as given ('y' or 'z'), or the bounds' own for None.
UpAxis upAxisOf(py::handle upAxis, const Bounds& bounds);

py::array_t<double> matrixArray(const ON_Xform& xform);

// A camera used exactly as given (Camera(...) and unpickling), checked as kvhlr checks a camera file.
Camera cameraOf(py::handle modelView, py::handle projection, double near, double far);

Camera namedView(const std::string& name, py::handle bounds, py::handle upAxis,
                 std::optional<double> perspective, double fill);

// As gluLookAt places it, unless `fit`: then looking the same way, fitted to the model.
Camera lookAt(const Vector& eye, const Vector& target, const Vector& up, py::handle bounds,
              std::optional<double> perspective, double fill, bool fit);

std::string cameraRepr(const Camera& camera);

bool isPerspective(const Camera& camera);

// Throws ValueError naming "point" or "normal" for a plane no model can be cut by.
SectionPlane planeOf(const Vector& point, const Vector& normal);

SectionPlane namedPlane(const std::string& name, py::handle bounds, py::handle upAxis);

SectionPlane planPlane(double height, py::handle bounds, py::handle upAxis);

// The orthographic camera that looks square at the cut, fitted to the model.
Camera sectionCamera(const SectionPlane& plane, py::handle bounds, py::handle upAxis);

} // namespace kvhlr::python
