#include "python/ModelFiles.h"

#include "python/FileError.h"
#include "python/Interpreter.h"
#include "python/MeshArrays.h"
#include "python/SheetKeywords.h"

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

py::list partsState(const std::vector<MeshPart>& parts) {
    py::list states;
    for (const MeshPart& part : parts) {
        py::list faces, tangentEdges;
        for (const Kv::KvTriangleList& face : part.faces)
            faces.append(trianglesArray(face));
        for (const Kv::KvPointList& edge : part.tangentEdges)
            tangentEdges.append(pointsArray(edge));
        states.append(py::make_tuple(pointsArray(part.points), faces, part.body, part.brepFaces, tangentEdges,
                                     part.partName, part.instanceName, part.unitMm, part.fileUnitMm));
    }
    return states;
}

std::vector<MeshPart> partsOf(py::handle states) {
    std::vector<MeshPart> parts;
    for (const py::handle object : py::cast<py::list>(states)) {
        const auto state = py::cast<py::tuple>(object);
        if (state.size() != 9)
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
    }
    return parts;
}

} // namespace kvhlr::python
