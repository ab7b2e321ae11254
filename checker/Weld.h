#pragma once

// Joins vertices at exactly the same position (zero and negative zero alike), as kvhlr does before it
// hands a mesh to the library, so that both see the same triangles and the same shared edges.
// Triangles that welding collapses (two corners at one position) are dropped, as kvhlr drops them.
// Points that no kept triangle uses are left out.

#include "checker/Mesh.h"

namespace kvcheck {

Mesh weld(const Mesh& mesh);

} // namespace kvcheck
