// The command line: defaults, conversions, and the combinations refused before any work starts.

#include "cli/Options.h"
#include "kit/InputError.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace kvhlr;

std::optional<Options> parse(std::vector<const char*> args) {
    args.insert(args.begin(), "kvhlr");
    std::ostringstream out;
    return parseOptions(static_cast<int>(args.size()), args.data(), out);
}

std::string refusal(std::vector<const char*> args) {
    try {
        parse(std::move(args));
    } catch (const InputError& error) {
        return error.what();
    }
    return "";
}

TEST(Options, ConvertsValues) {
    const Options options =
        *parse({"in.obj",    "-o",       "out.DXF",       "--eye", "1,-2.5,3e2", "--target=0,0,0",
                "--up",      "0,0,1",    "--perspective", "30",    "--no-sharp", "--hidden",
                "--dashes",  "segments", "--up-axis",     "z",     "--bodies",   "--separate-faces",
                "--threads", "3",        "--units",       "In"});
    EXPECT_EQ(options.format, OutputFormat::Dxf) << "extensions are matched without case";
    const CameraChoice& camera = options.camera;
    ASSERT_TRUE(camera.eye && camera.target && camera.up);
    EXPECT_EQ(camera.eye->y, -2.5);
    EXPECT_EQ(camera.eye->z, 300.0);
    EXPECT_EQ(camera.up->z, 1.0);
    EXPECT_EQ(*camera.perspectiveFov, 30.0);
    EXPECT_FALSE(options.draw.sharp);
    EXPECT_TRUE(options.draw.silhouettes && options.draw.hidden && options.bodies && options.draw.separateBodyFaces);
    EXPECT_EQ(options.dashes, HiddenDashes::Segments);
    EXPECT_EQ(camera.upAxis, UpAxis::Z);
    EXPECT_EQ(options.threads, 3);
    EXPECT_EQ(options.unitMm, 25.4) << "unit names are matched without case";
    EXPECT_EQ(parse({"in.obj", "--hidden-levels", "all"})->draw.hiddenLevels, kAllLevels);
}

// Where the drawings of one or several models go, and in which format.
TEST(Options, OutputsForEveryModel) {
    struct Case {
        std::vector<const char*> args;
        std::vector<std::string> outputs;
        OutputFormat format;
        bool plotterOrder;
    };
    const Case cases[] = {
        {{"a/x.obj", "b/y.stl"}, {"a/x.svg", "b/y.svg"}, OutputFormat::Svg, true},
        {{"a/x.obj", "b/y.stl", "--format", "dxf"}, {"a/x.dxf", "b/y.dxf"}, OutputFormat::Dxf, true},
        {{"a/x.obj", "b/y.stl", "-o", "out/"}, {"out/x.svg", "out/y.svg"}, OutputFormat::Svg, true},
        {{"a/x.obj", "b/y.stl", "-o", "d/{name}-top.json"}, {"d/x-top.json", "d/y-top.json"}, OutputFormat::Json, false},
        {{"a/{name}.obj", "-o", "d/{name}.svg"}, {"d/{name}.svg"}, OutputFormat::Svg, true},
        {{"--line", "hidden=0.3", "--views", "front,top", "a/x.obj"}, {"a/x.svg"}, OutputFormat::Svg, true},
        {{"a/x.obj", "-o", "/dev/null", "--format", "dxf"}, {"/dev/null"}, OutputFormat::Dxf, true},
        {{"a/x.obj", "b/y.stl", "-o", "all.pdf"}, {"all.pdf"}, OutputFormat::Pdf, true},
        {{"-"}, {"-"}, OutputFormat::Svg, true},
        {{"-", "-o", "-", "--format", "json", "--order", "plotter"}, {"-"}, OutputFormat::Json, true},
        {{"a/x.obj", "-", "--format", "pdf", "-o", "-"}, {"-"}, OutputFormat::Pdf, true},
        {{"--demo", "--format", "dxf", "--order", "library"}, {"demo.dxf"}, OutputFormat::Dxf, false},
    };
    for (const Case& c : cases) {
        const Options options = *parse(c.args);
        EXPECT_EQ(options.outputs, c.outputs) << c.args.back();
        EXPECT_EQ(options.format, c.format) << c.args.back();
        EXPECT_EQ(options.plotterOrder, c.plotterOrder) << c.args.back();
    }
}

// Each option given that changes nothing is named in a warning.
TEST(Options, WarnsOfOptionsThatChangeNothing) {
    const std::pair<std::vector<const char*>, std::vector<std::string>> cases[] = {
        {{"a.stl", "--gap", "5", "--margin", "5", "--no-title", "--units", "cm", "--orientation", "portrait",
          "--projection", "first"},
         {"--gap", "--margin", "--no-title", "--units", "--orientation", "--projection"}},
        {{"a.stl", "-o", "a.json", "--style", "drafting", "--line", "hidden=0.3", "--dashes", "segments", "--fit-arcs",
          "0.1"},
         {"--style", "--line", "--dashes", "--fit-arcs"}},
        {{"a.stl", "--hatch-spacing", "2", "--hatch-angle", "30"}, {"--hatch-spacing", "--hatch-angle"}},
        {{"a.stl", "--plan", "1", "--hatch-spacing", "2", "--hatch-angle", "30"}, {}},
        {{"a.stl", "--paper", "A4", "--views", "front,top", "--gap", "5", "--margin", "5", "--no-title",
          "--orientation", "portrait", "--projection", "first", "--dashes", "segments"},
         {}},
        {{"a.stl", "--deflection", "1%", "--angular-deflection", "5", "--tangent-edges", "thin"},
         {"--deflection", "--angular-deflection", "--tangent-edges"}},
        {{"a.step", "--sharp-angle", "100", "--bodies", "--separate-faces"},
         {"--sharp-angle", "--bodies", "--separate-faces"}},
        {{"a.step", "b.stl", "--sharp-angle", "100", "--tangent-edges", "thin"}, {}},
    };
    for (const auto& [args, warned] : cases) {
        const Options options = *parse(args);
        std::vector<std::string> named;
        for (const std::string& warning : options.warnings)
            named.push_back(warning.substr(0, warning.find(' ')));
        EXPECT_EQ(named, warned) << args[1];
    }
}

// Each refused with a reason that holds the given text.
TEST(Options, RefusesCommandLinesThatCannotRun) {
    const std::string angle = "--sharp-angle: the angle must lie between 0 and 180 degrees";
    const std::string threads = "--threads: expected a whole number from 0 to 1024";
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{}, "no input"},
        {{"a.stl", "--demo"}, "not both"},
        {{"a.stl", "-o", "a.png"}, ".png"},
        {{"a.stl", "--view", "sideways"}, "--view"},
        {{"a.stl", "--camera", "c.json", "--view", "top"}, ""},
        {{"a.stl", "--camera", "c.json", "--perspective", "40"}, ""},
        {{"a.stl", "--eye", "1,2,3"}, ""}, // an eye needs a target
        {{"a.stl", "--eye", "1,2", "--target", "0,0,0"}, "--eye"},
        {{"a.stl", "--eye", "1,2,3,4", "--target", "0,0,0"}, "--eye"},
        {{"a.stl", "--eye", "1,2,nan", "--target", "0,0,0"}, "--eye"},
        {{"a.stl", "--perspective", "0"}, ""},
        {{"a.stl", "--separate-faces"}, ""}, // separate faces only make sense for bodies
        {{"a.stl", "--frobnicate"}, ""},
        {{"a.stl", "--sharp-angle", "200"}, angle},
        {{"a.stl", "--hidden-levels", "0"}, "--hidden-levels: expected a level of 1 or more, or 'all', got '0'"},
        {{"a.stl", "--hidden-levels", "1", "--hide-test", "specified"}, "--hidden-levels: occlusion levels are"},
        {{"a.stl", "--threads", "-1"}, threads},
        {{"a.stl", "--threads", "1025"}, threads},
        {{"a.stl", "--threads", "1.5"}, threads},
        {{"a.stl", "--fit-arcs", "0"}, "--fit-arcs: the tolerance must be a length from 0.001 to 10 mm on paper"},
        {{"a.stl", "--centre-lines"}, "--fit-arcs"},
        {{"a.stl", "--fit-arcs", "0.1", "--centre-lines", "--no-centre-lines"}, "--no-centre-lines"},
        {{"a.stl", "-o", ""}, "--output: expected a file name, got an empty one"},
        {{"a.stl", "--camera", ""}, "--camera: expected a file name, got an empty one"},
        {{"a.stl", "b.stl", "-o", "one.svg"}, "one .pdf"},
        {{"a.stl", "b.stl", "-o", "-"}, "--format pdf"},
        {{"a/x.stl", "b/x.stl", "-o", "out/"}, "both"},
        {{"-", "-"}, "only once"},
        {{"a.stl", "--input-format", "stl"}, "--input-format"},
        {{"-", "--input-format", "../stl"}, "--input-format"},
        {{"-", "--input-format", "xyz"}, "unknown file type 'xyz'"},
        {{"a.stl", "-o", "a.dxf", "--format", "svg"}, "--format"},
        {{"a.stl", "--format", "png"}, "--format"},
        {{"a.stl", "-o", "a.json", "--views", "front,top"}, "JSON"},
        {{"a.stl", "-o", "a.json", "--paper", "A4"}, "JSON"},
        {{"a.stl", "--views", "front,front"}, "twice"},
        {{"a.stl", "--views", "front,sideways"}, "--views"},
        {{"a.stl", "--views", "front,top", "--view", "iso"}, "--view"},
        {{"a.stl", "--scale", "2:0"}, "--scale"},
        {{"a.stl", "--scale", "1:2e9"}, "from 1:1000000000 to 1000000000:1"},
        {{"a.stl", "--scale", "1:2", "--perspective", "40"}, "perspective"},
        {{"a.stl", "--paper", "B5"}, "--paper"},
        {{"a.stl", "--paper", "A4", "--units", "furlong"},
         "--units: unknown unit 'furlong': name mm, cm, m, in or ft"},
        {{"a.stl", "--paper", ""}, "--paper: expected a paper name"},
        {{"a.stl", "--style", "missing.json"}, "missing.json"},
        {{"a.stl", "--style", "."}, ".: is a directory"},
        {{"a.stl", "--line", "hidden=thin"}, "--line"},
        {{"a.stl", "--line", "hidden=0.3:red"}, "#rrggbb, not 'red'"},
        {{"a.stl", "--line", "hidden=0.3:0.001,0.001"}, "from 0.05 to 1000 mm"},
        {{"a.stl", "--margin", "-1"}, "--margin"},
        {{"a.stl", "--paper", "A4", "--margin", "150"}, "--margin: the margins"},
        // Section views
        {{"a.stl", "--section", "w=1"}, "--section: expected x=NUMBER"},
        {{"a.stl", "--section", "x=one"}, "--section: expected x=NUMBER"},
        {{"a.stl", "--section-point", "0,0,0", "--section-normal", "0,0,0"}, "--section-normal: the cutting plane's"},
        {{"a.stl", "--section-point", "0,0,0"}, ""}, // a point needs a normal
        {{"a.stl", "--section", "x=0", "--plan", "1"}, ""},
        {{"a.stl", "--plan", "1", "--view", "front"}, "--plan: a plan is seen from above"},
        {{"a.stl", "--views", "front,section:A"}, "--views: a section view needs its plane"},
        {{"a.stl", "--views", "front,top", "--section", "x=0"}, "--views: name the section's view once"},
        {{"a.stl", "--views", "front,section-A", "--section", "x=0"}, "--views"},
        {{"a.stl", "--section", "x=0", "--hatch-spacing", "-2"}, "--hatch-spacing"},
        // CAD files
        {{"a.step", "--deflection", "0"}, "--deflection: must be a positive length"},
        {{"a.step", "--deflection", "100%"}, "--deflection: a share"},
        {{"a.step", "--deflection", "fine"}, "--deflection: expected a length or a share"},
        {{"a.step", "--angular-deflection", "90.5"}, "--angular-deflection"},
        {{"a.step", "--tangent-edges", "dotted"}, "--tangent-edges"},
        {{"a.step", "--layers", "views"}, "--layers"},
    };
    for (const auto& [args, subject] : cases) {
        const std::string reason = refusal(args);
        EXPECT_TRUE(!reason.empty() && reason.find(subject) != std::string::npos)
            << (args.empty() ? "" : args.back()) << ": " << reason;
    }
    EXPECT_EQ(parse({"a.stl", "--threads", "1024", "--sharp-angle", "180"})->threads, 1024);
    const CadReading cad = parse({"a.step", "--deflection", "0.5%", "--angular-deflection", "10"})->cad;
    EXPECT_TRUE(cad.relativeDeflection && cad.deflection == 0.005 && cad.angularDeflection == 10);
    EXPECT_FALSE(parse({"a.step", "--deflection", "0.02"})->cad.relativeDeflection);
}

} // namespace
