#include "python/MeshArrays.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

namespace kvhlr::python {
namespace {

using namespace py::literals;

static_assert(sizeof(ON_3dPoint) == 3 * sizeof(double), "points are filled as rows of three doubles");
static_assert(sizeof(std::array<std::uint32_t, 3>) == 3 * sizeof(std::uint32_t),
              "triangles are filled as rows of three 32-bit indices");

py::module_ numpy() {
    return py::module_::import("numpy");
}

// `object` as an array of shape (N, 3) whose dtype kind is one of `kinds`; an array is taken as it is.
py::array rowsOf(py::handle object, const char* name, const char* kinds, const char* holding) {
    const py::array array = numpy().attr("asarray")(object);
    if (array.ndim() != 2 || array.shape(1) != 3)
        throw py::value_error(std::string(name) + " must be an array of shape (N, 3), not " +
                              py::str(array.attr("shape")).cast<std::string>());
    if (std::strchr(kinds, array.dtype().kind()) == nullptr)
        throw py::value_error(std::string(name) + " must hold " + holding + ", not " +
                              py::str(array.dtype()).cast<std::string>());
    return array;
}

// numpy converts while it copies, whatever the source's dtype and strides: one pass over the caller's
// array, straight into `target`, and no temporary array.
void copyRows(const py::array& source, void* target, const py::dtype& dtype) {
    const py::ssize_t item = dtype.itemsize();
    // With a base the array wraps `target` instead of copying it; None keeps nothing alive.
    const py::array view(dtype, {source.shape(0), py::ssize_t{3}}, {3 * item, item}, target, py::none());
    numpy().attr("copyto")(view, source, py::arg("casting") = "unsafe");
}

// Checked before the indices are narrowed to the library's 32 bits, where a negative or huge one would
// wrap round to a vertex that exists.
void checkIndices(const py::array& triangles, py::ssize_t vertexCount) {
    if (triangles.size() == 0 ||
        (!(triangles.attr("min")() < py::int_(0)) && triangles.attr("max")() < py::int_(vertexCount)))
        return;
    const py::module_ np = numpy();
    const py::object bad = np.attr("logical_or")(np.attr("less")(triangles, 0),
                                                 np.attr("greater_equal")(triangles, vertexCount));
    const py::ssize_t first = np.attr("flatnonzero")(bad)[py::int_(0)].cast<py::ssize_t>();
    const py::int_ index(np.attr("ravel")(triangles)[py::int_(first)]);
    const py::int_ row(first / 3);
    if (index < py::int_(0))
        throw py::value_error(py::str("triangle {} holds the negative index {}").format(row, index));
    throw py::value_error(py::str("triangle {} refers to vertex {}, but there are {} vertices")
                              .format(row, index, vertexCount));
}

} // namespace

KvHLR::Polygon3D polygonOf(py::handle vertices, py::handle triangles) {
    const py::array points = rowsOf(vertices, "vertices", "fiu", "real numbers");
    const py::array indices = rowsOf(triangles, "triangles", "iu", "integer indices");
    checkIndices(indices, points.shape(0));
    KvHLR::Polygon3D polygon;
    polygon.points.resize(static_cast<std::size_t>(points.shape(0)));
    polygon.triangles.resize(static_cast<std::size_t>(indices.shape(0)));
    copyRows(points, polygon.points.data(), py::dtype::of<double>());
    copyRows(indices, polygon.triangles.data(), py::dtype::of<std::uint32_t>());
    return polygon;
}

std::pair<py::object, py::object> meshArraysOf(py::handle mesh) {
    if (py::hasattr(mesh, "vertices") && py::hasattr(mesh, "faces"))
        return {mesh.attr("vertices"), mesh.attr("faces")};
    const py::object corners =
        numpy().attr("asarray")(py::hasattr(mesh, "vectors") ? mesh.attr("vectors") : mesh);
    const py::tuple shape = corners.attr("shape");
    if (shape.size() != 3 || shape[1].cast<py::ssize_t>() != 3 || shape[2].cast<py::ssize_t>() != 3)
        throw py::value_error("mesh must have vertices and faces, or vectors, or be an (M, 3, 3) array of "
                              "triangle corners");
    const auto count = 3 * shape[0].cast<py::ssize_t>();
    return {corners.attr("reshape")(count, 3),
            numpy().attr("arange")(count, "dtype"_a = "uint32").attr("reshape")(count / 3, 3)};
}

Kv::KvPointList pointsOf(py::handle array, const char* name) {
    const py::array rows = rowsOf(array, name, "fiu", "real numbers");
    Kv::KvPointList points(static_cast<std::size_t>(rows.shape(0)));
    copyRows(rows, points.data(), py::dtype::of<double>());
    return points;
}

Kv::KvTriangleList trianglesOf(py::handle array, std::size_t vertexCount, const char* name) {
    const py::array rows = rowsOf(array, name, "iu", "integer indices");
    checkIndices(rows, static_cast<py::ssize_t>(vertexCount));
    std::vector<std::array<std::uint32_t, 3>> narrow(static_cast<std::size_t>(rows.shape(0)));
    copyRows(rows, narrow.data(), py::dtype::of<std::uint32_t>());
    Kv::KvTriangleList triangles;
    triangles.reserve(narrow.size());
    for (const auto& t : narrow)
        triangles.emplace_back(t[0], t[1], t[2]);
    return triangles;
}

py::array_t<double> pointsArray(const Kv::KvPointList& points) {
    py::array_t<double> array({static_cast<py::ssize_t>(points.size()), py::ssize_t{3}});
    std::memcpy(array.mutable_data(), points.data(), points.size() * sizeof(ON_3dPoint));
    return array;
}

py::array_t<std::uint32_t> trianglesArray(const Kv::KvTriangleList& triangles) {
    py::array_t<std::uint32_t> array({static_cast<py::ssize_t>(triangles.size()), py::ssize_t{3}});
    std::uint32_t* index = array.mutable_data();
    for (const auto& triangle : triangles)
        for (const std::uint64_t corner : triangle.v)
            *index++ = static_cast<std::uint32_t>(corner);
    return array;
}

py::tuple meshArrays(const std::vector<MeshPart>& parts) {
    std::size_t vertexCount = 0;
    for (const MeshPart& part : parts)
        vertexCount += part.points.size();
    if (vertexCount > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("the mesh holds more vertices than 32-bit indices reach");
    py::array_t<double> vertices({static_cast<py::ssize_t>(vertexCount), py::ssize_t{3}});
    py::array_t<std::uint32_t> triangles({static_cast<py::ssize_t>(triangleCount(parts)), py::ssize_t{3}});
    double* vertex = vertices.mutable_data();
    std::uint32_t* index = triangles.mutable_data();
    std::size_t base = 0;
    for (const MeshPart& part : parts) {
        std::memcpy(vertex, part.points.data(), part.points.size() * sizeof(ON_3dPoint));
        vertex += 3 * part.points.size();
        for (const Kv::KvTriangleList& face : part.faces)
            for (const auto& triangle : face)
                for (const std::uint64_t corner : triangle.v)
                    *index++ = static_cast<std::uint32_t>(base + corner);
        base += part.points.size();
    }
    return py::make_tuple(vertices, triangles);
}

} // namespace kvhlr::python
