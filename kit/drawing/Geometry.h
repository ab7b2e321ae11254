#pragma once

// The kit's geometry helpers, one of each for the kit's own files (not installed): the products of the
// host's vectors, which its types leave out, and a line clipped to a box.
//
// In:  the host's points and vectors (host/opennurbs.h); boxes of the drawing plane (Box2).
// Out: numbers and vectors; parameter ranges along a line.

#include "kit/drawing/Drawing.h"

#include <optional>
#include <utility>

namespace kvhlr {

inline double dot(const ON_3dVector& a, const ON_3dVector& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// With a point: the product with its position vector.
inline double dot(const ON_3dVector& a, const ON_3dPoint& p) {
    return a.x * p.x + a.y * p.y + a.z * p.z;
}

inline ON_3dVector cross(const ON_3dVector& a, const ON_3dVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Of length 1 along v; the length measured without overflow or underflow, so that huge and tiny vectors
// keep their direction.
inline ON_3dVector unit(const ON_3dVector& v) {
    const double s = 1.0 / v.Length();
    return {v.x * s, v.y * s, v.z * s};
}

// The image of a direction under a transformation's linear part: what a unit step along it becomes,
// free of the rounding of adding it to a far point.
inline ON_3dVector linearImage(const ON_Xform& m, const ON_3dVector& d) {
    return {m[0][0] * d.x + m[0][1] * d.y + m[0][2] * d.z, m[1][0] * d.x + m[1][1] * d.y + m[1][2] * d.z,
            m[2][0] * d.x + m[2][1] * d.y + m[2][2] * d.z};
}

// The parameter range of the points p + t * d, t within [t0, t1] (infinite ends allowed), that lie in
// the box (Liang-Barsky); nothing when they miss it. Along an axis where d moves by no more than
// `still`, the line counts as parallel to the box's sides.
std::optional<std::pair<double, double>> rangeInBox(const ON_2dPoint& p, const ON_2dPoint& d, const Box2& box,
                                                    double t0, double t1, double still = 0.0);

} // namespace kvhlr
