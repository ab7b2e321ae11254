#include "python/ModelFiles.h"

#include "python/FileError.h"
#include "python/Interpreter.h"
#include "python/MeshArrays.h"
#include "python/SheetKeywords.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>

namespace kvhlr::python {
namespace {

// Ctrl-C while a file is read stops the reading with this. The import library may catch the exception
// on its way out, so the interrupt is raised again once the reading has ended, whatever it threw then.
class ReadingStopped : public std::exception {};

std::size_t limitOf(py::handle value, const char* name) {
    std::int64_t limit = 0;
    try {
        limit = value.cast<std::int64_t>();
    } catch (const py::cast_error&) {
        throw py::type_error(std::string(name) + " must be a whole number, not " +
                             std::string(py::str(py::type::of(value).attr("__name__"))));
    }
    if (limit < 0)
        throw py::value_error(std::string(name) + ": must not be negative");
    return static_cast<std::size_t>(limit);
}

} // namespace

std::vector<std::string> givenLimits(py::handle memoryLimit, py::handle timeLimit) {
    std::vector<std::string> given;
    if (!memoryLimit.is_none())
        given.emplace_back("cad_memory_limit");
    if (!timeLimit.is_none())
        given.emplace_back("cad_time_limit");
    return given;
}

CadReading cadLimits(py::handle memoryLimit, py::handle timeLimit) {
    CadReading cad;
    if (!memoryLimit.is_none())
        cad.memoryLimitMb = limitOf(memoryLimit, "cad_memory_limit");
    if (!timeLimit.is_none())
        cad.timeLimitSeconds = limitOf(timeLimit, "cad_time_limit");
    checkCadReading(cad); // an InputError naming its parameter: a ValueError naming the keyword
    return cad;
}

std::vector<MeshPart> readParts(const std::filesystem::path& path, const CadReading& limits,
                                const std::vector<std::string>& given) {
    bool interrupted = false;
    std::vector<MeshPart> parts;
    // A CAD file's warnings (faces left out) wait for the interpreter, and are then issued as warnings.
    std::vector<std::string> warnings;
    CadReading cad = limits;
    cad.warning = [&](const std::string& message) { warnings.push_back(message); };
    try {
        const py::gil_scoped_release release;
        Every50ms due;
        parts = fileCall([&] {
            return readMeshFile(
                path.string(), false,
                [&](double) {
                    if (!due.due())
                        return;
                    const py::gil_scoped_acquire gil;
                    if (PyErr_CheckSignals() != 0) {
                        interrupted = true;
                        throw ReadingStopped();
                    }
                },
                cad);
        });
    } catch (...) {
        if (!interrupted)
            throw;
    }
    if (interrupted)
        throw py::error_already_set(); // the pending exception of the signal handler
    for (const std::string& warning : warnings)
        warn(warning);
    RunShape run;
    run.cadInputs = fromCadFile(parts);
    run.meshInputs = !run.cadInputs;
    warnOfIdle(given, {}, run);
    return parts;
}

Model loadModel(const std::filesystem::path& path, py::handle memoryLimit, py::handle timeLimit) {
    const CadReading cad = cadLimits(memoryLimit, timeLimit);
    auto parts = std::make_shared<const std::vector<MeshPart>>(
        readParts(path, cad, givenLimits(memoryLimit, timeLimit)));
    return Model{std::move(parts), path.stem().string()};
}

namespace {

// A part's curves (12 numbers each: centre, major and minor vectors, start, end, 1 for a sphere's
// outline) and axes (9 each: origin, direction, from, to, radius) as rows of arrays.
py::array_t<double> rowsOf(const std::vector<std::vector<double>>& rows, py::ssize_t width) {
    py::array_t<double> array({static_cast<py::ssize_t>(rows.size()), width});
    double* out = array.mutable_data();
    for (const std::vector<double>& row : rows)
        out = std::copy(row.begin(), row.end(), out);
    return array;
}

std::vector<std::vector<double>> rowsFrom(py::handle object, py::ssize_t width) {
    const auto array = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(object);
    if (!array || array.ndim() != 2 || array.shape(1) != width ||
        !std::all_of(array.data(), array.data() + array.size(), [](double v) { return std::isfinite(v); }))
        throw py::value_error("not the state of a model's part: its curves or axes are no arrays of numbers");
    std::vector<std::vector<double>> rows;
    for (py::ssize_t i = 0; i < array.shape(0); ++i)
        rows.emplace_back(array.data() + i * width, array.data() + (i + 1) * width);
    return rows;
}

py::tuple curvesState(const MeshPart& part) {
    std::vector<std::vector<double>> curves, axes;
    for (const CadCurve& c : part.curves)
        curves.push_back({c.centre.x, c.centre.y, c.centre.z, c.major.x, c.major.y, c.major.z, c.minor.x, c.minor.y,
                          c.minor.z, c.start, c.end, c.sphere ? 1.0 : 0.0});
    for (const CadAxis& a : part.axes)
        axes.push_back({a.origin.x, a.origin.y, a.origin.z, a.direction.x, a.direction.y, a.direction.z, a.from, a.to,
                        a.radius});
    return py::make_tuple(rowsOf(curves, 12), rowsOf(axes, 9), part.deflection);
}

void setCurves(MeshPart& part, const py::tuple& state) {
    if (state.size() != 3)
        throw py::value_error("not the state of a model's part");
    for (const std::vector<double>& r : rowsFrom(state[0], 12)) {
        const CadCurve c{{r[0], r[1], r[2]}, {r[3], r[4], r[5]}, {r[6], r[7], r[8]}, r[9], r[10], r[11] != 0.0};
        if (!(c.end > c.start && c.end - c.start <= 2 * M_PI + 1e-9 && c.major.Length() > 0 && c.minor.Length() > 0))
            throw py::value_error("not the state of a model's part: a curve out of range");
        part.curves.push_back(c);
    }
    for (const std::vector<double>& r : rowsFrom(state[1], 9)) {
        const CadAxis a{{r[0], r[1], r[2]}, {r[3], r[4], r[5]}, r[6], r[7], r[8]};
        if (!(std::fabs(a.direction.Length() - 1.0) < 1e-6 && a.to >= a.from && a.radius > 0))
            throw py::value_error("not the state of a model's part: an axis out of range");
        part.axes.push_back(a);
    }
    part.deflection = state[2].cast<double>();
    if (!(part.deflection >= 0.0 && std::isfinite(part.deflection)))
        throw py::value_error("not the state of a model's part: its deflection is no length");
}

// A part's B-rep edges: the tangent edges' numbers, and each B-rep edge as its number and the points
// along it, flat: a (E,) array of numbers, a (E + 1,) array of where each one's points start, and the
// points.
py::tuple brepEdgesState(const MeshPart& part) {
    std::vector<std::uint32_t> numbers, starts{0}, points;
    for (const CadEdge& edge : part.brepEdges) {
        numbers.push_back(edge.index);
        points.insert(points.end(), edge.points.begin(), edge.points.end());
        starts.push_back(static_cast<std::uint32_t>(points.size()));
    }
    const auto array = [](const std::vector<std::uint32_t>& values) {
        return py::array_t<std::uint32_t>(static_cast<py::ssize_t>(values.size()), values.data());
    };
    return py::make_tuple(array(part.tangentBrepEdges), array(numbers), array(starts), array(points));
}

void setBrepEdges(MeshPart& part, const py::tuple& state) {
    const auto array = [&](std::size_t i) {
        const auto values = py::array_t<std::uint32_t, py::array::c_style | py::array::forcecast>::ensure(state[i]);
        if (!values || values.ndim() != 1)
            throw py::value_error("not the state of a model's part: its B-rep edges are no arrays of indices");
        return std::vector<std::uint32_t>(values.data(), values.data() + values.size());
    };
    if (state.size() != 4)
        throw py::value_error("not the state of a model's part");
    const std::vector<std::uint32_t> tangent = array(0), numbers = array(1), starts = array(2), points = array(3);
    const auto unnumbered = [](std::uint32_t number) { return number == 0; };
    const auto beyond = [&](std::uint32_t point) { return point >= part.points.size(); };
    if (tangent.size() != part.tangentEdges.size() || starts.size() != numbers.size() + 1 || starts[0] != 0 ||
        !std::is_sorted(starts.begin(), starts.end()) || starts.back() != points.size() ||
        std::any_of(tangent.begin(), tangent.end(), unnumbered) ||
        std::any_of(numbers.begin(), numbers.end(), unnumbered) || std::any_of(points.begin(), points.end(), beyond))
        throw py::value_error("not the state of a model's part: its B-rep edges do not fit its points");
    part.tangentBrepEdges = tangent;
    for (std::size_t e = 0; e < numbers.size(); ++e)
        part.brepEdges.push_back({numbers[e], {points.begin() + starts[e], points.begin() + starts[e + 1]}});
}

} // namespace

py::list partsState(const std::vector<MeshPart>& parts) {
    py::list states;
    for (const MeshPart& part : parts) {
        py::list faces, tangentEdges;
        for (const Kv::KvTriangleList& face : part.faces)
            faces.append(trianglesArray(face));
        for (const Kv::KvPointList& edge : part.tangentEdges)
            tangentEdges.append(pointsArray(edge));
        states.append(py::make_tuple(pointsArray(part.points), faces, part.body, part.brepFaces, tangentEdges,
                                     part.partName, part.instanceName, part.unitMm, part.fileUnitMm,
                                     curvesState(part), brepEdgesState(part)));
    }
    return states;
}

std::vector<MeshPart> partsOf(py::handle states) {
    std::vector<MeshPart> parts;
    for (const py::handle object : py::cast<py::list>(states)) {
        const auto state = py::cast<py::tuple>(object);
        if (state.size() != 11)
            throw py::value_error("not the state of a model's part");
        MeshPart& part = parts.emplace_back();
        part.points = pointsOf(state[0], "part points");
        for (const py::handle face : py::cast<py::list>(state[1]))
            part.faces.push_back(trianglesOf(face, part.points.size(), "part faces"));
        part.body = state[2].cast<bool>();
        part.brepFaces = state[3].cast<bool>();
        for (const py::handle edge : py::cast<py::list>(state[4]))
            part.tangentEdges.push_back(pointsOf(edge, "tangent edges"));
        part.partName = state[5].cast<std::string>();
        part.instanceName = state[6].cast<std::string>();
        part.unitMm = state[7].cast<double>();
        part.fileUnitMm = state[8].cast<double>();
        if (!(part.unitMm > 0.0 && part.fileUnitMm > 0.0 && std::isfinite(part.unitMm * part.fileUnitMm)))
            throw py::value_error("not the state of a model's part: its units are not positive lengths");
        setCurves(part, py::cast<py::tuple>(state[9]));
        setBrepEdges(part, py::cast<py::tuple>(state[10]));
    }
    return parts;
}

} // namespace kvhlr::python
