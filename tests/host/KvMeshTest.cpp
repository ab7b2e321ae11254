#include "host/KvMesh.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Kv::KvaMeshPrimitive;
using Kv::KvPointList;
using Kv::KvTriangleList;
using Tri = KvaMeshPrimitive::TriangleIndex;

std::shared_ptr<const KvPointList> unitSquare() {
    return std::make_shared<const KvPointList>(
        KvPointList{{0.0, 0.0, 0.0}, {1.0, 0.0, 0.0}, {1.0, 1.0, 0.0}, {0.0, 1.0, 0.0}});
}

std::shared_ptr<const KvTriangleList> triangles(std::initializer_list<Tri> list) {
    return std::make_shared<const KvTriangleList>(list);
}

TEST(KvMesh, MeshSharesItsListsAndChecksThem) {
    const auto vertices = unitSquare();
    const auto tris = triangles({{0, 1, 2}, {0, 2, 3}});
    const Kv::KvaMesh mesh(vertices, tris);
    EXPECT_EQ(mesh.GetVertices(), vertices);
    EXPECT_EQ(mesh.GetTriangles(), tris);
    EXPECT_EQ((*mesh.GetTriangles())[1][2], 3u);

    EXPECT_THROW(Kv::KvaMesh(nullptr, tris), std::invalid_argument);
    EXPECT_THROW(Kv::KvaMesh(vertices, nullptr), std::invalid_argument);
    EXPECT_THROW(Kv::KvaMesh(vertices, triangles({{0, 1, 4}})), std::out_of_range);
    EXPECT_NO_THROW(Kv::KvaMesh(std::make_shared<const KvPointList>(), triangles({})));
}

TEST(KvMesh, BodyFacesShareTheBodyVerticesAndConcatenateInOrder) {
    const auto vertices = unitSquare();
    const auto lower = triangles({{0, 1, 2}});
    const auto upper = triangles({{0, 2, 3}, {3, 2, 2}});
    const Kv::KvaMeshBody body(vertices, {lower, upper});

    ASSERT_EQ(body.GetFaces().size(), 2u);
    EXPECT_EQ(body.GetFaces()[0]->GetVertices(), vertices);
    EXPECT_EQ(body.GetFaces()[1]->GetVertices(), vertices);
    EXPECT_EQ(body.GetFaces()[1]->GetTriangles(), upper);
    EXPECT_EQ(body.GetFaces()[0]->GetRuntimeClass(), Kv::KvaMeshFace::GetThisClass());
    EXPECT_EQ(body.GetFaces()[0]->GetReferenceCount(), 1u);

    const KvTriangleList& all = *body.GetTriangles();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0][2], 2u);
    EXPECT_EQ(all[1][2], 3u);
    EXPECT_EQ(all[2][0], 3u);

    EXPECT_THROW(Kv::KvaMeshBody(vertices, {lower, nullptr}), std::invalid_argument);
    EXPECT_THROW(Kv::KvaMeshBody(vertices, {triangles({{0, 9, 1}})}), std::out_of_range);
}

TEST(KvMesh, ModelMeshHoldsItsPrimitive) {
    boost::intrusive_ptr<const Kv::KvaMesh> primitive(new Kv::KvaMesh(unitSquare(), triangles({{0, 1, 2}})));
    {
        const Kv::KvmMesh mesh(primitive);
        EXPECT_EQ(mesh.GetPrimitive(), primitive);
        EXPECT_EQ(primitive->GetReferenceCount(), 2u);
    }
    EXPECT_EQ(primitive->GetReferenceCount(), 1u);
    EXPECT_THROW(Kv::KvmMesh(nullptr), std::invalid_argument);
}

} // namespace
