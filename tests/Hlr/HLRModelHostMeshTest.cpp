#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRModel.h"
#include "ModelFacts.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace KvHLR;
using Kv::KvPointList;
using Kv::KvTriangleList;
using KvHLR::testing::findEdge;
using KvHLR::testing::indexOf;
using MeshList = std::vector<boost::intrusive_ptr<Kv::KvmMesh>>;
using Tri = Kv::KvaMeshPrimitive::TriangleIndex;

std::shared_ptr<const KvPointList> points(KvPointList list) {
    return std::make_shared<const KvPointList>(std::move(list));
}

std::shared_ptr<const KvTriangleList> triangles(KvTriangleList list) {
    return std::make_shared<const KvTriangleList>(std::move(list));
}

boost::intrusive_ptr<Kv::KvmMesh> meshOf(const Kv::KvaMesh* primitive) {
    return boost::intrusive_ptr<Kv::KvmMesh>(
        new Kv::KvmMesh(boost::intrusive_ptr<const Kv::KvaMesh>(primitive)));
}

// A unit square in z = 0 (plus an unused far point 4) as a body of two faces that meet along
// the diagonal 0-2.
boost::intrusive_ptr<Kv::KvmMesh> squareBody() {
    return meshOf(new Kv::KvaMeshBody(points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {50, 50, 50}}),
                                      {triangles({{0, 1, 2}}), triangles({{0, 2, 3}})}));
}

const HLRTriangleData& onlyStore(const HLRModel& model) {
    EXPECT_EQ(model.triangleData().size(), 1u);
    return model.triangleData().front();
}

TEST(HLRModelHostMesh, BodyReadWholeSharesItsInnerBorder) {
    HLRModel model;
    model.build({squareBody()}, false);
    const HLRTriangleData& data = onlyStore(model);
    ASSERT_EQ(model.shells().size(), 1u);
    EXPECT_EQ(model.shells().front().faces().size(), 1u);
    EXPECT_EQ(data.vertices().size(), 4u); // the unused point is dropped
    EXPECT_EQ(data.edges().size(), 5u);
    const HLRTriangleEdge* diagonal = findEdge(data, 0, 2);
    ASSERT_NE(diagonal, nullptr);
    EXPECT_EQ(diagonal->startVertex()->index, 2); // first met as the closing side 2-0
    EXPECT_EQ(indexOf(diagonal->leftTriangle()), 0);
    EXPECT_EQ(indexOf(diagonal->rightTriangle()), 1);
    EXPECT_EQ(HLRBoundingBox3D::world().max().x, 1.0); // nor does it widen the world box
}

TEST(HLRModelHostMesh, BodyReadFaceByFaceSplitsItsInnerBorder) {
    HLRModel model;
    model.build({squareBody()}, true);
    const HLRTriangleData& data = onlyStore(model);
    ASSERT_EQ(model.shells().size(), 1u);
    const std::list<HLRFace>& faces = model.shells().front().faces();
    ASSERT_EQ(faces.size(), 2u);
    EXPECT_EQ(faces.back().triangles().front()->index, 1);
    // Each face numbers its own vertices in order of first use: the second face's 0, 2, 3.
    ASSERT_EQ(data.vertices().size(), 6u);
    EXPECT_EQ(data.vertices()[3].x, 0.0);
    EXPECT_EQ(data.vertices()[4].y, 1.0);
    EXPECT_EQ(data.vertices()[5].x, 0.0);
    EXPECT_EQ(data.vertices()[5].y, 1.0);
    EXPECT_EQ(data.edges().size(), 6u);
    for (const HLRTriangleEdge& e : data.edges()) {
        EXPECT_EQ(e.rightTriangle(), nullptr);
    }
}

TEST(HLRModelHostMesh, PlainMeshIsOneFaceWhateverTheFlag) {
    const auto mesh = meshOf(new Kv::KvaMesh(points({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}),
                                             triangles({{0, 1, 2}, {0, 2, 3}})));
    HLRModel model;
    model.build({mesh}, true);
    EXPECT_EQ(model.shells().front().faces().size(), 1u);
    EXPECT_EQ(onlyStore(model).edges().size(), 5u);
}

TEST(HLRModelHostMesh, EveryMeshIsAShellOverOneStoreWithItsOwnVertices) {
    boost::intrusive_ptr<const Kv::KvaMesh> triangle(
        new Kv::KvaMesh(points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), triangles({{0, 1, 2}})));
    const MeshList meshes{meshOf(triangle.get()), meshOf(triangle.get()), squareBody()};
    HLRModel model;
    model.build(meshes, false);
    const HLRTriangleData& data = onlyStore(model);
    ASSERT_EQ(model.shells().size(), 3u);
    for (const HLRShell& shell : model.shells()) {
        EXPECT_EQ(shell.triangleData(), &data);
    }
    // The same primitive twice still gives vertices and edges of its own to each shell.
    EXPECT_EQ(data.vertices().size(), 10u);
    EXPECT_EQ(data.edges().size(), 11u);
    const HLRTriangle* second = model.shells().begin()->faces().front().triangles().front() + 1;
    EXPECT_EQ(std::next(model.shells().begin())->faces().front().triangles().front(), second);
    EXPECT_EQ(second->vertices[0]->index, 3);
    // Triangle indices run over all meshes in shell order.
    EXPECT_EQ(model.shells().back().faces().front().triangles().back()->index, 3);
    // The model keeps no reference to the host objects.
    EXPECT_EQ(triangle->GetReferenceCount(), 3u);
}

TEST(HLRModelHostMesh, MeshesWithoutTrianglesKeepTheWorldBox) {
    HLRBoundingBox3D::setWorld(HLRBox3D(HLRVector3D(-3, -3, -3), HLRVector3D(3, 3, 3)));
    HLRModel model;
    model.build({meshOf(new Kv::KvaMesh(points({{9, 9, 9}}), triangles({}))),
                 meshOf(new Kv::KvaMeshBody(points({{8, 8, 8}}), {triangles({}), triangles({})}))},
                true);
    ASSERT_EQ(model.shells().size(), 2u);
    EXPECT_EQ(model.shells().back().faces().size(), 2u);
    EXPECT_TRUE(model.shells().back().faces().front().triangles().empty());
    EXPECT_TRUE(onlyStore(model).vertices().empty());
    EXPECT_EQ(HLRBoundingBox3D::world().max().x, 3.0);
}

TEST(HLRModelHostMesh, TriangleOnOneHostVertexHasThreeEqualCornersAndNoEdge) {
    HLRModel model;
    model.build({meshOf(new Kv::KvaMesh(points({{0, 0, 0}, {1, 2, 3}}), triangles({{1, 1, 1}})))}, false);
    const HLRTriangleData& data = onlyStore(model);
    ASSERT_EQ(data.vertices().size(), 1u);
    const HLRTriangle& t = data.triangles().front();
    EXPECT_EQ(t.vertices[0], &data.vertices()[0]);
    EXPECT_EQ(t.vertices[1], t.vertices[0]);
    EXPECT_EQ(t.vertices[2], t.vertices[0]);
    EXPECT_TRUE(data.edges().empty());
}

// Many faces over one large shared vertex list, each reusing indices the others used: every face
// must start afresh, with no vertex carried over from the face before.
TEST(HLRModelHostMesh, ManyBodyFacesOverOneVertexListNumberTheirVerticesAfresh) {
    KvPointList grid;
    for (int i = 0; i < 2000; ++i) {
        grid.emplace_back(i, i % 7, 0.0);
    }
    std::vector<std::shared_ptr<const KvTriangleList>> faces;
    for (std::uint64_t f = 0; f < 1000; ++f) {
        faces.push_back(triangles({{f, f + 1, f + 2}, {f + 2, f + 1, f + 3}}));
    }
    HLRModel model;
    model.build({meshOf(new Kv::KvaMeshBody(points(grid), faces))}, true);
    const HLRTriangleData& data = onlyStore(model);
    EXPECT_EQ(model.shells().front().faces().size(), 1000u);
    EXPECT_EQ(data.vertices().size(), 4000u);
    EXPECT_EQ(data.edges().size(), 5000u);
    EXPECT_EQ(data.vertices()[3999].x, 1002.0);
    EXPECT_EQ(indexOf(findEdge(data, 3997, 3998)->rightTriangle()), 1999);
}

} // namespace
