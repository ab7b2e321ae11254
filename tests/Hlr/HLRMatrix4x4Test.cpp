#include "Hlr/HLRMatrix4x4.h"
#include "Hlr/HLRError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace KvHLR {
namespace {

const double kIdentity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
const double kGeneral[4][4] = {{2, -1, 0, 3}, {1, 3, 2, -1}, {0, 1, 4, 2}, {-2, 0, 1, 1}};

void expectNear(const HLRMatrix4x4& actual, const double expected[4][4], double tolerance) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(actual.element(i, j), expected[i][j], tolerance)
                << "element (" << i << ", " << j << ")";
        }
    }
}

TEST(HLRMatrix4x4Test, StoresRowByRowAndComparesExactly) {
    const double zeros[4][4] = {};
    EXPECT_EQ(HLRMatrix4x4(), HLRMatrix4x4(zeros));
    EXPECT_NE(HLRMatrix4x4(), HLRMatrix4x4(kIdentity));

    HLRMatrix4x4 m(kGeneral);
    EXPECT_EQ(m.element(0, 3), 3.0);
    EXPECT_EQ(m.element(3, 0), -2.0);
    double out[4][4];
    m.getElements(out);
    EXPECT_EQ(HLRMatrix4x4(out), m);

    m.element(2, 1, std::nextafter(1.0, 2.0));
    EXPECT_NE(m, HLRMatrix4x4(kGeneral));
    m.elements(kGeneral);
    EXPECT_EQ(m, HLRMatrix4x4(kGeneral));
    m.element(1, 1, std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(m == m);
}

TEST(HLRMatrix4x4Test, ProductsFollowRowTimesColumnAndAllowAliasing) {
    const double translate[4][4] = {{1, 0, 0, 5}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    const double scale[4][4] = {{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}, {0, 0, 0, 1}};
    // Scale first, then translate: the translation stays 5; the other order doubles it.
    EXPECT_EQ((HLRMatrix4x4(translate) * HLRMatrix4x4(scale)).element(0, 3), 5.0);
    EXPECT_EQ((HLRMatrix4x4(scale) * HLRMatrix4x4(translate)).element(0, 3), 10.0);

    const HLRMatrix4x4 g(kGeneral);
    HLRMatrix4x4 squared = g;
    squared *= squared;
    EXPECT_EQ(squared, g * g);
    EXPECT_EQ(squared.element(0, 0), 2 * 2 + -1 * 1 + 0 * 0 + 3 * -2);

    HLRMatrix4x4 m = g * 3.0;
    EXPECT_EQ(m.element(1, 1), 9.0);
    m *= 0.5;
    EXPECT_EQ(m.element(1, 1), 4.5);
    EXPECT_EQ((g / 4.0).element(2, 2), 1.0);
}

TEST(HLRMatrix4x4Test, DivisionByNearZeroThrowsAndLeavesMatrixUnchanged) {
    HLRMatrix4x4 m(kGeneral);
    for (const double divisor : {1e-13, -1e-13, 0.0}) {
        try {
            m /= divisor;
            ADD_FAILURE() << "no error for divisor " << divisor;
        } catch (const HLRError& e) {
            EXPECT_EQ(std::string(e.what()), "HLRMatrix4x4::operator/=(): Devided by zero.");
            EXPECT_NE(e.diagnostic().find("Hlr/HLRMatrix4x4"), std::string::npos) << e.diagnostic();
            EXPECT_NE(e.diagnostic().find("112"), std::string::npos) << e.diagnostic();
        }
        EXPECT_EQ(m, HLRMatrix4x4(kGeneral));
    }
    EXPECT_THROW(m / 1e-13, HLRError);

    m /= 1e-12;
    EXPECT_DOUBLE_EQ(m.element(0, 0), 2e12);
}

TEST(HLRMatrix4x4Test, InvertGivesTrueInverse) {
    HLRMatrix4x4 identity(kIdentity);
    EXPECT_TRUE(identity.invert(1e-12));
    EXPECT_EQ(identity, HLRMatrix4x4(kIdentity));

    HLRMatrix4x4 inverse(kGeneral);
    ASSERT_TRUE(inverse.invert(1e-12));
    expectNear(HLRMatrix4x4(kGeneral) * inverse, kIdentity, 1e-14);
    expectNear(inverse * HLRMatrix4x4(kGeneral), kIdentity, 1e-14);

    // A perspective projection is far from diagonal in its last two rows.
    const double perspective[4][4] = {{1.5, 0, 0.2, 0}, {0, 2, -0.1, 0}, {0, 0, -1.02, -2.02}, {0, 0, -1, 0}};
    HLRMatrix4x4 p(perspective);
    ASSERT_TRUE(p.invert(1e-12));
    expectNear(HLRMatrix4x4(perspective) * p, kIdentity, 1e-14);
}

TEST(HLRMatrix4x4Test, InvertRejectsDeterminantBelowToleranceOnly) {
    HLRMatrix4x4 zero;
    EXPECT_FALSE(zero.invert(1e-12));
    EXPECT_EQ(zero, HLRMatrix4x4());

    const double twoEqualRows[4][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {1, 2, 3, 4}, {2, 0, 1, 3}};
    HLRMatrix4x4 singular(twoEqualRows);
    EXPECT_FALSE(singular.invert(1e-12));
    EXPECT_EQ(singular, HLRMatrix4x4(twoEqualRows));

    // Determinant exactly 1e-12 (one non-zero product): equal to the tolerance still inverts.
    const double tiny[4][4] = {{1e-12, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    HLRMatrix4x4 atTolerance(tiny);
    EXPECT_TRUE(atTolerance.invert(1e-12));
    EXPECT_EQ(atTolerance.element(0, 0), 1e12);

    const double diagonal[4][4] = {{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 5}};
    HLRMatrix4x4 d(diagonal);
    EXPECT_FALSE(d.invert(std::nextafter(120.0, 200.0)));
    EXPECT_EQ(d, HLRMatrix4x4(diagonal));
    EXPECT_TRUE(d.invert(120.0));
    EXPECT_DOUBLE_EQ(d.element(3, 3), 0.2);
}

TEST(HLRMatrix4x4Test, RotateMatrixDropsTranslationColumn) {
    const double rigid[4][4] = {{0, -1, 0, 7}, {1, 0, 0, 8}, {0, 0, 1, 9}, {0, 0, 0, 1}};
    const HLRMatrix3x3 r = HLRMatrix4x4(rigid).getRotateMatrix();
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(r.element(i, j), rigid[i][j]);
        }
    }
}

} // namespace
} // namespace KvHLR
