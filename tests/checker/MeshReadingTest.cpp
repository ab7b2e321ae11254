// Reading OBJ files and welding them the way kvhlr does, so that both see the same shared edges.

#include "checker/InputError.h"
#include "checker/ObjFile.h"
#include "checker/Weld.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kvcheck {
namespace {

std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

TEST(ObjFile, SplitsPolygonsIntoFansAndResolvesEveryIndexForm) {
    const ObjContent content = readObj(writeFile("forms.obj", "# a quad and a triangle\n"
                                                              "o part\n"
                                                              "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                                              "vn 0 0 1\nvt 0 0\n"
                                                              "f 1/1/1 2/1/1 3//1 4\n"
                                                              "f -4 -3 -1\n"));
    ASSERT_EQ(content.mesh.points.size(), 4u);
    const std::vector<Triangle> expected{{0, 1, 2}, {0, 2, 3}, {0, 1, 3}};
    EXPECT_EQ(content.mesh.triangles, expected);
    EXPECT_EQ(content.groupLines, 1u);
}

TEST(ObjFile, RejectsWhatItCannotUseWithTheLineNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", "line 4: face corner '4' names no vertex"},
        {"v 0 0 0\nf 0 1 1\n", "line 2: face corner '0'"},
        {"v 0 0 0\nv 1 0 0\nf 1 2\n", "line 3: a face needs at least three corners"},
        {"v 0 zero 0\n", "line 1: expected a number, found 'zero'"},
        {"v 0 1e39 0\n", "line 1: coordinate '1e39' is not a finite"},
        {"v 0 0\n", "line 1: expected a number, found ''"},
        {"v 0 0 0\nf 1 x 1\n", "line 2: malformed face corner 'x'"},
    };
    for (const auto& [text, message] : cases) {
        try {
            readObj(writeFile("bad.obj", text));
            ADD_FAILURE() << "accepted: " << text;
        } catch (const InputError& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
    }
    EXPECT_THROW(readObj(::testing::TempDir() + "no_such_file.obj"), InputError);
}

TEST(Weld, JoinsExactlyEqualPositionsAndDropsCollapsedTriangles) {
    Mesh soup;
    soup.points = {{0, 0, 0},    {1, 0, 0},    {0, 1, 0},  // first triangle
                   {1, 0, 0},    {-0.0, 0, 0}, {1, 1, 0},  // shares an edge, one corner at -0
                   {1, 1, 0},    {1, 1, 0},    {2, 2, 0},  // collapses: two corners at one place
                   {0, 1, 1e-7}, {0, 2, 0},    {1, 2, 0}}; // near the first triangle, not on it
    soup.triangles = {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {9, 10, 11}};
    const Mesh welded = weld(soup);
    const std::vector<Triangle> expected{{0, 1, 2}, {1, 0, 3}, {4, 5, 6}};
    EXPECT_EQ(welded.triangles, expected);
    EXPECT_EQ(welded.points.size(), 7u);
}

} // namespace
} // namespace kvcheck
