#include "host/KvMesh.h"

#include <stdexcept>

namespace Kv {

KV_IMPLEMENT_RUNTIME_CLASS(KvaMeshPrimitive, KvObject)
KV_IMPLEMENT_RUNTIME_CLASS(KvaMesh, KvaMeshPrimitive)
KV_IMPLEMENT_RUNTIME_CLASS(KvaMeshFace, KvaMesh)
KV_IMPLEMENT_RUNTIME_CLASS(KvaMeshBody, KvaMesh)
KV_IMPLEMENT_RUNTIME_CLASS(KvmMesh, KvObject)

namespace {

void validate(const std::shared_ptr<const KvPointList>& vertices,
              const std::shared_ptr<const KvTriangleList>& triangles) {
    if (!vertices || !triangles) {
        throw std::invalid_argument("KvaMesh: null vertex or triangle list");
    }
    const std::uint64_t count = vertices->size();
    for (const KvaMeshPrimitive::TriangleIndex& t : *triangles) {
        if (t[0] >= count || t[1] >= count || t[2] >= count) {
            throw std::out_of_range("KvaMesh: triangle index beyond the vertex list");
        }
    }
}

std::shared_ptr<const KvTriangleList>
concatenate(const std::vector<std::shared_ptr<const KvTriangleList>>& faceTriangles) {
    std::size_t total = 0;
    for (const auto& face : faceTriangles) {
        if (!face) {
            throw std::invalid_argument("KvaMeshBody: null face triangle list");
        }
        total += face->size();
    }
    auto all = std::make_shared<KvTriangleList>();
    all->reserve(total);
    for (const auto& face : faceTriangles) {
        all->insert(all->end(), face->begin(), face->end());
    }
    return all;
}

} // namespace

KvaMesh::KvaMesh(std::shared_ptr<const KvPointList> vertices, std::shared_ptr<const KvTriangleList> triangles)
    : m_vertices(std::move(vertices)), m_triangles(std::move(triangles)) {
    validate(m_vertices, m_triangles);
}

std::shared_ptr<const KvPointList> KvaMesh::GetVertices() const {
    return m_vertices;
}

std::shared_ptr<const KvTriangleList> KvaMesh::GetTriangles() const {
    return m_triangles;
}

KvaMeshBody::KvaMeshBody(std::shared_ptr<const KvPointList> vertices,
                         std::vector<std::shared_ptr<const KvTriangleList>> faceTriangles)
    : KvaMesh(vertices, concatenate(faceTriangles)) {
    m_faces.reserve(faceTriangles.size());
    for (auto& face : faceTriangles) {
        m_faces.emplace_back(new KvaMeshFace(vertices, std::move(face)));
    }
}

KvmMesh::KvmMesh(boost::intrusive_ptr<const KvaMesh> primitive) : m_primitive(std::move(primitive)) {
    if (!m_primitive) {
        throw std::invalid_argument("KvmMesh: null primitive");
    }
}

} // namespace Kv
