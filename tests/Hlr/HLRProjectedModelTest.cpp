#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRBoundingBox.h"
#include "Hlr/HLRModel.h"
#include "Hlr/HLRProjector.h"
#include "RowOrderCamera.h"
#include "Scenes.h"

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

// Every valid feature edge, the edges a hide pass works on.
std::vector<HLRProjectedTriangleEdge*> featureEdges(HLRProjectedModel& projected) {
    std::vector<HLRProjectedTriangleEdge*> edges;
    for (HLRProjectedTriangleData& data : projected.triangleData())
        for (HLRProjectedTriangleEdge& edge : data.edges())
            if (edge.isValid() && edge.isFeatureLine())
                edges.push_back(&edge);
    return edges;
}

class HLRProjectedModelTest : public ::testing::Test {
protected:
    HLRProjectedModel& project(const HLRProjector& camera, double sharpEdgeAngle = kDefaultSharpAngle,
                               bool exact = false) {
        m_camera = camera;
        m_projected = std::make_unique<HLRProjectedModel>(m_model, m_camera, sharpEdgeAngle, true, 800);
        m_projected->setRunModes(HLRRunModes{exact, false, false});
        m_projected->build();
        return *m_projected;
    }
    // The run modes are process-wide: the next test starts without exact hiding.
    void TearDown() override { HLRProjectedModel::sm_bExactHiding = false; }
    const HLRProjectedTriangleData& onlyData() const {
        EXPECT_EQ(m_projected->triangleData().size(), 1u);
        return m_projected->triangleData().front();
    }

    HLRModel m_model;
    HLRProjector m_camera;
    std::unique_ptr<HLRProjectedModel> m_projected;
};

} // namespace

TEST_F(HLRProjectedModelTest, NearRegionInvalidatesEdgesOnlyInPerspective) {
    // One triangle reaches from z = -5 to z = -0.5, in front of the near plane at depth 1;
    // another stays well beyond it.
    m_model.build(
        KvHLRTest::soup({{0, 0, -5}, {1, 0, -5}, {0, 1, -0.5}, {-3, -3, -20}, {-2, -3, -20}, {-3, -2, -20}}, {{0, 1, 2}, {3, 4, 5}}));
    for (const bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact hiding" : "plain hide test");
        // Exact hiding keeps the triangles as occluders and the edges as exact edges, and nothing else.
        const auto nearRegion = [exact, this](std::size_t triangle) {
            return exact ? onlyData().occluders()[triangle].image.nearRegion
                         : onlyData().triangles()[triangle].nearRegion();
        };
        const auto invalidEdges = [this] {
            int count = 0;
            for (const HLRProjectedTriangleEdge& edge : onlyData().edges())
                count += edge.isValid() ? 0 : 1;
            for (const HLRExactEdge& edge : onlyData().exactEdges())
                count += edge.isValid() ? 0 : 1;
            return count;
        };

        project(perspectiveAtOrigin(1.0), kDefaultSharpAngle, exact);
        EXPECT_EQ(onlyData().triangles().size(), exact ? 0u : 2u);
        EXPECT_EQ(onlyData().occluders().size(), exact ? 2u : 0u);
        EXPECT_EQ(onlyData().edges().size() + onlyData().exactEdges().size(), 6u);
        EXPECT_NE(HLRProjectedModel::sm_nearRegionBox.minCode(), HLRBoundingBox::DEFAULT_CODE);
        EXPECT_TRUE(nearRegion(0));
        EXPECT_FALSE(nearRegion(1));
        EXPECT_EQ(invalidEdges(), 2); // the two edges of the close vertex

        project(orthographicFrom(0.0), kDefaultSharpAngle, exact);
        EXPECT_FALSE(nearRegion(0));
        EXPECT_EQ(invalidEdges(), 0);
    }
}

TEST_F(HLRProjectedModelTest, TolerancesComeFromTheSmallestExtents) {
    m_model.build(KvHLRTest::soup({{0, 0, 0}, {4, 0, 0}, {0, 2, 0}, {0, 0, 1}}, {{0, 1, 2}, {0, 3, 1}}));
    HLRProjectedModel& projected = project(orthographicFrom(10.0));
    projected.preProcess();
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dTolerance2D, 2e-6);
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dTolerance2DSquared, 4e-12);
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dTolerance3D, 1e-6);
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dTolerance3DSquared, 1e-12);
    EXPECT_DOUBLE_EQ(HLRProjectedModel::sm_dCoarseTolerance3D, 0.01);
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
