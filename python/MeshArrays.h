#pragma once

// Meshes between numpy arrays and the library: the caller's arrays copied once, straight into the
// library's triangle soup, and the kit's mesh parts handed back as one vertex and one triangle array.

#include "api/KvHLRRecords.h"
#include "kit/mesh/MeshPart.h"

#include <pybind11/numpy.h>

#include <utility>
#include <vector>

namespace kvhlr::python {

namespace py = pybind11;

// The soup of an N×3 vertex array (any real dtype) and an M×3 triangle array (any integer dtype), in
// one pass over each. Throws py::value_error naming the argument for a wrong shape or dtype, and the
// first triangle that holds a negative index or one beyond the vertices.
KvHLR::Polygon3D polygonOf(py::handle vertices, py::handle triangles);

// The vertex and triangle arrays of a mesh object: one with `vertices` and `faces` (trimesh and
// others), one with `vectors` (numpy-stl), or an M×3×3 array of triangle corners, whose vertices are
// its rows in order. Throws py::value_error for anything else.
std::pair<py::object, py::object> meshArraysOf(py::handle mesh);

// The points of an N×3 array of real numbers; `name` is the argument named in errors.
Kv::KvPointList pointsOf(py::handle array, const char* name);

// The triangles of an M×3 array of integer indices, each below `vertexCount`; `name` is the argument
// named in errors.
Kv::KvTriangleList trianglesOf(py::handle array, std::size_t vertexCount, const char* name);

// The parts merged: a float64 N×3 vertex array and a uint32 M×3 triangle array.
py::tuple meshArrays(const std::vector<MeshPart>& parts);

// The inverses of pointsOf and trianglesOf: a new float64 N×3 and a new uint32 M×3 array.
py::array_t<double> pointsArray(const Kv::KvPointList& points);
py::array_t<std::uint32_t> trianglesArray(const Kv::KvTriangleList& triangles);

} // namespace kvhlr::python
