#include "kit/mesh/MeshPart.h"

#include <memory>

namespace kvhlr {
namespace {

std::size_t faceTriangles(const MeshPart& part) {
    std::size_t count = 0;
    for (const Kv::KvTriangleList& face : part.faces)
        count += face.size();
    return count;
}

boost::intrusive_ptr<const Kv::KvaMesh> primitiveOf(MeshPart&& part) {
    auto points = std::make_shared<const Kv::KvPointList>(std::move(part.points));
    if (part.body) {
        std::vector<std::shared_ptr<const Kv::KvTriangleList>> faces;
        for (Kv::KvTriangleList& face : part.faces)
            if (!face.empty())
                faces.push_back(std::make_shared<const Kv::KvTriangleList>(std::move(face)));
        auto* body = new Kv::KvaMeshBody(points, std::move(faces));
        body->SetTangentEdges(std::move(part.tangentEdges));
        return body;
    }
    return new Kv::KvaMesh(points, std::make_shared<const Kv::KvTriangleList>(std::move(part.faces.front())));
}

} // namespace

std::size_t triangleCount(const std::vector<MeshPart>& parts) {
    std::size_t count = 0;
    for (const MeshPart& part : parts)
        count += faceTriangles(part);
    return count;
}

KvHLR::MeshList toMeshList(std::vector<MeshPart>&& parts) {
    KvHLR::MeshList meshes;
    for (MeshPart& part : parts) {
        if (faceTriangles(part) == 0)
            continue;
        meshes.push_back(new Kv::KvmMesh(primitiveOf(std::move(part))));
    }
    parts.clear();
    return meshes;
}

} // namespace kvhlr
