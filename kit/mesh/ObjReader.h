#pragma once

// Reading OBJ files with kvhlr's own parser, which reads a large file many times faster and in less
// memory than the import library. It produces exactly the parts, triangles and welded points that the
// import library's reading gives (see readMeshFile): single-precision coordinates rounded as it rounds
// them, an object per `o` name and per change of `g` group, quads split as it splits them.

#include "kit/mesh/MeshPart.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvhlr {

// The parts of the OBJ file at `path`, as readMeshFile describes them; nothing when the file uses what
// this reader leaves to the import library: materials (`usemtl`), line continuations, faces of one, two,
// or five and more corners, or no face at all. `progress` is told the share of the file read. Throws
// InputError naming `path` and the line for a number or index that cannot be read, an index out of
// range, or a triangle corner whose coordinates are not finite in single precision: the first in the
// file. The file is read in `threads` pieces, or as many as its size pays for when 0.
std::optional<std::vector<MeshPart>> readObjFile(const std::string& path, bool bodies,
                                                 const std::function<void(double)>& progress,
                                                 unsigned threads = 0);

} // namespace kvhlr
