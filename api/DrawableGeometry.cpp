#include "api/DrawableGeometry.h"

#include "Hlr/HLRProjectedTriangleVertex.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace KvHLR {
namespace {

bool isFinite(HLRVector3D const& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The triangles of `triangles` whose corners are all drawable.
template <typename Triangles>
Triangles drawableTriangles(Triangles const& triangles, std::vector<bool> const& drawable) {
    auto isDrawable = [&drawable](std::uint64_t corner) {
        if (corner >= drawable.size())
            throw std::out_of_range("CalcSilhouette(): triangle index beyond its point list");
        return drawable[corner];
    };
    Triangles kept;
    kept.reserve(triangles.size());
    for (auto const& t : triangles) {
        const bool corners[3] = {isDrawable(t[0]), isDrawable(t[1]), isDrawable(t[2])};
        if (corners[0] && corners[1] && corners[2])
            kept.push_back(t);
    }
    return kept;
}

std::shared_ptr<const Kv::KvTriangleList>
drawableList(std::shared_ptr<const Kv::KvTriangleList> const& triangles, std::vector<bool> const& drawable) {
    return std::make_shared<const Kv::KvTriangleList>(drawableTriangles(*triangles, drawable));
}

boost::intrusive_ptr<Kv::KvmMesh> drawableMesh(boost::intrusive_ptr<Kv::KvmMesh> const& mesh,
                                               DrawablePoints const& drawable, bool separateBodyFaces) {
    if (!mesh)
        throw std::invalid_argument("CalcSilhouette(): null mesh in the mesh list");
    const boost::intrusive_ptr<const Kv::KvaMesh> primitive = mesh->GetPrimitive();
    const std::shared_ptr<const Kv::KvPointList> vertices = primitive->GetVertices();
    bool all = false;
    const std::vector<bool> flags = drawable.of(*vertices, all);
    if (all)
        return mesh;
    if (!separateBodyFaces || !primitive->IsKindOf(Kv::KvaMeshBody::GetThisClass()))
        return new Kv::KvmMesh(new Kv::KvaMesh(vertices, drawableList(primitive->GetTriangles(), flags)));
    std::vector<std::shared_ptr<const Kv::KvTriangleList>> faces;
    for (boost::intrusive_ptr<Kv::KvaMeshFace> const& face :
         static_cast<Kv::KvaMeshBody const&>(*primitive).GetFaces())
        faces.push_back(drawableList(face->GetTriangles(), flags));
    return new Kv::KvmMesh(new Kv::KvaMeshBody(vertices, std::move(faces)));
}

} // namespace

bool DrawablePoints::operator()(ON_3dPoint const& p) const {
    if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
        return false;
    const HLRProjectedTriangleVertex v =
        HLRProjectedTriangleVertex::project(HLRVector3D(p.x, p.y, p.z), nullptr, 0, *m_projector);
    return isFinite(v.viewPosition) && std::isfinite(v.screenPosition.x()) &&
           std::isfinite(v.screenPosition.y()) && std::isfinite(v.depth);
}

std::vector<bool> DrawablePoints::of(std::vector<ON_3dPoint> const& points, bool& all) const {
    std::vector<bool> flags(points.size());
    all = true;
    for (std::size_t i = 0; i < points.size(); ++i) {
        flags[i] = (*this)(points[i]);
        all = all && flags[i];
    }
    return flags;
}

std::optional<Polygon3D> drawablePart(Polygon3D const& polygon, DrawablePoints const& drawable) {
    bool all = false;
    const std::vector<bool> flags = drawable.of(polygon.points, all);
    if (all)
        return std::nullopt;
    Polygon3D part;
    std::vector<std::uint32_t> renumbered(polygon.points.size());
    for (std::size_t i = 0; i < polygon.points.size(); ++i) {
        if (flags[i]) {
            renumbered[i] = static_cast<std::uint32_t>(part.points.size());
            part.points.push_back(polygon.points[i]);
        }
    }
    part.triangles = drawableTriangles(polygon.triangles, flags);
    for (std::array<std::uint32_t, 3>& t : part.triangles)
        t = {renumbered[t[0]], renumbered[t[1]], renumbered[t[2]]};
    return part;
}

MeshList drawablePart(MeshList const& meshes, DrawablePoints const& drawable, bool separateBodyFaces) {
    MeshList part;
    part.reserve(meshes.size());
    for (boost::intrusive_ptr<Kv::KvmMesh> const& mesh : meshes)
        part.push_back(drawableMesh(mesh, drawable, separateBodyFaces));
    return part;
}

} // namespace KvHLR
