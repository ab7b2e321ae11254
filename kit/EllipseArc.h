#pragma once

// The arithmetic of an arc of an ellipse, shared by the drawing's curves (kit/drawing/Drawing.h, in model
// units) and the page's (kit/sheet/Page.h, in millimetres). In: the centre, the two radii, the rotation
// (radians, counter-clockwise from x) and a parameter t. Out: the point centre + major (cos t, 0) +
// minor (0, sin t), turned by the rotation; and whether a stretch of parameters makes a whole turn.

#include <cmath>

namespace kvhlr {

struct EllipsePoint {
    double x, y;
};

inline EllipsePoint ellipsePoint(double centreX, double centreY, double major, double minor, double rotation,
                                 double t) {
    const double x = major * std::cos(t), y = minor * std::sin(t);
    const double c = std::cos(rotation), s = std::sin(rotation);
    return {centreX + c * x - s * y, centreY + s * x + c * y};
}

// An arc from `start` to `end` (end above start) is a closed curve when it runs a whole turn.
inline bool wholeTurn(double start, double end) {
    return end - start >= 2.0 * M_PI - 1e-9;
}

} // namespace kvhlr
