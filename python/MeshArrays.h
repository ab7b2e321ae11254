#pragma once

// Meshes between numpy arrays and the library: the caller's arrays copied once, straight into the
// library's triangle soup, and the kit's mesh parts handed back as one vertex and one triangle array.

#include "api/KvHLRRecords.h"
#include "kit/mesh/MeshPart.h"

#include <pybind11/numpy.h>

#include <vector>

namespace kvhlr::python {

namespace py = pybind11;

// The soup of an N×3 vertex array (any real dtype) and an M×3 triangle array (any integer dtype), in
// one pass over each. Throws py::value_error naming the argument for a wrong shape or dtype, and the
// first triangle that holds a negative index or one beyond the vertices.
KvHLR::Polygon3D polygonOf(py::handle vertices, py::handle triangles);

// The points of an N×3 array of real numbers; `name` is the argument named in errors.
Kv::KvPointList pointsOf(py::handle array, const char* name);

// The parts merged: a float64 N×3 vertex array and a uint32 M×3 triangle array.
py::tuple meshArrays(const std::vector<MeshPart>& parts);

} // namespace kvhlr::python
