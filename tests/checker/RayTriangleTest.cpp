// The double-precision ray-triangle test: blocked, clear, or too close to call.

#include "checker/RayTriangle.h"

#include <gtest/gtest.h>

namespace kvcheck {
namespace {

constexpr double kTolerance = 1e-6;

// A ray up the z axis from the origin, 10 long, against the triangle with corners a, b, c lifted to z.
Crossing upward(Vec2 a, Vec2 b, Vec2 c, double z) {
    const Ray ray = makeRay({0, 0, 0}, {0, 0, 1}, 10);
    return crossTriangle(ray, {a.x, a.y, z}, {b.x, b.y, z}, {c.x, c.y, z}, kTolerance);
}

TEST(RayTriangle, AcrossVectorsAreOrthonormal) {
    const Ray ray = makeRay({1, 2, 3}, {0.6, 0, 0.8}, 1);
    EXPECT_NEAR(dot(ray.across1, ray.direction), 0, 1e-15);
    EXPECT_NEAR(dot(ray.across2, ray.direction), 0, 1e-15);
    EXPECT_NEAR(dot(ray.across1, ray.across2), 0, 1e-15);
    EXPECT_NEAR(length(ray.across1), 1, 1e-15);
    EXPECT_NEAR(length(ray.across2), 1, 1e-15);
}

TEST(RayTriangle, BlockedOnlyThroughTheInsideBetweenOriginAndEnd) {
    const Vec2 a{-1, -1}, b{2, -1}, c{-1, 2};
    EXPECT_EQ(upward(a, b, c, 3), Crossing::Hit);
    EXPECT_EQ(upward(c, b, a, 3), Crossing::Hit);                 // either winding blocks
    EXPECT_EQ(upward(a, b, c, -3), Crossing::Miss);               // behind the origin
    EXPECT_EQ(upward(a, b, c, 11), Crossing::Miss);               // beyond the ray's end
    EXPECT_EQ(upward({1, 1}, {3, 1}, {1, 3}, 3), Crossing::Miss); // beside the ray
}

TEST(RayTriangle, GrazingASideOrCornerOrStartingOnThePlaneIsTooCloseToCall) {
    EXPECT_EQ(upward({0, -1}, {2, -1}, {0, 2}, 3), Crossing::Touch);       // through a side
    EXPECT_EQ(upward({1e-7, -1}, {2, -1}, {1e-7, 2}, 3), Crossing::Touch); // just beside a side
    EXPECT_EQ(upward({0, 0}, {2, 0}, {0, 2}, 3), Crossing::Touch);         // through a corner
    EXPECT_EQ(upward({-1, -1}, {2, -1}, {-1, 2}, 1e-7), Crossing::Touch);  // the origin on the plane
    EXPECT_EQ(upward({0, -1}, {2, -1}, {0, 2}, -3), Crossing::Miss);       // a side behind the origin
    // Seen edge-on, a triangle has no inside: it touches when the ray runs through its plane.
    const Ray ray = makeRay({0, 0, 0}, {0, 0, 1}, 10);
    EXPECT_EQ(crossTriangle(ray, {0, -1, 2}, {0, 1, 2}, {0, 0, 5}, kTolerance), Crossing::Touch);
    EXPECT_EQ(crossTriangle(ray, {1, -1, 2}, {1, 1, 2}, {1, 0, 5}, kTolerance), Crossing::Miss);
}

} // namespace
} // namespace kvcheck
