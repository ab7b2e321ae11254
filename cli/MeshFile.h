#pragma once

// Reading mesh files: every format the import library knows (OBJ, STL, PLY, OFF, glTF/GLB, 3MF, 3DS,
// COLLADA and more), with node transforms applied and vertices welded by exact position.

#include "cli/MeshPart.h"

#include <functional>
#include <string>
#include <vector>

namespace kvhlr {

// Without `bodies`, every mesh of the file (once for each node that places it) becomes a part of its
// own; with `bodies`, every node that holds meshes becomes one body part whose faces are its meshes.
// Only triangles are kept (polygons are split, points and lines dropped); the result may hold no
// triangle at all. `cancelled` is polled while the file is read; when it turns true the read stops and
// Cancelled is thrown. A file that is missing, unreadable, empty, not understood or holding non-finite
// coordinates throws InputError naming `path`.
std::vector<MeshPart> readMeshFile(const std::string& path, bool bodies,
                                   const std::function<bool()>& cancelled);

} // namespace kvhlr
