// Reading OBJ files and welding them the way kvhlr does, so that both see the same shared edges.

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
