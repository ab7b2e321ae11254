#pragma once

// Reads the triangles of an OBJ file: `v` and `f` lines, with 1-based or negative (relative) indices
// and the v/vt/vn index forms; polygons are split into fans from their first corner (kvhlr's importer
// may split a polygon of more than three corners along other diagonals, which for a planar polygon
// changes no feature edge). `l` lines (polylines) are the model's tangent edges, each piece a side of
// its triangles (kvhlr's CAD fixtures write them so). Every other line is skipped. Coordinates are rounded to single precision,
// as the import library behind kvhlr stores them, so that both programs see the very same positions.
// Vertices are not welded here (see Weld.h).
//
// kvhlr reads the objects, groups and materials of a file as separate meshes and welds each on its
// own, whereas this reader keeps one mesh; it counts such lines so that the caller can say so.

#include "checker/Mesh.h"

#include <string>

namespace kvcheck {

struct ObjContent {
    Mesh mesh;
    std::size_t groupLines = 0; // `o`, `g` and `usemtl` lines met
};

// Throws InputError naming `path` for a file that cannot be read, a malformed or non-finite
// coordinate, an index that names no vertex, a face with fewer than three corners or a polyline with
// fewer than two.
ObjContent readObj(const std::string& path);

} // namespace kvcheck
