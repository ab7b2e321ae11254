#pragma once

// Mesh objects of the host: a mesh primitive holds shared, immutable vertex and triangle lists; a
// mesh body is a mesh split into faces over one vertex list; a model-level mesh wraps a primitive.

#include "host/KvCore.h"
#include "host/opennurbs.h"

#include <boost/intrusive_ptr.hpp>

#include <cstdint>
#include <memory>
#include <vector>

namespace Kv {

class KVHOST_API KvaMeshPrimitive : public KvObject {
    KV_DECLARE_RUNTIME_CLASS()

public:
    // Three indices into the vertex list of the mesh that owns the triangle.
    struct TriangleIndex {
        std::uint64_t v[3];

        TriangleIndex() : v{0, 0, 0} {}
        TriangleIndex(std::uint64_t a, std::uint64_t b, std::uint64_t c) : v{a, b, c} {}
        std::uint64_t operator[](int i) const { return v[i]; }
    };

protected:
    KvaMeshPrimitive() = default;
};

using KvPointList = std::vector<ON_3dPoint>;
using KvTriangleList = std::vector<KvaMeshPrimitive::TriangleIndex>;

class KVHOST_API KvaMesh : public KvaMeshPrimitive {
    KV_DECLARE_RUNTIME_CLASS()

public:
    // Throws std::invalid_argument for a null list and std::out_of_range for a triangle index that
    // does not name a vertex, so that every mesh a client reads is well formed.
    KvaMesh(std::shared_ptr<const KvPointList> vertices, std::shared_ptr<const KvTriangleList> triangles);

    virtual std::shared_ptr<const KvPointList> GetVertices() const;
    virtual std::shared_ptr<const KvTriangleList> GetTriangles() const;

private:
    std::shared_ptr<const KvPointList> m_vertices;
    std::shared_ptr<const KvTriangleList> m_triangles;
};

// One face of a mesh body: its triangles index the body's vertex list.
class KVHOST_API KvaMeshFace : public KvaMesh {
    KV_DECLARE_RUNTIME_CLASS()

public:
    using KvaMesh::KvaMesh;
};

class KVHOST_API KvaMeshBody : public KvaMesh {
    KV_DECLARE_RUNTIME_CLASS()

public:
    // One face per entry of `faceTriangles`, all over `vertices`; the body's own triangle list is
    // the faces' triangles in face order. Validates like KvaMesh.
    KvaMeshBody(std::shared_ptr<const KvPointList> vertices,
                std::vector<std::shared_ptr<const KvTriangleList>> faceTriangles);

    const std::vector<boost::intrusive_ptr<KvaMeshFace>>& GetFaces() const { return m_faces; }

    // Tangent edges: polylines along which two faces of the body meet smoothly (a fillet and the face
    // it runs into), in the body's coordinates. None by default.
    void SetTangentEdges(std::vector<KvPointList> edges) { m_tangentEdges = std::move(edges); }
    const std::vector<KvPointList>& GetTangentEdges() const { return m_tangentEdges; }

private:
    std::vector<boost::intrusive_ptr<KvaMeshFace>> m_faces;
    std::vector<KvPointList> m_tangentEdges;
};

// A mesh as it appears in the host's model; the geometry is its primitive.
class KVHOST_API KvmMesh : public KvObject {
    KV_DECLARE_RUNTIME_CLASS()

public:
    // Throws std::invalid_argument for a null primitive.
    explicit KvmMesh(boost::intrusive_ptr<const KvaMesh> primitive);

    boost::intrusive_ptr<const KvaMesh> GetPrimitive() const { return m_primitive; }

private:
    boost::intrusive_ptr<const KvaMesh> m_primitive;
};

} // namespace Kv
