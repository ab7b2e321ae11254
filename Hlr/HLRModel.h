#pragma once

#include "Hlr/HLRProgressObservable.h"
#include "Hlr/HLRShell.h"
#include "Hlr/HLRTriangleData.h"
#include "api/KvHLRExport.h"
#include "api/KvHLRRecords.h"
#include "host/KvMesh.h"

#include <boost/intrusive_ptr.hpp>

#include <cstdint>
#include <list>
#include <vector>

namespace KvHLR {

// The input of the hidden-line computation: shells of faces over shared stores of vertices,
// triangles and the edges between them. Built once, from a triangle soup or from host meshes,
// then only read. Building also installs the model's extent as the 3D world grid of the packed
// boxes.
class KVHLR_API HLRModel : public HLRProgressObservable {
public:
    HLRModel();
    // Copies the lists element by element (and the callback, not the progress stages). Shells, faces
    // and edges point into the model's own lists, so the copy's still point into the original's:
    // the library itself never copies a model.
    HLRModel(const HLRModel&) = default;
    HLRModel& operator=(const HLRModel&) = default;
    ~HLRModel() override;

    // One shell with one face over one store holding every point, referenced or not, under its
    // position. Points are never merged. Throws std::out_of_range for an index without a point.
    void build(const Polygon3D& polygon);
    // One shell per mesh over one shared store. A mesh gives one face, or, when it is a mesh body
    // and `separateBodyFaces` is set, one face per body face. Vertices are shared only within a
    // face and only the used ones are kept, so body faces read separately meet at boundary edges.
    // Each mesh is read once, in order. With `tangentEdges`, a mesh body's tangent edges become free
    // edges of its shell, marked as tangent. Throws std::invalid_argument for a null mesh handle.
    void build(const std::vector<boost::intrusive_ptr<Kv::KvmMesh>>& meshes, bool separateBodyFaces,
               bool tangentEdges = false);

    const std::list<HLRShell>& shells() const { return m_shells; }
    const std::list<HLRTriangleData>& triangleData() const { return m_triangleData; }

    // Where the first store's vertices and triangles came from, for the lines' provenance: shell i is
    // body i (the i-th mesh, or the soup), whose vertices and triangles start at firstVertex[i] and
    // firstTriangle[i]; hostVertex gives each vertex's index in its mesh's vertex list (empty: a soup's
    // points are the vertices).
    struct Origin {
        std::vector<std::uint32_t> firstVertex;
        std::vector<std::uint32_t> firstTriangle;
        std::vector<std::uint32_t> hostVertex;
    };
    const Origin& origin() const { return m_origin; }

    void setUpProgressObservation(HLRProgressCallback callback) override;

private:
    HLRShell& newShell(HLRTriangleData& triangleData);
    HLRTriangleData& newTriangleData();
    void buildTriangleData();

    std::list<HLRShell> m_shells;
    std::list<HLRTriangleData> m_triangleData;
    Origin m_origin;
};

} // namespace KvHLR
