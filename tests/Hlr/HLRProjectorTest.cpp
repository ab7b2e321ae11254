#include "Hlr/HLRProjector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace KvHLR {
namespace {

// Arrays as the camera setter reads them: column by column, so a translation sits in the
// last array row.
const double kEyeBack10[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 2, -10, 1}};
// Perspective with near 1 and far 100 in the usual layout, transposed for the setter.
const double kPerspective[4][4] = {
    {1.2, 0, 0, 0}, {0, 1.6, 0, 0}, {0, 0, -101.0 / 99.0, -1}, {0, 0, -200.0 / 99.0, 0}};
const double kOrthographic[4][4] = {{0.1, 0, 0, 0}, {0, 0.1, 0, 0}, {0, 0, -0.02, 0}, {0, 0, -1.02, 1}};

void transpose(const double in[4][4], double out[4][4]) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out[i][j] = in[j][i];
        }
    }
}

TEST(HLRProjectorTest, SetTransposesArraysAndInvertsBoth) {
    const HLRProjector projector(kEyeBack10, kPerspective, 1.0, 100.0);
    EXPECT_EQ(projector.modelViewMatrix().element(0, 3), 1.0);
    EXPECT_EQ(projector.modelViewMatrix().element(2, 3), -10.0);
    EXPECT_EQ(projector.projectMatrix().element(3, 2), -1.0);
    EXPECT_EQ(projector.nearPlaneDepth(), 1.0);
    EXPECT_EQ(projector.farPlaneDepth(), 100.0);

    HLRVector4D origin(0.0, 0.0, 0.0, 1.0);
    projector.WC2VC(origin, origin);
    EXPECT_EQ(origin, HLRVector4D(1.0, 2.0, -10.0, 1.0));
    projector.VC2WC(origin, origin);
    EXPECT_EQ(origin, HLRVector4D(0.0, 0.0, 0.0, 1.0));

    const HLRMatrix4x4 product = projector.projectMatrix() * projector.projectMatrixInverse();
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(product.element(i, j), i == j ? 1.0 : 0.0, 1e-14);
        }
    }

    // A copy carries every field, the flag and depths included.
    HLRProjector copy;
    copy = projector;
    EXPECT_EQ(copy.modelViewMatrixInverse(), projector.modelViewMatrixInverse());
    EXPECT_EQ(copy.projectMatrixInverse(), projector.projectMatrixInverse());
    EXPECT_EQ(copy.farPlaneDepth(), 100.0);
    EXPECT_FALSE(copy.isOrthoGraphic());
}

TEST(HLRProjectorTest, SingularTransformKeepsPlainCopyAsInverse) {
    const double flatten[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 1}};
    const HLRProjector projector(kEyeBack10, flatten, 1.0, 100.0);
    EXPECT_EQ(projector.projectMatrixInverse(), projector.projectMatrix());
}

TEST(HLRProjectorTest, OrthographicOnlyWhenLastElementIsExactlyOne) {
    EXPECT_TRUE(HLRProjector(kEyeBack10, kOrthographic, 1.0, 100.0).isOrthoGraphic());
    EXPECT_FALSE(HLRProjector(kEyeBack10, kPerspective, 1.0, 100.0).isOrthoGraphic());
    double nearlyOrtho[4][4];
    std::memcpy(nearlyOrtho, kOrthographic, sizeof nearlyOrtho);
    for (const double w : {std::nextafter(1.0, 0.0), std::nextafter(1.0, 2.0)}) {
        nearlyOrtho[3][3] = w;
        EXPECT_FALSE(HLRProjector(kEyeBack10, nearlyOrtho, 1.0, 100.0).isOrthoGraphic()) << w;
    }
}

TEST(HLRProjectorTest, PointsAtOrBehindNearPlaneHaveNoScreenImage) {
    const HLRProjector projector(kEyeBack10, kPerspective, 2.0, 100.0);
    const HLRVector4D rejected(0.0, 0.0, 0.0, 1.0);
    HLRVector4D out;

    // z/w exactly -near, also with w other than 1.
    projector.VC2SC(HLRVector4D(3.0, 4.0, -2.0, 1.0), out);
    EXPECT_EQ(out, rejected);
    projector.VC2SC(HLRVector4D(3.0, 4.0, -4.0, 2.0), out);
    EXPECT_EQ(out, rejected);

    const HLRVector4D justInFront(3.0, 4.0, std::nextafter(-2.0, -3.0), 1.0);
    projector.VC2SC(justInFront, out);
    EXPECT_EQ(out, projector.projectMatrix() * justInFront);
    EXPECT_NEAR(out.w(), 2.0, 1e-15);

    // Behind the eye, given in world coordinates: world z 20 is view z +10.
    projector.WC2SC(HLRVector4D(0.0, 0.0, 20.0, 1.0), out);
    EXPECT_EQ(out, rejected);

    // z = w = 0 makes the depth NaN: the test fails and the point is projected.
    const HLRVector4D direction(1.0, 1.0, 0.0, 0.0);
    projector.VC2SC(direction, out);
    EXPECT_EQ(out, projector.projectMatrix() * direction);
}

TEST(HLRProjectorTest, ScreenToWorldUndoesWorldToScreen) {
    const HLRProjector projector(kEyeBack10, kPerspective, 1.0, 100.0);
    for (const HLRVector4D& p : {HLRVector4D(0.5, -0.25, 3.0, 1.0), HLRVector4D(-4.0, 2.0, -30.0, 1.0),
                                 HLRVector4D(2.0, 2.0, 2.0, 2.0)}) {
        HLRVector4D q = p;
        projector.WC2SC(q, q);
        ASSERT_FALSE(q == HLRVector4D(0.0, 0.0, 0.0, 1.0));
        HLRVector4D view;
        projector.SC2VC(q, view);
        projector.SC2WC(q, q);
        EXPECT_NEAR(q.distanceTo(p), 0.0, 1e-12);
        HLRVector4D expectedView;
        projector.WC2VC(p, expectedView);
        EXPECT_NEAR(view.distanceTo(expectedView), 0.0, 1e-12);
    }
}

TEST(HLRProjectorTest, CompatibilityComparesRowByRowWithinTolerance) {
    const HLRProjector projector(kEyeBack10, kPerspective, 1.0, 100.0);
    double mv[4][4];
    double proj[4][4];
    transpose(kEyeBack10, mv);
    transpose(kPerspective, proj);
    EXPECT_TRUE(projector.isCompatibleWith(mv, proj));
    // The arrays handed to set are the transposes, so they do not match unless symmetric.
    EXPECT_FALSE(projector.isCompatibleWith(kEyeBack10, proj));

    mv[1][0] = 1e-6;
    EXPECT_TRUE(projector.isCompatibleWith(mv, proj));
    proj[0][1] = 2e-6;
    EXPECT_FALSE(projector.isCompatibleWith(mv, proj));
}

} // namespace
} // namespace KvHLR
