// Lines where triangles meet, found in scenes laid out by hand, and the candidate pairs they come from.

#include "checker/Intersections.h"
#include "checker/TrianglePairs.h"

#include <gtest/gtest.h>

#include <random>

namespace kvcheck {
namespace {

struct Found {
    int certain = 0, uncertain = 0;
    double length = 0; // of the certain segments
    int carriers = 0;  // of the last certain segment
};

TEST(Intersections, CrossingsMakeLinesAndTouchesNone) {
    // Against the floor, a large horizontal triangle at height 0 (points 0 to 2, triangle 0): triangle
    // 3 4 5, or a fold of two triangles along the edge from point 3 to point 4, which lies in the floor.
    auto fold = [](double z1, double z2) {
        return std::vector<Vec3>{{-1, 0, 0}, {1, 0, 0}, {0, 1, z1}, {0, -1, z2}};
    };
    const std::vector<Triangle> folded{{3, 4, 5}, {4, 3, 6}};
    struct Case {
        const char* what;
        std::vector<Vec3> points;
        bool edgeDrawn; // from point 3 to point 4
        Found expected;
        std::vector<Triangle> triangles{{3, 4, 5}};
    };
    const Case cases[] = {
        {"standing through the floor", {{-1, 0, -1}, {1, 0, -1}, {0, 0, 1}}, false, {1, 0, 1, 2}},
        {"standing on a corner", {{-1, 0, 1}, {1, 0, 1}, {0, 0, 0}}, false, {}},
        {"touching its edge with a corner", {{0, -5, -1}, {0, -5, 1}, {0, -4, 0}}, false, {}},
        {"lying on the floor", {{-1, -1, 0}, {1, -1, 0}, {0, 1, 0}}, false, {}},
        {"resting a drawn edge on it", {{-1, 0, 0}, {1, 0, 0}, {0, 0, 1}}, true, {}},
        {"sunk a hair into it", {{-1, 0, -1e-5}, {1, 0, -1e-5}, {0, 0, 1}}, true, {0, 1, 0, 0}},
        {"hovering a hair above it, leaning", {{-1, 0, 5e-5}, {1, 0, 5e-5}, {0, 1, 0.05}}, false, {}},
        {"crossing it at a shallow angle",
         {{-1, -1, -1e-3}, {1, -1, -1e-3}, {0, 1, 3e-3}},
         false,
         {0, 1, 0, 0}},
        {"crossing it from one of its corners", {{0, 0, 1}, {1, 1, -1}}, false, {}, {{0, 3, 4}}},
        {"folding through it along a smooth edge", fold(1, -1), false, {1, 0, 2, 3}, folded},
        {"folding onto it along a smooth edge", fold(1, 1), false, {}, folded},
        {"folding through it along a drawn edge", fold(1, -1), true, {}, folded},
        {"folding along the floor", fold(1, 0), false, {0, 1, 0, 0}, folded},
    };
    for (const Case& c : cases) {
        Mesh mesh{{{-4, -4, 0}, {4, -4, 0}, {0, 4, 0}}, {{0, 1, 2}}};
        mesh.points.insert(mesh.points.end(), c.points.begin(), c.points.end());
        mesh.triangles.insert(mesh.triangles.end(), c.triangles.begin(), c.triangles.end());
        std::vector<FeatureEdge> drawn;
        if (c.edgeDrawn)
            drawn.push_back({{3, 4}, {}, 0, EdgeClass::Sharp});
        Found found;
        for (const IntersectionSegment& s : findIntersections(mesh, drawn, 1e-6)) {
            ++(s.uncertain ? found.uncertain : found.certain);
            if (!s.uncertain) {
                found.length += length(s.ends[1] - s.ends[0]);
                found.carriers = s.carriers.count;
            }
        }
        EXPECT_EQ(found.certain, c.expected.certain) << c.what;
        EXPECT_EQ(found.uncertain, c.expected.uncertain) << c.what;
        EXPECT_NEAR(found.length, c.expected.length, 1e-9) << c.what;
        EXPECT_EQ(found.carriers, c.expected.carriers) << c.what;
    }
}

TEST(TrianglePairs, EveryPairOfOverlappingBoxesOnce) {
    // Small triangles with a few large ones among them, which make the grid's cells grow.
    std::mt19937 random(1);
    std::uniform_real_distribution<double> place(0, 3), corner(0, 1);
    Mesh mesh;
    for (std::uint32_t t = 0; t < 400; ++t) {
        const double size = t % 100 == 0 ? 8 : 0.5;
        const Vec3 at{place(random), place(random), place(random)};
        for (int k = 0; k < 3; ++k)
            mesh.points.push_back(at + size * Vec3{corner(random), corner(random), corner(random)});
        mesh.triangles.push_back({3 * t, 3 * t + 1, 3 * t + 2});
    }
    const double margin = 0.05;
    auto overlap = [&](std::uint32_t i, std::uint32_t j) {
        for (double Vec3::*axis : {&Vec3::x, &Vec3::y, &Vec3::z}) {
            auto [iLo, iHi] = std::minmax(
                {mesh.points[3 * i].*axis, mesh.points[3 * i + 1].*axis, mesh.points[3 * i + 2].*axis});
            auto [jLo, jHi] = std::minmax(
                {mesh.points[3 * j].*axis, mesh.points[3 * j + 1].*axis, mesh.points[3 * j + 2].*axis});
            if (iLo - margin > jHi + margin || jLo - margin > iHi + margin)
                return false;
        }
        return true;
    };
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
    for (std::uint32_t i = 0; i < 400; ++i)
        for (std::uint32_t j = i + 1; j < 400; ++j)
            if (overlap(i, j))
                expected.emplace_back(i, j);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> found = overlappingBoxes(mesh, margin);
    std::sort(found.begin(), found.end());
    EXPECT_GT(expected.size(), 400u);
    EXPECT_EQ(found, expected);
}

} // namespace
} // namespace kvcheck
