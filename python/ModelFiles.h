#pragma once

// Model files read for Python as kvhlr reads them, whole (load_model) or merged into arrays
// (load_mesh), with Ctrl-C heard while they are read; and a model's parts as a pickle's state.
//
// In:  a file's path and the CAD reader's limits. Out: the model's parts, and the name of the file
//      (its stem) for a sheet's title block.

#include "kit/mesh/MeshFile.h"

#include <pybind11/pybind11.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kvhlr::python {

namespace py = pybind11;

// A model read from a file, whole: its parts as the kit reads them, and the file's name.
struct Model {
    std::shared_ptr<const std::vector<MeshPart>> parts;
    std::string name; // the file's stem, for a sheet's title block
};

// The CAD reader's limits from load_model's and load_mesh's keywords cad_memory_limit (MB) and
// cad_time_limit (seconds), None for the reader's defaults. Throws TypeError for a value that is not a
// whole number and ValueError, naming the keyword, for one the kit refuses (as kvhlr refuses it).
CadReading cadLimits(py::handle memoryLimit, py::handle timeLimit);

// The limits' keywords given (not None), for warnings of those that change nothing.
std::vector<std::string> givenLimits(py::handle memoryLimit, py::handle timeLimit);

// Reads the file as kvhlr does, its CAD faces left out named in UserWarnings, and warns of the keywords
// `given` that change nothing for this file (the CAD reader's limits for a mesh file). Throws OSError
// (FileError) when it cannot be read, and the pending KeyboardInterrupt when Ctrl-C stopped the reading.
std::vector<MeshPart> readParts(const std::filesystem::path& path, const CadReading& cad,
                                const std::vector<std::string>& given);

Model loadModel(const std::filesystem::path& path, py::handle memoryLimit, py::handle timeLimit);

// A model's parts as a pickle's state, and back, checked, since a pickle may come from anywhere.
py::list partsState(const std::vector<MeshPart>& parts);
std::vector<MeshPart> partsOf(py::handle states);

} // namespace kvhlr::python
