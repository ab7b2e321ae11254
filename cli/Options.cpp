#include "cli/Options.h"

#include "kit/InputError.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

namespace kvhlr {
namespace {

// "X,Y,Z": three finite numbers.
std::array<double, 3> parseTriple(const std::string& text, const std::string& option) {
    std::array<double, 3> values{};
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    for (int i = 0; i < 3; ++i) {
        char comma = ',';
        if ((i > 0 && !(in >> comma)) || comma != ',' || !(in >> values[i]) || !std::isfinite(values[i]))
            throw InputError(option, "expected three numbers X,Y,Z, got '" + text + "'");
    }
    if (in >> std::ws; !in.eof())
        throw InputError(option, "expected three numbers X,Y,Z, got '" + text + "'");
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
        int threads = -1;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), threads);
        if (error != std::errc() || end != text.data() + text.size() || threads < 0 || threads > kMostThreads)
            return "expected a whole number from 0 to " + std::to_string(kMostThreads);
        return std::string();
    },
    "");

// An empty name would otherwise silently mean the default output, or no camera file.
const CLI::Validator fileName(
    [](std::string& text) {
        return text.empty() ? std::string("expected a file name, got an empty one") : "";
    },
    "");

// What the command line holds before it is checked and converted.
struct RawOptions {
    std::string upAxis = "y";
    std::string eye, target, up;
    std::string dashes = "style";
    std::string hideTest = "exact";
    double perspective = 0.0;
    const CLI::Option* perspectiveOption = nullptr;
    bool noSilhouettes = false;
    bool noSharp = false;
};

void addCameraOptions(CLI::App& app, Options& options, RawOptions& raw) {
    const std::string group = "Camera (fitted to the model unless --camera is given)";
    auto* view = app.add_option("--view", options.view, "Orthographic view direction")
                     ->check(CLI::IsMember(namedViews()))
                     ->capture_default_str()
                     ->group(group);
    auto* upAxis = app.add_option("--up-axis", raw.upAxis, "The model's vertical axis")
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
                               "Look from this point towards --target (only the direction counts: "
                               "the camera is then fitted); replaces --view")
                    ->type_name("X,Y,Z")
                    ->group(group);
    auto* target = app.add_option("--target", raw.target, "The point looked at, with --eye")
                       ->type_name("X,Y,Z")
                       ->group(group);
    auto* up = app.add_option("--up", raw.up,
                              "Direction that points up in the drawing, with --eye; default: the up axis")
                   ->type_name("X,Y,Z")
                   ->group(group);
    auto* camera =
        app.add_option("--camera", options.cameraFile,
                       "Camera file (JSON: modelView and projection as 16 row-major numbers each, near, "
                       "far; a drawing file works too), used exactly as given, without fitting")
            ->type_name("FILE.json")
            ->check(fileName)
            ->group(group);
    eye->needs(target)->excludes(view);
    target->needs(eye);
    up->needs(eye);
    for (CLI::Option* other : {view, upAxis, perspective, eye, target, up})
        camera->excludes(other);
}

void addLineOptions(CLI::App& app, Options& options, RawOptions& raw) {
    const std::string group = "What to draw";
    app.add_flag("--hidden", options.hidden, "Also draw hidden lines (dashed)")->group(group);
    app.add_flag("--no-silhouettes", raw.noSilhouettes, "Leave out the visible silhouettes and outlines")
        ->group(group);
    app.add_flag("--no-sharp", raw.noSharp, "Leave out the visible sharp edges, convex and concave")
        ->group(group);
    app.add_option("--sharp-angle", options.sharpAngle,
                   "An edge is sharp when its faces meet at an angle below this many degrees (0-180)")
        ->capture_default_str()
        ->group(group);
    app.add_option(
           "--dashes", raw.dashes,
           "Hidden lines in SVG: 'style' (a dash style) or 'segments' (real dash pieces, for plotters "
           "and cutters)")
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
}

void addModelOptions(CLI::App& app, Options& options) {
    const std::string group = "Model";
    auto* bodies =
        app.add_flag("--bodies", options.bodies,
                     "Read each object of the file as one body whose faces are its meshes; without it "
                     "every mesh is read on its own")
            ->group(group);
    app.add_flag(
           "--separate-faces", options.separateFaces,
           "With --bodies: keep the faces of a body apart, so their common borders are drawn as outlines")
        ->needs(bodies)
        ->group(group);
}

void addRunOptions(CLI::App& app, Options& options) {
    const std::string group = "Running";
    app.add_option("--threads", options.threads,
                   "Threads for the hidden-line pass and the build of its search tree, at most " +
                       std::to_string(kMostThreads) + "; 0: one per processor")
        ->check(threadCount)
        ->capture_default_str()
        ->group(group);
    app.add_flag("-q,--quiet", options.quiet, "No progress display")->group(group);
    app.add_flag("--progress", options.forceProgress,
                 "Show the progress display even when standard error is not a terminal")
        ->group(group);
}

void finish(Options& options, const RawOptions& raw) {
    if (options.demo == !options.input.empty())
        throw InputError("", options.demo ? "give either an input file or --demo, not both"
                                          : "no input file: give a mesh file, or --demo (see --help)");
    if (raw.perspectiveOption->count() > 0) {
        if (!(raw.perspective > 0.0 && raw.perspective < 180.0))
            throw InputError("--perspective", "the field of view must lie between 0 and 180 degrees");
        options.perspectiveFov = raw.perspective;
    }
    if (!(options.sharpAngle >= 0.0 && options.sharpAngle <= 180.0))
        throw InputError("--sharp-angle", "the angle must lie between 0 and 180 degrees");
    options.upAxis = raw.upAxis == "z" ? UpAxis::Z : UpAxis::Y;
    options.eye = pointOption(raw.eye, "--eye");
    options.target = pointOption(raw.target, "--target");
    if (const auto up = pointOption(raw.up, "--up"))
        options.up = ON_3dVector(up->x, up->y, up->z);
    options.silhouettes = !raw.noSilhouettes;
    options.sharp = !raw.noSharp;
    options.dashes = raw.dashes == "segments" ? HiddenDashes::Segments : HiddenDashes::Style;
    options.exactHiding = raw.hideTest == "exact";
    if (options.output.empty())
        options.output = defaultOutputPath(options.input, options.demo);
    options.format = formatOf(options.output);
    if (options.demo) // the demo shows every kind of line
        options.hidden = true;
}

} // namespace

std::string defaultOutputPath(const std::string& input, bool demo) {
    if (demo)
        return "demo.svg";
    return std::filesystem::path(input).replace_extension(".svg").string();
}

std::optional<Options> parseOptions(int argc, const char* const* argv, std::ostream& helpOut) {
    Options options;
    RawOptions raw;
    CLI::App app(
        "Draws the visible (and hidden) lines of a 3D mesh model: silhouettes and sharp edges, as SVG, "
        "DXF or JSON.",
        "kvhlr");
    app.add_option("input", options.input,
                   "Mesh file: OBJ, STL, PLY, OFF, glTF/GLB, 3MF, 3DS, COLLADA and more")
        ->type_name("INPUT");
    app.add_option("-o,--output", options.output,
                   "Drawing to write; its extension picks the format: .svg, .dxf or .json "
                   "(default: INPUT with .svg, demo.svg for --demo)")
        ->type_name("OUTPUT")
        ->check(fileName);
    app.add_flag("--demo", options.demo, "Draw the built-in demo part (isometric, hidden lines included)");
    addCameraOptions(app, options, raw);
    addLineOptions(app, options, raw);
    addModelOptions(app, options);
    addRunOptions(app, options);
    app.footer("Exit status: 0 done, 1 internal failure, 2 bad input or command line, 130 interrupted.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        helpOut << app.help();
        return std::nullopt;
    } catch (const CLI::ParseError& error) {
        throw InputError("", error.what());
    }
    finish(options, raw);
    return options;
}

} // namespace kvhlr
