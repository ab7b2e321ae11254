#pragma once

// Reading binary STL files with kvhlr's own reader: 50-byte records of a normal, three corners and an
// attribute word, welded by exact position in file order. Text STL is left to the import library.

#include "kit/mesh/MeshPart.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvhlr {

// The one part of the binary STL file at `path` (a body when `bodies`), its triangles as stored, the
// normals ignored as the import library ignores them; nothing when the file is not binary STL with at
// least one triangle (its size is not 84 bytes plus 50 a triangle). `progress` is told the share read.
// Throws InputError naming `path` and the triangle when a corner is not finite. The welding is shared
// among `threads` threads, or as many as the file's size pays for when 0.
std::optional<std::vector<MeshPart>> readBinaryStlFile(const std::string& path, bool bodies,
                                                       const std::function<void(double)>& progress,
                                                       unsigned threads = 0);

} // namespace kvhlr
