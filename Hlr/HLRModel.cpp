#include "Hlr/HLRModel.h"

#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRHugePages.h"
#include "Hlr/HLRProgressObservableProc.h"

#include <array>
#include <memory>
#include <stdexcept>
#include <utility>

namespace KvHLR {

namespace {

using Kv::KvaMesh;
using Kv::KvPointList;
using Kv::KvTriangleList;

// One input face: a host vertex list and triangles indexing it, held while the build reads them.
struct HostFace {
    std::shared_ptr<const KvPointList> vertices;
    std::shared_ptr<const KvTriangleList> triangles;
};

// The faces of one mesh, in order.
using HostShell = std::vector<HostFace>;

// The first class along the primitive's class chain that is either a mesh body or a plain mesh
// decides.
bool isMeshBody(const KvaMesh& primitive) {
    for (const Kv::KvRuntimeClass* c = primitive.GetRuntimeClass(); c != nullptr; c = c->baseClass) {
        if (c == Kv::KvaMeshBody::GetThisClass()) {
            return true;
        }
        if (c == KvaMesh::GetThisClass()) {
            return false;
        }
    }
    return false;
}

HostShell gather(const Kv::KvmMesh* mesh, bool separateBodyFaces) {
    if (mesh == nullptr) {
        throw std::invalid_argument("HLRModel::build(): null mesh handle");
    }
    const boost::intrusive_ptr<const KvaMesh> primitive = mesh->GetPrimitive();
    if (!separateBodyFaces || !isMeshBody(*primitive)) {
        return {HostFace{primitive->GetVertices(), primitive->GetTriangles()}};
    }
    HostShell faces;
    for (const boost::intrusive_ptr<Kv::KvaMeshFace>& face :
         static_cast<const Kv::KvaMeshBody&>(*primitive).GetFaces()) {
        faces.push_back(HostFace{face->GetVertices(), face->GetTriangles()});
    }
    return faces;
}

// The tangent edges of a mesh body, as free edges of its shell marked as tangent.
void addTangentEdges(HLRShell& shell, const Kv::KvmMesh& mesh) {
    const boost::intrusive_ptr<const KvaMesh> primitive = mesh.GetPrimitive();
    if (!isMeshBody(*primitive)) {
        return;
    }
    for (const KvPointList& edge : static_cast<const Kv::KvaMeshBody&>(*primitive).GetTangentEdges()) {
        std::vector<HLRVector3D> points;
        points.reserve(edge.size());
        for (const ON_3dPoint& p : edge) {
            points.emplace_back(p.x, p.y, p.z);
        }
        shell.newFreeEdge(std::move(points), true);
    }
}

// Store positions of the host vertices met so far in the current face. The faces of a body all
// index the body's whole vertex list, so between faces only the entries of the last face's triangles
// are reset: the work stays linear in the triangles read, however many faces share a large list.
class HostVertexMap {
public:
    static constexpr std::int32_t kUnseen = -1;

    void startFace(const KvTriangleList& triangles, std::size_t hostVertexCount) {
        if (m_face != nullptr) {
            for (const Kv::KvaMeshPrimitive::TriangleIndex& t : *m_face) {
                for (int k = 0; k < 3; ++k) {
                    if (t[k] < m_hostVertexCount) {
                        m_position[t[k]] = kUnseen;
                    }
                }
            }
        }
        m_face = &triangles;
        if (m_position.empty()) {
            HLRHugePages::assign(m_position, hostVertexCount, kUnseen);
        } else if (m_position.size() < hostVertexCount) {
            m_position.resize(hostVertexCount, kUnseen);
        }
        m_hostVertexCount = hostVertexCount;
    }

    std::int32_t find(std::uint64_t h) const {
        if (h >= m_hostVertexCount) {
            throw std::out_of_range("HLRModel::build(): host triangle index beyond its vertex list");
        }
        return m_position[h];
    }

    void insert(std::uint64_t h, std::int32_t position) { m_position[h] = position; }

private:
    std::vector<std::int32_t> m_position;
    const KvTriangleList* m_face = nullptr; // the face started last
    std::size_t m_hostVertexCount = 0;
};

// How many vertices and triangles the shells will add, so that the store is sized exactly.
std::pair<std::size_t, std::size_t> countVerticesAndTriangles(const std::vector<HostShell>& shells,
                                                              HostVertexMap& map) {
    std::size_t vertexCount = 0;
    std::size_t triangleCount = 0;
    for (const HostShell& shell : shells) {
        for (const HostFace& face : shell) {
            map.startFace(*face.triangles, face.vertices->size());
            for (const Kv::KvaMeshPrimitive::TriangleIndex& t : *face.triangles) {
                HLRCancelPoll::check();
                for (int k = 0; k < 3; ++k) {
                    if (map.find(t[k]) == HostVertexMap::kUnseen) {
                        map.insert(t[k], 0);
                        ++vertexCount;
                    }
                }
            }
            triangleCount += face.triangles->size();
        }
    }
    return {vertexCount, triangleCount};
}

void addToWorld(HLRBox3D& world, const HLRTriangleVertex& v) {
    world.add(HLRVector3D(v.x, v.y, v.z));
}

// Appends the face's triangles to the store, creating each host vertex on its first use.
void buildFace(HLRTriangleData& data, HLRFace& face, const HostFace& host, HostVertexMap& map,
               HLRBox3D& world, std::vector<std::uint32_t>& hostVertex) {
    map.startFace(*host.triangles, host.vertices->size());
    for (const Kv::KvaMeshPrimitive::TriangleIndex& t : *host.triangles) {
        HLRCancelPoll::check();
        std::int32_t position[3];
        for (int k = 0; k < 3; ++k) {
            position[k] = map.find(t[k]);
            if (position[k] == HostVertexMap::kUnseen) {
                const ON_3dPoint& p = (*host.vertices)[t[k]];
                position[k] = data.addVertex(p.x, p.y, p.z);
                addToWorld(world, data.vertices().back());
                map.insert(t[k], position[k]);
                hostVertex.push_back(static_cast<std::uint32_t>(t[k]));
            }
        }
        face.addTriangle(&data.addTriangle(position[0], position[1], position[2]));
    }
}

} // namespace

HLRModel::HLRModel() = default;

HLRModel::~HLRModel() = default;

void HLRModel::setUpProgressObservation(HLRProgressCallback callback) {
    setCallback(callback);
    HLRProgressObservableProc* build = newProc("HLRModel::build", nullptr, 1.0);
    newProc("HLRModel::preBuildShellsAndTriangleData", build, 0.3);
    newProc("HLRModel::buildShells", build, 0.4);
    newProc("HLRModel::buildTriangleData", build, 0.3);
}

void HLRModel::build(const Polygon3D& polygon) {
    HLRProgressObservableProc::startProcess("HLRModel::build", 1);
    HLRTriangleData& data = newTriangleData();
    HLRFace& face = newShell(data).newFace();
    m_origin = Origin{{0}, {0}, {}};
    data.reserve(polygon.points.size(), polygon.triangles.size());
    for (const ON_3dPoint& p : polygon.points) {
        data.addVertex(p.x, p.y, p.z);
    }
    // Only the points that triangles use count towards the extent.
    HLRBox3D world;
    for (const std::array<std::uint32_t, 3>& t : polygon.triangles) {
        HLRCancelPoll::check();
        HLRTriangle& triangle = data.addTriangle(t[0], t[1], t[2]);
        for (const std::int32_t v : triangle.vertices) {
            addToWorld(world, data.vertices()[static_cast<std::size_t>(v)]);
        }
        face.addTriangle(&triangle);
    }
    if (world.isValid()) {
        HLRBoundingBox3D::setWorld(world);
    }
    buildTriangleData();
    HLRProgressObservableProc::endProcess("HLRModel::build");
}

void HLRModel::build(const std::vector<boost::intrusive_ptr<Kv::KvmMesh>>& meshes, bool separateBodyFaces,
                     bool tangentEdges) {
    HLRProgressObservableProc::startProcess("HLRModel::build", 1);
    HLRTriangleData& data = newTriangleData();
    std::vector<HostShell> hostShells;
    hostShells.reserve(meshes.size());
    for (const boost::intrusive_ptr<Kv::KvmMesh>& mesh : meshes) {
        hostShells.push_back(gather(mesh.get(), separateBodyFaces));
    }
    HostVertexMap map;
    const auto [vertexCount, triangleCount] = countVerticesAndTriangles(hostShells, map);
    data.reserve(vertexCount, triangleCount);
    HLRBox3D world;
    m_origin = Origin();
    HLRHugePages::reserve(m_origin.hostVertex, vertexCount);
    for (std::size_t m = 0; m < hostShells.size(); ++m) {
        HLRShell& shell = newShell(data);
        m_origin.firstVertex.push_back(static_cast<std::uint32_t>(data.vertices().size()));
        m_origin.firstTriangle.push_back(static_cast<std::uint32_t>(data.triangles().size()));
        for (const HostFace& hostFace : hostShells[m]) {
            buildFace(data, shell.newFace(), hostFace, map, world, m_origin.hostVertex);
        }
        if (tangentEdges) {
            addTangentEdges(shell, *meshes[m]);
        }
    }
    // Without any triangle the extent is empty; the grid installed before stays.
    if (world.isValid()) {
        HLRBoundingBox3D::setWorld(world);
    }
    buildTriangleData();
    HLRProgressObservableProc::endProcess("HLRModel::build");
}

HLRShell& HLRModel::newShell(HLRTriangleData& triangleData) {
    return m_shells.emplace_back(triangleData);
}

HLRTriangleData& HLRModel::newTriangleData() {
    return m_triangleData.emplace_back();
}

void HLRModel::buildTriangleData() {
    HLRProgressObservableProc::startProcess("HLRModel::buildTriangleData",
                                            static_cast<std::int32_t>(m_triangleData.size()));
    for (HLRTriangleData& data : m_triangleData) {
        data.buildEdges();
        HLRProgressObservableProc::stepProcess("HLRModel::buildTriangleData");
    }
    HLRProgressObservableProc::endProcess("HLRModel::buildTriangleData");
}

} // namespace KvHLR
