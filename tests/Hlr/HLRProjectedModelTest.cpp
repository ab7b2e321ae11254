#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRBoundingBox.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRProjector.h"
#include "ProjectedModelItems.h"
#include "RowOrderCamera.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

using namespace KvHLR;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDefaultSharpAngle = 135.0 * kPi / 180.0;

using KvHLRTest::camera;
using KvHLRTest::kIdentity;

// Looks down -z from (0, 0, eyeZ): the screen shows world x and y unchanged.
HLRProjector orthographicFrom(double eyeZ, double nearDepth = 1.0) {
    const double mv[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, -eyeZ}, {0, 0, 0, 1}};
    return camera(mv, kIdentity, nearDepth);
}

// Eye at the world origin looking down -z, 90 degree field of view.
HLRProjector perspectiveAtOrigin(double nearDepth) {
    const double farDepth = 1000.0;
    const double proj[4][4] = {{1, 0, 0, 0},
                               {0, 1, 0, 0},
                               {0, 0, (farDepth + nearDepth) / (nearDepth - farDepth),
                                2 * farDepth * nearDepth / (nearDepth - farDepth)},
                               {0, 0, -1, 0}};
    return camera(kIdentity, proj, nearDepth);
}

// Orthographic view from (1, 1, 1) towards the origin, 10 units away.
HLRProjector isometric() {
    const double s = 1.0 / std::sqrt(2.0);
    const double u = 1.0 / std::sqrt(6.0);
    const double b = 1.0 / std::sqrt(3.0);
    const double mv[4][4] = {{-s, s, 0, 0}, {-u, -u, 2 * u, 0}, {b, b, b, -10}, {0, 0, 0, 1}};
    return camera(mv, kIdentity, 1.0);
}

// A triangle soup from flat lists: x, y, z per point and three point indices per triangle.
Polygon3D soup(const std::vector<double>& xyz, const std::vector<std::uint32_t>& corners) {
    Polygon3D polygon;
    for (std::size_t i = 0; i + 2 < xyz.size(); i += 3) {
        polygon.points.emplace_back(xyz[i], xyz[i + 1], xyz[i + 2]);
    }
    for (std::size_t i = 0; i + 2 < corners.size(); i += 3) {
        polygon.triangles.push_back({corners[i], corners[i + 1], corners[i + 2]});
    }
    return polygon;
}

// A mesh body whose faces are single triangles, side by side in rows of `perRow` in the plane z.
boost::intrusive_ptr<Kv::KvmMesh> triangleBody(int faceCount, int perRow, double size, double z) {
    auto points = std::make_shared<Kv::KvPointList>();
    std::vector<std::shared_ptr<const Kv::KvTriangleList>> faces;
    for (int i = 0; i < faceCount; ++i) {
        const double x = (i % perRow) * size;
        const double y = (i / perRow) * size;
        const std::uint64_t first = points->size();
        points->emplace_back(x, y, z);
        points->emplace_back(x + size, y, z);
        points->emplace_back(x, y + size, z);
        faces.push_back(std::make_shared<Kv::KvTriangleList>(
            Kv::KvTriangleList{Kv::KvaMeshPrimitive::TriangleIndex(first, first + 1, first + 2)}));
    }
    auto body = boost::intrusive_ptr<const Kv::KvaMesh>(new Kv::KvaMeshBody(points, faces));
    return boost::intrusive_ptr<Kv::KvmMesh>(new Kv::KvmMesh(body));
}

// 1 for an edge hidden entirely, otherwise the summed length of its hidden intervals.
double hiddenShare(const HLRProjectedTriangleEdge& edge) {
    if (edge.isAllHidden()) {
        return 1.0;
    }
    double share = 0.0;
    for (int i = 1; i <= edge.hiddenIntervals().size(); ++i) {
        share += edge.hiddenIntervals().intervalAt(i).to - edge.hiddenIntervals().intervalAt(i).from;
    }
    return share;
}

using KvHLRTest::featureEdges;

class HLRProjectedModelTest : public ::testing::Test {
protected:
    HLRProjectedModel& project(const HLRProjector& camera, double sharpEdgeAngle = kDefaultSharpAngle) {
        m_camera = camera;
        m_projected = std::make_unique<HLRProjectedModel>(m_model, m_camera, sharpEdgeAngle, true, 800);
        m_projected->build();
        return *m_projected;
    }
    const HLRProjectedTriangleData& onlyData() const {
        EXPECT_EQ(m_projected->triangleData().size(), 1u);
        return m_projected->triangleData().front();
    }

    HLRModel m_model;
    HLRProjector m_camera;
    std::unique_ptr<HLRProjectedModel> m_projected;
};

} // namespace

TEST(HLRProjectedTriangleVertex, ProjectsThroughTheCameraAndDropsPointsBeforeTheNearPlane) {
    const HLRTriangleVertex source(1.0, 2.0, 3.0, 7);
    const HLRProjectedTriangleVertex seen =
        HLRProjectedTriangleVertex::project(HLRVector3D(1.0, 2.0, 3.0), &source, 4, orthographicFrom(10.0));
    EXPECT_EQ(seen.sourcePoint, &source);
    EXPECT_EQ(seen.index, 4);
    EXPECT_DOUBLE_EQ(seen.viewPosition.z, -7.0);
    EXPECT_DOUBLE_EQ(seen.screenPosition.x(), 1.0);
    EXPECT_DOUBLE_EQ(seen.screenPosition.y(), 2.0);
    EXPECT_DOUBLE_EQ(seen.depth, -7.0);

    const HLRProjector perspective = perspectiveAtOrigin(1.0);
    const HLRProjectedTriangleVertex far =
        HLRProjectedTriangleVertex::project(HLRVector3D(1.0, 2.0, -4.0), nullptr, 0, perspective);
    EXPECT_DOUBLE_EQ(far.screenPosition.x(), 0.25);
    EXPECT_DOUBLE_EQ(far.screenPosition.y(), 0.5);

    const HLRProjectedTriangleVertex tooClose =
        HLRProjectedTriangleVertex::project(HLRVector3D(1.0, 2.0, -0.5), nullptr, 0, perspective);
    EXPECT_EQ(tooClose.screenPosition, HLRVector2D(0.0, 0.0));
    EXPECT_EQ(tooClose.depth, 0.0);
    EXPECT_DOUBLE_EQ(tooClose.viewPosition.x, 1.0);
    EXPECT_DOUBLE_EQ(tooClose.viewPosition.z, -0.5);
}

TEST_F(HLRProjectedModelTest, FacingFollowsTheViewDirection) {
    // Triangle by triangle: normal +z (towards the eye), normal -z, seen exactly edge-on, collinear,
    // and a front-facing neighbour of the collinear one across its edge 9-10.
    m_model.build(soup({0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 0, 0, 2, 1, 0, 3, 0,   0,  4, 0,
                        0, 5, 0, 0, 4, 0, 1, 6, 0, 0, 7, 0, 0, 8, 0, 0, 6.5, -1, 0},
                       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 10, 9, 12}));
    project(orthographicFrom(10.0));
    const std::vector<HLRProjectedTriangle>& triangles = onlyData().triangles();
    ASSERT_EQ(triangles.size(), 5u);
    EXPECT_EQ(triangles[0].orientation(), 1);
    EXPECT_EQ(triangles[1].orientation(), 0);
    EXPECT_EQ(triangles[2].orientation(), 0);
    EXPECT_EQ(triangles[3].orientation(), 2);
    EXPECT_EQ(triangles[4].orientation(), 1);

    // The collinear triangle gives the shared edge no facing: it is a boundary of its neighbour.
    int sharedEdgeType = -1;
    for (const HLRProjectedTriangleEdge& edge : onlyData().edges()) {
        if (edge.leftTriangle() == &triangles[3] && edge.rightTriangle() == &triangles[4]) {
            sharedEdgeType = edge.type();
        }
    }
    EXPECT_EQ(sharedEdgeType,
              HLRProjectedTriangleEdge::BOUNDARY_EDGE | HLRProjectedTriangleEdge::RIGHT_FACE_FRONT);
}

TEST_F(HLRProjectedModelTest, PerspectiveFacingLooksFromTheEye) {
    // In the plane x = 2, facing the axis of view: edge-on orthographically, visible from the eye.
    m_model.build(soup({2, 0, -5, 2, 1, -5, 2, 0, -6}, {0, 1, 2}));
    EXPECT_EQ(project(orthographicFrom(0.0)).triangleData().front().triangles()[0].orientation(), 0);
    EXPECT_EQ(project(perspectiveAtOrigin(1.0)).triangleData().front().triangles()[0].orientation(), 1);
}

TEST_F(HLRProjectedModelTest, SharedStoreGivesOneProjectedStoreInModelOrder) {
    m_model.build(soup({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 0, 2, 3}));
    const HLRProjectedModel& projected = project(orthographicFrom(10.0));
    const HLRTriangleData& source = m_model.triangleData().front();
    const HLRProjectedTriangleData& data = onlyData();

    EXPECT_EQ(data.source(), &source);
    EXPECT_EQ(data.vertexIndexOffset(), 0u);
    ASSERT_EQ(data.vertices().size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(data.vertices()[i].sourcePoint, &source.vertices()[i]);
        EXPECT_EQ(data.vertices()[i].index, static_cast<std::int32_t>(i));
    }
    ASSERT_EQ(data.triangles().size(), 2u);
    EXPECT_EQ(data.triangles()[1].source(), &source.triangles()[1]);
    EXPECT_EQ(data.triangles()[1].vertex(2), &data.vertices()[3]);

    ASSERT_EQ(projected.shells().size(), 1u);
    const HLRProjectedShell& shell = projected.shells().front();
    EXPECT_EQ(shell.triangleData(), &data);
    ASSERT_EQ(shell.faces().size(), 1u);
    ASSERT_EQ(shell.faces().front().triangles().size(), 2u);
    EXPECT_EQ(shell.faces().front().triangles()[0], &data.triangles()[0]);
    EXPECT_EQ(shell.faces().front().triangles()[1], &data.triangles()[1]);

    ASSERT_EQ(data.edges().size(), source.edges().size());
    EXPECT_EQ(projected.edgeCount(), 5u);
    auto modelEdge = source.edges().begin();
    for (const HLRProjectedTriangleEdge& edge : data.edges()) {
        EXPECT_EQ(edge.startVertex()->sourcePoint, modelEdge->startVertex());
        EXPECT_EQ(edge.endVertex()->sourcePoint, modelEdge->endVertex());
        EXPECT_EQ(edge.leftTriangle() != nullptr, modelEdge->leftTriangle() != nullptr);
        EXPECT_EQ(edge.rightTriangle() != nullptr, modelEdge->rightTriangle() != nullptr);
        if (edge.rightTriangle() != nullptr) {
            EXPECT_EQ(edge.rightTriangle()->source(), modelEdge->rightTriangle());
        }
        ++modelEdge;
    }
    EXPECT_DOUBLE_EQ(data.extent().width(), 1.0);
    EXPECT_DOUBLE_EQ(projected.bounds().height(), 1.0);
}

TEST_F(HLRProjectedModelTest, SeparateStoresAreNumberedOnAfterEachOther) {
    // Each build of a triangle soup appends a store of its own.
    m_model.build(
        soup({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1}, {0, 1, 2, 4, 6, 5}));
    m_model.build(soup({3, 0, 0, 4, 0, 0, 4, 1, 0, 3, 1, 0, 3, 0, 1, 4, 0, 1}, {0, 1, 2}));
    ASSERT_EQ(m_model.triangleData().size(), 2u);
    const HLRProjectedModel& projected = project(orthographicFrom(10.0));

    ASSERT_EQ(projected.triangleData().size(), 2u);
    EXPECT_EQ(projected.triangleData()[0].vertexIndexOffset(), 0u);
    EXPECT_EQ(projected.triangleData()[1].vertexIndexOffset(), 8u);
    ASSERT_EQ(projected.shells().size(), 2u);
    EXPECT_EQ(projected.shells()[0].triangleData(), &projected.triangleData()[0]);
    EXPECT_EQ(projected.shells()[1].triangleData(), &projected.triangleData()[1]);
    EXPECT_EQ(projected.triangleData()[0].triangles().size(), 2u);
    EXPECT_EQ(projected.triangleData()[1].triangles().size(), 1u);
    EXPECT_EQ(projected.edgeCount(), 9u);
}

TEST_F(HLRProjectedModelTest, ModelWithoutShellsProjectsToNothing) {
    HLRProjectedModel& projected = project(orthographicFrom(10.0));
    EXPECT_TRUE(projected.shells().empty());
    EXPECT_TRUE(projected.triangleData().empty());
    EXPECT_EQ(projected.edgeCount(), 0u);
    projected.execute();

    HLRProjectedModel unset;
    unset.build();
    EXPECT_TRUE(unset.shells().empty());
}

TEST_F(HLRProjectedModelTest, LargeShellsGetABucketGridOverTheirBounds) {
    m_model.build(
        {triangleBody(124, 12, 1.0, 0.0), triangleBody(125, 12, 1.0, 0.0), triangleBody(500, 25, 1.0, 0.0)},
        true);
    const HLRProjectedModel& projected = project(orthographicFrom(10.0));
    ASSERT_EQ(projected.shells().size(), 3u);

    EXPECT_FALSE(projected.shells()[0].built());
    const HLRProjectedShell& small = projected.shells()[1];
    ASSERT_TRUE(small.built());
    EXPECT_EQ(small.resolution(), 5);
    EXPECT_EQ(small.buckets().size(), 25u);
    EXPECT_DOUBLE_EQ(small.bounds().width(), 12.0);
    EXPECT_DOUBLE_EQ(small.bounds().height(), 11.0);
    EXPECT_EQ(projected.shells()[2].resolution(), 10);

    std::set<const HLRCompletionObservableHidingObject*> filed;
    for (const HLRBucket2D& cell : small.buckets()) {
        filed.insert(cell.objects().begin(), cell.objects().end());
    }
    EXPECT_EQ(filed.size(), small.faces().size());
}

TEST_F(HLRProjectedModelTest, NearRegionInvalidatesEdgesOnlyInPerspective) {
    // One triangle reaches from z = -5 to z = -0.5, in front of the near plane at depth 1;
    // another stays well beyond it.
    m_model.build(
        soup({0, 0, -5, 1, 0, -5, 0, 1, -0.5, -3, -3, -20, -2, -3, -20, -3, -2, -20}, {0, 1, 2, 3, 4, 5}));
    const auto invalidEdges = [](const HLRProjectedTriangleData& data) {
        int count = 0;
        for (const HLRProjectedTriangleEdge& edge : data.edges()) {
            count += edge.isValid() ? 0 : 1;
        }
        return count;
    };

    project(perspectiveAtOrigin(1.0));
    EXPECT_NE(HLRProjectedModel::sm_nearRegionBox.minCode(), HLRBoundingBox::DEFAULT_CODE);
    EXPECT_TRUE(onlyData().triangles()[0].nearRegion());
    EXPECT_FALSE(onlyData().triangles()[1].nearRegion());
    EXPECT_EQ(invalidEdges(onlyData()), 2); // the two edges of the close vertex

    project(orthographicFrom(0.0));
    EXPECT_FALSE(onlyData().triangles()[0].nearRegion());
    EXPECT_EQ(invalidEdges(onlyData()), 0);
}

TEST_F(HLRProjectedModelTest, ModelBeyondTheNearPlaneLeavesTheNearRegionEmpty) {
    m_model.build(soup({0, 0, -5, 1, 0, -5, 0, 1, -2}, {0, 1, 2}));
    project(perspectiveAtOrigin(1.0));
    EXPECT_EQ(HLRProjectedModel::sm_nearRegionBox.minCode(), HLRBoundingBox::DEFAULT_CODE);
    EXPECT_EQ(HLRProjectedModel::sm_nearRegionBox.maxCode(), HLRBoundingBox::DEFAULT_CODE);
    EXPECT_FALSE(onlyData().triangles()[0].nearRegion());
    for (const HLRProjectedTriangleEdge& edge : onlyData().edges()) {
        EXPECT_TRUE(edge.isValid());
    }
}

TEST_F(HLRProjectedModelTest, TolerancesComeFromTheSmallestExtents) {
    m_model.build(soup({0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, 1}, {0, 1, 2, 0, 3, 1}));
    HLRProjectedModel& projected = project(orthographicFrom(10.0));
    projected.preProcess();
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dTolerance2D, 2e-6);
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dTolerance2DSquared, 4e-12);
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dTolerance3D, 1e-6);
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dTolerance3DSquared, 1e-12);
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dCoarseTolerance3D, 0.01);
}

TEST_F(HLRProjectedModelTest, UnitCubeSeenIsometrically) {
    m_model.build(soup({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1},
                       {0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4,
                        1, 2, 6, 1, 6, 5, 2, 3, 7, 2, 7, 6, 3, 0, 4, 3, 4, 7}));
    const HLRProjectedModel& projected = project(isometric());
    ASSERT_EQ(projected.shells().size(), 1u);
    EXPECT_EQ(projected.shells().front().faces().size(), 1u);
    EXPECT_EQ(projected.edgeCount(), 18u);

    int front = 0;
    for (const HLRProjectedTriangle& triangle : onlyData().triangles()) {
        front += triangle.orientation();
    }
    EXPECT_EQ(front, 6);

    int silhouettes = 0;
    int sharp = 0;
    int smooth = 0;
    for (const HLRProjectedTriangleEdge& edge : onlyData().edges()) {
        if ((edge.type() & HLRProjectedTriangleEdge::SILHOUETTE_MASK) != 0) {
            ++silhouettes;
        } else if ((edge.type() & HLRProjectedTriangleEdge::CONVEX_SHARP_EDGE) != 0) {
            ++sharp;
        } else if (!edge.isFeatureLine()) {
            ++smooth;
        }
    }
    EXPECT_EQ(silhouettes, 6);
    EXPECT_EQ(sharp, 6);
    EXPECT_EQ(smooth, 6);
}

TEST_F(HLRProjectedModelTest, FreeEdgesBecomeChainsOfFreeEdgeSegments) {
    HLRTriangleData store;
    HLRShell shell(store);
    shell.newFreeEdge({HLRVector3D(0, 0, 0), HLRVector3D(1, 0, 0), HLRVector3D(1, 1, 0)});
    shell.newFreeEdge({HLRVector3D(5, 5, 0)});
    const HLRProjector view = orthographicFrom(10.0);
    HLRProjectedTriangleData data(store, view, kDefaultSharpAngle, 0);
    HLRProjectedShell projected(shell, data, view);

    EXPECT_EQ(projected.buildFreeEdges(), 2u);
    const HLRProjectedFreeEdgeData& freeEdges = projected.freeEdges();
    ASSERT_EQ(freeEdges.vertices().size(), 4u);
    EXPECT_EQ(freeEdges.vertices()[3].index, 3);
    EXPECT_EQ(freeEdges.vertices()[3].sourcePoint, nullptr);
    ASSERT_EQ(freeEdges.edges().size(), 2u);
    EXPECT_EQ(freeEdges.edges()[1].startVertex(), &freeEdges.vertices()[1]);
    EXPECT_EQ(freeEdges.edges()[1].endVertex(), &freeEdges.vertices()[2]);
    EXPECT_EQ(freeEdges.edges()[1].type(), HLRProjectedTriangleEdge::FREE_EDGE);
    EXPECT_EQ(freeEdges.edges()[1].leftTriangle(), nullptr);
}

TEST_F(HLRProjectedModelTest, SequentialPathThroughShellsAgreesWithTheHidePass) {
    // Two gridded shells of single-triangle faces: a larger-meshed one in front of a finer one.
    m_model.build({triangleBody(200, 20, 1.0, 0.0), triangleBody(150, 15, 1.3, 1.0)}, true);
    const HLRProjector view = orthographicFrom(10.0);
    HLRProjectedModel sequential(m_model, view, kDefaultSharpAngle, true, 800);
    sequential.build();
    HLRProjectedModel parallel(m_model, view, kDefaultSharpAngle, true, 800);
    parallel.build();
    ASSERT_TRUE(sequential.shells()[0].built());
    ASSERT_TRUE(sequential.shells()[1].built());

    parallel.execute();
    sequential.preProcess();
    const std::vector<HLRProjectedTriangleEdge*> byObjects = featureEdges(sequential);
    for (HLRProjectedTriangleEdge* edge : byObjects) {
        sequential.hideByObjects(*edge);
    }

    const std::vector<HLRProjectedTriangleEdge*> byTree = featureEdges(parallel);
    ASSERT_EQ(byObjects.size(), byTree.size());
    int partlyHidden = 0;
    for (std::size_t i = 0; i < byObjects.size(); ++i) {
        EXPECT_NEAR(hiddenShare(*byObjects[i]), hiddenShare(*byTree[i]), 1e-3) << "edge " << i;
        partlyHidden += hiddenShare(*byTree[i]) > 0.0 ? 1 : 0;
    }
    EXPECT_GT(partlyHidden, 100);
}
