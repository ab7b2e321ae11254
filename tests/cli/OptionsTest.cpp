// The command line: defaults, conversions, and the combinations refused before any work starts.

#include "cli/Options.h"
#include "kit/InputError.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace kvhlr;

std::optional<Options> parse(std::vector<const char*> args, std::string* help = nullptr) {
    args.insert(args.begin(), "kvhlr");
    std::ostringstream out;
    auto options = parseOptions(static_cast<int>(args.size()), args.data(), out);
    if (help)
        *help = out.str();
    return options;
}

std::string refusal(std::vector<const char*> args) {
    try {
        parse(std::move(args));
    } catch (const InputError& error) {
        return error.what();
    }
    return "";
}

TEST(Options, DefaultsDrawSilhouettesAndSharpEdgesIsometricallyToSvg) {
    const Options options = *parse({"models/part.stl"});
    EXPECT_EQ(options.input, "models/part.stl");
    EXPECT_EQ(options.output, "models/part.svg");
    EXPECT_EQ(options.format, OutputFormat::Svg);
    EXPECT_EQ(options.view, "iso");
    EXPECT_FALSE(options.perspectiveFov);
    EXPECT_TRUE(options.silhouettes && options.sharp);
    EXPECT_FALSE(options.hidden);
    EXPECT_EQ(options.sharpAngle, 135.0);
    EXPECT_EQ(options.dashes, HiddenDashes::Style);

    const Options demo = *parse({"--demo"});
    EXPECT_EQ(demo.output, "demo.svg");
    EXPECT_TRUE(demo.hidden) << "the demo shows every kind of line";
}

TEST(Options, ConvertsValues) {
    const Options options =
        *parse({"in.obj",    "-o",       "out.DXF",       "--eye", "1,-2.5,3e2", "--target=0,0,0",
                "--up",      "0,0,1",    "--perspective", "30",    "--no-sharp", "--hidden",
                "--dashes",  "segments", "--up-axis",     "z",     "--bodies",   "--separate-faces",
                "--threads", "3"});
    EXPECT_EQ(options.format, OutputFormat::Dxf) << "extensions are matched without case";
    ASSERT_TRUE(options.eye && options.target && options.up);
    EXPECT_EQ(options.eye->y, -2.5);
    EXPECT_EQ(options.eye->z, 300.0);
    EXPECT_EQ(options.up->z, 1.0);
    EXPECT_EQ(*options.perspectiveFov, 30.0);
    EXPECT_FALSE(options.sharp);
    EXPECT_TRUE(options.silhouettes && options.hidden && options.bodies && options.separateFaces);
    EXPECT_EQ(options.dashes, HiddenDashes::Segments);
    EXPECT_EQ(options.upAxis, UpAxis::Z);
    EXPECT_EQ(options.threads, 3);
}

TEST(Options, RefusesCommandLinesThatCannotRun) {
    EXPECT_NE(refusal({}).find("no input"), std::string::npos);
    EXPECT_NE(refusal({"a.stl", "--demo"}).find("not both"), std::string::npos);
    EXPECT_NE(refusal({"a.stl", "-o", "a.png"}).find(".png"), std::string::npos);
    EXPECT_NE(refusal({"a.stl", "--view", "sideways"}), "");
    EXPECT_NE(refusal({"a.stl", "--camera", "c.json", "--view", "top"}), "");
    EXPECT_NE(refusal({"a.stl", "--camera", "c.json", "--perspective", "40"}), "");
    EXPECT_NE(refusal({"a.stl", "--eye", "1,2,3"}), "") << "an eye needs a target";
    EXPECT_NE(refusal({"a.stl", "--eye", "1,2", "--target", "0,0,0"}).find("--eye"), std::string::npos);
    EXPECT_NE(refusal({"a.stl", "--eye", "1,2,3,4", "--target", "0,0,0"}).find("--eye"), std::string::npos);
    EXPECT_NE(refusal({"a.stl", "--eye", "1,2,nan", "--target", "0,0,0"}).find("--eye"), std::string::npos);
    for (const char* fov : {"0", "180", "-5", "nan"})
        EXPECT_NE(refusal({"a.stl", "--perspective", fov}), "") << fov;
    EXPECT_NE(refusal({"a.stl", "--separate-faces"}), "") << "separate faces only make sense for bodies";
    EXPECT_NE(refusal({"a.stl", "--frobnicate"}), "");
}

TEST(Options, RefusedValuesGetAShortReason) {
    const std::string angle = "--sharp-angle: the angle must lie between 0 and 180 degrees";
    const std::string threads = "--threads: expected a whole number from 0 to 1024";
    const std::string emptyName = ": expected a file name, got an empty one";
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{"a.stl", "--sharp-angle", "nan"}, angle},    {{"a.stl", "--sharp-angle", "200"}, angle},
        {{"a.stl", "--sharp-angle", "-1"}, angle},     {{"a.stl", "--threads", "-1"}, threads},
        {{"a.stl", "--threads", "100000"}, threads},   {{"a.stl", "--threads", "1025"}, threads},
        {{"a.stl", "--threads", "1.5"}, threads},      {{"a.stl", "--threads", "abc"}, threads},
        {{"a.stl", "-o", ""}, "--output" + emptyName}, {{"a.stl", "--camera", ""}, "--camera" + emptyName},
    };
    for (const auto& [args, message] : cases)
        EXPECT_EQ(refusal(args), message) << args.back();
    EXPECT_EQ(parse({"a.stl", "--threads", "1024", "--sharp-angle", "180"})->threads, 1024);
}

TEST(Options, HelpExplainsEveryOptionWithItsDefault) {
    std::string help;
    EXPECT_FALSE(parse({"--help"}, &help));
    for (const char* text : {"--view",           "iso",        "--perspective", "--eye",
                             "--target",         "--up",       "--camera",      "--hidden",
                             "--no-silhouettes", "--no-sharp", "--sharp-angle", "135",
                             "--dashes",         "style",      "--bodies",      "--separate-faces",
                             "--threads",        "--quiet",    "--demo",        "-o",
                             "--up-axis"})
        EXPECT_NE(help.find(text), std::string::npos) << text;
}

} // namespace
