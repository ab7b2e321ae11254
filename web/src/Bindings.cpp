// The WebAssembly module's JavaScript interface, which web/lib/core.js wraps: a model made from a mesh
// file's bytes (OBJ or binary STL) or from typed arrays, drawn as kvhlr draws it (the views planned by the
// kit, each drawn with the kit's options), and the drawing written as SVG, DXF or the JSON drawing file.
//
// In:  file bytes or typed arrays; the camera, the drawing's and the sheet's options as plain objects
//      with the names of the Python module's keywords; a progress function returning false to cancel.
// Out: Model and Sheet objects (core.js frees them); lines as typed arrays; files as strings. Every
//      failure is thrown as a JavaScript Error whose message names the option at fault, "AbortError"
//      for a cancelled drawing, after the C++ objects of the call are gone.

#include "kit/InputError.h"
#include "kit/camera/CameraChoice.h"
#include "kit/camera/CameraFile.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/mesh/ObjReader.h"
#include "kit/mesh/StlReader.h"
#include "kit/mesh/VertexWelder.h"
#include "kit/output/DrawingJson.h"
#include "kit/output/DxfWriter.h"
#include "kit/output/SvgWriter.h"
#include "kit/sheet/Dashes.h"
#include "kit/sheet/Paper.h"
#include "kit/sheet/PenOrder.h"
#include "kit/sheet/SheetViews.h"

#include <emscripten/bind.h>
#include <emscripten/heap.h>
#include <emscripten/val.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

using emscripten::val;

namespace kvhlr::web {
namespace {

// ---- reading plain JavaScript objects

bool has(const val& object, const char* name) {
    return !object[name].isUndefined() && !object[name].isNull();
}

double numberOf(const val& object, const char* name, double otherwise) {
    if (!has(object, name))
        return otherwise;
    if (object[name].typeOf().as<std::string>() != "number" || !std::isfinite(object[name].as<double>()))
        throw InputError::ofParameter(name, "must be a finite number");
    return object[name].as<double>();
}

bool switchOf(const val& object, const char* name, bool otherwise) {
    if (!has(object, name))
        return otherwise;
    if (object[name].typeOf().as<std::string>() != "boolean")
        throw InputError::ofParameter(name, "must be true or false");
    return object[name].as<bool>();
}

std::string textOf(const val& object, const char* name, const std::string& otherwise) {
    if (!has(object, name))
        return otherwise;
    if (object[name].typeOf().as<std::string>() != "string")
        throw InputError::ofParameter(name, "must be a string");
    return object[name].as<std::string>();
}

// An array of `count` finite numbers: a plain array or a typed array.
std::vector<double> numbersOf(const val& value, const char* name, std::size_t count) {
    if (value.isUndefined() || value.isNull() || !value["length"].isNumber() ||
        value["length"].as<std::size_t>() != count)
        throw InputError::ofParameter(name, "must be an array of " + std::to_string(count) + " numbers");
    std::vector<double> numbers = emscripten::convertJSArrayToNumberVector<double>(value);
    for (double number : numbers)
        if (!std::isfinite(number))
            throw InputError::ofParameter(name, "holds a number that is not finite");
    return numbers;
}

ON_3dPoint pointOf(const val& object, const char* name) {
    const std::vector<double> xyz = numbersOf(object[name], name, 3);
    return ON_3dPoint(xyz[0], xyz[1], xyz[2]);
}

ON_3dVector vectorOf(const val& object, const char* name) {
    const std::vector<double> xyz = numbersOf(object[name], name, 3);
    return ON_3dVector(xyz[0], xyz[1], xyz[2]);
}

ON_Xform matrixOf(const val& object, const char* name) {
    const std::vector<double> entries = numbersOf(object[name], name, 16);
    ON_Xform xform;
    for (int i = 0; i < 16; ++i)
        xform[i / 4][i % 4] = entries[static_cast<std::size_t>(i)]; // row by row, as the camera file
    return xform;
}

// ---- models

// The module's memory a drawing takes a triangle: about 200 bytes for a sphere of 5M triangles, its
// file's bytes included; models that keep more lines take more.
constexpr double kBytesPerTriangle = 300.0;

// Throws InputError naming `name` when `triangles`, with `bytes` held beside them, cannot be drawn in the
// memory the module may grow to (4 GB): refused before the work, rather than run out of memory midway
// after a long wait, with the browser's tab at its largest.
void checkMemory(const std::string& name, std::size_t triangles, double bytes) {
    const double needed = bytes + kBytesPerTriangle * double(triangles);
    const double most = double(emscripten_get_heap_max());
    if (needed > most) {
        char text[160];
        std::snprintf(text, sizeof text, "%zu triangles need about %.1f GB to draw, more than the %.0f GB a browser "
                      "gives the drawing: draw it with kvhlr, or a coarser model", triangles, needed / 1e9, most / 1e9);
        throw InputError(name, text);
    }
}

struct Model {
    std::vector<MeshPart> parts;
    std::string name;
};

// The mesh file `bytes` named `name` (its extension tells the format), read as kvhlr reads it.
Model readModelFile(const val& bytes, const std::string& name) {
    const std::string lower = [&] {
        std::string text = name;
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }();
    const auto endsWith = [&](const char* tail) {
        const std::string end(tail);
        return lower.size() >= end.size() && lower.compare(lower.size() - end.size(), end.size(), end) == 0;
    };
    const bool obj = endsWith(".obj"), stl = endsWith(".stl");
    if (!obj && !stl)
        throw InputError(name, "this build reads OBJ and binary STL files: convert the model to one of them");
    // The readers map a file: the bytes go to the module's memory file system for the reading alone.
    // Named so, relative to the module's working folder, for its errors to name the file as given.
    const std::string path = name.substr(name.find_last_of('/') + 1);
    // Handed to the file system whole: written through a C++ stream, the file grew a few kilobytes at a
    // time, each growth a copy, which took longer than drawing a million triangles.
    if (!val::global("ArrayBuffer").call<bool>("isView", bytes))
        throw InputError::ofParameter("file", "must be the file's bytes as a typed array");
    const std::size_t size = bytes["byteLength"].as<std::size_t>();
    if (stl && size >= 84)
        checkMemory(name, (size - 84) / 50, double(size)); // the file is mapped into the module's memory
    // The file system keeps the bytes themselves (canOwn) until they are read.
    val writeOptions = val::object();
    writeOptions.set("canOwn", true);
    val::module_property("FS").call<void>("writeFile", path,
                                          val::global("Uint8Array").new_(bytes["buffer"], bytes["byteOffset"], size),
                                          writeOptions);
    struct Removed {
        const std::string& path;
        ~Removed() { std::remove(path.c_str()); }
    } removed{path};
    // One thread: the module has no others. Reading takes a fraction of the drawing's time.
    const auto ignored = [](double) {};
    std::optional<std::vector<MeshPart>> parts =
        obj ? readObjFile(path, false, ignored, 1) : readBinaryStlFile(path, false, ignored, 1);
    if (!parts)
        throw InputError(name, obj ? "uses what this build does not read (materials, faces of other than three "
                                     "or four corners, line continuations) or holds no face"
                                   : "is not a binary STL file with triangles");
    return Model{std::move(*parts), name};
}

// The triangles split at `faceStarts` (each face's first triangle, ascending from 0), or one face.
std::vector<std::vector<std::array<std::uint32_t, 3>>> facesOf(std::vector<std::array<std::uint32_t, 3>>&& triangles,
                                                              const val& faceStarts, const std::string& name) {
    if (faceStarts.isUndefined() || faceStarts.isNull())
        return {std::move(triangles)};
    std::vector<std::uint32_t> starts = emscripten::convertJSArrayToNumberVector<std::uint32_t>(faceStarts);
    if (starts.empty() || starts.front() != 0 || !std::is_sorted(starts.begin(), starts.end()) ||
        starts.back() > triangles.size())
        throw InputError::ofParameter("faces", name + ": must list each face's first triangle, from 0 up");
    starts.push_back(static_cast<std::uint32_t>(triangles.size()));
    std::vector<std::vector<std::array<std::uint32_t, 3>>> faces;
    for (std::size_t f = 0; f + 1 < starts.size(); ++f)
        if (starts[f] < starts[f + 1])
            faces.emplace_back(triangles.begin() + starts[f], triangles.begin() + starts[f + 1]);
    return faces;
}

// One welded part of `positions` (x, y, z per vertex) and `indices` (three per triangle). With
// `faceStarts` the part is a CAD body whose faces are those of its B-rep: their borders are its sharp
// edges, and no facet edge inside a face is drawn.
MeshPart partOf(const val& positions, const val& indices, const val& faceStarts, const std::string& name) {
    const std::vector<double> xyz = emscripten::convertJSArrayToNumberVector<double>(positions);
    const std::vector<std::uint32_t> corners = emscripten::convertJSArrayToNumberVector<std::uint32_t>(indices);
    if (xyz.size() % 3 != 0)
        throw InputError::ofParameter("positions", name + ": holds " + std::to_string(xyz.size()) +
                                                       " numbers, not three per vertex");
    if (corners.size() % 3 != 0)
        throw InputError::ofParameter("indices", name + ": holds " + std::to_string(corners.size()) +
                                                     " indices, not three per triangle");
    const std::size_t vertexCount = xyz.size() / 3;
    std::vector<std::array<std::uint32_t, 3>> triangles(corners.size() / 3);
    for (std::size_t i = 0; i < corners.size(); ++i) {
        if (corners[i] >= vertexCount)
            throw InputError::ofParameter("indices", name + ": index " + std::to_string(corners[i]) + " at " +
                                                         std::to_string(i) + " is beyond the " +
                                                         std::to_string(vertexCount) + " vertices");
        triangles[i / 3][i % 3] = corners[i];
    }
    const auto positionOf = [&](std::uint32_t v) {
        const ON_3dPoint p(xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]);
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            throw InputError::ofParameter("positions", name + ": vertex " + std::to_string(v) + " is not finite");
        return p;
    };
    const bool brep = !faceStarts.isUndefined() && !faceStarts.isNull();
    VertexWelder welder(vertexCount);
    MeshPart part;
    for (const auto& face : facesOf(std::move(triangles), faceStarts, name))
        part.faces.push_back(weldTriangles(welder, vertexCount, positionOf, face));
    part.points = welder.takePoints();
    part.body = part.brepFaces = brep;
    part.partName = name;
    return part;
}

// A model of `meshes`: [{positions, indices, name}], a part each, as an OBJ file's objects are.
Model meshModel(const val& meshes, const std::string& name) {
    Model model{{}, name};
    const std::size_t count = meshes["length"].as<std::size_t>();
    for (std::size_t i = 0; i < count; ++i) {
        const val mesh = meshes[i];
        model.parts.push_back(partOf(mesh["positions"], mesh["indices"], mesh["faces"], textOf(mesh, "name", "mesh " + std::to_string(i))));
    }
    return model;
}

val typedArray(const char* type, std::size_t count, const void* data, std::size_t elementBytes) {
    // A copy, owned by JavaScript, so that it can be transferred to another thread.
    const val view = elementBytes == 8 ? val(emscripten::typed_memory_view(count, static_cast<const double*>(data)))
                                       : val(emscripten::typed_memory_view(count, static_cast<const std::uint32_t*>(data)));
    return val::global(type).new_(view);
}

// ---- drawing

// The camera a drawing is seen with: {view, upAxis, perspective, fill} or {eye, target, up, perspective,
// fill} for the kit to fit to the model, or {modelView, projection, near, far} used as given.
ViewsChoice viewsChoiceOf(const val& camera, const val& options, const std::vector<MeshPart>& parts) {
    ViewsChoice choice;
    CameraChoice& c = choice.camera;
    c.upAxis = upAxisNamed(textOf(camera, "upAxis", "y"));
    if (has(camera, "perspective"))
        c.perspectiveFov = numberOf(camera, "perspective", 0.0);
    c.fill = numberOf(camera, "fill", c.fill);
    if (has(camera, "modelView")) {
        KvHLR::ViewInfoCriteria given;
        given.modelViewXform = matrixOf(camera, "modelView");
        given.projectionXform = matrixOf(camera, "projection");
        given.nearPlaneDepth = numberOf(camera, "near", 0.0);
        given.farPlaneDepth = numberOf(camera, "far", 0.0);
        checkCamera(given, parts, "camera");
        choice.given = given;
    } else if (has(camera, "eye")) {
        c.eye = pointOf(camera, "eye");
        c.target = pointOf(camera, "target");
        if (has(camera, "up"))
            c.up = vectorOf(camera, "up");
    } else {
        c.view = textOf(camera, "view", c.view);
    }
    if (has(options, "views")) {
        const val views = options["views"];
        if (!val::global("Array").call<bool>("isArray", views))
            throw InputError::ofParameter("views", "must be an array of view names");
        for (std::size_t i = 0, n = views["length"].as<std::size_t>(); i < n; ++i) {
            if (views[i].typeOf().as<std::string>() != "string")
                throw InputError::ofParameter("views", "must be an array of view names");
            choice.views.push_back(views[i].as<std::string>());
        }
    }
    if (has(options, "section")) {
        const val section = options["section"];
        SectionChoice cut;
        if (section.typeOf().as<std::string>() == "string")
            cut.named = section.as<std::string>();
        else {
            cut.point = pointOf(section, "point");
            cut.normal = vectorOf(section, "normal");
        }
        checkSectionChoice(cut);
        choice.section = sectionPlane(cut, c.upAxis, parts);
    }
    return choice;
}

DrawOptions drawOptionsOf(const val& options) {
    DrawOptions o;
    o.hidden = switchOf(options, "hidden", o.hidden);
    o.silhouettes = switchOf(options, "silhouettes", o.silhouettes);
    o.sharp = switchOf(options, "sharp", o.sharp);
    o.exact = switchOf(options, "exact", o.exact);
    o.intersections = switchOf(options, "intersections", o.intersections);
    o.sharpAngle = numberOf(options, "sharpAngle", o.sharpAngle);
    o.hatching.spacing = numberOf(options, "hatchSpacing", o.hatching.spacing);
    o.hatching.angleDegrees = numberOf(options, "hatchAngle", o.hatching.angleDegrees);
    checkDrawOptions(o);
    return o;
}

SheetOptions sheetOptionsOf(const val& options, const Model& model, bool perspective) {
    SheetOptions sheet;
    if (has(options, "paper"))
        sheet.paper = paperNamed(textOf(options, "paper", ""));
    const std::string orientation = textOf(options, "orientation", "auto");
    if (orientation != "auto" && orientation != "portrait" && orientation != "landscape")
        throw InputError::ofParameter("orientation", "unknown orientation '" + orientation +
                                                         "': name auto, portrait or landscape");
    sheet.orientation = orientation == "portrait"    ? Orientation::Portrait
                        : orientation == "landscape" ? Orientation::Landscape
                                                     : Orientation::Auto;
    if (has(options, "scale"))
        sheet.scale = options["scale"].isNumber() ? numberOf(options, "scale", 1.0) : parseScale(textOf(options, "scale", ""));
    sheet.unitMm = has(options, "units") ? unitNamed(textOf(options, "units", "mm")) : pointUnitMm(model.parts, {});
    sheet.marginMm = numberOf(options, "margin", sheet.marginMm);
    sheet.gapMm = numberOf(options, "gap", sheet.gapMm);
    const std::string projection = textOf(options, "projection", "third");
    if (projection != "first" && projection != "third")
        throw InputError::ofParameter("projection", "unknown projection '" + projection + "': name first or third");
    sheet.projection = projection == "first" ? Projection::First : Projection::Third;
    sheet.title = switchOf(options, "title", sheet.title);
    sheet.trueScale = !perspective;
    sheet.modelName = model.name;
    sheet.date = textOf(options, "date", "");
    sheet.style = namedStyle(textOf(options, "style", "classic"));
    checkSheetScale(sheet);
    checkPaperRoom(sheet);
    return sheet;
}

// The drawn views of a model and how they go on paper: what draw() returns.
class Sheet {
public:
    Sheet(std::vector<SheetView> views, SheetOptions options, bool segments, std::optional<bool> plotterOrder)
        : m_views(std::move(views)), m_options(std::move(options)), m_segments(segments),
          m_plotterOrder(plotterOrder) {}

    std::size_t viewCount() const { return m_views.size(); }
    std::string viewName(std::size_t i) const { return m_views.at(i).name; }

    // {modelView, projection, near, far} of view i, as the JSON drawing file holds it.
    val camera(std::size_t i) const {
        const KvHLR::ViewInfoCriteria& c = m_views.at(i).drawing.camera;
        val result = val::object();
        double entries[16];
        for (int k = 0; k < 16; ++k)
            entries[k] = c.modelViewXform[k / 4][k % 4];
        result.set("modelView", typedArray("Float64Array", 16, entries, 8));
        for (int k = 0; k < 16; ++k)
            entries[k] = c.projectionXform[k / 4][k % 4];
        result.set("projection", typedArray("Float64Array", 16, entries, 8));
        result.set("near", c.nearPlaneDepth);
        result.set("far", c.farPlaneDepth);
        return result;
    }

    // View i's lines: {kinds: Uint32Array, starts: Uint32Array (one more than lines), points:
    // Float64Array (x, y of every point)}, all transferable.
    val lines(std::size_t i) const {
        const std::vector<KvHLR::StrokeLine>& lines = m_views.at(i).drawing.lines;
        std::vector<std::uint32_t> kinds, starts{0};
        std::vector<double> points;
        for (const KvHLR::StrokeLine& line : lines) {
            kinds.push_back(static_cast<std::uint32_t>(line.kind));
            for (const ON_2dPoint& p : line.points) {
                points.push_back(p.x);
                points.push_back(p.y);
            }
            starts.push_back(static_cast<std::uint32_t>(points.size() / 2));
        }
        val result = val::object();
        result.set("kinds", typedArray("Uint32Array", kinds.size(), kinds.data(), 4));
        result.set("starts", typedArray("Uint32Array", starts.size(), starts.data(), 4));
        result.set("points", typedArray("Float64Array", points.size(), points.data(), 8));
        return result;
    }

    val notes() const {
        val result = val::array();
        for (const SheetView& view : m_views)
            for (const std::string& note : view.drawing.notes)
                result.call<void>("push", val(note));
        return result;
    }

    // The page as SVG or DXF ("svg", "dxf"), or the JSON drawing file of the one view ("json"), as kvhlr
    // writes them: a page's lines in plotter order and the JSON file's in the library's unless the
    // order was chosen; hidden lines dashed by the pen unless cut into pieces.
    std::string write(const std::string& format) const {
        std::ostringstream out;
        if (format == "json") {
            checkJsonDrawing(m_views.size(), m_options);
            Drawing drawing = m_views.front().drawing;
            if (m_plotterOrder.value_or(false)) {
                const Box2 bounds = drawingBounds(drawing);
                orderForPlotter(drawing.lines, ON_2dPoint(bounds.minX, bounds.minY));
            }
            writeDrawingJson(out, drawing);
            return out.str();
        }
        if (format != "svg" && format != "dxf")
            throw InputError::ofParameter("format", "unknown format '" + format + "': name svg, dxf or json");
        Page page = layoutSheet(m_views, m_options);
        if (m_segments)
            cutDashes(page);
        if (m_plotterOrder.value_or(true))
            orderForPlotter(page);
        if (format == "svg")
            writeSvg(out, page);
        else
            writeDxf(out, page);
        return out.str();
    }

private:
    std::vector<SheetView> m_views;
    SheetOptions m_options;
    bool m_segments;
    std::optional<bool> m_plotterOrder; // by default plotter order for pages, the library's for JSON
};

// Draws the model as kvhlr draws it: every view planned, checked to fit the paper, drawn, the section
// marked. `progress(share)` is called from the drawing's loops; false cancels. The last view takes the
// model's parts rather than a copy: the model is spent.
Sheet drawSheet(Model& model, const val& camera, const val& options, const val& progress) {
    const ViewsChoice choice = viewsChoiceOf(camera, options, model.parts);
    DrawOptions draw = drawOptionsOf(options);
    const SheetOptions sheet = sheetOptionsOf(options, model, choice.camera.perspectiveFov.has_value());
    const std::string dashes = textOf(options, "dashes", "style");
    if (dashes != "style" && dashes != "segments")
        throw InputError::ofParameter("dashes", "unknown dashes '" + dashes + "': name style or segments");
    const std::string order = textOf(options, "order", "");
    if (!order.empty() && order != "plotter" && order != "library")
        throw InputError::ofParameter("order", "unknown order '" + order + "': name plotter or library");
    checkMemory(model.name, triangleCount(model.parts), 0.0);
    const std::vector<PlannedView> plan = planViews(choice, model.parts, "model");
    if (has(options, "paper") || has(options, "scale"))
        checkViewsFit(plan, choice, sheet, model.parts);
    std::vector<SheetView> views;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const double first = double(i) / double(plan.size()), share = 1.0 / double(plan.size());
        draw.progress = [&](double done) {
            return progress.isUndefined() || progress(first + share * done).as<bool>();
        };
        draw.section = plan[i].cut ? choice.section : std::nullopt;
        std::vector<MeshPart> parts = i + 1 < plan.size() ? model.parts : std::move(model.parts);
        views.push_back({plan[i].name, drawParts(std::move(parts), plan[i].camera, draw), {}, {}});
    }
    markPlannedSection(views, choice);
    return Sheet(std::move(views), sheet, dashes == "segments",
                 order.empty() ? std::nullopt : std::optional<bool>(order == "plotter"));
}

// Runs `work`, turning what it throws into a JavaScript Error once the C++ objects of the call are
// destroyed: a JavaScript exception thrown through C++ frames would skip their destructors.
template <class Work> auto guarded(Work&& work) -> decltype(work()) {
    val error = val::undefined();
    try {
        return work();
    } catch (const DrawingCancelled& e) {
        error = val::global("Error").new_(val(std::string(e.what())));
        error.set("name", val("AbortError"));
    } catch (const std::bad_alloc&) {
        error = val::global("Error").new_(val(std::string("the model needs more memory than the browser gives")));
    } catch (const std::exception& e) {
        error = val::global("Error").new_(val(std::string(e.what())));
    }
    error.throw_();
}

Model* readModelBound(val bytes, std::string name) {
    return guarded([&] { return new Model(readModelFile(bytes, name)); });
}
Model* meshModelBound(val meshes, std::string name) {
    return guarded([&] { return new Model(meshModel(meshes, name)); });
}
Sheet* drawBound(Model& model, val camera, val options, val progress) {
    return guarded([&] { return new Sheet(drawSheet(model, camera, options, progress)); });
}
std::string writeBound(const Sheet& sheet, std::string format) {
    return guarded([&] { return sheet.write(format); });
}
std::size_t triangleCountOf(const Model& model) {
    return triangleCount(model.parts);
}

} // namespace
} // namespace kvhlr::web

EMSCRIPTEN_BINDINGS(kelvar_hlr) {
    using namespace kvhlr::web;
    emscripten::class_<Model>("Model").function("triangleCount", &triangleCountOf);
    emscripten::class_<Sheet>("Sheet")
        .function("viewCount", &Sheet::viewCount)
        .function("viewName", &Sheet::viewName)
        .function("camera", &Sheet::camera)
        .function("lines", &Sheet::lines)
        .function("notes", &Sheet::notes);
    emscripten::function("readModel", &readModelBound, emscripten::allow_raw_pointers());
    emscripten::function("meshModel", &meshModelBound, emscripten::allow_raw_pointers());
    emscripten::function("draw", &drawBound, emscripten::allow_raw_pointers());
    emscripten::function("write", &writeBound);
}
