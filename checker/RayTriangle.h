#pragma once

// Whether a triangle blocks a ray, in double precision, with an honest third answer for the cases that
// rounding could decide either way.
//
// The triangle is looked at along the ray: both are flattened onto the plane across the ray, where the
// ray is a single point (the origin) and the triangle a 2D triangle. The ray is blocked where that point
// lies inside, at a positive distance along the ray no further than the ray's length. Touch is the
// answer when the point lies within `tolerance` of a side or corner of the flattened triangle (the ray
// grazes a side or a shared vertex, or sees the triangle edge-on), or when the crossing lies within
// `tolerance` of the ray's origin (the triangle touches the point the ray starts from).
//
// A touch alone cannot say whether the ray gets through: that depends on the triangles beyond the
// touched side or corner (Occlusion.h). So a touch also tells where it lies, for the cases that its
// neighbours can settle: at one corner only, or on one side only away from its corners, clear of the
// ray's origin, with the triangle seen face-on enough that the side of the ray it covers is certain.
// Every other touch lies Elsewhere.

#include "checker/Geometry.h"

#include <cstdint>

namespace kvcheck {

struct Ray {
    Vec3 origin;
    Vec3 direction;        // unit length
    Vec3 across1, across2; // unit, perpendicular to the direction and to each other
    double length = 0;
};

Ray makeRay(const Vec3& origin, const Vec3& unitDirection, double rayLength);

enum class Crossing : std::uint8_t { Miss, Hit, Touch };

enum class Place : std::uint8_t { Corner, Side, Elsewhere };

struct Contact {
    Crossing crossing = Crossing::Miss;
    Place place = Place::Elsewhere; // of a Touch
    // The corner k, or the side from corner k to corner k + 1 (mod 3).
    std::uint8_t index = 0;
    // Of a Corner or Side touch: +1 when the triangle's normal (b - a) x (c - a) points along the ray,
    // -1 when against it. This is its winding in the flattened view: two triangles that run a common
    // side in opposite directions lie on opposite sides of it there exactly when their facings agree.
    std::int8_t facing = 0;
};

Contact crossTriangle(const Ray& ray, const Vec3& a, const Vec3& b, const Vec3& c, double tolerance);

} // namespace kvcheck
