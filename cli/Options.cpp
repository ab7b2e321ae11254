#include "cli/Options.h"

#include "kit/InputError.h"
#include "kit/NumberText.h"
#include "kit/mesh/MeshFile.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>

namespace kvhlr {
namespace {

// "X,Y,Z": three finite numbers.
std::array<double, 3> parseTriple(const std::string& text, const std::string& option) {
    std::array<double, 3> values{};
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = i < 2 ? text.find(',', start) : text.size();
        const std::optional<double> value =
            comma == std::string::npos ? std::nullopt : parseNumber<double>(text.substr(start, comma - start));
        if (!value || !std::isfinite(*value))
            throw InputError(option, "expected three numbers X,Y,Z, got '" + text + "'");
        values[i] = *value;
        start = comma + 1;
    }
    return values;
}

std::optional<ON_3dPoint> pointOption(const std::string& text, const std::string& option) {
    if (text.empty())
        return std::nullopt;
    const auto v = parseTriple(text, option);
    return ON_3dPoint(v[0], v[1], v[2]);
}

// The OpenMP runtime crashes when asked for teams of many thousands of threads, and no machine gains
// from that many.
constexpr int kMostThreads = 1024;

const CLI::Validator threadCount(
    [](std::string& text) {
        const std::optional<int> threads = parseNumber<int>(text);
        if (!threads || *threads < 0 || *threads > kMostThreads)
            return "expected a whole number from 0 to " + std::to_string(kMostThreads);
        return std::string();
    },
    "");

// A view of a sheet: a named view, or "section:A", the section with that letter.
const CLI::Validator sheetView(
    [](std::string& text) {
        if (std::find(namedViews().begin(), namedViews().end(), text) != namedViews().end() ||
            (sectionLetter(text) && text[7] == ':'))
            return std::string();
        std::string names;
        for (const std::string& name : namedViews())
            names += name + ", ";
        return "expected a view (" + names + "or section:A, a letter naming the section), got '" + text + "'";
    },
    "");

// An empty value would otherwise silently mean the default: the default output, no camera file, no
// paper, ...
CLI::Validator nonEmpty(const std::string& what) {
    return CLI::Validator(
        [what](std::string& text) { return text.empty() ? "expected " + what + ", got an empty one" : ""; }, "");
}

// What the command line holds before it is checked and converted.
struct RawOptions {
    std::string output;
    std::string format;
    std::string upAxis = "y";
    std::string eye, target, up;
    bool fitEye = false;
    std::string dashes = "style";
    std::string order;
    std::string hideTest = "exact";
    std::string hiddenLevels;
    double perspective = 0.0;
    const CLI::Option* perspectiveOption = nullptr;
    bool noSilhouettes = false;
    bool noSharp = false;
    bool noIntersections = false;
    std::string paper, orientation = "auto", scale, units, projection = "third", style = "classic";
    std::vector<std::string> lines;
    bool noTitle = false;
    // Section views
    std::string section, sectionPoint, sectionNormal;
    std::optional<double> plan;
    const CLI::Option* viewOption = nullptr;

    // CAD files
    std::string deflection; // CAD files: a length, or a share of the model's size ending in %
    std::string tangentEdges = "off";
    std::string layers = "kinds";
    bool noCentreLines = false;
};

// A length in millimetres: a finite number, not negative.
const CLI::Validator millimetres(
    [](std::string& text) {
        const std::optional<double> value = parseNumber<double>(text);
        if (!value || !(*value >= 0.0 && *value <= 1e4))
            return std::string("expected a length in mm from 0 to 10000");
        return std::string();
    },
    "");

void addCameraOptions(CLI::App& app, Options& options, RawOptions& raw) {
    const std::string group = "Camera (fitted to the model unless --camera is given)";
    auto* view = app.add_option("--view", options.camera.view, "Orthographic view direction")
                     ->check(CLI::IsMember(namedViews()))
                     ->capture_default_str()
                     ->group(group);
    raw.viewOption = view;
    auto* upAxis = app.add_option("--up-axis", raw.upAxis,
                                  "The model's vertical axis (STEP and IGES files: z unless given)")
                       ->check(CLI::IsMember({"y", "z"}))
                       ->capture_default_str()
                       ->group(group);
    auto* perspective =
        app.add_option("--perspective", raw.perspective,
                       "Perspective projection with this field of view in degrees (0 < FOV < 180); "
                       "default: orthographic")
            ->type_name("FOV_DEGREES")
            ->group(group);
    raw.perspectiveOption = perspective;
    auto* eye = app.add_option("--eye", raw.eye,
                               "Look from this point towards --target, as gluLookAt places a camera (a "
                               "perspective eye inside the model sees what lies in front of it); replaces --view")
                    ->type_name("X,Y,Z")
                    ->group(group);
    auto* target = app.add_option("--target", raw.target, "The point looked at, with --eye")
                       ->type_name("X,Y,Z")
                       ->group(group);
    auto* up = app.add_option("--up", raw.up,
                              "Direction that points up in the drawing, with --eye; default: the up axis")
                   ->type_name("X,Y,Z")
                   ->group(group);
    auto* fitEye = app.add_flag("--fit", raw.fitEye,
                                "With --eye: keep only the direction from --target to --eye and fit the "
                                "camera to the model as for a named view")
                       ->group(group);
    auto* camera =
        app.add_option("--camera", options.cameraFile,
                       "Camera file (JSON: modelView and projection as 16 row-major numbers each, near, "
                       "far; a drawing file works too), used exactly as given, without fitting")
            ->type_name("FILE.json")
            ->check(nonEmpty("a file name"))
            ->group(group);
    auto* views =
        app.add_option("--views", options.views,
                       "Several orthographic views on one sheet, aligned and at one scale, e.g. "
                       "front,top,right,iso; principal views are arranged as --projection says, the others "
                       "go into a free corner; section:A is the section of --section or --plan, labelled "
                       "SECTION A-A, its cutting-plane line drawn in the views that see the plane edge-on")
            ->delimiter(',')
            ->allow_extra_args(false) // so that an input after it is not taken for a view
            ->check(sheetView)
            ->type_name("VIEW,...")
            ->group(group);
    eye->needs(target)->excludes(view);
    target->needs(eye);
    up->needs(eye);
    fitEye->needs(eye);
    for (CLI::Option* other : {view, upAxis, perspective, eye, target, up})
        camera->excludes(other);
    for (CLI::Option* other : {view, perspective, eye, camera})
        views->excludes(other);
}

void addSectionOptions(CLI::App& app, Options& options, RawOptions& raw) {
    const std::string group = "Section (the model cut by a plane, the viewer's side taken away, the cut hatched)";
    auto* section = app.add_option("--section", raw.section,
                                   "The cutting plane: x=NUMBER, y=NUMBER or z=NUMBER across that axis, or front, "
                                   "back, left, right, top or bottom through the model's centre, facing that view. "
                                   "The view looks square at the cut unless --view, --eye or --camera is given; "
                                   "with --views, only the section:A view is cut")
                        ->type_name("PLANE")
                        ->check(nonEmpty("a plane"))
                        ->group(group);
    auto* point = app.add_option("--section-point", raw.sectionPoint, "A point of the cutting plane, with --section-normal")
                      ->type_name("X,Y,Z")
                      ->group(group);
    auto* normal = app.add_option("--section-normal", raw.sectionNormal,
                                  "The cutting plane's normal, with --section-point; the view is from its side")
                       ->type_name("X,Y,Z")
                       ->group(group);
    auto* plan = app.add_option("--plan", raw.plan,
                                "A plan: the model cut horizontally at this height above its floor (its lowest "
                                "point along the up axis) and seen from above")
                     ->type_name("HEIGHT")
                     ->group(group);
    app.add_option("--hatch-spacing", options.draw.hatching.spacing,
                   "Distance between hatch lines in model units; 0: a 60th of the view's size. A spacing that "
                   "would draw more than 500,000 lines in the view is refused, naming the least it allows")
        ->capture_default_str()
        ->group(group);
    app.add_option("--hatch-angle", options.draw.hatching.angleDegrees,
                   "Angle of the first cut body's hatching in degrees, counterclockwise from the drawing's x "
                   "axis; the next body's is square to it, then both again wider apart")
        ->capture_default_str()
        ->group(group);
    point->needs(normal);
    normal->needs(point);
    section->excludes(point)->excludes(plan);
    plan->excludes(point);
}

void addSheetOptions(CLI::App& app, Options& options, RawOptions& raw) {
    const std::string group = "Sheet (default: the drawing fitted to 200 mm, no title block)";
    app.add_option("--paper", raw.paper,
                   "Draw on this paper at a true scale (see --units): A4, A3, A2, A1, A0, letter or tabloid")
        ->type_name("PAPER")
        ->check(nonEmpty("a paper name"))
        ->group(group);
    app.add_option("--orientation", raw.orientation,
                   "Paper orientation; auto: the one that fits, or gives the larger scale")
        ->check(CLI::IsMember({"auto", "portrait", "landscape"}))
        ->capture_default_str()
        ->group(group);
    app.add_option("--scale", raw.scale,
                   "True drawing scale (see --units): 1:2 is half size, 2:1 double, or a factor such as 0.5, "
                   "from " + scaleText(kSmallestScale) + " to " + scaleText(kLargestScale) +
                       "; default with --paper: the largest of 1, 2, 5 x 10^n that fits; without --paper the "
                       "page is made to fit the views")
        ->type_name("SCALE")
        ->check(nonEmpty("a scale"))
        ->group(group);
    app.add_option("--units", raw.units,
                   "What one unit of the model is, for --paper and --scale: mm, cm, m, in or ft; default: "
                   "the unit a STEP or IGES file gives, metres for glTF, else mm")
        ->type_name("UNIT")
        ->check(nonEmpty("a unit"))
        ->group(group);
    app.add_option("--margin", options.sheet.marginMm, "Paper edge to the frame, in mm")
        ->check(millimetres)
        ->capture_default_str()
        ->group(group);
    app.add_option("--gap", options.sheet.gapMm, "Space between views, in mm")
        ->check(millimetres)
        ->capture_default_str()
        ->group(group);
    app.add_option("--projection", raw.projection,
                   "How --views are arranged: third angle (top view above the front view, right view to "
                   "its right) or first angle (top view below, right view to the left)")
        ->check(CLI::IsMember({"first", "third"}))
        ->capture_default_str()
        ->group(group);
    app.add_flag("--no-title", raw.noTitle, "No frame and title block (model name, scale, projection, date)")
        ->group(group);
    app.add_option("--style", raw.style,
                   "Line widths and dashes: classic (the fitted drawing's look), drafting (visible lines "
                   "0.5 mm, hidden lines 0.25 mm dashed), illustration (classic, hidden lines of deeper "
                   "levels lighter: --hidden-levels), or a style file (JSON, see the README)")
        ->type_name("STYLE|FILE.json")
        ->check(nonEmpty("a style"))
        ->capture_default_str()
        ->group(group);
    app.add_option("--line", raw.lines,
                   "Change one kind's pen, after --style: KIND=WIDTH[:DASH,GAP,...][:#RRGGBB] in mm, KIND "
                   "one of visible, hidden, silhouettes, convex-sharp, concave-sharp, other-visible, "
                   "intersections, tangent, section, hatching, centre, cutting-plane, title (e.g. --line "
                   "hidden=0.25:3,1.5); may be repeated")
        ->type_name("KIND=PEN")
        ->allow_extra_args(false)
        ->group(group);
}

// --hidden-levels: a level of 1 or more, or every level; 0 when not given.
int hiddenLevelsOf(const std::string& text) {
    if (text.empty())
        return 0;
    if (text == "all")
        return kAllLevels;
    const std::optional<int> level = parseNumber<int>(text);
    if (!level || *level < 1)
        throw InputError("--hidden-levels", "expected a level of 1 or more, or 'all', got '" + text + "'");
    return *level;
}

void addLineOptions(CLI::App& app, Options& options, RawOptions& raw) {
    const std::string group = "What to draw";
    app.add_flag("--hidden", options.draw.hidden, "Also draw hidden lines (dashed)")->group(group);
    app.add_option("--hidden-levels", raw.hiddenLevels,
                   "Draw hidden lines up to this occlusion level (how many surfaces lie in front of them: 1 "
                   "behind one surface), each level with its own pen, or 'all' levels told apart; exact "
                   "hide test only")
        ->type_name("N|all")
        ->group(group);
    app.add_flag("--no-silhouettes", raw.noSilhouettes, "Leave out the visible silhouettes and outlines")
        ->group(group);
    app.add_flag("--no-sharp", raw.noSharp, "Leave out the visible sharp edges, convex and concave")
        ->group(group);
    app.add_flag("--no-intersections", raw.noIntersections,
                 "Leave out the lines where bodies (or folds of one body) pass through each other")
        ->group(group);
    app.add_option("--fit-arcs", options.fitArcsMm,
                   "Fit arcs and whole circles to the polylines of a page (SVG, DXF, PDF) that stay within "
                   "this many mm on paper of one (0.001-10); STEP and IGES files have their circles from "
                   "the file without it")
        ->type_name("MM")
        ->group(group);
    auto* noCentre = app.add_flag("--no-centre-lines", raw.noCentreLines,
                                  "Leave out the centre lines and marks of a STEP or IGES file's holes and shafts")
                         ->group(group);
    app.add_flag("--centre-lines", options.fittedCentreMarks,
                 "With --fit-arcs: a centre mark on every whole circle fitted (for meshes; STEP and IGES "
                 "files have theirs)")
        ->needs("--fit-arcs")
        ->excludes(noCentre)
        ->group(group);
    app.add_option("--sharp-angle", options.draw.sharpAngle,
                   "An edge is sharp when its faces meet at an angle below this many degrees (0-180)")
        ->capture_default_str()
        ->group(group);
    app.add_option("--dashes", raw.dashes,
                   "Dashed lines: 'style' (the pen's dash pattern) or 'segments' (real dash pieces, for "
                   "plotters and cutters)")
        ->check(CLI::IsMember({"style", "segments"}))
        ->capture_default_str()
        ->group(group);
    app.add_option("--hide-test", raw.hideTest,
                   "'exact': hidden where a ray to the eye meets the model, whatever the model's units: "
                   "edges behind the common side of two faces are hidden, an edge piercing a face is "
                   "hidden only behind it, dots and hidden lines under visible ones are left out. "
                   "'specified': the library's plain arithmetic, which misses these cases")
        ->check(CLI::IsMember({"exact", "specified"}))
        ->capture_default_str()
        ->group(group);
    app.add_option("--order", raw.order,
                   "Order of the lines: 'plotter' (each next line the one nearest to the pen, drawn from its "
                   "nearer end, so a plotter's pen travels little while lifted) or 'library' (as drawn); "
                   "default: plotter, library for JSON")
        ->check(CLI::IsMember({"plotter", "library"}))
        ->group(group);
}

void addModelOptions(CLI::App& app, Options& options) {
    const std::string group = "Model";
    auto* bodies =
        app.add_flag("--bodies", options.bodies,
                     "Read each object of the file as one body whose faces are its meshes; without it "
                     "every mesh is read on its own")
            ->group(group);
    app.add_flag(
           "--separate-faces", options.draw.separateBodyFaces,
           "With --bodies: keep the faces of a body apart, so their common borders are drawn as outlines")
        ->needs(bodies)
        ->group(group);
    app.add_flag("--provenance", options.draw.provenance,
                 "Record where each line comes from: its part (each part's lines on layers of their own, as "
                 "with --layers parts), and in JSON each segment's model edge (its vertices in the part's mesh)")
        ->group(group);
}

// --- CAD files (STEP, IGES) ---
void addCadOptions(CLI::App& app, Options& options, RawOptions& raw) {
    const std::string group = "CAD files (STEP, IGES)";
    app.add_option("--deflection", raw.deflection,
                   "How closely triangles follow curved faces: the largest distance between them, in model "
                   "units (0.02) or as a share of the model's largest side (0.05%); default: 0.05%")
        ->type_name("LENGTH|SHARE%")
        ->group(group);
    app.add_option("--angular-deflection", options.cad.angularDeflection,
                   "The largest angle in degrees between neighbouring triangles along a curve (0-90)")
        ->capture_default_str()
        ->group(group);
    app.add_option("--cad-memory-limit", options.cad.memoryLimitMb,
                   "The memory in MB the CAD reader may take (it runs apart; at least 256); default: half of "
                   "the machine's")
        ->type_name("MB")
        ->group(group);
    app.add_option("--cad-time-limit", options.cad.timeLimitSeconds,
                   "The processor time in seconds the CAD reader may take (a damaged file may make it loop "
                   "without end); default: 600")
        ->type_name("SECONDS")
        ->group(group);
    app.add_option("--tangent-edges", raw.tangentEdges,
                   "Where two faces meet smoothly (a fillet and its face): 'off' leaves the edge out, 'thin' "
                   "draws it where visible as a thin line, 'hidden' with the hidden lines' pen")
        ->check(CLI::IsMember({"off", "thin", "hidden"}))
        ->capture_default_str()
        ->group(group);
    app.add_option("--layers", raw.layers,
                   "Layers of a sheet (SVG, DXF): 'kinds', one per kind of line, or 'parts', one per kind "
                   "and part of an assembly, named after the part (and its instance)")
        ->check(CLI::IsMember({"kinds", "parts"}))
        ->capture_default_str()
        ->group(group);
}

void finishCad(Options& options, const RawOptions& raw) {
    CadReading& cad = options.cad;
    if (!raw.deflection.empty()) {
        const bool share = raw.deflection.back() == '%';
        const std::optional<double> value =
            parseNumber<double>(share ? raw.deflection.substr(0, raw.deflection.size() - 1) : raw.deflection);
        if (!value)
            throw InputError("--deflection",
                             "expected a length or a share such as 0.05%, got '" + raw.deflection + "'");
        cad.relativeDeflection = share;
        cad.deflection = share ? *value / 100.0 : *value;
    }
    checkCadReading(cad);
    options.draw.tangentEdges = raw.tangentEdges != "off";
    options.draw.partLayers = raw.layers == "parts";
}
// --- end of CAD files ---

void addRunOptions(CLI::App& app, Options& options) {
    const std::string group = "Running";
    app.add_option("--threads", options.threads,
                   "Threads for the hidden-line pass, the build of its search tree and the tessellation of CAD "
                   "files, at most " +
                       std::to_string(kMostThreads) + "; 0: one per processor")
        ->check(threadCount)
        ->capture_default_str()
        ->group(group);
    app.add_flag("-q,--quiet", options.quiet, "No progress display")->group(group);
    app.add_flag("--progress", options.forceProgress,
                 "Show the progress display even when standard error is not a terminal")
        ->group(group);
    app.add_flag("--timings", options.timings,
                 "At the end, write the seconds spent reading, drawing and writing, and the peak memory, "
                 "as one line of JSON on standard error")
        ->group(group);
}

std::string withFormat(const std::string& path, OutputFormat format) {
    return std::filesystem::path(path).replace_extension(extensionOf(format)).string();
}

// Searches on after each name put in, which may itself hold "{name}".
std::string replaceName(std::string pattern, const std::string& name) {
    for (std::size_t at = 0; (at = pattern.find("{name}", at)) != std::string::npos; at += name.size())
        pattern.replace(at, 6, name);
    return pattern;
}

// Where each model's drawing goes: "-o -" standard output; a folder (existing, or ending in '/')
// or a name with {name} in it one file per model; a file one model, or every model as a page of one
// PDF; without -o beside each input, and standard input to standard output.
void resolveOutputs(Options& options, const RawOptions& raw) {
    const OutputFormat asked = raw.format.empty() ? OutputFormat::Svg : formatNamed(raw.format);
    options.format = asked;
    const std::vector<std::string> models = options.demo ? std::vector<std::string>{""} : options.inputs;
    const std::string& out = raw.output;
    std::error_code error;
    const bool folder = !out.empty() && (out.back() == '/' || std::filesystem::is_directory(out, error));
    const bool pattern = out.find("{name}") != std::string::npos;
    if (!out.empty() && !folder && out != kStandardStream) {
        // The output's extension tells the format, unless --format names it for a name without one.
        try {
            options.format = formatOf(replaceName(out, "name"));
        } catch (const InputError& error) {
            if (raw.format.empty())
                throw InputError(out, error.reason());
        }
        if (!raw.format.empty() && asked != options.format)
            throw InputError("--format", "the output " + out + " is not " + raw.format);
    }
    if (out == kStandardStream || (!out.empty() && !folder && !pattern)) {
        if (models.size() > 1 && options.format != OutputFormat::Pdf)
            throw InputError("--output", out == kStandardStream
                                             ? "several models go to standard output only as pages of one "
                                               "PDF: add --format pdf"
                                             : "several inputs need -o FOLDER/, a name with {name} in it, or "
                                               "one .pdf");
        options.outputs = {out};
        return;
    }
    for (const std::string& model : models) {
        std::string path;
        if (folder)
            path = (std::filesystem::path(out) / modelName(model)).string() + "." + extensionOf(options.format);
        else if (pattern)
            path = replaceName(out, modelName(model));
        else if (model == kStandardStream)
            path = kStandardStream;
        else
            path = withFormat(model.empty() ? "demo" : model, options.format);
        if (std::find(options.outputs.begin(), options.outputs.end(), path) != options.outputs.end())
            throw InputError("--output", "two models would both be drawn to " + path);
        options.outputs.push_back(path);
    }
}

void finishSheet(Options& options, const RawOptions& raw) {
    SheetOptions& sheet = options.sheet;
    if (!raw.paper.empty())
        sheet.paper = paperNamed(raw.paper);
    if (!raw.scale.empty())
        sheet.scale = parseScale(raw.scale);
    if (!raw.units.empty())
        options.unitMm = unitNamed(raw.units);
    sheet.orientation = raw.orientation == "portrait"    ? Orientation::Portrait
                        : raw.orientation == "landscape" ? Orientation::Landscape
                                                         : Orientation::Auto;
    sheet.projection = raw.projection == "first" ? Projection::First : Projection::Third;
    sheet.title = !raw.noTitle;
    sheet.trueScale = !options.camera.perspectiveFov;
    checkSheetScale(sheet);
    const std::vector<std::string>& presets = styleNames();
    sheet.style = std::find(presets.begin(), presets.end(), raw.style) != presets.end() ? namedStyle(raw.style)
                                                                                        : readStyleFile(raw.style);
    if (raw.tangentEdges == "hidden") // before --line, which may change that pen again
        penTangentEdgesAsHidden(sheet.style);
    for (const std::string& setting : raw.lines)
        applyLineSetting(sheet.style, setting);
    checkPaperRoom(sheet);
}

// The cutting plane, checked before any model is read; placed on the model once it is.
void finishSection(Options& options, const RawOptions& raw) {
    const bool section = !raw.section.empty() || !raw.sectionPoint.empty() || raw.plan;
    checkSheetViews(options.views, section);
    if (!section)
        return;
    SectionChoice choice;
    choice.named = raw.section;
    choice.point = pointOption(raw.sectionPoint, "--section-point");
    if (const auto normal = pointOption(raw.sectionNormal, "--section-normal"))
        choice.normal = ON_3dVector(normal->x, normal->y, normal->z);
    choice.planHeight = raw.plan;
    checkSectionChoice(choice);
    options.section = choice;
    // A plan is seen from above; any other section square on, unless the camera is chosen.
    options.sectionFacing = !options.camera.eye && options.cameraFile.empty() && raw.viewOption->count() == 0;
    if (raw.plan && raw.viewOption->count() > 0)
        throw InputError("--plan", "a plan is seen from above: leave out --view");
}

void finish(Options& options, const RawOptions& raw) {
    const auto standardInputs = std::count(options.inputs.begin(), options.inputs.end(), kStandardStream);
    if (options.demo == !options.inputs.empty())
        throw InputError("", options.demo ? "give either input files or --demo, not both"
                                          : "no input file: give a mesh file, - for standard input, or --demo "
                                            "(see --help)");
    if (standardInputs > 1)
        throw InputError("", "standard input (-) can be read only once");
    if (!options.inputFormat.empty() && standardInputs == 0)
        throw InputError("--input-format", "only standard input (-) is read as a given type");
    // Only letters and digits: the type becomes the extension of standard input's copy.
    if (!options.inputFormat.empty() &&
        (!std::all_of(options.inputFormat.begin(), options.inputFormat.end(),
                      [](unsigned char c) { return std::isalnum(c) != 0; }) ||
         !readsMeshType(options.inputFormat)))
        throw InputError("--input-format", "unknown file type '" + options.inputFormat +
                                               "': name one such as stl, obj, ply, off, gltf, glb or 3mf");
    CameraChoice& camera = options.camera;
    if (raw.perspectiveOption->count() > 0)
        camera.perspectiveFov = raw.perspective;
    camera.upAxis = upAxisNamed(raw.upAxis);
    camera.eye = pointOption(raw.eye, "--eye");
    camera.target = pointOption(raw.target, "--target");
    camera.fitEye = raw.fitEye;
    if (const auto up = pointOption(raw.up, "--up"))
        camera.up = ON_3dVector(up->x, up->y, up->z);
    cameraRequest(camera); // refuses a camera that no model can be drawn with, before any is read
    DrawOptions& draw = options.draw;
    draw.silhouettes = !raw.noSilhouettes;
    draw.sharp = !raw.noSharp;
    draw.intersections = !raw.noIntersections;
    draw.centreLines = !raw.noCentreLines;
    if (options.fitArcsMm)
        checkArcTolerance(*options.fitArcsMm);
    draw.exact = raw.hideTest == "exact";
    draw.hiddenLevels = hiddenLevelsOf(raw.hiddenLevels);
    checkDrawOptions(draw);
    finishCad(options, raw);
    options.dashes = raw.dashes == "segments" ? HiddenDashes::Segments : HiddenDashes::Style;
    finishSection(options, raw);
    finishSheet(options, raw);
    resolveOutputs(options, raw);
    // JSON is the drawing record: one view without a page, in the library's order unless asked.
    if (options.format == OutputFormat::Json)
        checkJsonDrawing(options.views.size(), options.sheet);
    options.plotterOrder = raw.order.empty() ? options.format != OutputFormat::Json : raw.order == "plotter";
    // The demo shows every kind of line; a section shows hidden lines only when asked, as drafting does.
    options.sectionHidden = options.draw.hidden || options.draw.hiddenLevels > 0;
    if (options.demo)
        options.draw.hidden = true;
}

// A warning for each option given that changes nothing in this run: what it acts on is not there.
// Standard input is a CAD file by --input-format or, without it, may be one or not (its content tells).
void addWarnings(const CLI::App& app, Options& options) {
    const bool cadFormat = !options.inputFormat.empty() && isCadFile("." + options.inputFormat);
    const bool unknownFormat = options.inputFormat.empty() &&
                               std::count(options.inputs.begin(), options.inputs.end(), kStandardStream) > 0;
    const auto cad = std::count_if(options.inputs.begin(), options.inputs.end(), [&](const std::string& input) {
        return input == kStandardStream ? cadFormat : isCadFile(input);
    });
    RunShape run;
    run.viewCount = options.views.size();
    run.json = options.format == OutputFormat::Json;
    run.section = options.section.has_value();
    run.meshInputs = options.demo || unknownFormat || cad < static_cast<long>(options.inputs.size());
    run.cadInputs = unknownFormat || cad > 0;
    for (const IdleOption& idle : idleOptions(options.sheet, run)) {
        std::string option = std::string("--") + idle.parameter;
        std::replace(option.begin(), option.end(), '_', '-');
        if (option == "--title")
            option = "--no-title";
        if (app.count(option) > 0)
            options.warnings.push_back(option + " has no effect here: " + idle.why);
    }
}

} // namespace

InputError asOption(const InputError& error) {
    std::string name = error.parameter();
    if (name.empty())
        return error;
    if (name == "intersections") // drawn unless --no-intersections turns them off
        name = "no-intersections";
    std::replace(name.begin(), name.end(), '_', '-');
    return InputError("--" + name, error.reason());
}

std::string modelName(const std::string& input) {
    if (input.empty())
        return "demo";
    if (input == kStandardStream)
        return "stdin";
    return std::filesystem::path(input).stem().string();
}

std::optional<Options> parseOptions(int argc, const char* const* argv, std::ostream& helpOut) {
    Options options;
    RawOptions raw;
    CLI::App app(
        "Draws the visible (and hidden) lines of 3D mesh models: silhouettes and sharp edges, as SVG, "
        "DXF, PDF or JSON, fitted to 200 mm or on paper at a true scale, one view or several.",
        "kvhlr");
    app.add_option("inputs", options.inputs,
                   "Mesh files: OBJ, STL, PLY, OFF, glTF/GLB, 3MF, 3DS, COLLADA and more; CAD files: STEP "
                   "and IGES; - reads standard input")
        ->type_name("INPUT...");
    app.add_option("-o,--output", raw.output,
                   "Where drawings go: a file, whose extension picks the format (.svg, .dxf, .pdf or .json; "
                   "several inputs only into one .pdf, a page each); a folder (ending in /) or a name with "
                   "{name} in it, one file per input; - for standard output. Missing folders are made (and "
                   "removed again if the drawing fails). Default: each INPUT with the format's extension, "
                   "standard output for standard input, demo.svg for --demo")
        ->type_name("OUTPUT")
        ->check(nonEmpty("a file name"));
    app.add_option("--format", raw.format,
                   "svg, dxf, pdf or json, for standard output, a folder, no -o, or an output whose name does "
                   "not say (/dev/null); default: svg")
        ->type_name("FORMAT")
        ->check(nonEmpty("a format"));
    app.add_option("--input-format", options.inputFormat,
                   "The type of standard input (obj, stl, ply, off, glb, ...); default: told by its content")
        ->type_name("TYPE")
        ->check(nonEmpty("a file type"));
    app.add_flag("--demo", options.demo, "Draw the built-in demo part (isometric, hidden lines included)");
    app.set_version_flag("--version", std::string("kvhlr ") + KVHLR_VERSION,
                         "Print kvhlr's version and exit");
    addCameraOptions(app, options, raw);
    addLineOptions(app, options, raw);
    addSheetOptions(app, options, raw);
    addSectionOptions(app, options, raw);
    addModelOptions(app, options);
    addCadOptions(app, options, raw);
    addRunOptions(app, options);
    app.footer("Exit status: 0 done, 1 internal failure, 2 bad input or command line, 130 interrupted.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        helpOut << app.help();
        return std::nullopt;
    } catch (const CLI::CallForVersion& version) {
        helpOut << version.what() << '\n';
        return std::nullopt;
    } catch (const CLI::ParseError& error) {
        throw InputError("", error.what());
    }
    try {
        finish(options, raw);
    } catch (const InputError& error) {
        throw asOption(error);
    }
    addWarnings(app, options);
    options.cadZUp = app.count("--up-axis") == 0;
    return options;
}

} // namespace kvhlr
