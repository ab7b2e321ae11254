#pragma once

// Reading mesh files: every format the import library knows (OBJ, STL, PLY, OFF, glTF/GLB, 3MF, 3DS,
// COLLADA and more), with node transforms applied and vertices welded by exact position. OBJ and binary
// STL files are read by kvhlr's own readers, with the same result; a file without an extension that is
// binary STL by its size (84 bytes and 50 a triangle) is read as such.

#include "kit/mesh/MeshPart.h"

#include <functional>
#include <string>
#include <vector>

namespace kvhlr {

// Without `bodies`, every mesh of the file (once for each node that places it) becomes a part of its
// own; with `bodies`, every node that holds meshes becomes one body part whose faces are its meshes.
// Only triangles are kept (polygons are split, points and lines dropped); the result may hold no
// triangle at all. `progress` is told the share of the file read, 0 to 1, as the read goes on. A file that is missing, unreadable, empty, not understood, declaring more than it
// can hold, or holding coordinates that are not finite or too large to draw throws InputError naming
// `path`.
std::vector<MeshPart> readMeshFile(const std::string& path, bool bodies,
                                   const std::function<void(double)>& progress);

// The same, every format read by the import library. readMeshFile reads OBJ and binary STL files with
// kvhlr's own readers (kit/mesh/ObjReader.h, kit/mesh/StlReader.h), which give the same parts many
// times faster, and hands everything else to this.
std::vector<MeshPart> importMeshFile(const std::string& path, bool bodies,
                                     const std::function<void(double)>& progress);

// Whether files of a type, named as their extension without the dot ("stl", "glb"), can be read.
bool readsMeshType(const std::string& type);

} // namespace kvhlr
