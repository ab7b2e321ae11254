// End-to-end runs of the kvhlr binary: real models in every named view, formats read back, every kind
// of bad input, and interruption.

#include "DxfReader.h"
#include "TempDir.h"
#include "kit/drawing/Drawing.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using kvhlrtest::TempDir;
using Json = nlohmann::json;

struct Result {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Standard input from `in`, standard output to `out` (both paths), standard error to `stderrFd`.
pid_t spawn(const std::vector<std::string>& args, const std::string& cwd, int stderrFd,
            const std::string& in = "/dev/null", const std::string& out = "/dev/null") {
    std::vector<char*> argv{const_cast<char*>(KVHLR_BINARY)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, stderrFd, STDERR_FILENO);
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, KVHLR_BINARY, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs kvhlr to the end; `cwd` empty keeps the test's directory, `in` is standard input's file.
Result kvhlr(const std::vector<std::string>& args, const std::string& cwd = "", const std::string& in = "/dev/null") {
    TempDir scratch;
    const int errFd = open(scratch.path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Result run;
    run.status = waitFor(spawn(args, cwd, errFd, in, scratch.path("stdout")));
    close(errFd);
    run.out = kvhlrtest::readFile(scratch.path("stdout"));
    run.err = kvhlrtest::readFile(scratch.path("stderr"));
    return run;
}

Json readJson(const std::string& path) {
    return Json::parse(kvhlrtest::readFile(path));
}

std::string model(const std::string& name) {
    return std::string(KVHLR_MODELS) + "/" + name;
}

TEST(KvhlrRun, VersionIsTheProjects) {
    const Result run = kvhlr({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "kvhlr " KVHLR_VERSION "\n");
}

TEST(KvhlrRun, DemoShowsEveryKindOfLineInEveryFormat) {
    TempDir dir;
    const Result demo = kvhlr({"--demo", "--progress"}, dir.path(""));
    ASSERT_EQ(demo.status, 0);
    EXPECT_NE(demo.err.find("writing demo.svg   0%"), std::string::npos) << "with its share: " << demo.err;
    EXPECT_NE(kvhlrtest::readFile(dir.path("demo.svg")).find("</svg>"), std::string::npos)
        << "demo.svg by default";
    ASSERT_EQ(kvhlr({"--demo", "-o", dir.path("demo.json")}).status, 0);
    ASSERT_EQ(kvhlr({"--demo", "-o", dir.path("demo.dxf")}).status, 0);
    // The DXF of another run holds as many lines on each kind's layer, and every kind is there.
    const kvhlrtest::DxfDocument dxf = kvhlrtest::readDxf(kvhlrtest::readFile(dir.path("demo.dxf")));
    std::map<std::string, int> fromDxf, fromJson;
    for (const auto& polyline : dxf.polylines)
        ++fromDxf[polyline.layer.substr(polyline.layer.find('-') + 1)];
    const Json doc = readJson(dir.path("demo.json"));
    for (const Json& line : doc["lines"])
        ++fromJson[kvhlr::layerOf(line["kind"].get<int>()).id];
    EXPECT_EQ(fromDxf, fromJson);
    using namespace kvhlr;
    for (int kind : {VisibleSilhouette, Hidden, VisibleConcaveSharp, VisibleConvexSharp})
        EXPECT_GT(fromJson[kvhlr::layerOf(kind).id], 0) << "kind " << kind;
}

// The lines of a drawing as a multiset: the library may hand equal drawings over in different orders
// when its threads interleave differently.
std::multiset<std::string> lineSet(const Json& doc) {
    std::multiset<std::string> set;
    for (const Json& line : doc["lines"])
        set.insert(line.dump());
    return set;
}

// Standard input to standard output, in each format that streams, and several models in one call.
TEST(KvhlrRun, PipesAndBatches) {
    TempDir dir;
    const std::string cube = std::string(KVHLR_TEST_DATA) + "/cube.stl";
    const Result json = kvhlr({"-", "-o", "-", "--format", "json", "--hidden"}, "", cube);
    ASSERT_EQ(json.status, 0) << json.err;
    ASSERT_EQ(kvhlr({cube, "-o", dir.path("cube.json"), "--hidden"}).status, 0);
    EXPECT_EQ(lineSet(Json::parse(json.out)), lineSet(readJson(dir.path("cube.json"))));
    const Result dxf = kvhlr({"-", "--format", "dxf", "--input-format", "stl"}, "", cube);
    ASSERT_EQ(dxf.status, 0) << dxf.err;
    EXPECT_EQ(kvhlrtest::readDxf(dxf.out).header.at("$INSUNITS"), "4");

    // Into a folder, or names made of the model's, in folders that kvhlr makes.
    const auto drawn = [&](const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path(folder)))
            names.insert(entry.path().filename().string());
        return names;
    };
    const std::string sphere = model("sphere_with_hole.obj");
    ASSERT_EQ(kvhlr({cube, sphere, "-o", dir.path("drawings/"), "--format", "dxf"}).status, 0);
    EXPECT_EQ(drawn("drawings"), (std::set<std::string>{"cube.dxf", "sphere_with_hole.dxf"}));
    ASSERT_EQ(kvhlr({cube, "-o", dir.path("named/top/{name}-top.dxf")}).status, 0);
    EXPECT_EQ(drawn("named/top"), std::set<std::string>{"cube-top.dxf"});
    // Every input is checked before the first is drawn; a bad one found later names those left undrawn.
    std::filesystem::create_directory(dir.path("batch"));
    EXPECT_EQ(kvhlr({cube, dir.path("missing.obj"), "-o", dir.path("batch")}).status, 2);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("batch")));
    const std::string bad = dir.write("bad.obj", "f 1 2 3\n");
    const Result batch = kvhlr({cube, bad, model("bunny.obj"), "-o", dir.path("batch")});
    EXPECT_EQ(batch.status, 2);
    EXPECT_NE(batch.err.find("; not drawn: " + model("bunny.obj")), std::string::npos) << batch.err;
    // A cutting plane that misses a later model stops the batch before the first drawing.
    std::filesystem::create_directory(dir.path("sections"));
    const Result missed = kvhlr({cube, cube, dir.write("far.obj", "v 9 0 0\nv 9 1 0\nv 9 0 1\nf 1 2 3\n"), "-o",
                                 dir.path("sections/all.pdf"), "--section", "x=1"});
    EXPECT_EQ(missed.status, 2);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("sections")));
    EXPECT_NE(missed.err.find("--section: " + dir.path("far.obj") + ": the cutting plane misses the model"),
              std::string::npos) << missed.err;
    EXPECT_NE(missed.err.find("; not drawn: " + cube + ", " + cube + ", " + dir.path("far.obj")), std::string::npos)
        << missed.err;

    // Binary STL whose header says nothing is told by its size: 84 bytes and 50 a triangle.
    std::string stl(80, '\0');
    const std::uint32_t one = 1;
    const float triangle[12] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
    stl.append(reinterpret_cast<const char*>(&one), 4).append(reinterpret_cast<const char*>(triangle), 48).append(2, '\0');
    const Result piped = kvhlr({"-", "-o", dir.path("triangle.json")}, "", dir.write("triangle", stl));
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_FALSE(readJson(dir.path("triangle.json"))["lines"].empty());

    const std::string garbage = dir.write("garbage", "solid? no, not really");
    const Result refused = kvhlr({"-", "-o", dir.path("out.svg")}, "", garbage);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("standard input"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("/tmp"), std::string::npos) << "no name of a scratch file: " << refused.err;
}

#ifdef KVHLR_HAVE_CAD
// A STEP file on standard input is told by its content and drawn as from its name (z up), with or without
// --input-format, and with no word about the CAD options having no effect.
TEST(KvhlrRun, StepOnStandardInputIsDrawnAsFromItsName) {
    TempDir dir;
    const std::string bracket = model("bracket.step");
    ASSERT_EQ(kvhlr({bracket, "--deflection", "0.1%", "-o", dir.path("named.svg")}).status, 0);
    for (const std::vector<std::string>& format : {std::vector<std::string>{}, {"--input-format", "step"}}) {
        std::vector<std::string> args{"-", "--deflection", "0.1%", "-o", dir.path("piped.svg")};
        args.insert(args.end(), format.begin(), format.end());
        const Result piped = kvhlr(args, "", bracket);
        ASSERT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.err.find("no effect"), std::string::npos) << piped.err;
        EXPECT_EQ(kvhlrtest::readFile(dir.path("piped.svg")), kvhlrtest::readFile(dir.path("named.svg")));
    }
}
#endif

TEST(KvhlrRun, CameraFileReproducesTheDrawingAndThreadsDoNotChangeIt) {
    TempDir dir;
    ASSERT_EQ(
        kvhlr({"--demo", "-o", dir.path("fitted.json"), "--view", "trimetric", "--threads", "1"}).status, 0);
    ASSERT_EQ(kvhlr({"--demo", "-o", dir.path("again.json"), "--camera", dir.path("fitted.json")}).status, 0);
    const Json fitted = readJson(dir.path("fitted.json")), again = readJson(dir.path("again.json"));
    EXPECT_EQ(fitted["modelView"], again["modelView"]);
    EXPECT_EQ(fitted["projection"], again["projection"]);
    EXPECT_EQ(lineSet(fitted), lineSet(again));
}

// --eye places the camera at the eye, also inside the model with a perspective; --fit keeps only the
// direction and moves the eye out of the model.
TEST(KvhlrRun, EyeStaysWhereItIsPutUnlessFitted) {
    TempDir dir;
    const auto eyeInView = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args{"--demo", "-o", dir.path("eye.json"), "--eye", "0.5,0.5,0.5", "--target", "0,0,0",
                                      "--perspective", "60"};
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(kvhlr(args).status, 0);
        const Json m = readJson(dir.path("eye.json"))["modelView"];
        std::array<double, 3> eye{};
        for (int row = 0; row < 3; ++row)
            eye[row] = m[4 * row].get<double>() * 0.5 + m[4 * row + 1].get<double>() * 0.5 +
                       m[4 * row + 2].get<double>() * 0.5 + m[4 * row + 3].get<double>();
        return eye;
    };
    for (double c : eyeInView({}))
        EXPECT_NEAR(c, 0.0, 1e-9);
    EXPECT_GT(std::abs(eyeInView({"--fit"})[2]), 1.0);
}

// A run refused for bad input: status 2, one line naming `subject`, no output file, nothing left over.
// What each reader refuses, and why, is tested with the readers; these are the refusals that only the
// whole run sees, and one of each reader's.
Result expectRefused(const std::vector<std::string>& args, const std::string& subject, const TempDir& dir,
                     std::size_t entriesBefore) {
    const Result run = kvhlr(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(subject), std::string::npos) << run.err;
    EXPECT_EQ(dir.entries().size(), entriesBefore) << "nothing written";
    return run;
}

TEST(KvhlrRun, BadInputIsRefusedWithOneLineAndNoOutput) {
    TempDir dir;
    const std::string out = dir.path("out.svg");
    const std::string cube = std::string(KVHLR_TEST_DATA) + "/cube.obj";
    // An orthographic camera inside the model (a perspective one draws what lies beyond its near plane).
    const std::string inside =
        dir.write("inside.json", R"({"modelView": [1,0,0,-1, 0,1,0,-1, 0,0,1,-1, 0,0,0,1],
        "projection": [1,0,0,0, 0,1,0,0, 0,0,-0.20202,-1.0202, 0,0,0,1], "near": 0.1, "far": 10})");
    const std::string notAFolder = dir.write("file.txt", "");
    const std::size_t entries = dir.entries().size();

    expectRefused({dir.path("missing.obj"), "-o", out}, "missing.obj", dir, entries);
    expectRefused({dir.path(""), "-o", out}, "directory", dir, entries);
    expectRefused({"-", "-o", out}, "standard input is empty", dir, entries);
    expectRefused({cube, "-o", out, "--camera", inside}, inside, dir, entries);
    expectRefused({cube, "-o", notAFolder + "/sub/out.svg"},
                  "cannot make the output folder " + notAFolder + "/sub", dir, entries);
    expectRefused({cube, "-o", out, "--eye", "1,1,1", "--target", "1,1,1"}, "--eye", dir, entries);
    // A scale too large for the paper is found right after reading, before drawing.
    const std::string bunny = model("bunny.obj");
    const std::string late = expectRefused({bunny, "-o", out, "--paper", "A4", "--scale", "1000:1", "--progress"},
                                           "--scale", dir, entries).err;
    EXPECT_EQ(late.find("drawing"), std::string::npos) << late;
    // Planes that cannot cut: found once the model is read, before anything is written.
    // The folders made for the output go again.
    expectRefused({cube, "-o", dir.path("new/folder/out.svg"), "--section", "x=1000"},
                  "--section: the cutting plane misses the model", dir, entries);
    expectRefused({cube, "-o", out, "--section", "x=0", "--view", "front"}, "--section: the cutting plane is seen edge-on",
                  dir, entries);
    expectRefused({cube, "-o", out, "--plan", "1000"}, "--plan: the cutting plane misses the model", dir, entries);
    // Hatching that would run to millions of lines is refused before it is made, with the least spacing.
    expectRefused({cube, "-o", out, "--section", "x=1", "--hatch-spacing", "1e-310"},
                  "--hatch-spacing: the hatching would draw more than 500000 lines in this view; give a spacing of at "
                  "least ",
                  dir, entries);
}

// The scale a sheet's title block states ("1:100"), read from its SVG.
std::string titleScale(const std::string& svgPath) {
    const std::string svg = kvhlrtest::readFile(svgPath);
    const std::size_t at = svg.find(">Scale ");
    return at == std::string::npos ? "" : svg.substr(at + 7, svg.find('<', at) - at - 7);
}

// The model's unit makes a sheet's scale true: the example house, 16 m wide in centimetres, goes on A3
// at 1:100 with --units cm (at 1:10 taken as millimetres); a STEP file's unit comes from the file, and
// --units overrides it; an unknown unit is refused.
TEST(KvhlrRun, ModelUnitsMakeTheSheetsScaleTrue) {
    TempDir dir;
    const std::string house = model("regr01_house.obj"), out = dir.path("house.svg");
    const std::vector<std::string> sheet{"--up-axis", "z", "--paper", "A3", "-o", out};
    std::vector<std::string> args{house, "--units", "cm"};
    args.insert(args.end(), sheet.begin(), sheet.end());
    ASSERT_EQ(kvhlr(args).status, 0);
    EXPECT_EQ(titleScale(out), "1:100");
    args.erase(args.begin() + 1, args.begin() + 3);
    ASSERT_EQ(kvhlr(args).status, 0);
    EXPECT_EQ(titleScale(out), "1:10");
    expectRefused({house, "--paper", "A3", "--units", "yards", "-o", out}, "--units: unknown unit 'yards'",
                  dir, dir.entries().size());
#ifdef KVHLR_HAVE_CAD
    const std::string bracket = kvhlrtest::readFile(model("bracket.step"));
    const std::string millimetres = "SI_UNIT(.MILLI.,.METRE.)";
    ASSERT_NE(bracket.find(millimetres), std::string::npos);
    const std::string inMetres =
        dir.write("metres.step", std::string(bracket).replace(bracket.find(millimetres), millimetres.size(),
                                                              "SI_UNIT($,.METRE.)"));
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{model("bracket.step"), "--views", "front,top,right,iso"}, "1:1"},
        {{inMetres, "--views", "front,top,right,iso"}, "1:1000"},
        {{inMetres, "--views", "front,top,right,iso", "--units", "mm"}, "1:1"},
    };
    for (auto [step, scale] : cases) {
        step.insert(step.end(), {"--paper", "A3", "--deflection", "0.1%", "-o", out});
        ASSERT_EQ(kvhlr(step).status, 0) << step[0];
        EXPECT_EQ(titleScale(out), scale) << step[0];
    }
#endif
}

TEST(KvhlrRun, ASectionSheetHasItsLayersLabelAndCuttingPlaneAndAnOpenBodyIsNamed) {
    TempDir dir;
    const std::string sheet = dir.path("sheet.svg");
    ASSERT_EQ(kvhlr({"--demo", "--views", "front,top,section:A", "--section", "front", "--paper", "A3", "-o", sheet})
                  .status,
              0);
    const std::string svg = kvhlrtest::readFile(sheet);
    for (const char* part : {"section-A-section", "section-A-hatching", "SECTION A\u2013A", "top-cutting-plane",
                             "top-cutting-plane-ends"})
        EXPECT_NE(svg.find(part), std::string::npos) << part;
    EXPECT_EQ(svg.find("front-cutting-plane"), std::string::npos) << "the front view sees the plane face on";
    // A tetrahedron without its bottom face: the cut does not close.
    const std::string open = dir.write("open.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3\nf 1 2 4\nf 2 3 4\n");
    const Result run = kvhlr({open, "--section-point", "0.2,0.2,0.2", "--section-normal", "0,0,1", "-o", dir.path("o.svg")});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("warning: " + open + ": body 1 is not closed where the plane cuts it"), std::string::npos)
        << run.err;
}

// A DXF file is both a mesh kvhlr reads and a drawing it writes: an output that leads to the input,
// by its own name, a symbolic link or a second hard link, is refused and the input kept.
TEST(KvhlrRun, OutputThatIsTheInputIsRefused) {
    TempDir dir;
    const std::string part = dir.path("part.dxf");
    ASSERT_EQ(kvhlr({std::string(KVHLR_TEST_DATA) + "/cube.obj", "-o", part}).status, 0);
    const std::string original = kvhlrtest::readFile(part);
    std::filesystem::create_symlink(part, dir.path("link.dxf"));
    std::filesystem::create_hard_link(part, dir.path("hard.dxf"));
    for (const auto& [input, output] : {std::pair{part, part}, std::pair{dir.path("link.dxf"), part},
                                        std::pair{part, dir.path("hard.dxf")}}) {
        const Result run = kvhlr({input, "-o", output});
        EXPECT_EQ(run.status, 2) << input << " -> " << output;
        EXPECT_NE(run.err.find("is the input file"), std::string::npos) << run.err;
    }
    EXPECT_EQ(kvhlrtest::readFile(part), original);
    EXPECT_EQ(dir.entries().size(), 3u);
}

TEST(KvhlrRun, MeshWithoutTrianglesGivesAnEmptyDrawingAndAWarning) {
    TempDir dir;
    const std::string lines = dir.write("lines.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nl 1 2 3\n");
    const Result run = kvhlr({lines, "-o", dir.path("lines.json")});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("warning"), std::string::npos);
    EXPECT_TRUE(readJson(dir.path("lines.json"))["lines"].empty());
}

// A torus of 2 * n * n triangles.
std::string torusObj(int n) {
    std::string text;
    char buffer[96];
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const double u = 2 * M_PI * i / n, v = 2 * M_PI * j / n;
            std::snprintf(buffer, sizeof buffer, "v %.9f %.9f %.9f\n", (3 + std::cos(v)) * std::cos(u),
                          (3 + std::cos(v)) * std::sin(u), std::sin(v));
            text += buffer;
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const int a = i * n + j + 1, b = (i + 1) % n * n + j + 1, c = (i + 1) % n * n + (j + 1) % n + 1,
                      d = i * n + (j + 1) % n + 1;
            std::snprintf(buffer, sizeof buffer, "f %d %d %d\nf %d %d %d\n", a, b, c, a, c, d);
            text += buffer;
        }
    return text;
}

// Ctrl-C, SIGTERM and SIGHUP, while the file is read and while the library draws: the tool stops at
// once, leaves no file or folder of its own behind and the existing output as it was.
TEST(KvhlrRun, StopSignalsEndTheRunAtOnceAndLeaveNothing) {
    TempDir dir;
    const std::string torus = dir.write("torus.obj", torusObj(400));
    const std::string existing = dir.write("torus.svg", "old drawing");
    const std::vector<std::string> entries = dir.entries();
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        for (const std::string stage : {"reading", "drawing"}) {
            SCOPED_TRACE(std::string(strsignal(signal)) + " while " + stage);
            // Ctrl-C while drawing into folders that kvhlr made.
            const std::string output =
                signal == SIGINT && stage == "drawing" ? dir.path("new/sub/torus.svg") : existing;
            int pipeFds[2];
            ASSERT_EQ(pipe(pipeFds), 0);
            const pid_t pid = spawn({torus, "-o", output, "--hidden", "--progress"}, "", pipeFds[1]);
            close(pipeFds[1]);
            std::string err;
            char buffer[256];
            bool sent = false;
            auto sentAt = std::chrono::steady_clock::now();
            for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
                err.append(buffer, n);
                if (!sent && err.find(stage) != std::string::npos) {
                    kill(pid, signal);
                    sent = true;
                    sentAt = std::chrono::steady_clock::now();
                }
            }
            close(pipeFds[0]);
            const int status = waitFor(pid);
            EXPECT_TRUE(sent) << err;
            EXPECT_LT(std::chrono::steady_clock::now() - sentAt, std::chrono::seconds(1));
            EXPECT_EQ(status, 128 + signal);
            EXPECT_NE(err.find("interrupted"), std::string::npos) << err;
            EXPECT_EQ(dir.entries(), entries) << "no temporary file or folder left";
            EXPECT_EQ(kvhlrtest::readFile(existing), "old drawing");
        }
}

} // namespace
