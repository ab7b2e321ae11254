#include "checker/RayTriangle.h"

#include <algorithm>

namespace kvcheck {

Ray makeRay(const Vec3& origin, const Vec3& unitDirection, double rayLength) {
    Ray ray{origin, unitDirection, {}, {}, rayLength};
    // Start from the axis least aligned with the direction, so the cross product is well conditioned.
    const Vec3 d = unitDirection;
    const Vec3 axis = std::abs(d.x) <= std::abs(d.y) && std::abs(d.x) <= std::abs(d.z) ? Vec3{1, 0, 0}
                      : std::abs(d.y) <= std::abs(d.z)                                 ? Vec3{0, 1, 0}
                                                                                       : Vec3{0, 0, 1};
    const Vec3 first = cross(d, axis);
    ray.across1 = (1.0 / length(first)) * first;
    ray.across2 = cross(d, ray.across1);
    return ray;
}

namespace {

Vec2 flat(const Ray& ray, const Vec3& p) {
    const Vec3 q = p - ray.origin;
    return {dot(q, ray.across1), dot(q, ray.across2)};
}

double along(const Ray& ray, const Vec3& p) {
    return dot(p - ray.origin, ray.direction);
}

// Where the ray touches a triangle whose sides in `touchedSides` (bit k: side k) pass within reach of it.
Contact placeTouch(const Vec2 (&corners)[3], const double (&depth)[3], unsigned touchedSides,
                   const double (&sideDepth)[3], double tolerance) {
    const double area = cross(corners[1] - corners[0], corners[2] - corners[0]);
    Contact touch{Crossing::Touch, Place::Elsewhere, 0, static_cast<std::int8_t>(area > 0 ? 1 : -1)};
    // Seen nearly edge-on, which side of the ray the triangle covers is for rounding to decide.
    const double longest = std::max(
        {length(corners[1] - corners[0]), length(corners[2] - corners[1]), length(corners[0] - corners[2])});
    if (!(std::abs(area) > tolerance * longest))
        return touch;
    unsigned nearCorners = 0;
    for (int k = 0; k < 3; ++k)
        if (length(corners[k]) <= tolerance)
            nearCorners |= 1u << k;
    for (std::uint8_t k = 0; k < 3; ++k) {
        const unsigned sidesAtCorner = 1u << k | 1u << (k + 2) % 3;
        if (nearCorners == 1u << k && (touchedSides & ~sidesAtCorner) == 0 && depth[k] > tolerance) {
            touch.place = Place::Corner;
            touch.index = k;
        } else if (nearCorners == 0 && touchedSides == 1u << k && sideDepth[k] > tolerance) {
            touch.place = Place::Side;
            touch.index = k;
        }
    }
    return touch;
}

} // namespace

Contact crossTriangle(const Ray& ray, const Vec3& a, const Vec3& b, const Vec3& c, double tolerance) {
    const Vec3* corners[3] = {&a, &b, &c};
    const double depth[3] = {along(ray, a), along(ray, b), along(ray, c)};
    if (std::max({depth[0], depth[1], depth[2]}) < -tolerance ||
        std::min({depth[0], depth[1], depth[2]}) > ray.length)
        return {};
    const Vec2 flatCorners[3] = {flat(ray, a), flat(ray, b), flat(ray, c)};
    const Vec2 origin{0, 0};

    // A side or corner within reach of the ray: blocked or not is for rounding to decide, unless that
    // stretch of the triangle lies behind the origin or beyond the ray's end.
    unsigned touchedSides = 0;
    double sideDepth[3] = {};
    for (int k = 0; k < 3; ++k) {
        double at = 0;
        if (distanceToSegment(origin, flatCorners[k], flatCorners[(k + 1) % 3], at) > tolerance)
            continue;
        sideDepth[k] = (1 - at) * depth[k] + at * depth[(k + 1) % 3];
        if (sideDepth[k] >= -tolerance && sideDepth[k] <= ray.length)
            touchedSides |= 1u << k;
    }
    if (touchedSides != 0)
        return placeTouch(flatCorners, depth, touchedSides, sideDepth, tolerance);

    // Strictly inside: the three sides see the origin on the same side as the triangle's area.
    const double area = cross(flatCorners[1] - flatCorners[0], flatCorners[2] - flatCorners[0]);
    for (int k = 0; k < 3; ++k) {
        const Vec2 s0 = flatCorners[k], s1 = flatCorners[(k + 1) % 3];
        if (area == 0 || cross(s1 - s0, origin - s0) * area <= 0)
            return {};
    }
    const Vec3 normal = cross(*corners[1] - *corners[0], *corners[2] - *corners[0]);
    const double t = dot(normal, a - ray.origin) / dot(normal, ray.direction);
    if (t < -tolerance || t > ray.length)
        return {};
    return {t <= tolerance ? Crossing::Touch : Crossing::Hit};
}

} // namespace kvcheck
