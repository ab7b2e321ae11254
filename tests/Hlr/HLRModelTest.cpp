#include "Hlr/HLRModel.h"
#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRCancelException.h"
#include "ModelFacts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace KvHLR;
using KvHLR::testing::findEdge;
using KvHLR::testing::indexOf;
using KvHLR::testing::runs;

Polygon3D polygon(std::vector<ON_3dPoint> points, std::vector<std::array<std::uint32_t, 3>> triangles) {
    Polygon3D p;
    p.points = std::move(points);
    p.triangles = std::move(triangles);
    return p;
}

const HLRTriangleData& onlyStore(const HLRModel& model) {
    EXPECT_EQ(model.triangleData().size(), 1u);
    return model.triangleData().front();
}

// A closed UV sphere, outward oriented, with one vertex per pole.
Polygon3D uvSphere(std::uint32_t rings, std::uint32_t segments) {
    Polygon3D sphere;
    const double pi = 3.141592653589793;
    sphere.points.emplace_back(0.0, 0.0, 1.0);
    for (std::uint32_t r = 1; r < rings; ++r) {
        const double theta = pi * r / rings;
        for (std::uint32_t s = 0; s < segments; ++s) {
            const double phi = 2.0 * pi * s / segments;
            sphere.points.emplace_back(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                                       std::cos(theta));
        }
    }
    const auto south = static_cast<std::uint32_t>(sphere.points.size());
    sphere.points.emplace_back(0.0, 0.0, -1.0);
    auto at = [segments](std::uint32_t ring, std::uint32_t s) {
        return 1 + (ring - 1) * segments + s % segments;
    };
    for (std::uint32_t s = 0; s < segments; ++s) {
        sphere.triangles.push_back({0, at(1, s), at(1, s + 1)});
        for (std::uint32_t r = 1; r + 1 < rings; ++r) {
            sphere.triangles.push_back({at(r, s), at(r + 1, s), at(r + 1, s + 1)});
            sphere.triangles.push_back({at(r, s), at(r + 1, s + 1), at(r, s + 1)});
        }
        sphere.triangles.push_back({south, at(rings - 1, s + 1), at(rings - 1, s)});
    }
    return sphere;
}

TEST(HLRModel, SoupGivesOneFaceWhoseSharedEdgeHasTrianglesOnBothSides) {
    HLRModel model;
    model.build(polygon({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}}));
    const HLRTriangleData& data = onlyStore(model);
    ASSERT_EQ(model.shells().size(), 1u);
    const HLRShell& shell = model.shells().front();
    EXPECT_EQ(shell.triangleData(), &data);
    ASSERT_EQ(shell.faces().size(), 1u);
    const std::vector<HLRTriangle*>& faceTriangles = shell.faces().front().triangles();
    ASSERT_EQ(faceTriangles.size(), 2u);
    EXPECT_EQ(faceTriangles[1], &data.triangles()[1]);
    EXPECT_EQ(faceTriangles[1]->vertices[0], &data.vertices()[2]);

    const std::vector<std::pair<int, int>> expected{{0, 1}, {1, 2}, {2, 0}, {1, 3}, {3, 2}};
    ASSERT_EQ(data.edges().size(), expected.size());
    auto edge = data.edges().begin();
    for (const auto& [start, end] : expected) {
        EXPECT_EQ(edge->startVertex()->index, start);
        EXPECT_EQ(edge->endVertex()->index, end);
        ++edge;
    }
    const HLRTriangleEdge* shared = findEdge(data, 1, 2);
    EXPECT_EQ(indexOf(shared->leftTriangle()), 0);
    EXPECT_EQ(indexOf(shared->rightTriangle()), 1);
    EXPECT_EQ(findEdge(data, 1, 3)->rightTriangle(), nullptr);

    // A copy holds its own lists, element by element, whose pointers still refer to the source's.
    const HLRModel copy(model);
    EXPECT_NE(&onlyStore(copy), &data);
    EXPECT_EQ(onlyStore(copy).vertices().size(), 4u);
    EXPECT_EQ(copy.shells().front().triangleData(), &data);
}

TEST(HLRModel, SameDirectionReplacesTheLeftTriangle) {
    HLRModel model;
    model.build(polygon({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}}, {{0, 1, 2}, {1, 2, 3}}));
    const HLRTriangleEdge* e = findEdge(onlyStore(model), 1, 2);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(indexOf(e->leftTriangle()), 1);
    EXPECT_EQ(e->rightTriangle(), nullptr);
}

TEST(HLRModel, DegenerateTriangleStaysButAddsNoEdge) {
    HLRModel model;
    model.build(polygon({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, 1}, {0, 1, 2}}));
    const HLRTriangleData& data = onlyStore(model);
    EXPECT_EQ(data.triangles().size(), 2u);
    EXPECT_EQ(model.shells().front().faces().front().triangles().size(), 2u);
    EXPECT_EQ(data.edges().size(), 3u);
    EXPECT_EQ(indexOf(findEdge(data, 0, 1)->leftTriangle()), 1);
}

TEST(HLRModel, CoincidentPointsStayApartAndSplitTheEdge) {
    HLRModel model;
    // Points 1/3 and 2/4 coincide: the two triangles touch along a line but share no edge.
    model.build(
        polygon({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {4, 3, 5}}));
    const HLRTriangleData& data = onlyStore(model);
    EXPECT_EQ(data.vertices().size(), 6u);
    EXPECT_EQ(data.edges().size(), 6u);
    for (const HLRTriangleEdge& e : data.edges()) {
        EXPECT_EQ(e.rightTriangle(), nullptr);
    }
}

TEST(HLRModel, WorldBoxCoversOnlyReferencedPoints) {
    HLRModel model;
    model.build(polygon({{-1, 2, 3}, {1000, 1000, 1000}, {4, -5, 6}, {0, 0, -7}}, {{0, 2, 3}}));
    EXPECT_EQ(onlyStore(model).vertices().size(), 4u);
    EXPECT_EQ(onlyStore(model).vertices()[1].index, 1);
    const HLRBox3D& world = HLRBoundingBox3D::world();
    EXPECT_EQ(world.min().x, -1.0);
    EXPECT_EQ(world.min().y, -5.0);
    EXPECT_EQ(world.min().z, -7.0);
    EXPECT_EQ(world.max().x, 4.0);
    EXPECT_EQ(world.max().y, 2.0);
    EXPECT_EQ(world.max().z, 6.0);
}

TEST(HLRModel, IndexWithoutAPointIsRejected) {
    HLRModel model;
    EXPECT_THROW(model.build(polygon({{0, 0, 0}, {1, 0, 0}}, {{0, 1, 2}})), std::out_of_range);
}

// More vertices than a key of i * n + j in 32 bits can tell apart: every edge of the closed
// surface must still find both of its triangles, each on the side it runs.
TEST(HLRModel, LargeClosedSphereHasEveryEdgeSharedByTwoTriangles) {
    const Polygon3D sphere = uvSphere(400, 300);
    ASSERT_GT(sphere.points.size(), 100000u);
    HLRModel model;
    model.build(sphere);
    const HLRTriangleData& data = onlyStore(model);
    const std::size_t v = data.vertices().size(), f = data.triangles().size(), e = data.edges().size();
    EXPECT_EQ(2 * e, 3 * f);
    EXPECT_EQ(v + f, e + 2); // Euler characteristic of a sphere
    std::size_t misplaced = 0;
    for (const HLRTriangleEdge& edge : data.edges()) {
        const bool ok = edge.leftTriangle() != nullptr && edge.rightTriangle() != nullptr &&
                        runs(*edge.leftTriangle(), edge.startVertex(), edge.endVertex()) &&
                        runs(*edge.rightTriangle(), edge.endVertex(), edge.startVertex());
        misplaced += ok ? 0 : 1;
    }
    EXPECT_EQ(misplaced, 0u);
}

std::vector<long> g_reports;
int recordProgress(long percent, long total) {
    EXPECT_EQ(total, 100);
    g_reports.push_back(percent);
    return 0;
}
int cancelProgress(long, long) {
    return 1;
}

TEST(HLRModel, ReportsProgressOnlyWhenObserved) {
    const Polygon3D square = polygon({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}});
    g_reports.clear();
    {
        HLRModel model;
        model.setUpProgressObservation(recordProgress);
        EXPECT_EQ(model.callback(), &recordProgress);
        model.build(square);
        // The edge stage closes the run: its one step and its end, then the end of the build.
        EXPECT_EQ(g_reports, (std::vector<long>{100, 100, 100}));
    }
    g_reports.clear();
    HLRModel unobserved;
    unobserved.build(square);
    EXPECT_TRUE(g_reports.empty());
}

TEST(HLRModel, CancellingCallbackStopsTheBuild) {
    HLRModel model;
    model.setUpProgressObservation(cancelProgress);
    try {
        model.build(polygon({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
        FAIL() << "the build was not cancelled";
    } catch (const HLRCancelException& e) {
        EXPECT_NE(std::string(e.what()).find("HLRModel::buildTriangleData is canceled."), std::string::npos);
    }
}

} // namespace
