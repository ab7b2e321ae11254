#pragma once

// Reading CAD files, STEP and IGES, with Open CASCADE: its readers turn the file into B-rep shapes with
// their names and placements, its incremental mesher tessellates the faces, and the rest is ours.
//
// In:  the file and how to tessellate it (CadReading).
// Out: one body part per solid (faces that belong to no solid: one body per shape), placed where the
//      assembly puts it, named after its part and instance, its points in the unit Open CASCADE converts
//      lengths to (millimetres) and the file's own unit beside it. Each B-rep face becomes a face of the
//      body, welded along its seam so that a closed face (a cylinder) shows no seam; faces meeting smoothly
//      are merged into one, and the edge between them is kept as a tangent edge. The B-rep edges of each
//      body are numbered from 1 in the order TopExp::MapShapes(body, TopAbs_EDGE) numbers them (the
//      body: the solid, or the shell or faces sewn from a shape's loose faces), and the points along each
//      are kept with its number (MeshPart::brepEdges), so that a line can name the edge it is drawn
//      along. Only built with Open
//      CASCADE, into the reader program (kit/mesh/CadReaderMain.cpp), which the kit starts for every CAD
//      file so that the third-party reader's crashes end that process only; readMeshFile is the way in.

#include "kit/mesh/MeshFile.h"

namespace kvhlr {

// Throws InputError naming `path` for a file that is broken, holds no solids or faces, or whose size is
// not finite or too large to draw (kLargestCoordinate); naming the parameter "deflection" or
// "angular_deflection", and the value that would do, where the tessellation would take more than
// `mostTriangles` by an estimate made before it. Faces that cannot be tessellated are left out and named
// to `cad.warning`. Open CASCADE's exceptions go on (Standard_OutOfMemory where memory ran out).
std::vector<MeshPart> readCadFile(const std::string& path, bool step, const std::function<void(double)>& progress,
                                  const CadReading& cad, double mostTriangles);

} // namespace kvhlr
