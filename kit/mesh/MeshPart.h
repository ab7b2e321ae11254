#pragma once

// The kit's model: what a mesh file or the demo generator produces, before it becomes host meshes.

#include "api/CalcSilhouette.h"
#include "host/KvMesh.h"

#include <vector>

namespace kvhlr {

// One future host mesh: welded points and one or more faces of triangles indexing them. A body keeps
// its faces apart (each becomes a face of a mesh body); otherwise the part has a single face.
struct MeshPart {
    Kv::KvPointList points;
    std::vector<Kv::KvTriangleList> faces;
    bool body = false;
};

std::size_t triangleCount(const std::vector<MeshPart>& parts);

// Calls visit(point) for every point of every part.
template <class Visit> void forEachPoint(const std::vector<MeshPart>& parts, Visit&& visit) {
    for (const MeshPart& part : parts)
        for (const ON_3dPoint& p : part.points)
            visit(p);
}

// The host meshes the library reads: a body part becomes a mesh body whose faces are the part's faces,
// any other part a plain mesh. Parts without triangles are left out. The parts' lists are moved.
KvHLR::MeshList toMeshList(std::vector<MeshPart>&& parts);

} // namespace kvhlr
