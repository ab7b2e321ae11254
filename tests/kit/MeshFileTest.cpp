// Reading mesh files: welding across formats, node transforms, bodies, and every way a file can be bad.

#include "GltfFile.h"
#include "MeshChecks.h"
#include "TempDir.h"
#include "kit/InputError.h"
#include "kit/mesh/MeshFile.h"
#include "kit/mesh/ObjReader.h"
#include "kit/mesh/StlReader.h"

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <set>
#include <tuple>

namespace {

using kvhlr::MeshPart;
using kvhlrtest::TempDir;

std::vector<MeshPart> read(const std::string& path, bool bodies = false) {
    return kvhlr::readMeshFile(path, bodies, [](double) {});
}

std::set<std::tuple<double, double, double>> pointSet(const Kv::KvPointList& points) {
    std::set<std::tuple<double, double, double>> set;
    for (const ON_3dPoint& p : points)
        set.emplace(p.x, p.y, p.z);
    return set;
}

// The file's reason for failing, or "" when it was read.
std::string failure(const std::string& path) {
    try {
        read(path);
    } catch (const kvhlr::InputError& error) {
        EXPECT_EQ(error.subject(), path);
        return error.reason();
    }
    return "";
}

TEST(MeshFile, ReadsTheCommonFormats) {
    // The test cubes, the OBJ one written by the import library's own exporters, and a hand-written OFF
    // file: each welds into the same closed solid, in millimetres but glTF's in metres (told by content
    // too, without an extension).
    TempDir dir;
    Assimp::Importer importer;
    const aiScene* cube =
        importer.ReadFile(std::string(KVHLR_TEST_DATA) + "/cube.obj", aiProcess_Triangulate);
    ASSERT_NE(cube, nullptr);
    Assimp::Exporter exporter;
    std::vector<std::string> paths{dir.write("cube.off",
                                             "OFF\n8 6 0\n0 0 0\n2 0 0\n2 2 0\n0 2 0\n0 0 2\n2 0 2\n2 2 2\n"
                                             "0 2 2\n4 0 3 2 1\n4 4 5 6 7\n4 0 1 5 4\n4 1 2 6 5\n"
                                             "4 2 3 7 6\n4 3 0 4 7\n"),
                                   std::string(KVHLR_TEST_DATA) + "/cube.obj", std::string(KVHLR_TEST_DATA) + "/cube.stl"};
    const std::pair<const char*, const char*> formats[] = {
        {"collada", "dae"}, {"3ds", "3ds"},    {"3mf", "3mf"},  {"plyb", "ply"},
        {"glb2", "glb"},    {"gltf2", "gltf"}, {"stlb", "stl"}, {"x3d", "x3d"}};
    for (const auto& [format, extension] : formats) {
        paths.push_back(dir.path(std::string("cube.") + format + "." + extension));
        ASSERT_EQ(exporter.Export(cube, format, paths.back()), AI_SUCCESS) << format;
    }
    paths.push_back(dir.path("gltf2-without-extension"));
    std::filesystem::copy_file(dir.path("cube.gltf2.gltf"), paths.back());
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::vector<MeshPart> parts = read(path);
        ASSERT_EQ(parts.size(), 1u);
        const bool gltf = std::filesystem::path(path).filename().string().find("gl") != std::string::npos;
        EXPECT_EQ(parts[0].unitMm, gltf ? 1000.0 : 1.0);
        EXPECT_EQ(parts[0].points.size(), 8u);
        ASSERT_EQ(parts[0].faces[0].size(), 12u);
        EXPECT_TRUE(kvhlrtest::closedAndConsistent(parts[0].faces[0]));
        EXPECT_NEAR(kvhlrtest::signedVolume6(parts[0].points, parts[0].faces[0]), 6 * 8.0, 1e-9);
    }
}

// A tetrahedron wound outward, under a parent node moved by (10, 0, 0) and a child node mirrored in x.
const std::vector<float> kTetraPoints{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
const std::vector<std::uint16_t> kTetraTriangles{0, 2, 1, 0, 1, 3, 0, 3, 2, 1, 2, 3};

TEST(MeshFile, AppliesNodeTransformsAndKeepsMirroredMeshesOutwardWound) {
    TempDir dir;
    const std::string path = dir.write(
        "tetra.gltf",
        kvhlrtest::gltf(kTetraPoints, {kTetraTriangles},
                        R"([{"translation":[10,0,0],"children":[1]},{"scale":[-1,1,1],"mesh":0}])"));
    const std::vector<MeshPart> parts = read(path);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(pointSet(parts[0].points), (pointSet({{10, 0, 0}, {9, 0, 0}, {10, 1, 0}, {10, 0, 1}})));
    EXPECT_TRUE(kvhlrtest::closedAndConsistent(parts[0].faces[0]));
    EXPECT_GT(kvhlrtest::signedVolume6(parts[0].points, parts[0].faces[0]), 0.0);
}

TEST(MeshFile, BodiesGatherTheMeshesOfAnObjectOverSharedPoints) {
    // Two primitives of one mesh (two meshes of one node after import) meeting along an edge.
    TempDir dir;
    const std::string path =
        dir.write("pair.gltf", kvhlrtest::gltf({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {{0, 1, 2}, {1, 3, 2}},
                                               R"([{"mesh":0}])"));
    const std::vector<MeshPart> separate = read(path);
    ASSERT_EQ(separate.size(), 2u);
    EXPECT_EQ(separate[0].points.size(), 3u);
    EXPECT_EQ(separate[1].points.size(), 3u);

    const std::vector<MeshPart> bodies = read(path, true);
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_TRUE(bodies[0].body);
    ASSERT_EQ(bodies[0].faces.size(), 2u);
    EXPECT_EQ(bodies[0].points.size(), 4u) << "the common edge's points are welded across the faces";
}

std::string binaryStlTriangle(float x) {
    std::string bytes(80, ' ');
    const std::uint32_t count = 1;
    bytes.append(reinterpret_cast<const char*>(&count), 4);
    const float values[12] = {0, 0, 1, x, 0, 0, 1, 0, 0, 0, 1, 0};
    bytes.append(reinterpret_cast<const char*>(values), sizeof values);
    return bytes + std::string(2, '\0');
}

TEST(MeshFile, BadFilesAreReportedWithTheirReason) {
    TempDir dir;
    const std::string kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    std::filesystem::create_symlink("loop.b", dir.path("loop.a"));
    std::filesystem::create_symlink("loop.a", dir.path("loop.b"));
    auto tetra = [](float x, const std::string& nodes) {
        return kvhlrtest::gltf({0, 0, 0, x, 0, 0, 0, 1, 0, 0, 0, 1}, {kTetraTriangles}, nodes);
    };
    const std::pair<std::string, std::string> cases[] = {
        {dir.path("missing.stl"), "no such file"},
        {dir.path("loop.a"), "cannot open: too many levels of symbolic links"},
        {dir.path(""), "is a directory, not a mesh file"},
        {dir.write("empty.obj", ""), "the file is empty"},
        {dir.write("garbage.stl", "this is not a mesh at all"), "not a mesh file"},
        {dir.write("truncated.gltf", "{\"asset\": {\"version\": \"2.0\"}, \"meshes\": ["), "not a mesh"},
        {dir.write("vertices.off", "OFF\n2000000000 1 0\n0 0 0\n"), "declares 2000000000 vertices"},
        {dir.write("ok.stl", binaryStlTriangle(0.0f)), ""},
        {dir.write("nan.stl", binaryStlTriangle(std::numeric_limits<float>::quiet_NaN())),
         "triangle 1: a vertex coordinate is not a finite number"},
        // Numbers beyond single precision, written out or as infinity.
        {dir.write("inf.stl", binaryStlTriangle(std::numeric_limits<float>::infinity())),
         "a vertex coordinate is too large or infinite"},
        {dir.write("large.obj", "v 0 1 0\nv 1e308 0 0\nv 0 0 1\nf 1 2 3\n"),
         "line 2: a vertex coordinate is too large or infinite"},
        {dir.write("nan.obj", "v 0 0 nan\nv 0 1 0\nv 0 0 1\nv NaN 0 0\nf 1 2 3\n"),
         "line 1: a vertex coordinate is not a finite number"},
        {dir.write("number.obj", "v 0 0 0\nv 1e 0 0\nv 0 1 0\nf 1 2 3\n"), "line 2: '1e' is not a number"},
        {dir.write("count.obj", "v 0 0 0\nv 1 0\nv 0 1 0\nf 1 2 3\n"),
         "line 2: a vertex needs 3 coordinates (4 with a weight, 6 with a colour), not 2"},
        {dir.write("weight.obj", "v 0 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"), "line 1: a vertex has the weight 0"},
        {dir.write("index.obj", kTriangle + "f 1 2 3\r\nf 1 2 x\n"), "line 5: 'x' is not a vertex index"},
        {dir.write("zero.obj", kTriangle + "f 1/0 2 3\n"), "line 4: a face refers to index 0"},
        {dir.write("beyond.obj", kTriangle + "f 1 2 9\nf 1 2 3\n"),
         "line 4: a face refers to vertex 9, but the file holds 3 vertices"},
        {dir.write("before.obj", kTriangle + "f 1 2 -4\n"),
         "line 4: a face refers to vertex -4, but only 3 vertices come before it"},
        // Finite in the file, too large once placed by the node transforms (1e39 overflows the import
        // library's single precision).
        {dir.write("placed.gltf", tetra(1e30f, R"([{"scale":[1e29,1,1],"mesh":0}])")), ""},
        {dir.write("scaled.gltf", tetra(1e30f, R"([{"scale":[1e31,1,1],"mesh":0}])")),
         "a vertex coordinate is too large: the drawing can be computed only with coordinates up to 1e+60"},
        {dir.write("overflowed.gltf", tetra(1, R"([{"scale":[1e39,1,1],"mesh":0}])")),
         "a vertex coordinate is too large:"},
    };
    for (const auto& [path, reason] : cases) {
        const std::string actual = failure(path);
        if (reason.empty())
            EXPECT_EQ(actual, "") << path;
        else
            EXPECT_NE(actual.find(reason), std::string::npos) << path << ": " << actual;
    }
}

// Parts as text, coordinates exact, for comparing two readings of a file.
std::string described(const std::vector<MeshPart>& parts) {
    std::string text;
    char number[40];
    for (const MeshPart& part : parts) {
        text += part.body ? "body:" : "part:";
        for (const ON_3dPoint& p : part.points) {
            std::snprintf(number, sizeof number, " %a %a %a", p.x, p.y, p.z);
            text += number;
        }
        for (const Kv::KvTriangleList& face : part.faces) {
            text += " |";
            for (const auto& t : face)
                text += " " + std::to_string(t[0]) + "," + std::to_string(t[1]) + "," + std::to_string(t[2]);
        }
        text += "\n";
    }
    return text;
}

// Reads `path` with kvhlr's own reader, which must take it, and expects what the import library gives.
void expectReadAsImported(const std::string& path) {
    const bool stl = path.substr(path.size() - 4) == ".stl";
    for (bool bodies : {false, true}) {
        SCOPED_TRACE(path + (bodies ? " as bodies" : ""));
        const auto own = stl ? kvhlr::readBinaryStlFile(path, bodies, [](double) {})
                             : kvhlr::readObjFile(path, bodies, [](double) {});
        ASSERT_TRUE(own.has_value()) << "left to the import library";
        EXPECT_EQ(described(*own), described(kvhlr::importMeshFile(path, bodies, [](double) {})));
    }
}

// What kvhlr's own reader makes of `path` in `threads` pieces: the parts, the error, or that it leaves
// the file to the import library.
std::string ownReading(const std::string& path, bool bodies, unsigned threads) {
    const bool stl = path.substr(path.size() - 4) == ".stl";
    try {
        const auto parts = stl ? kvhlr::readBinaryStlFile(path, bodies, [](double) {}, threads)
                               : kvhlr::readObjFile(path, bodies, [](double) {}, threads);
        return parts ? described(*parts) : "left to the import library";
    } catch (const kvhlr::InputError& error) {
        return "error: " + error.reason();
    }
}

// Read in pieces by several threads, `path` gives what one thread reads; the pieces of a small file are
// a few lines each, so that they end in every kind of place.
void expectReadAlikeInPieces(const std::string& path) {
    for (bool bodies : {false, true}) {
        const std::string whole = ownReading(path, bodies, 1);
        for (unsigned threads : {2u, 3u, 8u})
            EXPECT_EQ(ownReading(path, bodies, threads), whole) << path << " in " << threads << " pieces";
    }
}

TEST(MeshFile, OwnReadersReadTheExampleModelsAsTheImportLibraryDoes) {
    TempDir dir;
    Assimp::Exporter exporter;
    for (const auto& entry : std::filesystem::directory_iterator(KVHLR_MODELS)) {
        if (entry.path().extension() != ".obj")
            continue;
        expectReadAsImported(entry.path().string());
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(entry.path().string(), 0);
        ASSERT_NE(scene, nullptr);
        const std::string stl = dir.path(entry.path().stem().string() + ".stl");
        ASSERT_EQ(exporter.Export(scene, "stlb", stl), AI_SUCCESS);
        expectReadAsImported(stl);
        expectReadAlikeInPieces(entry.path().string());
        expectReadAlikeInPieces(stl);
    }
    expectReadAsImported(std::string(KVHLR_TEST_DATA) + "/cube.obj");
}

// Every statement the reader takes, many times over, so that pieces end among them all: groups and
// objects that come back, negative indices (also reaching into earlier pieces) and forward ones, quads,
// lines, collapsed triangles, CRLF line ends, comments, positions shared between vertices (negative zero
// too), and a last line without its line end.
std::string mixedObj() {
    std::string text = "f 1 2 3\nv 9 9 9\nv 8 9 9\nv 9 8 9\nv 9 9 8\n";
    for (int b = 0; b < 300; ++b) {
        const std::string x = std::to_string(b % 7),
                          names[] = {"g part" + std::to_string(b % 5), "o object" + std::to_string(b % 4),
                                     "g", "s 1"};
        text += "v " + x + " 0 0\nv " + x + " 1 0\r\nv -0 " + x + " 1\nv " + x + ".5 0 1 # note\n" +
                names[b % 4] + "\nf -4 -3 -2\nf -8/1 -7//2 -6/3/4 -5\nf -4 -4 -1\nl -1 -2\n";
    }
    return text + "v 0 0 0\nf 1 2 -1";
}

TEST(MeshFile, ReadingInPiecesFindsTheFirstProblemOfTheFile) {
    TempDir dir;
    const std::string mixed = mixedObj();
    const std::string cases[] = {
        mixed,
        mixed + "\nf 1 2 x\n" + mixed + "\nf 1 2 0\n",                         // an error in each of two pieces
        mixed + "\nusemtl A\n" + mixed + "\nf 1 2 x\n",                        // left alone before the error
        mixed + "\nf 1 2 3 x\n" + mixed + "\nusemtl A\n",                      // the error before
        mixed + "\nf 1 -99999 2\n" + mixed,                                     // reaching before the first vertex
        mixed + "\nf 1 2 99999\n" + mixed + "\nf 1 2 99999\n",                 // beyond the last vertex
        mixed + "\nv nan 0 0\n" + mixed + "\nv 0 inf 0\nf -1 1 2\nf -1202 1 2\n", // the first used one named
    };
    for (const std::string& text : cases)
        expectReadAlikeInPieces(dir.write("mixed.obj", text));

    std::string stl(80, ' ');
    const std::uint32_t count = 1000;
    stl.append(reinterpret_cast<const char*>(&count), 4);
    for (std::uint32_t t = 0; t < count; ++t) {
        const float bad = t == 700 ? std::numeric_limits<float>::quiet_NaN() : t == 300 ? INFINITY : 0.0f;
        const float record[12] = {0, 0, 0, 0, 0, float(t % 9), 1, bad, 0, -0.0f, 1, float(t % 4)};
        stl.append(reinterpret_cast<const char*>(record), sizeof record).append(2, '\0');
    }
    expectReadAlikeInPieces(dir.write("bad.stl", stl));
}

TEST(MeshFile, OwnObjReaderFollowsTheImportLibraryOnOddFiles) {
    const std::string v = "v 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nv 1 0.5 0\n";
    const struct {
        const char* name;
        std::string text;
        bool own; // read by kvhlr's own reader, else left to the import library
    } cases[] = {
        {"forms", v + "f 1/1/1 2/2/2 3/3/3\nf 1//1 3//3 4//4\nf 2/1 3/1 5/1\n", true},
        {"negative", v + "f -5 -4 -3\nf 3 -2 -1\n", true},
        {"forward", "f 1 2 3\n" + v, true},
        {"quads", v + "f 1 2 3 4\nf 1 2 5 4\nf 2 3 4 5\n", true}, // convex, then each of two concave
        {"groups", v + "f 1 2 3\ng A\nf 1 3 4\ng A\nf 2 3 5\ng B\nf 1 2 5\ng A\nf 3 4 5\ng\nf 1 2 4\n", true},
        {"objects", v + "o X\nf 1 2 3\no Y\nf 1 3 4\no X\nf 2 3 5\no\nf 1 2 5\n", true},
        {"crlf", "# made by hand\r\nv 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\n  f 3 2 1\r\ns 1\r\nf 1 2 3", true},
        {"numbers", "v 1.0f 2,5 3.\nv 1e1 -2.5E-1 +7\nv 0.1 0.2 0.3 # note\nv 1 2 3 2\nv 0 0 1 1 0 0\nf 1 2 3\nf 3 4 5\n", true},
        {"lines", v + "l 1 2 3\np 4 5\nvt 0 0\nvn 0 0 1\nf 1 2 3\n", true},
        {"materials", v + "usemtl A\nf 1 2 3\nusemtl B\nf 1 3 4\n", false},
        {"pentagon", v + "f 1 2 3 4 5\n", false},
        {"continued", v + "f 1 2 \\\n3\n", false},
        {"backslash in a last line without its end", v + "f 1 2 3\n# a\\b", false},
        {"points only", v, false},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.write(std::string(c.name) + ".obj", c.text);
        expectReadAlikeInPieces(path);
        if (c.own) {
            expectReadAsImported(path);
            continue;
        }
        EXPECT_FALSE(kvhlr::readObjFile(path, false, [](double) {}).has_value()) << c.name;
        const std::string imported = failure(path).empty()
                                         ? described(kvhlr::importMeshFile(path, false, [](double) {}))
                                         : "failed";
        EXPECT_EQ(failure(path).empty() ? described(read(path)) : "failed", imported) << c.name;
    }
}

} // namespace
