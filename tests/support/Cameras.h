#pragma once

// Cameras built the way graphics hosts build them (look-at view, orthographic or perspective
// projection), for tests that need a real view rather than an identity transform.

#include "host/opennurbs.h"

#include <cmath>

namespace KvHLRTest {

inline ON_Xform lookAt(ON_3dPoint eye, ON_3dPoint target, ON_3dVector up) {
    auto normalized = [](ON_3dVector v) {
        const double length = v.Length();
        return ON_3dVector(v.x / length, v.y / length, v.z / length);
    };
    auto cross = [](ON_3dVector a, ON_3dVector b) {
        return ON_3dVector(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    };
    const ON_3dVector forward = normalized(target - eye);
    const ON_3dVector side = normalized(cross(forward, up));
    const ON_3dVector upward = cross(side, forward);
    const ON_3dVector axes[3] = {side, upward, ON_3dVector(-forward.x, -forward.y, -forward.z)};
    ON_Xform view(1.0);
    for (int row = 0; row < 3; ++row) {
        view[row][0] = axes[row].x;
        view[row][1] = axes[row].y;
        view[row][2] = axes[row].z;
        view[row][3] = -(axes[row].x * eye.x + axes[row].y * eye.y + axes[row].z * eye.z);
    }
    return view;
}

inline ON_Xform orthographic(double left, double right, double bottom, double top, double nearDepth,
                             double farDepth) {
    ON_Xform projection(1.0);
    projection[0][0] = 2.0 / (right - left);
    projection[0][3] = -(right + left) / (right - left);
    projection[1][1] = 2.0 / (top - bottom);
    projection[1][3] = -(top + bottom) / (top - bottom);
    projection[2][2] = -2.0 / (farDepth - nearDepth);
    projection[2][3] = -(farDepth + nearDepth) / (farDepth - nearDepth);
    return projection;
}

inline ON_Xform perspective(double fovYDegrees, double aspect, double nearDepth, double farDepth) {
    const double f = 1.0 / std::tan(fovYDegrees * 3.141592653589793 / 360.0);
    ON_Xform projection(0.0);
    projection[0][0] = f / aspect;
    projection[1][1] = f;
    projection[2][2] = (farDepth + nearDepth) / (nearDepth - farDepth);
    projection[2][3] = 2.0 * farDepth * nearDepth / (nearDepth - farDepth);
    projection[3][2] = -1.0;
    projection[3][3] = 0.0;
    return projection;
}

} // namespace KvHLRTest
