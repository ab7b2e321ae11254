// The camera as the checker reads it: drawing coordinates, the viewer, the near plane.

#include "Scenes.h"

#include "checker/InputError.h"
#include "checker/View.h"

#include <gtest/gtest.h>

namespace kvcheck {
namespace {

using test::lookAt;

void expectNear(const Vec3& a, const Vec3& b) {
    EXPECT_NEAR(a.x, b.x, 1e-12);
    EXPECT_NEAR(a.y, b.y, 1e-12);
    EXPECT_NEAR(a.z, b.z, 1e-12);
}

TEST(View, OrthographicDrawingIsInWorldUnitsWhateverTheZoom) {
    // Looking down from above: the drawing shows world x and y as they are, for any box size.
    for (double halfWidth : {0.5, 7.0}) {
        const View view(test::orthographic(lookAt({0, 0, 10}, {0, 0, 0}, {0, 1, 0}), halfWidth, 1, 20),
                        "top");
        const Vec2 p = view.toDrawing({3, -2, 4});
        EXPECT_NEAR(p.x, 3, 1e-12);
        EXPECT_NEAR(p.y, -2, 1e-12);
        EXPECT_FALSE(view.isPerspective());
        expectNear(view.towardViewer({5, 5, 5}), {0, 0, 1});
        EXPECT_NEAR(view.beyondNearPlane({0, 0, 4}), 5, 1e-12);
        EXPECT_NEAR(view.distanceToNearPlane({0, 0, 4}), 5, 1e-12);
    }
}

TEST(View, PerspectiveViewerIsTheEye) {
    const Vec3 eye{4, 5, 6};
    const View view(test::perspective(lookAt(eye, {0, 0, 0}, {0, 0, 1}), 40, 0.5, 30), "p");
    EXPECT_TRUE(view.isPerspective());
    const Vec3 p{1, -1, 0.5};
    const Vec3 toEye = test::unit(eye - p);
    expectNear(view.towardViewer(p), toEye);
    // The near plane lies 0.5 in front of the eye, across the line of sight.
    const double along = dot(eye - p, test::unit(eye));
    EXPECT_NEAR(view.beyondNearPlane(p), along - 0.5, 1e-12);
    EXPECT_NEAR(view.distanceToNearPlane(p), (along - 0.5) / dot(toEye, test::unit(eye)), 1e-12);
    // Points on one ray from the eye land on one drawing point.
    const Vec2 a = view.toDrawing(p), b = view.toDrawing(eye + 3.0 * (p - eye));
    EXPECT_NEAR(a.x, b.x, 1e-12);
    EXPECT_NEAR(a.y, b.y, 1e-12);
}

} // namespace
} // namespace kvcheck
