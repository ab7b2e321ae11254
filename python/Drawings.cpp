#include "python/Drawings.h"

#include "python/Interpreter.h"
#include "python/Keywords.h"
#include "python/MeshArrays.h"
#include "python/ModelFiles.h"
#include "python/SheetKeywords.h"

#include "kit/camera/CameraFile.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>
#include <utility>

namespace kvhlr::python {
namespace {

using namespace py::literals;

// draw's keywords, read once.
struct DrawKeywords {
    DrawOptions options;
    bool weld = true;
    py::object progress = py::none();
};

constexpr std::pair<const char*, bool DrawOptions::*> kSwitches[] = {
    {"hidden", &DrawOptions::hidden},
    {"silhouettes", &DrawOptions::silhouettes},
    {"sharp", &DrawOptions::sharp},
    {"exact", &DrawOptions::exact},
    {"intersections", &DrawOptions::intersections},
    {"tangent_edges", &DrawOptions::tangentEdges},
    {"part_layers", &DrawOptions::partLayers},
    {"centre_lines", &DrawOptions::centreLines},
    {"provenance", &DrawOptions::provenance},
};

// hidden_levels: None (or 0) for no levels, a deepest level, or 'all'.
int hiddenLevelsOf(py::handle value) {
    if (value.is_none())
        return 0;
    if (py::isinstance<py::str>(value)) {
        oneOf(value, "hidden_levels", {"all"});
        return kAllLevels;
    }
    return keyword<int>(value, "hidden_levels", "an int, 'all' or None");
}

void applyDrawKeyword(DrawKeywords& keywords, const std::string& name, py::handle value) {
    DrawOptions& options = keywords.options;
    for (const auto& [switchName, member] : kSwitches)
        if (name == switchName) {
            options.*member = keyword<bool>(value, switchName, "a bool");
            return;
        }
    if (name == "weld")
        keywords.weld = keyword<bool>(value, "weld", "a bool");
    else if (name == "sharp_angle")
        options.sharpAngle = keyword<double>(value, "sharp_angle", "a number");
    else if (name == "hidden_levels")
        options.hiddenLevels = hiddenLevelsOf(value);
    else if (name == "hatch_spacing")
        options.hatching.spacing = keyword<double>(value, "hatch_spacing", "a number");
    else if (name == "hatch_angle")
        options.hatching.angleDegrees = keyword<double>(value, "hatch_angle", "a number");
    else if (name == "section")
        options.section = value.is_none()
                              ? std::nullopt
                              : std::optional(keyword<SectionPlane>(value, "section", "a Plane or None"));
    else if (name == "progress") {
        if (!value.is_none() && !PyCallable_Check(value.ptr()))
            throw py::type_error("progress must be callable or None, not " +
                                 std::string(py::str(py::type::of(value).attr("__name__"))));
        keywords.progress = py::reinterpret_borrow<py::object>(value);
    } else
        throw py::type_error("draw() got an unexpected keyword argument '" + name + "'");
}

DrawKeywords drawKeywords(const py::dict& given) {
    DrawKeywords keywords;
    for (const auto& [key, value] : given)
        applyDrawKeyword(keywords, key.cast<std::string>(), value);
    return keywords;
}

// The options given (other than their defaults) that a drawing of this source may not use.
std::vector<std::string> givenOptions(const DrawOptions& options) {
    const DrawOptions defaults;
    std::vector<std::string> given;
    if (options.hatching.spacing != defaults.hatching.spacing)
        given.emplace_back("hatch_spacing");
    if (options.hatching.angleDegrees != defaults.hatching.angleDegrees)
        given.emplace_back("hatch_angle");
    if (options.sharpAngle != defaults.sharpAngle)
        given.emplace_back("sharp_angle");
    if (options.tangentEdges)
        given.emplace_back("tangent_edges");
    return given;
}

void checkFinite(const KvHLR::Polygon3D& polygon) {
    for (std::size_t i = 0; i < polygon.points.size(); ++i) {
        const ON_3dPoint& p = polygon.points[i];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            throw py::value_error("vertex " + std::to_string(i) + " is not finite");
    }
}

void checkModel(const Camera& camera, KvHLR::Polygon3D& polygon) {
    // The kit's check takes mesh parts: the points are lent to one and taken back, not copied.
    std::vector<MeshPart> parts(1);
    parts[0].points = std::move(polygon.points);
    checkCamera(camera, parts, "camera");
    polygon.points = std::move(parts[0].points);
}

// Draws the source, which takes the keywords' options.
PyDrawing drawWith(std::shared_ptr<Source> source, const Camera& camera, const DrawKeywords& keywords) {
    source->options = keywords.options;
    source->weld = keywords.weld;
    if (source->options.partLayers && !source->parts)
        throw py::value_error("part_layers: only a Model (load_model) has parts");
    warnOfIdle(givenOptions(source->options), {}, runOf(*source));
    auto drawing = std::make_shared<const Drawing>(drawSource(*source, camera, keywords.progress, true));
    for (const std::string& note : drawing->notes)
        warn(note);
    return PyDrawing{std::move(drawing), std::move(source), {}};
}

// The arguments before the keywords, given by position or by name.
class Arguments {
public:
    Arguments(const py::args& args, py::dict& keywords) : m_args(args), m_keywords(keywords) {
        if (args.size() > 3)
            throw py::type_error("draw() takes at most 3 positional arguments (vertices, triangles, camera), "
                                 "got " +
                                 std::to_string(args.size()) +
                                 ": give the options as keywords, "
                                 "such as hidden=True");
    }

    bool has(const char* name) const { return m_keywords.contains(name); }
    std::size_t count() const { return m_args.size(); }

    // The argument at `position` or by `name`.
    py::object take(std::size_t position, const char* name) {
        const bool named = m_keywords.contains(name);
        if (position < m_args.size() && named)
            throw py::type_error(std::string("draw() got two values for '") + name + "'");
        if (position < m_args.size())
            return m_args[position];
        if (!named)
            throw py::type_error(std::string("draw() is missing the argument '") + name + "'");
        return m_keywords.attr("pop")(name);
    }

private:
    const py::args& m_args;
    py::dict& m_keywords;
};

// The caller's own indices behind a welded mesh, for the lines' sources or, unjoined, the pieces' places:
// welding (weldMesh) merges points at exactly one position and numbers them anew, and leaves out
// triangles that two corners at one position collapse. A welded point goes back to the first of the
// caller's points at its position that a drawn triangle uses; unjoined pieces name no point, and the
// points are then not looked up (a tile of millions of points would wait for the table).
class CallerIndices {
public:
    CallerIndices(const KvHLR::Polygon3D& mesh, bool unjoined) : m_unjoined(unjoined) {
        std::vector<bool> used(mesh.points.size(), false);
        for (std::uint32_t t = 0; t < mesh.triangles.size(); ++t) {
            const auto& [a, b, c] = mesh.triangles[t];
            const ON_3dPoint &pa = mesh.points.at(a), &pb = mesh.points.at(b), &pc = mesh.points.at(c);
            if (pa == pb || pb == pc || pc == pa)
                continue;
            m_keptTriangles.push_back(t);
            used[a] = used[b] = used[c] = true;
        }
        for (std::uint32_t i = 0; i < mesh.points.size() && !unjoined; ++i)
            if (used[i])
                m_firstAt.emplace(key(mesh.points[i]), i);
    }

    void restore(Drawing& drawing, const Kv::KvPointList& welded) const {
        const auto point = [&](std::uint32_t& index) {
            if (index != KvHLR::LineSource::kNone)
                index = m_firstAt.at(key(welded.at(index)));
        };
        const auto triangle = [&](std::uint32_t& index) {
            if (index != KvHLR::LineSource::kNone)
                index = m_keptTriangles.at(index);
        };
        for (KvHLR::StrokeLine& line : drawing.lines) {
            if (m_unjoined) {
                // The end nodes' numbers, then the place: a model edge's triangle and its side there, or an
                // intersection line's two triangles.
                KvHLR::LineSource& place = line.sources.at(1);
                triangle(place.edge[0]);
                if (place.otherBody != KvHLR::LineSource::kNone)
                    triangle(place.edge[1]);
                continue;
            }
            for (KvHLR::LineSource& source : line.sources) {
                const bool intersection = source.otherBody != KvHLR::LineSource::kNone;
                for (std::uint32_t& index : source.edge)
                    intersection ? triangle(index) : point(index);
            }
        }
    }

private:
    // Equal positions give equal keys (0 and -0 alike).
    static std::tuple<double, double, double> key(const ON_3dPoint& p) { return {p.x + 0.0, p.y + 0.0, p.z + 0.0}; }

    bool m_unjoined;
    std::map<std::tuple<double, double, double>, std::uint32_t> m_firstAt;
    std::vector<std::uint32_t> m_keptTriangles;
};

Camera cameraArgument(const py::object& camera) {
    return keyword<Camera>(camera, "camera", "a Camera");
}

} // namespace

PyDrawing drawCall(const py::args& args, const py::kwargs& given) {
    py::dict keywords(given);
    Arguments arguments(args, keywords);
    auto source = std::make_shared<Source>();
    Camera camera;
    if (arguments.count() == 3 && py::isinstance<Camera>(args[1]))
        throw py::type_error(
            "draw() takes 2 positional arguments (mesh or model, camera) before the options, "
            "got 3: give the options as keywords, such as hidden=True");
    // Vertices and triangles: three arguments, or two and the camera by name, or either array by name.
    if (arguments.count() == 3 || (arguments.count() == 2 && arguments.has("camera")) ||
        arguments.has("vertices") || arguments.has("triangles")) {
        source->vertices = arguments.take(0, "vertices");
        source->triangles = arguments.take(1, "triangles");
        camera = cameraArgument(arguments.take(2, "camera"));
    } else {
        const char* const name = arguments.has("model") ? "model" : "mesh";
        const py::object mesh = arguments.take(0, name);
        camera = cameraArgument(arguments.take(1, "camera"));
        if (py::isinstance<Model>(mesh)) {
            const Model& model = mesh.cast<const Model&>();
            source->parts = model.parts;
            source->name = model.name;
        } else {
            std::tie(source->vertices, source->triangles) = meshArraysOf(mesh);
        }
    }
    return drawWith(std::move(source), camera, drawKeywords(keywords));
}

py::tuple drawPiecesCall(const py::object& vertices, const py::object& triangles, const Camera& camera,
                         const py::kwargs& given) {
    const DrawKeywords keywords = drawKeywords(py::dict(given));
    Source source;
    source.vertices = vertices;
    source.triangles = triangles;
    source.options = keywords.options;
    source.options.unjoined = true;
    source.weld = keywords.weld;
    const Drawing drawing = drawSource(source, camera, keywords.progress, true);
    const auto count = static_cast<py::ssize_t>(drawing.lines.size());
    py::array_t<std::int64_t> nodes({count, py::ssize_t{2}});
    py::array_t<std::int64_t> places({count, py::ssize_t{3}});
    std::int64_t* node = nodes.mutable_data();
    std::int64_t* place = places.mutable_data();
    // A place's numbers as -1 where the library has none.
    const auto number = [](std::uint32_t n) {
        return n == KvHLR::LineSource::kNone ? std::int64_t{-1} : std::int64_t{n};
    };
    for (const KvHLR::StrokeLine& line : drawing.lines) {
        *node++ = line.sources.at(0).edge[0];
        *node++ = line.sources.at(0).edge[1];
        const KvHLR::LineSource& at = line.sources.at(1);
        *place++ = at.edge[0] == KvHLR::LineSource::kNone     ? -1
                   : at.otherBody == KvHLR::LineSource::kNone ? 0
                                                              : 1;
        *place++ = number(at.edge[0]);
        *place++ = number(at.edge[1]);
    }
    return py::make_tuple(allPoints(drawing).attr("reshape")(-1, 2, 2), lineKinds(drawing), nodes, places);
}

py::tuple joinPiecesCall(const py::handle& ends, const py::handle& types, const py::handle& nodes,
                         const Camera& camera, const py::handle& screenBox, const py::kwargs& given) {
    using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
    const auto endArray = Doubles::ensure(ends);
    const auto typeArray =
        py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>::ensure(types);
    const auto box = Doubles::ensure(screenBox);
    if (!endArray || endArray.ndim() != 3 || endArray.shape(1) != 2 || endArray.shape(2) != 2)
        throw py::value_error("ends: expected a float (N, 2, 2) array, two points a piece");
    if (!typeArray || typeArray.ndim() != 1 || typeArray.shape(0) != endArray.shape(0))
        throw py::value_error("types: expected an int (N,) array, a type a piece");
    const auto nodeArray =
        py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(nodes);
    if (!nodeArray || nodeArray.ndim() != 2 || nodeArray.shape(0) != endArray.shape(0) ||
        nodeArray.shape(1) != 2)
        throw py::value_error("nodes: expected an int (N, 2) array, the numbers of each piece's end nodes");
    // Numbers are 32 bits in the library, and the largest marks none.
    const std::int64_t* number = nodeArray.data();
    if (std::any_of(number, number + nodeArray.size(),
                    [](std::int64_t n) { return n < 0 || n >= std::int64_t{KvHLR::LineSource::kNone}; }))
        throw py::value_error("nodes: a node's number is below 0 or not below 2^32 - 1");
    if (!box || box.size() != 4)
        throw py::value_error("screen_box: expected ((x_min, y_min), (x_max, y_max))");
    const DrawKeywords keywords = drawKeywords(py::dict(given));
    // Reserved, not sized: millions of pieces take a second to copy, and a cancel is heard from the first.
    const auto count = static_cast<std::size_t>(typeArray.shape(0));
    std::vector<KvHLR::StrokeLine> pieces;
    pieces.reserve(count);
    const double* point = endArray.data();
    for (std::size_t i = 0; i < count; ++i, point += 4) {
        if (i % 65536 == 0 && PyErr_CheckSignals() != 0)
            throw py::error_already_set();
        KvHLR::StrokeLine& piece = pieces.emplace_back();
        piece.kind = typeArray.data()[i];
        piece.points = {ON_2dPoint(point[0], point[1]), ON_2dPoint(point[2], point[3])};
        const std::int64_t* numbers = nodeArray.data() + 2 * i;
        piece.sources = {KvHLR::LineSource{KvHLR::LineSource::kNone,
                                               {static_cast<std::uint32_t>(numbers[0]),
                                                static_cast<std::uint32_t>(numbers[1])},
                                               KvHLR::LineSource::kNone}};
    }
    const double* corners = box.data();
    DrawOptions options = keywords.options;
    options.progress = ProgressHook(keywords.progress); // Ctrl-C and the caller's hook are heard while joining
    const Drawing drawing = [&] {
        const py::gil_scoped_release release;
        const ThisThreadDraws joining;
        return joinPieces(pieces, camera, ON_2dPoint(corners[0], corners[1]),
                          ON_2dPoint(corners[2], corners[3]), options);
    }();
    return py::make_tuple(allPoints(drawing), lineOffsets(drawing), lineKinds(drawing));
}

RunShape runOf(const Source& source) {
    RunShape run;
    run.section = source.options.section.has_value();
    if (source.parts) {
        run.cadInputs = fromCadFile(*source.parts);
        run.meshInputs = !std::all_of(source.parts->begin(), source.parts->end(),
                                      [](const MeshPart& part) { return part.brepFaces; });
    }
    return run;
}

Drawing drawSource(const Source& source, const Camera& camera, const py::object& progress, bool cut) {
    DrawOptions options = source.options;
    if (!cut)
        options.section.reset();
    options.progress = ProgressHook(progress);
    if (source.parts) {
        const py::gil_scoped_release release;
        const ThisThreadDraws drawing;
        std::vector<MeshPart> parts = *source.parts;
        checkCamera(camera, parts, "camera");
        if (!options.progress(0.0))
            throw DrawingCancelled();
        return drawParts(std::move(parts), camera, options);
    }
    KvHLR::Polygon3D polygon = polygonOf(source.vertices, source.triangles);
    const py::gil_scoped_release release;
    const ThisThreadDraws drawing;
    // Copying and welding a large mesh takes a while too: a cancel meanwhile is heard.
    const auto poll = [&] {
        if (!options.progress(0.0))
            throw DrawingCancelled();
    };
    checkFinite(polygon);
    std::optional<CallerIndices> callerIndices;
    if (source.weld && (options.provenance || options.unjoined))
        callerIndices.emplace(polygon, options.unjoined);
    if (source.weld)
        weldMesh(polygon, poll);
    checkModel(camera, polygon);
    poll();
    if (!callerIndices)
        return drawMesh(std::move(polygon), camera, options);
    const Kv::KvPointList welded(polygon.points.begin(), polygon.points.end());
    Drawing drawn = drawMesh(std::move(polygon), camera, options);
    callerIndices->restore(drawn, welded);
    return drawn;
}

py::list linesOf(PyDrawing& drawing) {
    if (!drawing.lines) {
        py::list lines;
        for (std::size_t i = 0; i < drawing.drawing->lines.size(); ++i)
            lines.append(Line{drawing.drawing, i});
        drawing.lines = std::move(lines);
    }
    return drawing.lines.attr("copy")();
}

// ---- pickles: everything a drawing carries, the mesh or model it was drawn from and its options
// included, so that an unpickled drawing saves the same files and sheets.

namespace {

// The source as draw's keywords, and its mesh: the arrays, or the model's parts.
py::tuple sourceState(const Source& source) {
    const DrawOptions& o = source.options;
    const py::dict options("weld"_a = source.weld, "hidden"_a = o.hidden, "silhouettes"_a = o.silhouettes,
                           "sharp"_a = o.sharp, "sharp_angle"_a = o.sharpAngle, "exact"_a = o.exact,
                           "intersections"_a = o.intersections, "section"_a = o.section,
                           "hatch_spacing"_a = o.hatching.spacing, "hatch_angle"_a = o.hatching.angleDegrees,
                           "tangent_edges"_a = o.tangentEdges, "part_layers"_a = o.partLayers,
                           "centre_lines"_a = o.centreLines, "provenance"_a = o.provenance,
                           "hidden_levels"_a = o.hiddenLevels);
    if (source.parts)
        return py::make_tuple(py::none(), py::none(), partsState(*source.parts), options, source.name);
    const py::module_ numpy = py::module_::import("numpy");
    return py::make_tuple(numpy.attr("asarray")(source.vertices), numpy.attr("asarray")(source.triangles),
                          py::none(), options, source.name);
}

std::shared_ptr<const Source> sourceOf(const py::tuple& state) {
    if (state.size() != 5)
        throw py::value_error("not the state of a Drawing");
    auto source = std::make_shared<Source>();
    const DrawKeywords keywords = drawKeywords(py::cast<py::dict>(state[3]));
    source->options = keywords.options;
    source->weld = keywords.weld;
    source->name = state[4].cast<std::string>();
    checkDrawOptions(source->options);
    if (!state[2].is_none()) {
        source->parts = std::make_shared<const std::vector<MeshPart>>(partsOf(state[2]));
    } else {
        polygonOf(state[0], state[1]); // refuses arrays that could not be drawn
        source->vertices = state[0];
        source->triangles = state[1];
    }
    return source;
}

} // namespace

py::tuple drawingState(const PyDrawing& d) {
    const Drawing& drawing = *d.drawing;
    const py::array_t<std::uint32_t> lineParts(static_cast<py::ssize_t>(drawing.lineParts.size()),
                                               drawing.lineParts.data());
    return py::make_tuple(drawing.camera, allPoints(drawing), lineOffsets(drawing), lineKinds(drawing),
                          drawing.notes, lineParts, drawing.partNames, sourceState(*d.source), curveRows(drawing),
                          sourceRows(drawing), lineLevels(drawing), drawing.brepEdges);
}

PyDrawing drawingFromState(const py::tuple& state) {
    if (state.size() != 12)
        throw py::value_error("not the state of a Drawing");
    try {
        Drawing drawing = drawingOf(state[0].cast<Camera>(), state[1], state[2], state[3]);
        setCurves(drawing, state[8]);
        setSources(drawing, state[9], state[11].cast<bool>());
        setLevels(drawing, state[10]);
        drawing.notes = state[4].cast<std::vector<std::string>>();
        drawing.lineParts = state[5].cast<std::vector<std::uint32_t>>();
        drawing.partNames = state[6].cast<std::vector<std::string>>();
        if (!(drawing.lineParts.empty() || drawing.lineParts.size() == drawing.lines.size()) ||
            std::any_of(drawing.lineParts.begin(), drawing.lineParts.end(),
                        [&](std::uint32_t part) { return part >= drawing.partNames.size(); }))
            throw py::value_error("not the state of a Drawing");
        return PyDrawing{
            std::make_shared<const Drawing>(std::move(drawing)), sourceOf(py::cast<py::tuple>(state[7])), {}};
    } catch (const py::cast_error&) {
        throw py::value_error("not the state of a Drawing");
    }
}

} // namespace kvhlr::python
