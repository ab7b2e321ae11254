#include "Hlr/HLRTriangleData.h"
#include "Hlr/HLRShell.h"
#include "ModelFacts.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

using namespace KvHLR;
using KvHLR::testing::findEdge;
using KvHLR::testing::indexOf;

// A store over `vertexCount` points on the x axis with the given triangles.
void fill(HLRTriangleData& data, int vertexCount, const std::vector<std::array<int, 3>>& triangles) {
    data.reserve(vertexCount, triangles.size());
    for (int i = 0; i < vertexCount; ++i) {
        data.addVertex(i, 0.0, 0.0);
    }
    for (const auto& t : triangles) {
        data.addTriangle(t[0], t[1], t[2]);
    }
}

TEST(HLRTriangleData, StoreNeverGrowsPastItsReservedRoom) {
    HLRTriangleData data;
    data.reserve(2, 1);
    const HLRTriangleVertex* first = &data.addVertex(1.0, 2.0, 3.0);
    EXPECT_EQ(data.addVertex(4.0, 5.0, 6.0).index, 1);
    EXPECT_THROW(data.addVertex(7.0, 8.0, 9.0), std::length_error);
    EXPECT_THROW(data.addTriangle(0, 1, 2), std::out_of_range);
    const HLRTriangle& t = data.addTriangle(1, 0, 1);
    EXPECT_EQ(t.index, 0);
    EXPECT_EQ(t.vertices[1], first);
    EXPECT_EQ(t.vertices[0]->z, 6.0);
    EXPECT_THROW(data.addTriangle(0, 1, 1), std::length_error);
    EXPECT_EQ(&data.vertices()[0], first);
    EXPECT_EQ(data.triangles().size(), 1u);
}

TEST(HLRTriangleData, ThreeTrianglesOnOneEdgeKeepTheLastOfEachDirection) {
    HLRTriangleData data;
    // 0-1 is run forwards by triangles 0 and 2 and backwards by triangles 1 and 3.
    fill(data, 6, {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}, {5, 1, 0}});
    data.buildEdges();
    const HLRTriangleEdge* e = findEdge(data, 0, 1);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->startVertex()->index, 0);
    EXPECT_EQ(indexOf(e->leftTriangle()), 2);
    EXPECT_EQ(indexOf(e->rightTriangle()), 3);
    EXPECT_EQ(data.edges().size(), 9u);
}

TEST(HLRTriangleData, DegenerateTrianglesAddNoEdgesAndRebuildingReplacesEdges) {
    HLRTriangleData data;
    fill(data, 4, {{0, 0, 1}, {2, 3, 2}, {1, 2, 2}, {1, 2, 3}});
    data.buildEdges();
    ASSERT_EQ(data.edges().size(), 3u);
    EXPECT_EQ(data.edges().front().startVertex()->index, 1);
    EXPECT_EQ(indexOf(data.edges().front().leftTriangle()), 3);
    data.buildEdges();
    EXPECT_EQ(data.edges().size(), 3u);
    EXPECT_EQ(findEdge(data, 2, 3)->rightTriangle(), nullptr);
}

// Loose triangles define three edges each, twice as many as a closed surface: the lookup must
// keep every edge findable as it fills up, so that the reversed copies of every tenth triangle,
// which come last, find their partners.
TEST(HLRTriangleData, LooseTrianglesAndReversedCopiesPairUp) {
    constexpr int n = 3000, copies = n / 10;
    std::vector<std::array<int, 3>> triangles;
    for (int i = 0; i < n; ++i) {
        triangles.push_back({3 * i, 3 * i + 1, 3 * i + 2});
    }
    for (int c = 0; c < copies; ++c) {
        const int i = 10 * c;
        triangles.push_back({3 * i + 2, 3 * i + 1, 3 * i});
    }
    HLRTriangleData data;
    fill(data, 3 * n, triangles);
    data.buildEdges();
    ASSERT_EQ(data.edges().size(), 3u * n);
    int wrong = 0;
    for (const HLRTriangleEdge& e : data.edges()) {
        const int left = indexOf(e.leftTriangle()), right = indexOf(e.rightTriangle());
        const int expectedRight = left % 10 == 0 ? n + left / 10 : -1;
        wrong += (e.startVertex()->index / 3 == left && right == expectedRight) ? 0 : 1;
    }
    EXPECT_EQ(wrong, 0);
}

TEST(HLRTriangleData, RejectsCountsBeyondThirtyTwoBitIndices) {
    HLRTriangleData data;
    EXPECT_THROW(data.reserve(std::size_t{1} << 31, 0), std::length_error);
    EXPECT_THROW(data.reserve(0, std::size_t{1} << 31), std::length_error);
}

TEST(HLRShell, CountsFreeEdgePointsOverAllPolylines) {
    const HLRTriangleData data;
    HLRShell shell(data);
    EXPECT_EQ(shell.triangleData(), &data);
    EXPECT_EQ(shell.freeEdgePointCount(), 0);
    shell.newFreeEdge({HLRVector3D(0, 0, 0), HLRVector3D(1, 0, 0), HLRVector3D(1, 1, 0)});
    shell.newFreeEdge({HLRVector3D(2, 2, 2)});
    EXPECT_EQ(shell.freeEdgePointCount(), 4);
    EXPECT_EQ(shell.freeEdges().back().points()[0].z, 2.0);
}

} // namespace
