// The double-precision ray-triangle test: blocked, clear, or too close to call.

#include "checker/RayTriangle.h"

#include <gtest/gtest.h>

namespace kvcheck {
namespace {

constexpr double kTolerance = 1e-6;

// A ray up the z axis from the origin, 10 long, against the triangle with corners a, b, c lifted to z.
Contact contactUpward(Vec2 a, Vec2 b, Vec2 c, double z) {
    const Ray ray = makeRay({0, 0, 0}, {0, 0, 1}, 10);
    return crossTriangle(ray, {a.x, a.y, z}, {b.x, b.y, z}, {c.x, c.y, z}, kTolerance);
}

Crossing upward(Vec2 a, Vec2 b, Vec2 c, double z) {
    return contactUpward(a, b, c, z).crossing;
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
    EXPECT_EQ(crossTriangle(ray, {0, -1, 2}, {0, 1, 2}, {0, 0, 5}, kTolerance).crossing, Crossing::Touch);
    EXPECT_EQ(crossTriangle(ray, {1, -1, 2}, {1, 1, 2}, {1, 0, 5}, kTolerance).crossing, Crossing::Miss);
}

TEST(RayTriangle, TouchesTellTheCornerOrSideOnlyWhenNeighboursCouldSettleThem) {
    struct Case {
        const char* what;
        Vec2 a, b, c;
        double z;
        Place place;
        int index, facing;
    };
    const Case cases[] = {
        {"side b-c", {-1, -1}, {1, -1}, {-1, 1}, 3, Place::Side, 1, 1},
        {"side b-c, wound the other way", {-1, -1}, {-1, 1}, {1, -1}, 3, Place::Side, 1, -1},
        {"corner c", {1, 0}, {1, 1}, {0, 0}, 3, Place::Corner, 2, 1},
        {"starts on the plane", {0, -1}, {2, -1}, {0, 2}, 1e-7, Place::Elsewhere, 0, 0},
        {"seen nearly edge-on", {-1, -1e-7}, {1, -1e-7}, {-1, 2e-7}, 3, Place::Elsewhere, 0, 0},
        {"near two sides", {-1.5e-6, 0}, {1, 1e-6}, {1, -1e-6}, 3, Place::Elsewhere, 0, 0},
        {"near two corners", {-0.9e-6, 0}, {0.9e-6, 0}, {0, 1}, 3, Place::Elsewhere, 0, 0},
    };
    for (const Case& c : cases) {
        const Contact contact = contactUpward(c.a, c.b, c.c, c.z);
        EXPECT_EQ(contact.crossing, Crossing::Touch) << c.what;
        EXPECT_EQ(contact.place, c.place) << c.what;
        if (c.place != Place::Elsewhere) {
            EXPECT_EQ(contact.index, c.index) << c.what;
            EXPECT_EQ(contact.facing, c.facing) << c.what;
        }
    }
    // Seen edge-on, the ray running through the triangle's plane.
    const Ray ray = makeRay({0, 0, 0}, {0, 0, 1}, 10);
    EXPECT_EQ(crossTriangle(ray, {0, -1, 2}, {0, 1, 2}, {0, 0, 5}, kTolerance).place, Place::Elsewhere);
}

} // namespace
} // namespace kvcheck
