#pragma once

// A camera's drawing plane, measured alike by the library's output and the drawing kit: the inverse
// of a transform whose columns differ widely in size, and the world length of one screen unit, by
// which screen coordinates become the drawing's. Header-only, so that the kit compiles it in; no
// public header includes it.

#include "host/opennurbs.h"

#include <algorithm>
#include <cmath>

namespace KvHLR {

// Replaces `xform` by its inverse, found with every column first scaled to a largest entry of 1: the
// plain inversion's rounding fails transforms whose columns differ in size (a model far from the
// origin, or in very large or small units, puts numbers of another size into the translation column
// alone). Returns false when it is singular even so; `xform` then holds no inverse.
inline bool invertScaled(ON_Xform& xform) {
    double scale[4];
    for (int column = 0; column < 4; ++column) {
        double largest = 0.0;
        for (int row = 0; row < 4; ++row)
            largest = std::max(largest, std::fabs(xform[row][column]));
        scale[column] = largest > 0.0 ? 1.0 / largest : 1.0;
        for (int row = 0; row < 4; ++row)
            xform[row][column] *= scale[column];
    }
    const bool inverted = xform.Invert(nullptr);
    // (X S)^-1 = S^-1 X^-1, so X^-1 = S (X S)^-1: row i of the inverse scales by S's entry i.
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            xform[row][column] *= scale[row];
    return inverted;
}

// The world lengths of one screen unit along x and y in the drawing plane (through the screen's
// origin), for a camera's world-to-screen transform: the drawing's coordinates are screen
// coordinates times these. For a singular transform they mean nothing.
struct ScreenUnit {
    double x;
    double y;
};

inline ScreenUnit screenUnit(ON_Xform const& worldToScreen) {
    ON_Xform screenToWorld = worldToScreen;
    if (!screenToWorld.Invert(nullptr)) {
        screenToWorld = worldToScreen;
        invertScaled(screenToWorld);
    }
    const ON_3dPoint origin = screenToWorld * ON_3dPoint(0.0, 0.0, 0.0);
    return {(origin - screenToWorld * ON_3dPoint(1.0, 0.0, 0.0)).Length(),
            (origin - screenToWorld * ON_3dPoint(0.0, 1.0, 0.0)).Length()};
}

} // namespace KvHLR
