#include "Hlr/HLRMatrix4x4.h"
#include "Hlr/HLRVector2D.h"
#include "Hlr/HLRVector3D.h"
#include "Hlr/HLRVector4D.h"

#include <gtest/gtest.h>

#include <cmath>

namespace KvHLR {
namespace {

TEST(HLRVector2DTest, ArithmeticDotAndDistances) {
    const double raw[2] = {3.0, 4.0};
    const HLRVector2D a(raw);
    const HLRVector2D b(1.0, -2.0);
    EXPECT_EQ(HLRVector2D(), HLRVector2D(0.0, 0.0));
    EXPECT_DOUBLE_EQ(a % b, -5.0);
    EXPECT_DOUBLE_EQ(a.length(), 5.0);
    EXPECT_DOUBLE_EQ(a.distanceSquaredTo(b), 40.0);
    EXPECT_DOUBLE_EQ(a.distanceTo(b), std::sqrt(40.0));

    // The in-place forms go through the plain operators, so this covers both.
    HLRVector2D c = a;
    c += b;
    c -= HLRVector2D(0.5, 0.5);
    EXPECT_EQ(c, HLRVector2D(3.5, 1.5));
    c *= 2.0;
    c /= 7.0;
    EXPECT_EQ(c, HLRVector2D(1.0, 3.0 / 7.0));
    c.y(9.0);
    EXPECT_EQ(c, HLRVector2D(1.0, 9.0));
}

TEST(HLRVector2DTest, NormalizeAndExactEquality) {
    HLRVector2D v(3.0, -4.0);
    v.normalize();
    EXPECT_DOUBLE_EQ(v.x(), 0.6);
    EXPECT_DOUBLE_EQ(v.y(), -0.8);
    EXPECT_FALSE(v == HLRVector2D(v.x(), std::nextafter(v.y(), 0.0)));
    HLRVector2D zero;
    zero.normalize();
    EXPECT_TRUE(std::isnan(zero.x()));
    EXPECT_FALSE(zero == zero);
}

TEST(HLRVector2DTest, MatrixProductIsMTimesColumnVector) {
    const HLRMatrix2x2 m(1.0, 2.0, 3.0, 4.0);
    HLRVector2D v(5.0, 6.0);
    EXPECT_EQ(v * m, HLRVector2D(17.0, 39.0));
    v *= m;
    EXPECT_EQ(v, HLRVector2D(17.0, 39.0));

    // A rotation by minus the direction's angle turns that direction onto +x.
    const HLRVector2D up(0.0, 2.0);
    const HLRVector2D turned = up * HLRMatrix2x2::rotation(-std::atan2(up.y(), up.x()));
    EXPECT_NEAR(turned.x(), 2.0, 1e-15);
    EXPECT_NEAR(turned.y(), 0.0, 1e-15);
    EXPECT_NEAR((HLRVector2D(1.0, 0.0) * HLRMatrix2x2::rotation(std::atan2(1.0, 0.0))).y(), 1.0, 1e-15);
}

TEST(HLRVector3DTest, OperatorsDotCrossLength) {
    const HLRVector3D a(1.0, 2.0, 2.0);
    const HLRVector3D b(-1.0, 0.5, 4.0);
    const HLRVector3D sum = a + b;
    const HLRVector3D half = (a - b) / 2.0 * 3.0;
    EXPECT_EQ(sum.z, 6.0);
    EXPECT_EQ(half.x, 3.0);
    EXPECT_EQ(half.y, 2.25);
    EXPECT_DOUBLE_EQ(dot(a, b), 8.0);
    EXPECT_DOUBLE_EQ(length(a), 3.0);

    const HLRVector3D z = cross(HLRVector3D(1.0, 0.0, 0.0), HLRVector3D(0.0, 1.0, 0.0));
    EXPECT_EQ(z.x, 0.0);
    EXPECT_EQ(z.y, 0.0);
    EXPECT_EQ(z.z, 1.0);
    const HLRVector3D n = cross(a, b);
    EXPECT_DOUBLE_EQ(dot(n, a), 0.0);
    EXPECT_DOUBLE_EQ(dot(n, b), 0.0);
}

TEST(HLRVector4DTest, WTakesPartInEveryMetric) {
    EXPECT_EQ(HLRVector4D(), HLRVector4D(0.0, 0.0, 0.0, 0.0));
    EXPECT_DOUBLE_EQ(HLRVector4D(1.0, 2.0, 3.0, 4.0).length(), std::sqrt(30.0));
    const HLRVector4D p(1.0, 0.0, 0.0, 1.0);
    EXPECT_DOUBLE_EQ(p % p, 2.0);
    EXPECT_DOUBLE_EQ(p.distanceSquaredTo(HLRVector4D(1.0, 0.0, 0.0, 3.0)), 4.0);
    EXPECT_DOUBLE_EQ(p.distanceTo(HLRVector4D(0.0, 0.0, 0.0, 0.0)), std::sqrt(2.0));

    HLRVector4D v(1.0, 2.0, 3.0, 4.0);
    v += HLRVector4D(1.0, 1.0, 1.0, 1.0);
    v *= 2.0;
    v -= HLRVector4D(0.0, 0.0, 0.0, 10.0);
    v /= 4.0;
    EXPECT_EQ(v, HLRVector4D(1.0, 1.5, 2.0, 0.0));
    v.w(7.0);
    EXPECT_FALSE(v == HLRVector4D(1.0, 1.5, 2.0, 0.0));
}

TEST(HLRVector4DTest, EveryMatrixProductIsMTimesColumnVector) {
    const double rows[4][4] = {{1, 2, 3, 4}, {0, 1, 0, 5}, {2, 0, 1, 0}, {0, 0, 3, 1}};
    const HLRMatrix4x4 m(rows);
    const HLRVector4D v(1.0, -1.0, 2.0, 3.0);
    const HLRVector4D expected(1 - 2 + 6 + 12, -1 + 15, 2 + 2, 6 + 3);
    EXPECT_EQ(m * v, expected);
    EXPECT_EQ(v * m, expected);
    HLRVector4D inPlace = v;
    inPlace *= m;
    EXPECT_EQ(inPlace, expected);
}

} // namespace
} // namespace KvHLR
