#include "api/DrawableGeometry.h"

#include "Hlr/HLRProjectedTriangleVertex.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace KvHLR {
namespace {

bool isFinite(HLRVector3D const& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

void checkIndex(std::uint64_t index, std::size_t pointCount) {
    if (index >= pointCount)
        throw std::out_of_range("CalcSilhouette(): triangle index beyond its point list");
}

// Which vertices of one host vertex list the camera can draw, each decided on its first use, so the
// work follows the triangles read rather than the size of the list. Holds the list, so that its
// address, the key it is found by, cannot be reused while the flags live.
class DrawableVertices {
public:
    DrawableVertices(std::shared_ptr<const Kv::KvPointList> points, DrawablePoints const& drawable)
        : m_points(std::move(points)), m_drawable(&drawable), m_state(m_points->size(), kUnknown) {}

    bool operator()(std::uint64_t index) {
        checkIndex(index, m_state.size());
        std::uint8_t& state = m_state[index];
        if (state == kUnknown)
            state = (*m_drawable)((*m_points)[index]) ? kDrawable : kUndrawable;
        return state == kDrawable;
    }

private:
    static constexpr std::uint8_t kUnknown = 0, kDrawable = 1, kUndrawable = 2;

    std::shared_ptr<const Kv::KvPointList> m_points;
    DrawablePoints const* m_drawable;
    std::vector<std::uint8_t> m_state;
};

template <typename Triangle, typename IsDrawable>
bool isDrawableTriangle(Triangle const& t, IsDrawable& isDrawable) {
    const bool corners[3] = {isDrawable(t[0]), isDrawable(t[1]), isDrawable(t[2])};
    return corners[0] && corners[1] && corners[2];
}

template <typename Triangles, typename IsDrawable>
Triangles drawableTriangles(Triangles const& triangles, IsDrawable& isDrawable) {
    Triangles kept;
    kept.reserve(triangles.size());
    for (auto const& t : triangles)
        if (isDrawableTriangle(t, isDrawable))
            kept.push_back(t);
    return kept;
}

using TriangleList = std::shared_ptr<const Kv::KvTriangleList>;

bool allDrawable(TriangleList const& triangles, DrawableVertices& vertices) {
    return std::all_of(triangles->begin(), triangles->end(),
                       [&vertices](auto const& t) { return isDrawableTriangle(t, vertices); });
}

TriangleList drawableList(TriangleList const& triangles, DrawableVertices& vertices) {
    return std::make_shared<const Kv::KvTriangleList>(drawableTriangles(*triangles, vertices));
}

// The vertex lists met so far, so that meshes sharing a list share its flags.
using VertexLists = std::unordered_map<Kv::KvPointList const*, DrawableVertices>;

boost::intrusive_ptr<Kv::KvmMesh> drawableMesh(boost::intrusive_ptr<Kv::KvmMesh> const& mesh,
                                               DrawablePoints const& drawable, bool separateBodyFaces,
                                               VertexLists& lists) {
    if (!mesh)
        throw std::invalid_argument("CalcSilhouette(): null mesh in the mesh list");
    const boost::intrusive_ptr<const Kv::KvaMesh> primitive = mesh->GetPrimitive();
    const std::shared_ptr<const Kv::KvPointList> points = primitive->GetVertices();
    DrawableVertices& vertices = lists.try_emplace(points.get(), points, drawable).first->second;
    if (!separateBodyFaces || !primitive->IsKindOf(Kv::KvaMeshBody::GetThisClass())) {
        const TriangleList triangles = primitive->GetTriangles();
        if (allDrawable(triangles, vertices))
            return mesh;
        return new Kv::KvmMesh(new Kv::KvaMesh(points, drawableList(triangles, vertices)));
    }
    const auto& faces = static_cast<Kv::KvaMeshBody const&>(*primitive).GetFaces();
    if (std::all_of(faces.begin(), faces.end(),
                    [&vertices](auto const& face) { return allDrawable(face->GetTriangles(), vertices); }))
        return mesh;
    std::vector<TriangleList> drawableFaces;
    for (boost::intrusive_ptr<Kv::KvaMeshFace> const& face : faces)
        drawableFaces.push_back(drawableList(face->GetTriangles(), vertices));
    return new Kv::KvmMesh(new Kv::KvaMeshBody(points, std::move(drawableFaces)));
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

std::optional<Polygon3D> drawablePart(Polygon3D const& polygon, DrawablePoints const& drawable) {
    std::vector<bool> flags(polygon.points.size());
    std::transform(polygon.points.begin(), polygon.points.end(), flags.begin(), drawable);
    if (std::find(flags.begin(), flags.end(), false) == flags.end())
        return std::nullopt;
    Polygon3D part;
    std::vector<std::uint32_t> renumbered(polygon.points.size());
    for (std::size_t i = 0; i < polygon.points.size(); ++i) {
        if (flags[i]) {
            renumbered[i] = static_cast<std::uint32_t>(part.points.size());
            part.points.push_back(polygon.points[i]);
        }
    }
    auto isDrawable = [&flags](std::uint32_t index) {
        checkIndex(index, flags.size());
        return flags[index];
    };
    part.triangles = drawableTriangles(polygon.triangles, isDrawable);
    for (std::array<std::uint32_t, 3>& t : part.triangles)
        t = {renumbered[t[0]], renumbered[t[1]], renumbered[t[2]]};
    return part;
}

MeshList drawablePart(MeshList const& meshes, DrawablePoints const& drawable, bool separateBodyFaces) {
    VertexLists lists;
    MeshList part;
    part.reserve(meshes.size());
    for (boost::intrusive_ptr<Kv::KvmMesh> const& mesh : meshes)
        part.push_back(drawableMesh(mesh, drawable, separateBodyFaces, lists));
    return part;
}

} // namespace KvHLR
