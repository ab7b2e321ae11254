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

#include "checker/Geometry.h"

namespace kvcheck {

struct Ray {
    Vec3 origin;
    Vec3 direction;        // unit length
    Vec3 across1, across2; // unit, perpendicular to the direction and to each other
    double length = 0;
};

Ray makeRay(const Vec3& origin, const Vec3& unitDirection, double rayLength);

enum class Crossing { Miss, Hit, Touch };

Crossing crossTriangle(const Ray& ray, const Vec3& a, const Vec3& b, const Vec3& c, double tolerance);

} // namespace kvcheck
