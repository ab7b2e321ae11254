#pragma once

// The least size a mesh file's header promises. PLY, OFF and binary STL files declare up front how many
// vertices, faces or triangles follow, and the import library sizes its arrays by those counts before
// it reads them: a few hundred bytes declaring billions of vertices would take gigabytes before the
// read fails. Comparing the counts with the file's size first refuses such a file at once.

#include <string>

namespace kvhlr {

// Why the counts declared at the start of the file at `path` cannot fit in the file ("the header
// declares 2000000000 vertices, which cannot fit in 198 bytes"), or "" when they can, when the file
// declares no counts, or when its header is not understood (the import library then reports it).
std::string declaredSizeProblem(const std::string& path);

} // namespace kvhlr
