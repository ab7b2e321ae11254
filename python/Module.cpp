// kelvar_hlr._core: the bindings of the package kelvar_hlr, which exports all of it. Triangle meshes
// held in numpy arrays, or models read from files, drawn through the drawing kit, with the cameras, the
// mesh reading and the drawing files of the kvhlr tool; the work itself is done in the files beside this.

#include "python/Cameras.h"
#include "python/DrawingArrays.h"
#include "python/Drawings.h"
#include "python/FileError.h"
#include "python/MeshArrays.h"
#include "python/ModelFiles.h"
#include "python/Sheets.h"

#include "kit/InputError.h"
#include "kit/camera/CameraFile.h"
#include "kit/mesh/DemoPart.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <string>

using namespace kvhlr;
using namespace kvhlr::python;
using namespace pybind11::literals;
using Path = std::filesystem::path;

PYBIND11_MODULE(_core, m) {
    m.doc() = "The compiled part of the package kelvar_hlr, which exports all of it.";
    m.attr("__version__") = KVHLR_VERSION;

    py::register_local_exception<DrawingCancelled>(m, "Cancelled").doc() =
        "Raised by draw() when its progress callback returned a true value.";
    py::register_local_exception_translator([](std::exception_ptr thrown) {
        try {
            std::rethrow_exception(thrown);
        } catch (const FileError& error) {
            PyErr_SetString(PyExc_OSError, error.what());
        } catch (const InputError& error) {
            // A parameter of the kit goes by the name of the argument that gives it (Camera.view's name).
            const std::string parameter = error.parameter() == "view" ? "name" : error.parameter();
            const std::string message = parameter.empty() ? error.what() : parameter + ": " + error.reason();
            PyErr_SetString(PyExc_ValueError, message.c_str());
        } catch (const std::out_of_range& error) {
            PyErr_SetString(PyExc_ValueError, error.what());
        }
    });

    py::class_<Camera>(m, "Camera",
                       "A camera: world to view coordinates (model_view), view to screen coordinates "
                       "(projection), and the near and far depths. The drawing plane's frame maps to "
                       "-1..1 on both screen axes; the eye looks along -z in view coordinates.")
        .def(py::init(&cameraOf), "model_view"_a, "projection"_a, "near"_a, "far"_a,
             "A camera used exactly as given: 4x4 row-major matrices acting on column vectors (x, y, z, 1) "
             "and the near and far distances from the eye (positive, near below far). A perspective "
             "camera may stand inside the model: the drawing shows what lies beyond its near plane.")
        .def_static("view", &namedView, "name"_a, "bounds"_a, py::kw_only(), "up_axis"_a = py::none(),
                    "perspective"_a = py::none(), "fill"_a = 0.95,
                    "The camera of a named view (see views()), fitted as kvhlr fits it: centred on the "
                    "model, which fills `fill` of the frame. `bounds` is a Model (load_model), the model's "
                    "vertices (N, 3), or the minimum and maximum corners of its box (2, 3). `up_axis` is "
                    "the model's vertical, 'y' or 'z'; None: z for a Model read from a STEP or IGES file "
                    "(as kvhlr draws them), else y. `perspective` is the field of view in degrees, or None "
                    "for an orthographic camera. Names are compared without case.")
        .def_static("look_at", &lookAt, "eye"_a, "target"_a, "up"_a, "bounds"_a, py::kw_only(),
                    "perspective"_a = py::none(), "fill"_a = 0.95, "fit"_a = false,
                    "The camera at `eye` looking at `target` with `up` as the drawing's vertical, as "
                    "gluLookAt places it: `perspective` is the field of view in degrees, or None for an "
                    "orthographic camera whose frame holds the model (`bounds`, as in view()) at `fill`. "
                    "Its near and far planes enclose the model; with the eye inside it (a room, a "
                    "terrain running behind the eye), near lies at a thousandth of far and a "
                    "perspective drawing shows what lies beyond it. fit=True keeps only the direction "
                    "and fits the camera to the model as view() does.")
        .def_static(
            "from_file",
            [](const Path& path) { return fileCall([&] { return readCameraFile(path.string()); }); },
            "path"_a,
            "The camera of a camera file or of a JSON drawing, exactly as written. Raises OSError "
            "when it cannot be read or is not a camera.")
        .def_static("views", &namedViews, "The names of the views that view() accepts.")
        .def_property_readonly(
            "model_view", [](const Camera& c) { return matrixArray(c.modelViewXform); },
            "World to view coordinates, a new 4x4 array (row-major).")
        .def_property_readonly(
            "projection", [](const Camera& c) { return matrixArray(c.projectionXform); },
            "View to screen coordinates, a new 4x4 array (row-major).")
        .def_readonly("near", &Camera::nearPlaneDepth, "The near plane's distance from the eye.")
        .def_readonly("far", &Camera::farPlaneDepth, "The far plane's distance from the eye.")
        .def("__repr__", &cameraRepr)
        .def(py::pickle(
            [](const Camera& c) {
                return py::make_tuple(matrixArray(c.modelViewXform), matrixArray(c.projectionXform),
                                      c.nearPlaneDepth, c.farPlaneDepth);
            },
            [](const py::tuple& state) {
                if (state.size() != 4)
                    throw py::value_error("not the state of a Camera");
                return cameraOf(state[0], state[1], state[2].cast<double>(), state[3].cast<double>());
            }));

    py::class_<SectionPlane>(m, "Plane",
                             "A cutting plane for a section view (draw's section): a point of it and its "
                             "normal. The side the camera sees from is taken away, whichever way the "
                             "normal points.")
        .def(py::init(&planeOf), "point"_a, "normal"_a, "Raises ValueError for a zero normal.")
        .def_static("named", &namedPlane, "name"_a, "bounds"_a, py::kw_only(), "up_axis"_a = py::none(),
                    "The plane kvhlr --section names: 'x=1.5', 'y=0', 'z=-2' across that axis, or 'front', "
                    "'back', 'left', 'right', 'top', 'bottom' through the centre of the model (`bounds`, as "
                    "in Camera.view, whose up_axis this takes too), facing that view.")
        .def_static("plan", &planPlane, "height"_a, "bounds"_a, py::kw_only(), "up_axis"_a = py::none(),
                    "A plan's plane (kvhlr --plan): horizontal, `height` above the model's floor.")
        .def("camera", &sectionCamera, "bounds"_a, py::kw_only(), "up_axis"_a = py::none(),
             "The orthographic camera that looks square at the cut from the normal's side, fitted to the "
             "model as Camera.view fits it.")
        .def_property_readonly(
            "point", [](const SectionPlane& p) { return std::array<double, 3>{p.point.x, p.point.y, p.point.z}; })
        .def_property_readonly(
            "normal", [](const SectionPlane& p) { return std::array<double, 3>{p.normal.x, p.normal.y, p.normal.z}; })
        .def("__repr__",
             [](const SectionPlane& p) {
                 return py::str("<Plane point=({!r}, {!r}, {!r}) normal=({!r}, {!r}, {!r})>")
                     .format(p.point.x, p.point.y, p.point.z, p.normal.x, p.normal.y, p.normal.z);
             })
        .def(py::pickle(
            [](const SectionPlane& p) {
                return py::make_tuple(std::array<double, 3>{p.point.x, p.point.y, p.point.z},
                                      std::array<double, 3>{p.normal.x, p.normal.y, p.normal.z});
            },
            [](const py::tuple& state) {
                if (state.size() != 2)
                    throw py::value_error("not the state of a Plane");
                return planeOf(state[0].cast<std::array<double, 3>>(), state[1].cast<std::array<double, 3>>());
            }));

    py::enum_<kvhlr::LineKind>(m, "Kind", py::arithmetic(),
                               "The kinds of line (Line.kind); a Kind compares equal to its number.")
        .value("VISIBLE_SILHOUETTE", kvhlr::VisibleSilhouette)
        .value("HIDDEN", kvhlr::Hidden)
        .value("VISIBLE_CONCAVE_SHARP", kvhlr::VisibleConcaveSharp)
        .value("VISIBLE_CONVEX_SHARP", kvhlr::VisibleConvexSharp)
        .value("OTHER_VISIBLE", kvhlr::OtherVisible)
        .value("VISIBLE_INTERSECTION", kvhlr::VisibleIntersection)
        // Section views
        .value("SECTION_OUTLINE", kvhlr::SectionOutline)
        .value("HATCHING", kvhlr::Hatching)
        // CAD parts
        .value("VISIBLE_TANGENT", kvhlr::VisibleTangent)
        .value("CENTRE_LINE", kvhlr::CentreLine);

    py::class_<Line>(m, "Line", "One polyline of a drawing.")
        .def_property_readonly("points", &pointsView,
                               "The points in the drawing plane, in world length units: a read-only "
                               "(N, 2) float64 array that views the drawing.")
        .def_property_readonly(
            "kind", [](const Line& line) { return static_cast<kvhlr::LineKind>(line.stroke().kind); },
            "The Kind: 0 visible silhouette, 1 hidden, 2 visible concave sharp edge, 3 visible convex "
            "sharp edge, 5 other visible line, 6 visible intersection line, 7 a section's outline, 8 its "
            "hatching, 9 a visible tangent edge, 10 a centre line or mark.")
        .def_property_readonly(
            "body", [](const Line& line) { return sourceIndex(bodyOf(line.stroke())); },
            "With provenance: the index of the line's body (its part) in Drawing.part_names (an "
            "intersection line's first); -1 for a line without one, and without provenance.")
        .def_property_readonly(
            "other_body",
            [](const Line& line) {
                const std::vector<KvHLR::LineSource>& sources = line.stroke().sources;
                return sourceIndex(sources.empty() ? KvHLR::LineSource::kNone : sources.front().otherBody);
            },
            "With provenance, an intersection line's second body; else -1.")
        .def_property_readonly("edges", &lineEdges,
                               "With provenance: each segment's model edge, its two vertex indices in the "
                               "body's mesh (an intersection line's: its two triangles), -1 where it lies on "
                               "none: a new (N - 1, 2) int64 array; (0, 2) without provenance.")
        .def_property_readonly("brep_edges", &lineBrepEdges,
                               "With provenance, for a line of a STEP or IGES part: each segment's B-rep edge "
                               "(its number in the part, from 1, as README.md tells), -1 where it lies on none "
                               "(a silhouette of a curved face): a new (N - 1,) int64 array; empty for other "
                               "drawings.")
        .def_property_readonly(
            "level", [](const Line& line) { return line.stroke().level; },
            "A hidden line's occlusion level, drawn with hidden_levels: how many surfaces lie between it and "
            "the eye (1 behind one); 0 for visible lines and without hidden_levels.")
        .def("__repr__", &lineRepr);

    const char* const sheetKeywords =
        "Keywords, as kvhlr's options: paper ('A4', 'A3', 'A2', 'A1', 'A0', 'letter', 'tabloid'), scale "
        "('1:2', '2:1' or a number; true to the model's units), units (what one unit of the model is: "
        "'mm', 'cm', 'm', 'in' or 'ft'; default: the unit a Model's STEP or IGES file gives, metres for "
        "glTF, else millimetres, also for arrays), views (a list of named views, "
        "each drawn again from the drawing's mesh with an orthographic camera fitted to the model and "
        "laid out as projection ('third' or 'first') places them), up_axis ('y' or 'z', for views), "
        "orientation ('auto', 'portrait', 'landscape'), title (frame and title block on a paper or at a "
        "scale), name (the model's name in the title block; default: the name of the file a Model was "
        "read from), margin and gap (mm: paper edge to frame, between views), hidden (the views drawn "
        "with hidden lines or without; default: as the drawing), layers ('kinds' or 'parts', a Model's "
        "parts on layers of their own), style ('classic', 'drafting', a style file, or a dict holding "
        "what a style file holds), order ('plotter', the default, or 'library'; JSON keeps the library's order unless "
        "asked), dashes ('style' or 'segments': dashes cut into pieces), fit_arcs (mm on paper: arcs and "
        "whole circles fitted to the polylines of a page that stay this close to one), centre_lines (with "
        "fit_arcs: a centre mark on each whole circle fitted). Names are compared without "
        "case. Raises ValueError for what kvhlr "
        "refuses: a bad keyword value, views that do not fit the paper, a view named twice, a section's "
        "view without a section, a scale of a perspective, a JSON file of several views or with a paper "
        "or a scale (a JSON file of one view holds that view). Keywords that change nothing here (style "
        "into JSON, orientation without paper, ...) are named in a UserWarning, as kvhlr warns of them.";
    py::class_<PyDrawing>(m, "Drawing",
                          "A finished drawing: its lines and the camera that made it. Iterating and "
                          "indexing give Line objects; points, offsets and kinds give the whole drawing "
                          "as three arrays. Drawings pickle with everything they carry, the mesh or model "
                          "they were drawn from and its options included.")
        .def_property_readonly("lines", &linesOf, "The lines, hidden and visible: a new list of Line.")
        .def_property_readonly(
            "camera", [](const PyDrawing& d) { return d.drawing->camera; },
            "The camera the drawing was made with.")
        .def_property_readonly(
            "points", [](const PyDrawing& d) { return allPoints(*d.drawing); },
            "The points of all lines, one after the other: a new (P, 2) float64 array.")
        .def_property_readonly(
            "offsets", [](const PyDrawing& d) { return lineOffsets(*d.drawing); },
            "Where each line's points start in points: a new (N + 1,) int64 array; line i is "
            "points[offsets[i]:offsets[i + 1]].")
        .def_property_readonly(
            "kinds", [](const PyDrawing& d) { return lineKinds(*d.drawing); },
            "The kind of each line: a new (N,) int32 array (see Kind).")
        .def_property_readonly(
            "levels", [](const PyDrawing& d) { return lineLevels(*d.drawing); },
            "Each line's occlusion level (Line.level): a new (N,) int32 array.")
        .def_property_readonly(
            "curves", [](const PyDrawing& d) { return curveRows(*d.drawing); },
            "The lines that are true circles, arcs or ellipses (a STEP or IGES model's): a new (C, 8) float64 "
            "array, a row each: the line's index, the centre's x and y, the major and minor radius, the "
            "major axis's angle from x, and the start and end angle (radians, counter-clockwise; the point "
            "at t is the centre plus the major radius times cos t along the major axis and the minor "
            "radius times sin t square to it).")
        .def_property_readonly(
            "parts",
            [](const PyDrawing& d) {
                std::vector<std::string> parts;
                for (const std::uint32_t part : d.drawing->lineParts)
                    parts.push_back(d.drawing->partNames[part]);
                return parts;
            },
            "The part of each line by its name, for a Model drawn with part_layers or provenance; else empty.")
        .def_property_readonly(
            "part_names", [](const PyDrawing& d) { return d.drawing->partNames; },
            "The parts' names, for a drawing with part_layers or provenance (as kvhlr names their layers); "
            "else empty.")
        .def_property_readonly(
            "bodies", [](const PyDrawing& d) { return lineBodies(*d.drawing); },
            "With provenance: each line's body, an index into part_names (an intersection line's first), -1 "
            "for a line without one (a section's outline, a centre line): a new (N,) int64 array; empty "
            "without provenance.")
        .def_property_readonly(
            "edges", [](const PyDrawing& d) { return segmentEdges(*d.drawing); },
            "With provenance: each segment's model edge, its two vertex indices in its body's mesh (a "
            "Model part's points; an intersection line's: its two triangles), -1 where it lies on none: a "
            "new (S, 2) int64 array, line i's segments at rows offsets[i] - i to offsets[i + 1] - i - 1; "
            "(0, 2) without provenance.")
        .def_property_readonly(
            "brep_edges", [](const PyDrawing& d) { return segmentBrepEdges(*d.drawing); },
            "With provenance, for a Model read from a STEP or IGES file: each segment's B-rep edge (its "
            "number in its part, from 1, as README.md tells), -1 where it lies on none (a silhouette of a "
            "curved face, a centre line): a new (S,) int64 array, rows as in edges; empty for other "
            "drawings.")
        .def("save", &save, "path"_a, py::kw_only(),
             (std::string("Writes the drawing as kvhlr does, in the format the extension of `path` asks for "
                          "(.svg, .dxf, .pdf, .json), whole or not at all. Raises ValueError for an "
                          "extension of no format and OSError when the file cannot be written.\n\n") +
              sheetKeywords)
                 .c_str())
        .def(
            "to_svg",
            [](const PyDrawing& d, const py::kwargs& options) {
                return pageText(d, OutputFormat::Svg, options);
            },
            (std::string("The drawing as an SVG document. ") + sheetKeywords).c_str())
        .def(
            "to_dxf",
            [](const PyDrawing& d, const py::kwargs& options) {
                return pageText(d, OutputFormat::Dxf, options);
            },
            (std::string("The drawing as a DXF document. ") + sheetKeywords).c_str())
        .def(
            "_repr_svg_", [](const PyDrawing& d) { return pageText(d, OutputFormat::Svg, py::kwargs()); },
            "The drawing as SVG, for notebooks.")
        .def(
            "__len__", [](const PyDrawing& d) { return d.drawing->lines.size(); }, "The number of lines.")
        .def(
            "__getitem__", [](const PyDrawing& d, py::ssize_t index) { return lineAt(d.drawing, index); },
            "index"_a, "The line at `index` (negative counts from the end).")
        .def(
            "__getitem__", [](const PyDrawing& d, const py::slice& slice) { return linesIn(d.drawing, slice); },
            "lines"_a, "The lines of a slice, as a new list of Line.")
        .def(
            "__iter__", [](const PyDrawing& d) { return lineIterator(d.drawing); },
            "The lines in order, each made as the iteration reaches it.")
        .def(
            "__repr__",
            [](const PyDrawing& d) { return py::str("<Drawing: {} lines>").format(d.drawing->lines.size()); })
        .def(py::pickle(&drawingState, &drawingFromState));

    const std::string drawDoc =
        "Draws a mesh or a model. draw(vertices, triangles, camera, **keywords) draws the mesh of "
        "`vertices` (N, 3), any real "
        "dtype, and `triangles` (M, 3), any integer dtype, indexing the vertices; each array is copied "
        "once, straight into the library's input. draw(mesh, camera, **keywords) draws a mesh object: "
        "one with `vertices` and `faces` arrays (trimesh and others), one with `vectors` (numpy-stl), or "
        "an (M, 3, 3) array of triangle corners. draw(model, camera, **keywords) draws a Model "
        "(load_model) as kvhlr draws its file: a STEP or IGES part with its true edges (the borders "
        "between its faces, no line across a face), tangent edges where visible with tangent_edges "
        "(Kind.VISIBLE_TANGENT), its circles and ellipses as true curves (Drawing.curves), the centre "
        "lines and marks of its holes and shafts unless centre_lines is False (Kind.CENTRE_LINE), "
        "and with part_layers each line's part (Drawing.parts) and a layer per "
        "part in the files it saves; other views of a sheet are drawn so too. Every argument may be "
        "given by name; the options only by name.\n\n"
        "weld: join vertices at exactly the same position first, as kvhlr does when it reads a mesh "
        "file, so that a triangle soup (STL, numpy-stl, many exporters) has shared edges; False for a "
        "mesh whose triangles already share their vertices (a Model is welded when read). hidden: also draw hidden lines. "
        "silhouettes: visible silhouettes and outlines. sharp: visible sharp edges, where faces meet at "
        "an angle below sharp_angle degrees. exact: exact hiding, else the library's plain hide test. "
        "intersections: the lines where bodies (or folds of one body) pass through each other, kind 6 "
        "where visible.\n\n"
        "section, a Plane: a section view. What lies on the camera's side of the plane is taken away, "
        "the cut faces are closed, outlined (Kind.SECTION_OUTLINE) and hatched (Kind.HATCHING): lines "
        "hatch_spacing apart in model units (0: a 60th of the camera frame) at hatch_angle degrees for the "
        "first body, square to that for the next. A mesh that is not closed where the plane cuts it is "
        "left uncapped there, with a UserWarning; a plane that misses the model or that the camera sees "
        "edge-on raises ValueError; hatch_spacing or hatch_angle without a section is named in a "
        "UserWarning.\n\n"
        "progress, when given, is called with the share done (0 to 1) in the calling thread, when it "
        "grows and otherwise about every 50 ms whatever the stage; the share never goes back. A true "
        "result cancels the drawing, which then raises Cancelled within a fraction of a second, and an "
        "exception it raises is raised by draw. Ctrl-C cancels the drawing as quickly and raises "
        "KeyboardInterrupt. Other threads run while the drawing is made; drawings from several threads "
        "take turns.\n\n"
        "Raises TypeError naming the argument for one missing, unknown or of the wrong type, and "
        "ValueError for arrays of the wrong shape or dtype, indices out of range, vertices that are not "
        "finite or lie behind the camera's eye.";
    py::class_<Model>(m, "Model",
                      "A model read from a file as kvhlr reads it (load_model): for a STEP or IGES file, "
                      "every solid a body whose faces are the part's faces, with its tangent edges and "
                      "the names of its part and instance. Models pickle, whole.")
        .def_property_readonly(
            "vertices", [](const Model& model) -> py::object { return meshArrays(*model.parts)[0]; },
            "All vertices, merged: a new float64 (N, 3) array (for cameras).")
        .def_property_readonly(
            "triangles", [](const Model& model) -> py::object { return meshArrays(*model.parts)[1]; },
            "All triangles, merged: a new uint32 (M, 3) array indexing vertices.")
        .def_property_readonly(
            "part_names",
            [](const Model& model) { return partLayerNames(*model.parts); },
            "The name of each part (body) as a layer gives it: PART or PART.INSTANCE, names that "
            "repeat numbered (PART-2).")
        .def_readonly("name", &Model::name,
                      "The name of the file it was read from, without its folder and extension: the "
                      "model's name in a sheet's title block.")
        .def("__repr__",
             [](const Model& model) {
                 return py::str("<Model {!r}: {} parts>").format(model.name, model.parts->size());
             })
        .def(py::pickle(
            [](const Model& model) { return py::make_tuple(partsState(*model.parts), model.name); },
            [](const py::tuple& state) {
                if (state.size() != 2)
                    throw py::value_error("not the state of a Model");
                return Model{std::make_shared<const std::vector<MeshPart>>(partsOf(state[0])),
                             state[1].cast<std::string>()};
            }));

    m.def("draw", &drawCall, drawDoc.c_str());
    m.def("draw_pieces", &drawPiecesCall, "vertices"_a, "triangles"_a, "camera"_a,
          "For one view drawn in parts (kelvar_hlr.distributed's tiles): the mesh's lines as the exact hide"
          " pass leaves them, unjoined, as (ends, types, nodes, places): a float64 (N, 2, 2) array of each "
          "piece's ends on the camera's screen (-1..1 across its frame), an int32 (N,) array of the "
          "library's edge type of each, an int64 (N, 2) array of the numbers of its end nodes, for "
          "join_pieces, and an int64 (N, 3) array of the edge each lies on, which fixes the drawing's order"
          " of pieces: (0, triangle, side) for a model edge, the triangle that first has it and its side "
          "there (from corner `side` to the next); (1, first, second) for an intersection line, its two "
          "triangles; -1s for another. Triangles are numbered as in `triangles`; the pieces of one edge "
          "run from its start to its end. "
          "draw()'s keywords; exact hiding only, without hidden_levels, provenance or a section, and the "
          "whole model beyond a perspective camera's near plane.");
    m.def("join_pieces", &joinPiecesCall, "ends"_a, "types"_a, "nodes"_a, "camera"_a, "screen_box"_a,
          "The pieces of a view's parts (draw_pieces), cut to their screen tiles and made whole again "
          "where a tile's border cut one, joined into the view's lines as draw() joins a whole model's: "
          "nodes numbers their ends across the parts (where ends merge, the least number gives their point): "
          "in one run's order of pieces and nodes (kelvar_hlr.distributed puts them so by their places), "
          "they join into that run's lines. "
          "(points, offsets, kinds), a Drawing's arrays, in the drawing plane. screen_box is the whole "
          "model's ((x_min, y_min), (x_max, y_max)) on the screen; draw()'s keywords choose the kinds "
          "drawn. ValueError names an array of the wrong shape.");

    const char* const cadLimitsDoc =
        " cad_memory_limit (MB, at least 256; default: half of the machine's) and cad_time_limit (seconds "
        "of processor time, at most a year; default: 600) bound the CAD reader, as kvhlr's "
        "--cad-memory-limit and --cad-time-limit do: a file that needs more is refused with a ValueError "
        "naming the keyword; given for a file that is not a CAD file, they are named in a UserWarning.";
    m.def("load_model", &loadModel, "path"_a, py::kw_only(), "cad_memory_limit"_a = py::none(),
          "cad_time_limit"_a = py::none(),
          (std::string("Reads a model file as kvhlr does, whole, for draw(model, camera, ...): a STEP or IGES "
                       "file keeps its faces apart, so that its drawing shows the part's true edges, and is "
                       "drawn z up (Camera.view, save's views). Faces that cannot be tessellated are named in "
                       "a UserWarning. Raises OSError when the file cannot be read.") +
           cadLimitsDoc)
              .c_str());

    m.def(
        "load_mesh",
        [](const Path& path, py::handle memoryLimit, py::handle timeLimit) {
            return meshArrays(readParts(path, cadLimits(memoryLimit, timeLimit), givenLimits(memoryLimit, timeLimit)));
        },
        "path"_a, py::kw_only(), "cad_memory_limit"_a = py::none(), "cad_time_limit"_a = py::none(),
        (std::string(
          "Reads a mesh file as kvhlr does (OBJ, STL, PLY, OFF, glTF/GLB, 3MF and more; STEP and IGES "
          "tessellated, their faces' borders lost in the merge; vertices at the same position welded) and "
          "returns (vertices, triangles): a float64 (N, 3) and a uint32 (M, 3) array, all meshes of the file "
          "merged (load_model keeps a CAD file's faces apart, to draw its true edges). Faces of a CAD file "
          "that cannot be tessellated are named in a UserWarning. Raises OSError when the file cannot be "
          "read.") + cadLimitsDoc).c_str());

    m.def(
        "_demo_mesh", [] { return meshArrays(demoPart()); },
        "The mesh of kvhlr's demo part (kvhlr --demo) as (vertices, triangles).");
}
