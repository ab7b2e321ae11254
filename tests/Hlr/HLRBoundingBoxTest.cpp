#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

namespace KvHLR {
namespace {

using Fields = std::array<std::uint32_t, 3>;

Fields fields(std::uint32_t code) {
    return {code >> 21 & 0x3FF, code >> 10 & 0x3FF, code & 0x1FF};
}

TEST(HLRBoundingBoxTest, PacksQuantisedCornersOnTheWorldGrid) {
    HLRBoundingBox2D::setWorld(HLRBox2D(HLRVector2D(0.0, 0.0), HLRVector2D(10.0, 5.0)));
    const HLRBoundingBox2D box(HLRVector2D(1.0, 1.0), HLRVector2D(2.0, 2.0));
    EXPECT_EQ(box.minCode(), 212020224u);
    EXPECT_EQ(box.maxCode(), 428236800u);
    EXPECT_EQ(fields(box.minCode()), (Fields{101, 203, 0}));
    EXPECT_EQ(fields(box.maxCode()), (Fields{204, 408, 0}));

    HLRBoundingBox2D viaSet;
    viaSet.set(HLRBox2D(HLRVector2D(1.0, 1.0), HLRVector2D(2.0, 2.0)));
    EXPECT_EQ(viaSet.minCode(), box.minCode());
    EXPECT_EQ(viaSet.maxCode(), box.maxCode());

    // The world box itself stays below field 1020; the narrowest axis ends at 1018.
    HLRBoundingBox2D whole;
    whole.set(HLRBoundingBox2D::world());
    EXPECT_EQ(fields(whole.minCode()), (Fields{0, 0, 0}));
    EXPECT_EQ(fields(whole.maxCode()), (Fields{1019, 1018, 0}));

    HLRBoundingBox3D::setWorld(HLRBox3D(HLRVector3D(-1.0, -2.0, -3.0), HLRVector3D(9.0, 18.0, 27.0)));
    HLRBoundingBox3D whole3;
    whole3.set(HLRBoundingBox3D::world());
    EXPECT_EQ(whole3.minCode(), 0u);
    EXPECT_EQ(fields(whole3.maxCode()), (Fields{1018, 1019, 507}));
    EXPECT_EQ(whole3.maxCode() & HLRBoundingBox::GUARD_MASK, 0u);
}

// Boxes built cell by cell on a 3D world grid, to probe each axis of the overlap test.
class HLRBoundingBoxOverlapTest : public ::testing::Test {
protected:
    void SetUp() override {
        HLRBoundingBox3D::setWorld(HLRBox3D(HLRVector3D(0.0, 0.0, 0.0), HLRVector3D(10.0, 20.0, 30.0)));
    }

    // A box whose fields are lo..hi on one axis and 150..160 on the others; the coordinates
    // are taken mid-cell, the maximum one less the half margin the quantisation adds.
    static HLRBoundingBox3D cells(int axis, int lo, int hi) {
        const double margin = 0.002 * 10.0;
        const double scale[3] = {1020 / (10.0 + margin), 1020 / (20.0 + margin), 508 / (30.0 + margin)};
        double low[3];
        double high[3];
        for (int a = 0; a < 3; ++a) {
            low[a] = ((a == axis ? lo : 150) + 0.5) / scale[a];
            high[a] = ((a == axis ? hi : 160) + 0.5) / scale[a] - margin / 2;
        }
        HLRBoundingBox3D box(HLRVector3D(low[0], low[1], low[2]), HLRVector3D(high[0], high[1], high[2]));
        EXPECT_EQ(fields(box.minCode())[axis], static_cast<std::uint32_t>(lo));
        EXPECT_EQ(fields(box.maxCode())[axis], static_cast<std::uint32_t>(hi));
        return box;
    }

    static void expectOverlap(const HLRBoundingBox& a, const HLRBoundingBox& b, bool expected) {
        EXPECT_EQ(a.overlaps(b), expected);
        EXPECT_EQ(b.overlaps(a), expected);
    }
};

TEST_F(HLRBoundingBoxOverlapTest, TouchingOverlapsAndOneQuantumApartDoesNot) {
    for (int axis = 0; axis < 3; ++axis) {
        SCOPED_TRACE(axis);
        const HLRBoundingBox3D a = cells(axis, 100, 200);
        expectOverlap(a, a, true);
        expectOverlap(a, cells(axis, 120, 130), true);
        expectOverlap(a, cells(axis, 200, 300), true);
        expectOverlap(a, cells(axis, 201, 300), false);
        expectOverlap(a, cells(axis, 0, 100), true);
        expectOverlap(a, cells(axis, 0, 99), false);
    }
}

TEST(HLRBoundingBoxTest, WorldWithoutExtentMakesEveryBoxOverlap) {
    // All vertices at one depth: the 3D grid collapses, whatever the other extents.
    HLRBoundingBox3D::setWorld(HLRBox3D(HLRVector3D(0.0, 0.0, 4.0), HLRVector3D(10.0, 10.0, 4.0)));
    const HLRBoundingBox3D left(HLRVector3D(0.0, 0.0, 4.0), HLRVector3D(1.0, 1.0, 4.0));
    const HLRBoundingBox3D right(HLRVector3D(9.0, 9.0, 4.0), HLRVector3D(10.0, 10.0, 4.0));
    EXPECT_EQ(right.minCode(), 0u);
    EXPECT_EQ(right.maxCode(), 0u);
    EXPECT_TRUE(left.overlaps(right));

    // An empty box installed as the world is stored as a valid point box with no area.
    HLRBoundingBox2D::setWorld(HLRBox2D());
    EXPECT_TRUE(HLRBoundingBox2D::world().isValid());
    const HLRBoundingBox2D a(HLRVector2D(-5.0, -5.0), HLRVector2D(-4.0, -4.0));
    const HLRBoundingBox2D b(HLRVector2D(4.0, 4.0), HLRVector2D(5.0, 5.0));
    EXPECT_EQ(b.maxCode(), 0u);
    EXPECT_TRUE(a.overlaps(b));
}

TEST(HLRBoundingBoxTest, CoordinatesOffTheGridAreClampedToItsBorder) {
    HLRBoundingBox2D::setWorld(HLRBox2D(HLRVector2D(0.0, 0.0), HLRVector2D(10.0, 10.0)));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const HLRBoundingBox2D huge(HLRVector2D(-1e300, nan), HLRVector2D(1e300, 50.0));
    EXPECT_EQ(fields(huge.minCode()), (Fields{0, 0, 0}));
    EXPECT_EQ(fields(huge.maxCode()), (Fields{1019, 1019, 0}));

    // Left of the world on x, but clearly apart on y: the clamped x must not hide the y gap.
    const HLRBoundingBox2D offLeft(HLRVector2D(-5.0, 6.0), HLRVector2D(-4.0, 7.0));
    EXPECT_FALSE(offLeft.overlaps(HLRBoundingBox2D(HLRVector2D(0.0, 1.0), HLRVector2D(1.0, 2.0))));
    EXPECT_TRUE(offLeft.overlaps(HLRBoundingBox2D(HLRVector2D(0.0, 6.5), HLRVector2D(1.0, 8.0))));
}

} // namespace
} // namespace KvHLR
