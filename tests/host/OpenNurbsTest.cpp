#include "host/opennurbs.h"

#include <gtest/gtest.h>

namespace {

// A rigid motion followed by a perspective projection: every entry matters and the
// homogeneous row is not (0, 0, 0, 1).
ON_Xform perspectiveCamera() {
    ON_Xform view;
    view[0][0] = 0.0, view[0][1] = -1.0, view[0][3] = 3.0;
    view[1][0] = 1.0, view[1][1] = 0.0, view[1][3] = -2.0;
    view[2][3] = -10.0;
    ON_Xform projection(0.0);
    const double n = 1.0, f = 100.0;
    projection[0][0] = 2.0, projection[1][1] = 1.5;
    projection[2][2] = -(f + n) / (f - n), projection[2][3] = -2.0 * f * n / (f - n);
    projection[3][2] = -1.0, projection[3][3] = 0.0;
    return projection * view;
}

void expectIdentity(const ON_Xform& x, double tolerance) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(x[r][c], r == c ? 1.0 : 0.0, tolerance) << r << "," << c;
        }
    }
}

void expectSame(const ON_Xform& a, const ON_Xform& b) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(a[r][c], b[r][c]) << r << "," << c;
        }
    }
}

TEST(OpenNurbsXform, ConstructorsGiveIdentityAndUniformScale) {
    expectIdentity(ON_Xform(), 0.0);
    expectIdentity(ON_Xform(1), 0.0);
    const ON_3dPoint p = ON_Xform(2.0) * ON_3dPoint(1.0, -2.0, 3.0);
    EXPECT_EQ(p, ON_3dPoint(2.0, -4.0, 6.0));
}

TEST(OpenNurbsXform, ProductAppliesRightOperandFirst) {
    ON_Xform translate;
    translate[0][3] = 5.0;
    const ON_Xform scale(3.0);
    const ON_3dPoint p(1.0, 1.0, 1.0);
    EXPECT_EQ((scale * translate) * p, scale * (translate * p));
    EXPECT_EQ((scale * translate) * p, ON_3dPoint(18.0, 3.0, 3.0));
    EXPECT_EQ((translate * scale) * p, ON_3dPoint(8.0, 3.0, 3.0));
}

TEST(OpenNurbsXform, PointProductDividesByWeightButHomogeneousProductDoesNot) {
    ON_Xform x;
    x[3][2] = 1.0; // w = z + 1
    const ON_3dPoint p = x * ON_3dPoint(2.0, 4.0, 1.0);
    EXPECT_EQ(p, ON_3dPoint(1.0, 2.0, 0.5));
    const ON_4dPoint h = x * ON_4dPoint(2.0, 4.0, 1.0, 1.0);
    EXPECT_EQ(h.x, 2.0);
    EXPECT_EQ(h.y, 4.0);
    EXPECT_EQ(h.z, 1.0);
    EXPECT_EQ(h.w, 2.0);
    // A point mapped to infinity keeps its finite homogeneous coordinates.
    EXPECT_EQ(x * ON_3dPoint(2.0, 4.0, -1.0), ON_3dPoint(2.0, 4.0, -1.0));
}

TEST(OpenNurbsXform, InvertUndoesAPerspectiveCamera) {
    const ON_Xform camera = perspectiveCamera();
    ON_Xform inverse = camera;
    double pivot = -1.0;
    ASSERT_TRUE(inverse.Invert(&pivot));
    EXPECT_GT(pivot, 0.0);
    expectIdentity(inverse * camera, 1e-12);
    expectIdentity(camera * inverse, 1e-12);
    const ON_3dPoint p(0.25, -0.5, 0.75);
    const ON_3dPoint back = inverse * (camera * p);
    EXPECT_NEAR(back.x, p.x, 1e-12);
    EXPECT_NEAR(back.y, p.y, 1e-12);
    EXPECT_NEAR(back.z, p.z, 1e-12);
}

TEST(OpenNurbsXform, InvertPivotsPastZerosAndReportsTheSmallestPivot) {
    ON_Xform exchange(0.0); // swaps x and y: a zero on the diagonal from the start
    exchange[0][1] = exchange[1][0] = 1.0;
    exchange[2][2] = 0.5;
    ON_Xform inverse = exchange;
    double pivot = 0.0;
    ASSERT_TRUE(inverse.Invert(&pivot));
    EXPECT_EQ(pivot, 0.5);
    expectIdentity(inverse * exchange, 0.0);
    ASSERT_TRUE(inverse.Invert()); // a null pivot pointer is allowed
    expectSame(inverse, exchange);
}

TEST(OpenNurbsXform, InvertAcceptsTinyButRegularScales) {
    ON_Xform tiny(1e-9);
    ASSERT_TRUE(tiny.Invert());
    EXPECT_NEAR(tiny[0][0], 1e9, 1e-3);
    EXPECT_EQ(tiny[3][3], 1.0);
}

TEST(OpenNurbsXform, InvertRefusesSingularTransformsAndLeavesThemUnchanged) {
    ON_Xform flat; // projects onto the plane z = 0
    flat[2][2] = 0.0;
    ON_Xform counting(0.0); // rows 1..16: rank 2, singular only up to rounding
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            counting[r][c] = 4.0 * r + c + 1.0;
        }
    }
    for (const ON_Xform& singular : {flat, counting, ON_Xform(0.0)}) {
        ON_Xform x = singular;
        double pivot = -1.0;
        EXPECT_FALSE(x.Invert(&pivot));
        EXPECT_GE(pivot, 0.0);
        EXPECT_LT(pivot, 1e-9);
        expectSame(x, singular);
    }
}

TEST(OpenNurbsPoints, DifferenceAndLength) {
    const ON_3dVector d = ON_3dPoint(4.0, 6.0, 3.0) - ON_3dPoint(1.0, 2.0, 3.0);
    EXPECT_EQ(d.Length(), 5.0);
    EXPECT_EQ(ON_3dPoint(1.0, 2.0, 3.0) + d, ON_3dPoint(4.0, 6.0, 3.0));
    EXPECT_DOUBLE_EQ(ON_3dVector(3e200, 4e200, 0.0).Length(), 5e200);
    EXPECT_DOUBLE_EQ(ON_3dVector(3e-200, 0.0, 4e-200).Length(), 5e-200);
}

} // namespace
