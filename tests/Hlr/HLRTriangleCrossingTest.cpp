#include "Hlr/HLRTriangleCrossing.h"

#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRTriangleImage.h"

#include <gtest/gtest.h>

#include <deque>

using namespace KvHLR;

namespace {

constexpr double kTolerance = 1e-9;

// Triangles over a pool of corners: a corner named twice is one shared corner, as in a mesh.
class HLRTriangleCrossingTest : public ::testing::Test {
protected:
    struct Shape {
        HLRTriangleImage image;
        const HLRProjectedTriangleVertex* corner[3];
        HLRVector3D position[3];
        HLRTriangleCrossing::Triangle triangle() const { return {&image, corner, position}; }
    };

    const HLRProjectedTriangleVertex* corner(const HLRVector3D& at) {
        for (std::size_t i = 0; i < m_at.size(); ++i)
            if (m_at[i].x == at.x && m_at[i].y == at.y && m_at[i].z == at.z)
                return &m_corners[i];
        m_at.push_back(at);
        return &m_corners.emplace_back();
    }
    const Shape& shape(const HLRVector3D& a, const HLRVector3D& b, const HLRVector3D& c) {
        Shape& s = m_shapes.emplace_back();
        const HLRVector3D at[3] = {a, b, c};
        for (int i = 0; i < 3; ++i) {
            s.corner[i] = corner(at[i]);
            s.position[i] = at[i];
        }
        return s;
    }
    bool cross(const Shape& a, const Shape& b) {
        return HLRTriangleCrossing::find(a.triangle(), b.triangle(), kTolerance, m_crossing);
    }

    std::deque<HLRProjectedTriangleVertex> m_corners;
    std::deque<HLRVector3D> m_at;
    std::deque<Shape> m_shapes;
    HLRTriangleCrossing m_crossing;
    // The floor triangle in the plane z = 0 that the others meet.
    const Shape& m_floor = shape({0, 0, 0}, {4, 0, 0}, {0, 4, 0});
};

TEST_F(HLRTriangleCrossingTest, CrossingGivesTheOverlapOfBothCutsAndNeighboursShareTheirEnd) {
    const Shape& wall = shape({1, 1, -1}, {1, 1, 2}, {1, 2, -1});
    ASSERT_TRUE(cross(m_floor, wall));
    const auto& [lo, hi] = m_crossing.ends;
    const HLRVector3D far = lo.point.y < hi.point.y ? hi.point : lo.point;
    EXPECT_NEAR(std::min(lo.point.y, hi.point.y), 1.0, 1e-12);
    EXPECT_NEAR(far.y, 5.0 / 3.0, 1e-12);
    EXPECT_EQ(far.z, 0.0);
    EXPECT_EQ(m_crossing.alongFirst[0], -1);
    EXPECT_EQ(m_crossing.alongSecond[0], -1);

    // The wall's neighbour across its edge (1, 1, -1)-(1, 1, 2), corners in the other order, finds the
    // same end under the same key, to the last bit: the line continues through it.
    const HLRTriangleCrossing::End shared = lo.point.y < hi.point.y ? lo : hi;
    const Shape& neighbour = shape({1, 1, 2}, {1, 1, -1}, {0.5, 1.5, -1});
    ASSERT_TRUE(cross(m_floor, neighbour));
    int found = 0;
    for (const HLRTriangleCrossing::End& end : m_crossing.ends)
        if (end.key == shared.key) {
            ++found;
            EXPECT_EQ(end.point.x, shared.point.x);
            EXPECT_EQ(end.point.y, shared.point.y);
            EXPECT_EQ(end.point.z, shared.point.z);
        }
    EXPECT_EQ(found, 1);
}

TEST_F(HLRTriangleCrossingTest, TouchingCoplanarOrMeetingAtACornerIsNoCrossing) {
    EXPECT_FALSE(cross(m_floor, shape({1, 1, 0}, {1, 1, 2}, {1, 2, 2})));             // a corner on the face
    EXPECT_FALSE(cross(m_floor, shape({1, 1, 1e-12}, {3, 0.5, 0}, {0.5, 3, 0})));     // in its plane
    EXPECT_FALSE(cross(m_floor, shape({0, 0, 0}, {-1, -1, 1}, {-1, 0, 1})));          // a shared corner
    EXPECT_FALSE(cross(m_floor, shape({1, 1, -1}, {1, 1, 1}, {1, 1 + 1e-10, -1}))); // overlap < tolerance
    EXPECT_FALSE(cross(m_floor, shape({5, 5, -1}, {5, 5, 1}, {5, 6, -1})));          // its plane, beside it
}

TEST_F(HLRTriangleCrossingTest, AStretchAlongAnEdgeNamesTheEdgesCorners) {
    // A fold: the two triangles share the edge (0, 0, 0)-(4, 0, 0), the second's corners the other way.
    ASSERT_TRUE(cross(m_floor, shape({4, 0, 0}, {0, 0, 0}, {2, -1, 3})));
    EXPECT_EQ(m_crossing.alongFirst[0], 0);
    EXPECT_EQ(m_crossing.alongFirst[1], 1);
    EXPECT_EQ(m_crossing.alongSecond[0], 0);
    EXPECT_EQ(m_crossing.alongSecond[1], 1);
    // A wall standing on the floor: along the wall's bottom edge, across the floor.
    ASSERT_TRUE(cross(m_floor, shape({1, 1, 3}, {1, 1, 0}, {1, 2, 0})));
    EXPECT_EQ(m_crossing.alongFirst[0], -1);
    EXPECT_EQ(m_crossing.alongSecond[0], 1);
    EXPECT_EQ(m_crossing.alongSecond[1], 2);
}

} // namespace
