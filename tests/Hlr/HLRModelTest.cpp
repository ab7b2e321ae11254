#include "Hlr/HLRModel.h"
#include "Hlr/HLRBoundingBox3D.h"
#include "ModelFacts.h"
#include "Scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace KvHLR;
using KvHLR::testing::findEdge;
using KvHLR::testing::runs;

const HLRTriangleData& onlyStore(const HLRModel& model) {
    EXPECT_EQ(model.triangleData().size(), 1u);
    return model.triangleData().front();
}

TEST(HLRModel, SoupGivesOneFaceWhoseSharedEdgeHasTrianglesOnBothSides) {
    HLRModel model;
    model.build(KvHLRTest::soup({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}}));
    const HLRTriangleData& data = onlyStore(model);
    ASSERT_EQ(model.shells().size(), 1u);
    const HLRShell& shell = model.shells().front();
    EXPECT_EQ(shell.triangleData(), &data);
    ASSERT_EQ(shell.faces().size(), 1u);
    const HLRTriangleRun<HLRTriangle>& faceTriangles = shell.faces().front().triangles();
    ASSERT_EQ(faceTriangles.size(), 2u);
    EXPECT_EQ(faceTriangles[1], &data.triangles()[1]);
    EXPECT_EQ(faceTriangles[1]->vertices[0], 2);

    EXPECT_EQ(data.edges().size(), 5u);
    const HLRTriangleEdge* shared = findEdge(data, 1, 2);
    EXPECT_EQ(shared->leftTriangle(), 0);
    EXPECT_EQ(shared->rightTriangle(), 1);
    EXPECT_EQ(findEdge(data, 1, 3)->rightTriangle(), HLRTriangleEdge::NONE);

    // A copy holds its own lists, element by element, whose pointers still refer to the source's.
    const HLRModel copy(model);
    EXPECT_NE(&onlyStore(copy), &data);
    EXPECT_EQ(onlyStore(copy).vertices().size(), 4u);
    EXPECT_EQ(copy.shells().front().triangleData(), &data);
}

TEST(HLRModel, DegenerateTriangleStaysButAddsNoEdge) {
    HLRModel model;
    model.build(KvHLRTest::soup({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {0, 1, 2}}));
    const HLRTriangleData& data = onlyStore(model);
    EXPECT_EQ(data.triangles().size(), 2u);
    EXPECT_EQ(model.shells().front().faces().front().triangles().size(), 2u);
    EXPECT_EQ(data.edges().size(), 3u);
    EXPECT_EQ(findEdge(data, 0, 1)->leftTriangle(), 1);
}

TEST(HLRModel, IndexWithoutAPointIsRejected) {
    HLRModel model;
    EXPECT_THROW(model.build(KvHLRTest::soup({{0, 0, 0}, {1, 0, 0}}, {{0, 1, 2}})), std::out_of_range);
}

// More vertices than a key of i * n + j in 32 bits can tell apart: every edge of the closed
// surface must still find both of its triangles, each on the side it runs.
TEST(HLRModel, LargeClosedSphereHasEveryEdgeSharedByTwoTriangles) {
    const Polygon3D sphere = KvHLRTest::sphere(400, 300);
    ASSERT_GT(sphere.points.size(), 100000u);
    HLRModel model;
    model.build(sphere);
    const HLRTriangleData& data = onlyStore(model);
    const std::size_t v = data.vertices().size(), f = data.triangles().size(), e = data.edges().size();
    EXPECT_EQ(2 * e, 3 * f);
    EXPECT_EQ(v + f, e + 2); // Euler characteristic of a sphere
    std::size_t misplaced = 0;
    for (const HLRTriangleEdge& edge : data.edges()) {
        const bool bothSides =
            edge.leftTriangle() != HLRTriangleEdge::NONE && edge.rightTriangle() != HLRTriangleEdge::NONE;
        const std::int32_t start = edge.startVertex(), end = edge.endVertex();
        const bool ok = bothSides && runs(data.triangles()[edge.leftTriangle()], start, end) &&
                        runs(data.triangles()[edge.rightTriangle()], end, start);
        misplaced += ok ? 0 : 1;
    }
    EXPECT_EQ(misplaced, 0u);
}

// A disc fanned round its centre: every spoke meets the centre, which a per-vertex list of edges must
// not scan for each of them (filed under the centre, these 200,000 spokes take seconds instead of
// milliseconds).
TEST(HLRModel, FanAroundOneVertexFindsBothTrianglesOfEverySpoke) {
    constexpr std::uint32_t kSpokes = 200000;
    std::vector<ON_3dPoint> points{ON_3dPoint(0, 0, 0)};
    std::vector<std::array<std::uint32_t, 3>> triangles;
    for (std::uint32_t i = 0; i < kSpokes; ++i) {
        const double angle = 2.0 * 3.141592653589793 * i / kSpokes;
        points.emplace_back(std::cos(angle), std::sin(angle), 0.0);
        triangles.push_back({0, 1 + i, 1 + (i + 1) % kSpokes});
    }
    HLRModel model;
    model.build(KvHLRTest::soup(points, triangles));
    const HLRTriangleData& data = onlyStore(model);
    ASSERT_EQ(data.edges().size(), 2u * kSpokes);
    std::size_t spokesWithBothSides = 0;
    for (const HLRTriangleEdge& edge : data.edges()) {
        const bool spoke = edge.startVertex() == 0 || edge.endVertex() == 0;
        spokesWithBothSides += spoke && edge.rightTriangle() != HLRTriangleEdge::NONE ? 1 : 0;
    }
    EXPECT_EQ(spokesWithBothSides, kSpokes);
}

} // namespace
