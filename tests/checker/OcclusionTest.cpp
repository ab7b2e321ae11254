// Rays that meet a mesh exactly on a shared side or vertex: blocked where the surface closes around the
// point, left open where the ray only grazes it.

#include "checker/Occlusion.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kvcheck {
namespace {

Mesh meshOf(std::vector<Vec3> points, std::vector<Triangle> triangles) {
    return {std::move(points), std::move(triangles)};
}

// The square [-1, 1]^2 at height 1, its diagonal from corner 0 to corner 2 over the origin.
Mesh square(bool consistentlyWound) {
    return meshOf({{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
                  {{0, 1, 2}, consistentlyWound ? Triangle{0, 2, 3} : Triangle{0, 3, 2}});
}

// A roof whose ridge runs along y at x = 0, z = 1, its two panels sloping down to z = 0 at x = 1 and
// x = -1. The ridge is one side shared by triangles 1 and 2.
Mesh roof() {
    return meshOf({{0, -1, 1}, {0, 1, 1}, {1, -1, 0}, {1, 1, 0}, {-1, -1, 0}, {-1, 1, 0}},
                  {{0, 2, 3}, {0, 3, 1}, {0, 1, 5}, {0, 5, 4}});
}

// A low cone: the apex (0, 0, 1.5) over a hexagon of radius 1 at height 1, `sides` of its six
// triangles present.
Mesh cone(int sides) {
    Mesh mesh{{{0, 0, 1.5}}, {}};
    for (int k = 0; k < 6; ++k)
        mesh.points.push_back({std::cos(k * M_PI / 3), std::sin(k * M_PI / 3), 1});
    for (std::uint32_t k = 0; k < std::uint32_t(sides); ++k)
        mesh.triangles.push_back({0, 1 + k, 1 + (k + 1) % 6});
    return mesh;
}

Vec3 unitVector(const Vec3& v) {
    return (1.0 / length(v)) * v;
}

TEST(Occlusion, TouchedTrianglesBlockTogetherOnlyWhereTheSurfaceClosesAroundTheRay) {
    const Vec3 up{0, 0, 1};
    const Vec3 overRidge = unitVector({2, 0, 1}); // steeper than the far panel: grazes the ridge
    struct Case {
        const char* what;
        Mesh mesh;
        Vec3 origin, direction;
        int ignoredCount; // of triangle 0
        Visibility expected;
    };
    const Case cases[] = {
        {"through a square's diagonal", square(true), {0, 0, 0}, up, 0, Visibility::Hidden},
        {"through the diagonal, wound inconsistently", square(false), {0, 0, 0}, up, 0, Visibility::Hidden},
        {"through the diagonal, one triangle ignored", square(true), {0, 0, 0}, up, 1, Visibility::Unscored},
        {"through a boundary side", square(true), {1, 0, 0}, up, 0, Visibility::Unscored},
        {"beside the square", square(true), {3, 0, 0}, up, 0, Visibility::Visible},
        {"up through a roof's ridge", roof(), {0, 0, 0}, up, 0, Visibility::Hidden},
        {"grazing the ridge", roof(), Vec3{0, 0, 1} - 3 * overRidge, overRidge, 0, Visibility::Unscored},
        {"through the apex of a closed fan", cone(6), {0, 0, 0}, up, 0, Visibility::Hidden},
        {"through the apex of an open fan", cone(5), {0, 0, 0}, up, 0, Visibility::Unscored},
        {"grazing the apex", cone(6), {-3, 0, 1.5}, {1, 0, 0}, 0, Visibility::Unscored},
        {"in a triangle's plane",
         meshOf({{-1, 0, 1}, {1, 0, 1}, {0, 0, 3}}, {{0, 1, 2}}),
         {0, 0, 0},
         up,
         0,
         Visibility::Unscored},
    };
    for (const Case& c : cases) {
        const OcclusionScene scene(c.mesh, 1e-6);
        EXPECT_EQ(scene.trace(makeRay(c.origin, c.direction, 10), {{0}, c.ignoredCount}), c.expected)
            << c.what;
    }
}

} // namespace
} // namespace kvcheck
