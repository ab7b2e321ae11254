// kelvar_hlr._core: triangle meshes held in numpy arrays drawn through the drawing kit, with the cameras,
// the mesh reading and the drawing files of the kvhlr tool. The package kelvar_hlr exports it.

#include "python/MeshArrays.h"

#include "kit/InputError.h"
#include "kit/camera/CameraChoice.h"
#include "kit/camera/CameraFile.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/mesh/DemoPart.h"
#include "kit/mesh/MeshFile.h"
#include "kit/output/AtomicFile.h"
#include "kit/output/DrawingFile.h"
#include "kit/sheet/PenOrder.h"
#include "kit/sheet/Sheet.h"
#include "kit/sheet/SheetViews.h"
#include "kit/sheet/Style.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kvhlr::python {
namespace {

using namespace py::literals;
using Camera = KvHLR::ViewInfoCriteria;
using Path = std::filesystem::path;

// A file that cannot be read or written, or whose content is not understood. Python callers expect an
// OSError from a file, as from the interpreter's own file functions; other input errors are ValueErrors.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

template <class Call> auto fileCall(Call call) {
    try {
        return call();
    } catch (const InputError& error) {
        throw FileError(error.what());
    }
}

// ---- Camera

py::array_t<double> matrixArray(const ON_Xform& xform) {
    py::array_t<double> matrix({4, 4});
    auto entries = matrix.mutable_unchecked<2>();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            entries(r, c) = xform[r][c];
    return matrix;
}

ON_Xform xformOf(py::handle object, const char* name) {
    const py::array_t<double, py::array::forcecast> matrix(py::reinterpret_borrow<py::object>(object));
    if (matrix.ndim() != 2 || matrix.shape(0) != 4 || matrix.shape(1) != 4)
        throw py::value_error(std::string(name) + " must be a 4x4 matrix");
    ON_Xform xform;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!std::isfinite(xform[r][c] = matrix.at(r, c)))
                throw py::value_error(std::string(name) + " must hold finite numbers");
    return xform;
}

Camera cameraOf(py::handle modelView, py::handle projection, double near, double far) {
    Camera camera;
    camera.modelViewXform = xformOf(modelView, "model_view");
    camera.projectionXform = xformOf(projection, "projection");
    camera.nearPlaneDepth = near;
    camera.farPlaneDepth = far;
    checkCamera(camera, {}, "camera"); // as kvhlr checks a camera file: no model yet
    return camera;
}

// Two rows are the minimum and maximum corners of a box, which the camera sees as its eight corners;
// any other number of rows are the model's vertices.
std::vector<MeshPart> boundsParts(py::handle bounds) {
    std::vector<MeshPart> parts(1);
    Kv::KvPointList& points = parts[0].points;
    points = pointsOf(bounds, "bounds");
    for (const ON_3dPoint& p : points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            throw py::value_error("bounds must hold finite numbers");
    if (points.size() == 2) {
        const ON_3dPoint lo = points[0], hi = points[1];
        points.clear();
        for (int corner = 0; corner < 8; ++corner)
            points.emplace_back(corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z);
    }
    return parts;
}

Camera namedView(const std::string& name, py::handle bounds, const std::string& upAxis,
                 std::optional<double> perspective, double fill) {
    CameraChoice choice;
    choice.view = name;
    choice.upAxis = upAxisNamed(upAxis);
    choice.perspectiveFov = perspective;
    choice.fill = fill;
    return placeCamera(choice, boundsParts(bounds));
}

// As gluLookAt places it, unless `fit`: then looking the same way, fitted to the model.
Camera lookAt(const std::array<double, 3>& eye, const std::array<double, 3>& target,
              const std::array<double, 3>& up, py::handle bounds, std::optional<double> perspective,
              double fill, bool fit) {
    CameraChoice choice;
    choice.eye = ON_3dPoint(eye[0], eye[1], eye[2]);
    choice.target = ON_3dPoint(target[0], target[1], target[2]);
    choice.up = ON_3dVector(up[0], up[1], up[2]);
    choice.perspectiveFov = perspective;
    choice.fill = fill;
    choice.fitEye = fit;
    return placeCamera(choice, boundsParts(bounds));
}

std::string cameraRepr(const Camera& camera) {
    const bool perspective = camera.projectionXform[3][2] != 0.0;
    return py::str("<Camera {}, near={!r}, far={!r}>")
        .format(perspective ? "perspective" : "orthographic", camera.nearPlaneDepth, camera.farPlaneDepth);
}

// ---- Section planes

SectionPlane planeOf(const std::array<double, 3>& point, const std::array<double, 3>& normal) {
    SectionChoice choice;
    choice.point = ON_3dPoint(point[0], point[1], point[2]);
    choice.normal = ON_3dVector(normal[0], normal[1], normal[2]);
    try {
        checkSectionChoice(choice);
    } catch (const InputError& error) {
        throw py::value_error((error.parameter() == "section_point" ? "point: " : "normal: ") + error.reason());
    }
    return {*choice.point, *choice.normal};
}

// The model a plane is placed on: its centre and floor place named planes and plans, so it cannot be empty.
std::vector<MeshPart> planeBounds(py::handle bounds) {
    std::vector<MeshPart> parts = boundsParts(bounds);
    if (parts[0].points.empty())
        throw py::value_error("bounds: no points to place the plane on");
    return parts;
}

SectionPlane namedPlane(const std::string& name, py::handle bounds, const std::string& upAxis) {
    try {
        return sectionPlane({name, {}, {}, {}}, upAxisNamed(upAxis), planeBounds(bounds));
    } catch (const InputError& error) {
        throw py::value_error((error.parameter() == "up_axis" ? "up_axis: " : "name: ") + error.reason());
    }
}

SectionPlane planPlane(double height, py::handle bounds, const std::string& upAxis) {
    return sectionPlane({"", {}, {}, height}, upAxisNamed(upAxis), planeBounds(bounds));
}

Camera sectionCamera(const SectionPlane& plane, py::handle bounds, const std::string& upAxis) {
    CameraRequest request;
    request.direction = sectionViewDirection(plane, upAxisNamed(upAxis));
    return fitCamera(request, boundsParts(bounds));
}

// ---- Drawing

// Shared and never changed, so that the arrays of its lines view its points instead of copying them,
// and stay valid after the Drawing and Line objects are gone.
using SharedDrawing = std::shared_ptr<const Drawing>;

struct Line {
    SharedDrawing drawing;
    std::size_t index;

    const KvHLR::StrokeLine& stroke() const { return drawing->lines[index]; }
};

// What a drawing was made from, for the other views of a sheet: the caller's arrays (not copied) and
// the options.
struct Source {
    py::object vertices;
    py::object triangles;
    // A model read from a file (load_model): its parts, drawn as kvhlr draws them; vertices and
    // triangles are then unused.
    std::shared_ptr<const std::vector<MeshPart>> parts;
    DrawOptions options; // without a progress hook
    bool weld = true;
};

struct PyDrawing {
    SharedDrawing drawing;
    std::shared_ptr<const Source> source;
    py::object lines; // every Line, made when first asked for
};

py::array pointsView(const Line& line) {
    static_assert(sizeof(ON_2dPoint) == 2 * sizeof(double), "points are viewed as rows of two doubles");
    const std::vector<ON_2dPoint>& points = line.stroke().points;
    const py::capsule owner(new SharedDrawing(line.drawing),
                            [](void* drawing) { delete static_cast<SharedDrawing*>(drawing); });
    const auto size = static_cast<py::ssize_t>(sizeof(double));
    py::array_t<double> view({static_cast<py::ssize_t>(points.size()), py::ssize_t{2}}, {2 * size, size},
                             &points.data()->x, owner);
    view.attr("flags").attr("writeable") = false;
    return view;
}

// A new list each time, so that a caller who changes it changes no other caller's.
py::list linesOf(PyDrawing& drawing) {
    if (!drawing.lines) {
        py::list lines;
        for (std::size_t i = 0; i < drawing.drawing->lines.size(); ++i)
            lines.append(Line{drawing.drawing, i});
        drawing.lines = std::move(lines);
    }
    return drawing.lines.attr("copy")();
}

Line lineAt(const PyDrawing& drawing, py::ssize_t index) {
    const auto count = static_cast<py::ssize_t>(drawing.drawing->lines.size());
    if (index < -count || index >= count)
        throw py::index_error("line index " + std::to_string(index) + " out of range for " +
                              std::to_string(count) + " lines");
    return Line{drawing.drawing, static_cast<std::size_t>(index < 0 ? index + count : index)};
}

// Lines made one at a time as the iteration goes.
struct LineIterator {
    SharedDrawing drawing;
    std::size_t index;

    Line operator*() const { return Line{drawing, index}; }
    LineIterator& operator++() {
        ++index;
        return *this;
    }
    bool operator==(const LineIterator& other) const { return index == other.index; }
};

// ---- the drawing as arrays: every point in one array, the lines as offsets into it

py::array_t<double> allPoints(const Drawing& drawing) {
    std::size_t count = 0;
    for (const KvHLR::StrokeLine& line : drawing.lines)
        count += line.points.size();
    py::array_t<double> points({static_cast<py::ssize_t>(count), py::ssize_t{2}});
    double* out = points.mutable_data();
    for (const KvHLR::StrokeLine& line : drawing.lines)
        for (const ON_2dPoint& p : line.points) {
            *out++ = p.x;
            *out++ = p.y;
        }
    return points;
}

py::array_t<std::int64_t> lineOffsets(const Drawing& drawing) {
    py::array_t<std::int64_t> offsets(static_cast<py::ssize_t>(drawing.lines.size() + 1));
    std::int64_t* out = offsets.mutable_data();
    *out = 0;
    for (const KvHLR::StrokeLine& line : drawing.lines) {
        out[1] = out[0] + static_cast<std::int64_t>(line.points.size());
        ++out;
    }
    return offsets;
}

py::array_t<std::int32_t> lineKinds(const Drawing& drawing) {
    py::array_t<std::int32_t> kinds(static_cast<py::ssize_t>(drawing.lines.size()));
    std::int32_t* out = kinds.mutable_data();
    for (const KvHLR::StrokeLine& line : drawing.lines)
        *out++ = line.kind;
    return kinds;
}

// The inverse of the three arrays, for unpickling: checked, since a pickle may come from anywhere.
Drawing drawingOf(const Camera& camera, py::handle pointsObject, py::handle offsetsObject,
                  py::handle kindsObject) {
    const auto points = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(pointsObject);
    const auto offsets =
        py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(offsetsObject);
    const auto kinds =
        py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>::ensure(kindsObject);
    if (!points || !offsets || !kinds || points.ndim() != 2 || points.shape(1) != 2 || offsets.ndim() != 1 ||
        kinds.ndim() != 1 || offsets.shape(0) != kinds.shape(0) + 1)
        throw py::value_error("not the state of a Drawing");
    Drawing drawing;
    drawing.camera = camera;
    const std::int64_t* offset = offsets.data();
    if (offset[0] != 0 || offset[kinds.shape(0)] != points.shape(0))
        throw py::value_error("not the state of a Drawing");
    for (py::ssize_t i = 0; i < kinds.shape(0); ++i) {
        if (offset[i + 1] < offset[i])
            throw py::value_error("not the state of a Drawing");
        KvHLR::StrokeLine& line = drawing.lines.emplace_back();
        line.kind = kinds.data()[i];
        for (std::int64_t p = offset[i]; p < offset[i + 1]; ++p)
            line.points.emplace_back(points.data()[2 * p], points.data()[2 * p + 1]);
    }
    return drawing;
}

// ---- the interpreter while the kit works

// How often a long call that has given up the interpreter takes it back (to run the signal handlers
// and the progress callback): often enough for Ctrl-C and a cancel button, rarely enough not to slow
// the work or the other threads.
class Every50ms {
public:
    // True when 50 ms have passed since it was last true (or since the start).
    bool due() {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < std::chrono::milliseconds(50))
            return false;
        m_last = now;
        return true;
    }

private:
    std::chrono::steady_clock::time_point m_last;
};

// The progress hook of a kit step that has given up the interpreter (laying out a page, plotter order,
// writing): it runs the signal handlers every 50 ms, and a handler that raised (Ctrl-C) stops the
// step with its exception, which the call raises again.
std::function<void(double)> stopOnSignal() {
    return [due = Every50ms()](double) mutable {
        if (!due.due())
            return;
        const py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0)
            throw py::error_already_set();
    };
}

// ---- sheets: the kit's pages, papers, scales, styles and plotter order, as kvhlr draws them

// The keywords of save, to_svg and to_dxf.
struct SheetChoices {
    SheetOptions sheet;
    std::vector<std::string> views; // empty: the drawing itself
    UpAxis upAxis = UpAxis::Y;
    std::optional<bool> plotterOrder; // default: plotter order, the library's for JSON
    HiddenDashes dashes = HiddenDashes::Style;
    std::vector<std::string> given; // the keywords given, for warnings of those that change nothing
};

template <class Value> Value keyword(py::handle value, const char* name) {
    try {
        return value.cast<Value>();
    } catch (const py::cast_error&) {
        throw py::type_error(std::string(name) + " has the wrong type: " +
                             std::string(py::str(py::type::of(value).attr("__name__"))));
    }
}

std::string oneOf(py::handle value, const char* name, std::initializer_list<const char*> choices) {
    const auto text = keyword<std::string>(value, name);
    std::string names;
    for (const char* choice : choices) {
        if (text == choice)
            return text;
        names += std::string(names.empty() ? "" : ", ") + choice;
    }
    throw py::value_error(std::string(name) + " must be one of " + names + ", not '" + text + "'");
}

// A style's name, or the path of a style file.
Style styleOf(const std::string& style) {
    for (const std::string& name : styleNames())
        if (style == name)
            return namedStyle(name);
    return fileCall([&] { return readStyleFile(style); });
}

void applySheetChoice(SheetChoices& choices, const std::string& name, py::handle value) {
    SheetOptions& sheet = choices.sheet;
    if (name == "paper")
        sheet.paper = paperNamed(keyword<std::string>(value, "paper"));
    else if (name == "scale")
        sheet.scale =
            parseScale(py::isinstance<py::str>(value)
                           ? value.cast<std::string>()
                           : py::str(py::float_(keyword<double>(value, "scale"))).cast<std::string>());
    else if (name == "views")
        choices.views = keyword<std::vector<std::string>>(value, "views");
    else if (name == "style")
        sheet.style = styleOf(keyword<std::string>(value, "style"));
    else if (name == "order")
        choices.plotterOrder = oneOf(value, "order", {"plotter", "library"}) == "plotter";
    else if (name == "dashes")
        choices.dashes = oneOf(value, "dashes", {"style", "segments"}) == "segments" ? HiddenDashes::Segments
                                                                                     : HiddenDashes::Style;
    else if (name == "up_axis")
        choices.upAxis = upAxisNamed(keyword<std::string>(value, "up_axis"));
    else if (name == "projection")
        sheet.projection =
            oneOf(value, "projection", {"third", "first"}) == "first" ? Projection::First : Projection::Third;
    else if (name == "orientation") {
        const std::string orientation = oneOf(value, "orientation", {"auto", "portrait", "landscape"});
        sheet.orientation = orientation == "portrait"    ? Orientation::Portrait
                            : orientation == "landscape" ? Orientation::Landscape
                                                         : Orientation::Auto;
    } else if (name == "title")
        sheet.title = keyword<bool>(value, "title");
    else if (name == "name")
        sheet.modelName = keyword<std::string>(value, "name");
    else
        throw py::type_error("unexpected keyword argument '" + name + "'");
}

SheetChoices sheetChoices(const py::kwargs& options) {
    SheetChoices choices;
    choices.sheet.date =
        py::str(py::module_::import("datetime").attr("date").attr("today")().attr("isoformat")());
    for (const auto& [key, value] : options) {
        const auto name = key.cast<std::string>();
        if (value.is_none())
            continue;
        try {
            applySheetChoice(choices, name, value);
        } catch (const InputError& error) {
            throw py::value_error(name + ": " + error.reason());
        }
        choices.given.push_back(name);
    }
    return choices;
}

// A UserWarning for each option given that changes nothing here, as kvhlr warns of its options.
void warnOfIdle(const std::vector<std::string>& given, const SheetOptions& sheet, const RunShape& run) {
    for (const IdleOption& idle : idleOptions(sheet, run))
        if (std::find(given.begin(), given.end(), idle.parameter) != given.end()) {
            const std::string warning = idle.parameter + std::string(" has no effect here: ") + idle.why;
            if (PyErr_WarnEx(PyExc_UserWarning, warning.c_str(), 2) != 0)
                throw py::error_already_set();
        }
}

// What a source draws: meshes, or a model read from a mesh file or a CAD file.
RunShape runOf(const Source& source) {
    RunShape run;
    run.section = source.options.section.has_value();
    if (source.parts) {
        run.cadInputs = std::any_of(source.parts->begin(), source.parts->end(),
                                    [](const MeshPart& part) { return part.brepFaces; });
        run.meshInputs = !std::all_of(source.parts->begin(), source.parts->end(),
                                      [](const MeshPart& part) { return part.brepFaces; });
    }
    return run;
}

void warnOfIdle(const PyDrawing& drawing, const SheetChoices& choices, bool json) {
    RunShape run = runOf(*drawing.source);
    run.viewCount = std::max<std::size_t>(1, choices.views.size());
    run.json = json;
    warnOfIdle(choices.given, choices.sheet, run);
}

bool isPerspective(const Camera& camera) {
    return camera.projectionXform[3][2] != 0.0;
}

Drawing drawSource(const Source& source, const Camera& camera, const py::object& progress, bool cut = true);

// The views of the sheet: the drawing itself, or each named view drawn again from the drawing's mesh
// with an orthographic camera fitted to the whole model, as kvhlr draws --views.
std::vector<SheetView> sheetViews(const PyDrawing& drawing, const SheetChoices& choices) {
    if (choices.views.empty())
        return {{"", *drawing.drawing, {}, {}}};
    ViewsChoice choice;
    choice.views = choices.views;
    choice.camera.upAxis = choices.upAxis;
    choice.section = drawing.source->options.section;
    const std::vector<MeshPart> bounds =
        drawing.source->parts ? std::vector<MeshPart>() : boundsParts(drawing.source->vertices);
    const std::vector<MeshPart>& parts = drawing.source->parts ? *drawing.source->parts : bounds;
    std::vector<PlannedView> plan;
    try {
        plan = planViews(choice, parts, "model");
    } catch (const InputError& error) {
        if (error.parameter() != "view")
            throw;
        throw py::value_error("views: " + error.reason());
    }
    std::vector<SheetView> views;
    for (const PlannedView& view : plan)
        views.push_back({view.name, drawSource(*drawing.source, view.camera, py::none(), view.cut), {}, {}});
    markPlannedSection(views, choice);
    return views;
}

Page pageOf(const PyDrawing& drawing, const SheetChoices& choices) {
    SheetOptions sheet = choices.sheet;
    sheet.trueScale = !choices.views.empty() || !isPerspective(drawing.drawing->camera);
    checkSheetScale(sheet);
    const std::vector<SheetView> views = sheetViews(drawing, choices);
    const py::gil_scoped_release release;
    Page page = layoutSheet(views, sheet);
    finishPage(page, choices.dashes, choices.plotterOrder.value_or(true), stopOnSignal());
    return page;
}

void save(const PyDrawing& drawing, const Path& path, const py::kwargs& options) {
    const std::string name = path.string();
    const OutputFormat format =
        formatOf(name); // an unknown extension is a ValueError, not a file that failed
    const SheetChoices choices = sheetChoices(options);
    warnOfIdle(drawing, choices, format == OutputFormat::Json);
    std::vector<Page> pages;
    std::optional<Drawing> json; // the view asked for, or the drawing in plotter order
    if (format != OutputFormat::Json) {
        pages.push_back(pageOf(drawing, choices));
    } else {
        try {
            checkJsonDrawing(choices.views.size(), choices.sheet);
        } catch (const InputError& error) {
            throw py::value_error("path: " + error.reason());
        }
        if (!choices.views.empty())
            json = std::move(sheetViews(drawing, choices).front().drawing);
    }
    const py::gil_scoped_release release;
    if (format == OutputFormat::Json && choices.plotterOrder.value_or(false)) {
        if (!json)
            json = *drawing.drawing;
        const Box2 bounds = drawingBounds(*json);
        orderForPlotter(json->lines, ON_2dPoint(bounds.minX, bounds.minY), stopOnSignal());
    }
    fileCall([&] { saveDrawingFile(name, format, json ? *json : *drawing.drawing, pages, stopOnSignal()); });
}

std::string pageText(const PyDrawing& drawing, OutputFormat format, const py::kwargs& options) {
    const SheetChoices choices = sheetChoices(options);
    warnOfIdle(drawing, choices, false);
    const Page page = pageOf(drawing, choices);
    std::ostringstream text;
    const py::gil_scoped_release release;
    writeDrawingFile(text, format, *drawing.drawing, {page}, "", stopOnSignal());
    return text.str();
}

// ---- draw

// Set while this thread draws: a progress callback that draws again would wait for itself forever.
thread_local bool t_drawing = false;

// The kit's progress hook, in the drawing's thread, which has given up the interpreter. The kit calls it
// whenever the share grows and otherwise about every 20 ms, whatever the stage; the interpreter is
// taken back when the share changes or 50 ms have passed: often enough for Ctrl-C and a cancel button,
// rarely enough not to slow the drawing or the other threads. A pending Ctrl-C (or any signal whose
// handler raises) cancels the drawing even without a callback; the exception raised by the handler or
// by the callback goes through the library and is raised again by draw.
class ProgressHook {
public:
    explicit ProgressHook(const py::object& callback) : m_callback(callback) {}

    bool operator()(double share) {
        if (!m_due.due() && share == m_share)
            return true;
        m_share = share;
        const py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0)
            throw py::error_already_set();
        return m_callback.is_none() || !py::bool_(m_callback(share));
    }

private:
    const py::object& m_callback;
    double m_share = -1.0;
    Every50ms m_due;
};

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

// `cut`: with the source's section, if it has one.
Drawing drawSource(const Source& source, const Camera& camera, const py::object& progress, bool cut) {
    if (t_drawing)
        throw std::runtime_error("draw cannot be called from its own progress callback");
    DrawOptions options = source.options;
    if (!cut)
        options.section.reset();
    options.progress = ProgressHook(progress);
    struct ThisThreadDraws {
        ThisThreadDraws() { t_drawing = true; }
        ~ThisThreadDraws() { t_drawing = false; }
    };
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
    if (source.weld)
        weldMesh(polygon, poll);
    checkModel(camera, polygon);
    poll();
    return drawMesh(std::move(polygon), camera, options);
}

// Draws the source with the options, which it takes.
PyDrawing drawWith(std::shared_ptr<Source> source, const Camera& camera, bool hidden, bool silhouettes,
                   bool sharp, double sharpAngle, bool exact, bool intersections,
                   const std::optional<SectionPlane>& section, double hatchSpacing, double hatchAngle,
                   const py::object& progress) {
    DrawOptions& options = source->options;
    options.hidden = hidden;
    options.silhouettes = silhouettes;
    options.sharp = sharp;
    options.sharpAngle = sharpAngle;
    options.exact = exact;
    options.intersections = intersections;
    options.section = section;
    options.hatching = {hatchSpacing, hatchAngle};
    // The options given (other than their defaults) that this drawing does not use.
    const HatchStyle hatching;
    std::vector<std::string> given;
    if (hatchSpacing != hatching.spacing)
        given.emplace_back("hatch_spacing");
    if (hatchAngle != hatching.angleDegrees)
        given.emplace_back("hatch_angle");
    if (sharpAngle != DrawOptions().sharpAngle)
        given.emplace_back("sharp_angle");
    if (options.tangentEdges)
        given.emplace_back("tangent_edges");
    warnOfIdle(given, {}, runOf(*source));
    auto drawing = std::make_shared<const Drawing>(drawSource(*source, camera, progress));
    for (const std::string& note : drawing->notes)
        if (PyErr_WarnEx(PyExc_UserWarning, note.c_str(), 1) != 0)
            throw py::error_already_set();
    return PyDrawing{std::move(drawing), std::move(source), {}};
}

PyDrawing draw(py::object vertices, py::object triangles, const Camera& camera, bool weld, bool hidden,
               bool silhouettes, bool sharp, double sharpAngle, bool exact, bool intersections,
               const std::optional<SectionPlane>& section, double hatchSpacing, double hatchAngle,
               const py::object& progress) {
    auto source = std::make_shared<Source>();
    source->vertices = std::move(vertices);
    source->triangles = std::move(triangles);
    source->weld = weld;
    return drawWith(std::move(source), camera, hidden, silhouettes, sharp, sharpAngle, exact, intersections,
                    section, hatchSpacing, hatchAngle, progress);
}

// A model read from a file, whole: its parts as the kit reads them.
struct Model {
    std::shared_ptr<const std::vector<MeshPart>> parts;
};

PyDrawing drawModel(const Model& model, const Camera& camera, bool hidden, bool silhouettes, bool sharp,
                    double sharpAngle, bool exact, bool intersections, const std::optional<SectionPlane>& section,
                    double hatchSpacing, double hatchAngle, const py::object& progress, bool tangentEdges,
                    bool partLayers) {
    auto source = std::make_shared<Source>();
    source->parts = model.parts;
    source->options.tangentEdges = tangentEdges;
    source->options.partLayers = partLayers;
    return drawWith(std::move(source), camera, hidden, silhouettes, sharp, sharpAngle, exact, intersections,
                    section, hatchSpacing, hatchAngle, progress);
}

PyDrawing drawObject(py::handle mesh, const Camera& camera, bool weld, bool hidden, bool silhouettes,
                     bool sharp, double sharpAngle, bool exact, bool intersections,
                     const std::optional<SectionPlane>& section, double hatchSpacing, double hatchAngle,
                     const py::object& progress) {
    auto [vertices, triangles] = meshArraysOf(mesh);
    return draw(std::move(vertices), std::move(triangles), camera, weld, hidden, silhouettes, sharp,
                sharpAngle, exact, intersections, section, hatchSpacing, hatchAngle, progress);
}

// ---- pickles: everything a drawing carries, the mesh or model it was drawn from and its options
// included, so that an unpickled drawing saves the same files and sheets. Checked on the way back in,
// since a pickle may come from anywhere.

py::list partsState(const std::vector<MeshPart>& parts) {
    py::list states;
    for (const MeshPart& part : parts) {
        py::list faces, tangentEdges;
        for (const Kv::KvTriangleList& face : part.faces)
            faces.append(trianglesArray(face));
        for (const Kv::KvPointList& edge : part.tangentEdges)
            tangentEdges.append(pointsArray(edge));
        states.append(py::make_tuple(pointsArray(part.points), faces, part.body, part.brepFaces, tangentEdges,
                                     part.partName, part.instanceName));
    }
    return states;
}

std::vector<MeshPart> partsOf(py::handle states) {
    std::vector<MeshPart> parts;
    for (const py::handle object : py::cast<py::list>(states)) {
        const auto state = py::cast<py::tuple>(object);
        if (state.size() != 7)
            throw py::value_error("not the state of a model's part");
        MeshPart& part = parts.emplace_back();
        part.points = pointsOf(state[0], "part points");
        for (const py::handle face : py::cast<py::list>(state[1]))
            part.faces.push_back(trianglesOf(face, part.points.size(), "part faces"));
        part.body = state[2].cast<bool>();
        part.brepFaces = state[3].cast<bool>();
        for (const py::handle edge : py::cast<py::list>(state[4]))
            part.tangentEdges.push_back(pointsOf(edge, "tangent edges"));
        part.partName = state[5].cast<std::string>();
        part.instanceName = state[6].cast<std::string>();
    }
    return parts;
}

// The source as draw's keywords, and its mesh: the arrays, or the model's parts.
py::tuple sourceState(const Source& source) {
    const DrawOptions& o = source.options;
    const py::dict options("weld"_a = source.weld, "hidden"_a = o.hidden, "silhouettes"_a = o.silhouettes,
                           "sharp"_a = o.sharp, "sharp_angle"_a = o.sharpAngle, "exact"_a = o.exact,
                           "intersections"_a = o.intersections, "section"_a = o.section,
                           "hatch_spacing"_a = o.hatching.spacing, "hatch_angle"_a = o.hatching.angleDegrees,
                           "tangent_edges"_a = o.tangentEdges, "part_layers"_a = o.partLayers);
    if (source.parts)
        return py::make_tuple(py::none(), py::none(), partsState(*source.parts), options);
    const py::module_ numpy = py::module_::import("numpy");
    return py::make_tuple(numpy.attr("asarray")(source.vertices), numpy.attr("asarray")(source.triangles),
                          py::none(), options);
}

std::shared_ptr<const Source> sourceOf(const py::tuple& state) {
    if (state.size() != 4)
        throw py::value_error("not the state of a Drawing");
    auto source = std::make_shared<Source>();
    const auto options = py::cast<py::dict>(state[3]);
    DrawOptions& o = source->options;
    source->weld = options["weld"].cast<bool>();
    o.hidden = options["hidden"].cast<bool>();
    o.silhouettes = options["silhouettes"].cast<bool>();
    o.sharp = options["sharp"].cast<bool>();
    o.sharpAngle = options["sharp_angle"].cast<double>();
    o.exact = options["exact"].cast<bool>();
    o.intersections = options["intersections"].cast<bool>();
    o.section = options["section"].cast<std::optional<SectionPlane>>();
    o.hatching = {options["hatch_spacing"].cast<double>(), options["hatch_angle"].cast<double>()};
    o.tangentEdges = options["tangent_edges"].cast<bool>();
    o.partLayers = options["part_layers"].cast<bool>();
    checkDrawOptions(o);
    if (!state[2].is_none()) {
        source->parts = std::make_shared<const std::vector<MeshPart>>(partsOf(state[2]));
    } else {
        polygonOf(state[0], state[1]); // refuses arrays that could not be drawn
        source->vertices = state[0];
        source->triangles = state[1];
    }
    return source;
}

py::tuple drawingState(const PyDrawing& d) {
    const Drawing& drawing = *d.drawing;
    const py::array_t<std::uint32_t> lineParts(static_cast<py::ssize_t>(drawing.lineParts.size()),
                                               drawing.lineParts.data());
    return py::make_tuple(drawing.camera, allPoints(drawing), lineOffsets(drawing), lineKinds(drawing),
                          drawing.notes, lineParts, drawing.partNames,
                          sourceState(*d.source));
}

PyDrawing drawingFromState(const py::tuple& state) {
    if (state.size() != 8)
        throw py::value_error("not the state of a Drawing");
    try {
        Drawing drawing = drawingOf(state[0].cast<Camera>(), state[1], state[2], state[3]);
        drawing.notes = state[4].cast<std::vector<std::string>>();
        drawing.lineParts = state[5].cast<std::vector<std::uint32_t>>();
        drawing.partNames = state[6].cast<std::vector<std::string>>();
        if (!(drawing.lineParts.empty() || drawing.lineParts.size() == drawing.lines.size()) ||
            std::any_of(drawing.lineParts.begin(), drawing.lineParts.end(),
                        [&](std::uint32_t part) { return part >= drawing.partNames.size(); }))
            throw py::value_error("not the state of a Drawing");
        return PyDrawing{std::make_shared<const Drawing>(std::move(drawing)), sourceOf(py::cast<py::tuple>(state[7])),
                         {}};
    } catch (const py::cast_error&) {
        throw py::value_error("not the state of a Drawing");
    }
}

// ---- mesh files

// Ctrl-C while a file is read: the reading's progress hook takes the interpreter back every 50 ms to
// run the signal handlers, and stops the reading when one raised. The import library may catch the
// exception on its way out, so the interrupt is raised again once the reading has ended, whatever it
// threw then.
class ReadingStopped : public std::exception {};

std::vector<MeshPart> readParts(const Path& path) {
    bool interrupted = false;
    std::vector<MeshPart> parts;
    // A CAD file's warnings (faces left out) wait for the interpreter, and are then issued as warnings.
    std::vector<std::string> warnings;
    CadReading cad;
    cad.warning = [&](const std::string& message) { warnings.push_back(message); };
    try {
        const py::gil_scoped_release release;
        Every50ms due;
        parts = fileCall([&] {
            return readMeshFile(path.string(), false, [&](double) {
                if (!due.due())
                    return;
                const py::gil_scoped_acquire gil;
                if (PyErr_CheckSignals() != 0) {
                    interrupted = true;
                    throw ReadingStopped();
                }
            }, cad);
        });
    } catch (...) {
        if (!interrupted)
            throw;
    }
    if (interrupted)
        throw py::error_already_set(); // the pending exception of the signal handler
    for (const std::string& warning : warnings)
        if (PyErr_WarnEx(PyExc_UserWarning, warning.c_str(), 1) != 0)
            throw py::error_already_set();
    return parts;
}

} // namespace
} // namespace kvhlr::python

using namespace kvhlr;
using namespace kvhlr::python;

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
        .def_static("view", &namedView, "name"_a, "bounds"_a, "up_axis"_a = "y", "perspective"_a = py::none(),
                    "fill"_a = 0.95,
                    "The camera of a named view (see views()), fitted as kvhlr fits it: centred on the "
                    "model, which fills `fill` of the frame. `bounds` holds the model's vertices (N, 3), "
                    "or the minimum and maximum corners of its box (2, 3). `up_axis` is the model's "
                    "vertical, 'y' or 'z'; `perspective` the field of view in degrees, or None for an "
                    "orthographic camera.")
        .def_static("look_at", &lookAt, "eye"_a, "target"_a, "up"_a, "bounds"_a, "perspective"_a = py::none(),
                    "fill"_a = 0.95, "fit"_a = false,
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
        .def_static("named", &namedPlane, "name"_a, "bounds"_a, "up_axis"_a = "y",
                    "The plane kvhlr --section names: 'x=1.5', 'y=0', 'z=-2' across that axis, or 'front', "
                    "'back', 'left', 'right', 'top', 'bottom' through the centre of the model (`bounds`, as "
                    "in Camera.view), facing that view.")
        .def_static("plan", &planPlane, "height"_a, "bounds"_a, "up_axis"_a = "y",
                    "A plan's plane (kvhlr --plan): horizontal, `height` above the model's floor.")
        .def("camera", &sectionCamera, "bounds"_a, "up_axis"_a = "y",
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
        .value("VISIBLE_TANGENT", kvhlr::VisibleTangent);

    py::class_<Line>(m, "Line", "One polyline of a drawing.")
        .def_property_readonly("points", &pointsView,
                               "The points in the drawing plane, in world length units: a read-only "
                               "(N, 2) float64 array that views the drawing.")
        .def_property_readonly(
            "kind", [](const Line& line) { return static_cast<kvhlr::LineKind>(line.stroke().kind); },
            "The Kind: 0 visible silhouette, 1 hidden, 2 visible concave sharp edge, 3 visible convex "
            "sharp edge, 5 other visible line, 6 visible intersection line, 7 a section's outline, 8 its "
            "hatching, 9 a visible tangent edge.")
        .def("__repr__", [](const Line& line) {
            return py::str("<Line kind={}, {} points>")
                .format(line.stroke().kind, line.stroke().points.size());
        });

    const char* const sheetKeywords =
        "Keywords, as kvhlr's options: paper ('A4', 'A3', 'A2', 'A1', 'A0', 'letter', 'tabloid'), scale "
        "('1:2', '2:1' or a number; model units taken as millimetres), views (a list of named views, "
        "each drawn again from the drawing's mesh with an orthographic camera fitted to the model and "
        "laid out as projection ('third' or 'first') places them), up_axis ('y' or 'z', for views), "
        "orientation ('auto', 'portrait', 'landscape'), title (frame and title block on a paper or at a "
        "scale), name (the model's name in the title block), style ('classic', 'drafting' or a style "
        "file), order ('plotter', the default, or 'library'; JSON keeps the library's order unless "
        "asked), dashes ('style' or 'segments': dashes cut into pieces). Raises ValueError for what kvhlr "
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
            "parts",
            [](const PyDrawing& d) {
                std::vector<std::string> parts;
                for (const std::uint32_t part : d.drawing->lineParts)
                    parts.push_back(d.drawing->partNames[part]);
                return parts;
            },
            "The part of each line by its name, for a Model drawn with part_layers; else empty.")
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
        .def("__getitem__", &lineAt, "index"_a, "The line at `index` (negative counts from the end).")
        .def(
            "__iter__",
            [](const PyDrawing& d) {
                return py::make_iterator<py::return_value_policy::move>(
                    LineIterator{d.drawing, 0}, LineIterator{d.drawing, d.drawing->lines.size()});
            },
            "The lines in order, each made as the iteration reaches it.")
        .def(
            "__repr__",
            [](const PyDrawing& d) { return py::str("<Drawing: {} lines>").format(d.drawing->lines.size()); })
        .def(py::pickle(&drawingState, &drawingFromState));

    const auto drawOptions = std::make_tuple(
        py::kw_only(), "weld"_a = true, "hidden"_a = false, "silhouettes"_a = true, "sharp"_a = true,
        "sharp_angle"_a = 135.0, "exact"_a = true, "intersections"_a = true, "section"_a = py::none(),
        "hatch_spacing"_a = 0.0, "hatch_angle"_a = 45.0, "progress"_a = py::none());
    const std::string drawDoc =
        "weld: join vertices at exactly the same position first, as kvhlr does when it reads a mesh "
        "file, so that a triangle soup (STL, numpy-stl, many exporters) has shared edges; False for a "
        "mesh whose triangles already share their vertices. hidden: also draw hidden lines. "
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
        "Raises ValueError for arrays of the wrong shape or dtype, indices out of range, vertices that "
        "are not finite or lie behind the camera's eye.";
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
        .def("__repr__",
             [](const Model& model) { return py::str("<Model: {} parts>").format(model.parts->size()); })
        .def(py::pickle([](const Model& model) { return py::make_tuple(partsState(*model.parts)); },
                        [](const py::tuple& state) {
                            if (state.size() != 1)
                                throw py::value_error("not the state of a Model");
                            return Model{std::make_shared<const std::vector<MeshPart>>(partsOf(state[0]))};
                        }));

    const auto modelOptions = std::make_tuple(
        py::kw_only(), "hidden"_a = false, "silhouettes"_a = true, "sharp"_a = true, "sharp_angle"_a = 135.0,
        "exact"_a = true, "intersections"_a = true, "section"_a = py::none(), "hatch_spacing"_a = 0.0,
        "hatch_angle"_a = 45.0, "progress"_a = py::none(), "tangent_edges"_a = false, "part_layers"_a = false);
    std::apply(
        [&](const auto&... options) {
            m.def("draw", &drawModel, "model"_a, "camera"_a, options...,
                  ("Draws a Model (load_model) as kvhlr draws its file: a STEP or IGES part with its true "
                   "edges (the borders between its faces, no line across a face), tangent edges where "
                   "visible with tangent_edges (Kind.VISIBLE_TANGENT), and with part_layers each line's "
                   "part (Drawing.parts) and a layer per part in the files it saves. Other views of a "
                   "sheet are drawn so too.\n\n" +
                   drawDoc)
                      .c_str());
        },
        modelOptions);

    std::apply(
        [&](const auto&... options) {
            m.def("draw", &draw, "vertices"_a, "triangles"_a, "camera"_a, options...,
                  ("Draws the mesh of `vertices` (N, 3), any real dtype, and `triangles` (M, 3), any "
                   "integer dtype, indexing the vertices; each array is copied once, straight into the "
                   "library's input.\n\n" +
                   drawDoc)
                      .c_str());
            m.def("draw", &drawObject, "mesh"_a, "camera"_a, options...,
                  ("Draws a mesh object: one with `vertices` and `faces` arrays (trimesh and others), one "
                   "with `vectors` (numpy-stl), or an (M, 3, 3) array of triangle corners.\n\n" +
                   drawDoc)
                      .c_str());
        },
        drawOptions);

    m.def(
        "load_model",
        [](const Path& path) { return Model{std::make_shared<const std::vector<MeshPart>>(readParts(path))}; },
        "path"_a,
        "Reads a model file as kvhlr does, whole, for draw(model, camera, ...): a STEP or IGES file keeps "
        "its faces apart, so that its drawing shows the part's true edges. Faces that cannot be "
        "tessellated are named in a UserWarning. Raises OSError when the file cannot be read.");

    m.def(
        "load_mesh", [](const Path& path) { return meshArrays(readParts(path)); }, "path"_a,
          "Reads a mesh file as kvhlr does (OBJ, STL, PLY, OFF, glTF/GLB, 3MF and more; STEP and IGES "
          "tessellated, their faces' borders lost in the merge; vertices at the same position welded) and "
          "returns (vertices, triangles): a float64 (N, 3) and a uint32 (M, 3) array, all meshes of the file "
          "merged (load_model keeps a CAD file's faces apart, to draw its true edges). Faces of a CAD file "
          "that cannot be tessellated are named in a UserWarning. Raises OSError when the file cannot be "
          "read.");

    m.def(
        "_demo_mesh", [] { return meshArrays(demoPart()); },
        "The mesh of kvhlr's demo part (kvhlr --demo) as (vertices, triangles).");
}
