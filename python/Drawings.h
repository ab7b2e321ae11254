#pragma once

// draw(): a mesh (numpy arrays, a mesh object) or a Model drawn through the kit, with the interpreter
// given up while the kit works; the Drawing it returns carries what it was drawn from, so that a sheet's
// other views are drawn again from it, and pickles whole.
//
// In:  draw's arguments: the mesh or model, the camera, and the keywords (one options record).
// Out: a PyDrawing: the drawing shared with its Line objects, and its source.

#include "python/Cameras.h"
#include "python/DrawingArrays.h"

#include "kit/drawing/DrawMesh.h"
#include "kit/sheet/Sheet.h"

#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <vector>

namespace kvhlr::python {

namespace py = pybind11;

// What a drawing was made from, for the other views of a sheet: the caller's arrays (not copied) or a
// model's parts, and the options.
struct Source {
    py::object vertices;
    py::object triangles;
    // A model read from a file (load_model): its parts, drawn as kvhlr draws them; vertices and
    // triangles are then unused.
    std::shared_ptr<const std::vector<MeshPart>> parts;
    std::string name;    // the model file's name, for a sheet's title block
    DrawOptions options; // without a progress hook
    bool weld = true;
};

struct PyDrawing {
    SharedDrawing drawing;
    std::shared_ptr<const Source> source;
    py::object lines; // every Line, made when first asked for
};

// draw(vertices, triangles, camera, **keywords), draw(mesh, camera, **keywords) or draw(model, camera,
// **keywords), the first arguments also by name. Throws TypeError naming the argument at fault for a
// missing, surplus or unknown argument or one of the wrong type, ValueError for a bad value.
PyDrawing drawCall(const py::args& args, const py::kwargs& keywords);

// For one view drawn in parts (kelvar_hlr.distributed's tiles), an addition beside draw(): a mesh's
// exact pieces unjoined, as (ends, types, nodes): a float64 (N, 2, 2) array of each piece's two ends on
// the screen, an int32 (N,) array of the library's edge type of each and an int64 (N, 2) array of the
// numbers of its end nodes in the run (DrawOptions::unjoined); and the
// pieces of all parts, cut to their tiles and made whole where a border cut them, joined into the
// view's lines (kit joinPieces) as (points, offsets, kinds), a Drawing's arrays. draw's keywords, which
// choose the kinds drawn; screen_box is the whole model's ((x_min, y_min), (x_max, y_max)) on the
// screen. ValueError names an array of the wrong shape.
py::tuple drawPiecesCall(const py::object& vertices, const py::object& triangles, const Camera& camera,
                         const py::kwargs& keywords);
py::tuple joinPiecesCall(const py::handle& ends, const py::handle& types, const py::handle& nodes,
                         const Camera& camera, const py::handle& screenBox, const py::kwargs& keywords);

// The source drawn again through `camera`, with its section if `cut`; `progress` as draw's.
Drawing drawSource(const Source& source, const Camera& camera, const py::object& progress, bool cut);

// What a source draws, for the warnings of options that change nothing.
RunShape runOf(const Source& source);

// The lines as a new list (made once, then copied, so that a caller who changes it changes no other's).
py::list linesOf(PyDrawing& drawing);

// A drawing's pickle: its camera, lines, notes, parts, and its source (the mesh or parts and the
// options); and back, checked, since a pickle may come from anywhere.
py::tuple drawingState(const PyDrawing& drawing);
PyDrawing drawingFromState(const py::tuple& state);

} // namespace kvhlr::python
