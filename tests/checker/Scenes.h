#pragma once

// Small meshes and cameras for the checker's tests, built by hand so that what the checker should
// find in them can be worked out on paper.

#include "checker/Drawing.h"
#include "checker/Mesh.h"

#include <cmath>

namespace kvcheck::test {

// The unit cube [0, 1]^3, wound counter-clockwise seen from outside, two triangles per face.
inline Mesh unitCube() {
    Mesh cube;
    for (int i = 0; i < 8; ++i)
        cube.points.push_back({double(i & 1), double(i >> 1 & 1), double(i >> 2 & 1)});
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
        cube.triangles.push_back({std::uint32_t(q[0]), std::uint32_t(q[1]), std::uint32_t(q[2])});
        cube.triangles.push_back({std::uint32_t(q[0]), std::uint32_t(q[2]), std::uint32_t(q[3])});
    }
    return cube;
}

inline Vec3 unit(const Vec3& v) {
    return (1.0 / length(v)) * v;
}

// World to view: the eye at `eye` looks toward `target` along -z, `up` pointing up in the picture.
inline Mat4 lookAt(const Vec3& eye, const Vec3& target, const Vec3& up) {
    const Vec3 f = unit(target - eye), s = unit(cross(f, up)), u = cross(s, f);
    return {{s.x, s.y, s.z, -dot(s, eye), u.x, u.y, u.z, -dot(u, eye), -f.x, -f.y, -f.z, dot(f, eye), 0, 0, 0,
             1}};
}

// Orthographic: the view box |x| <= halfWidth, |y| <= halfWidth, near <= -z <= far.
inline Camera orthographic(const Mat4& modelView, double halfWidth, double nearDepth, double farDepth) {
    const double depth = farDepth - nearDepth;
    Camera camera{modelView,
                  {{1 / halfWidth, 0, 0, 0, 0, 1 / halfWidth, 0, 0, 0, 0, -2 / depth,
                    -(farDepth + nearDepth) / depth, 0, 0, 0, 1}},
                  nearDepth,
                  farDepth};
    return camera;
}

inline Camera perspective(const Mat4& modelView, double fovDegrees, double nearDepth, double farDepth) {
    const double f = 1 / std::tan(fovDegrees * M_PI / 360), depth = farDepth - nearDepth;
    Camera camera{modelView,
                  {{f, 0, 0, 0, 0, f, 0, 0, 0, 0, -(farDepth + nearDepth) / depth,
                    -2 * farDepth * nearDepth / depth, 0, 0, -1, 0}},
                  nearDepth,
                  farDepth};
    return camera;
}

} // namespace kvcheck::test
