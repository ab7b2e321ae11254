#include "api/DrawableGeometry.h"

#include "Hlr/HLRProjector.h"
#include "Hlr/HLRVector4D.h"
#include "api/CalcSilhouette.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace KvHLR {
namespace {

bool isFinite(HLRVector3D const& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool isDrawable(HLRTriangleVertex const& vertex, HLRProjector const& projector) {
    const HLRVector3D p(vertex.x, vertex.y, vertex.z);
    if (!isFinite(p))
        return false;
    HLRVector4D view;
    HLRVector4D screen;
    projector.WC2VC(HLRVector4D(p.x, p.y, p.z, 1.0), view);
    projector.VC2SC(view, screen);
    // Each coordinate divided by its w, as the projected vertices have them.
    const auto finiteOver = [](HLRVector4D const& h) {
        return std::isfinite(h.x() / h.w()) && std::isfinite(h.y() / h.w()) && std::isfinite(h.z() / h.w());
    };
    return finiteOver(view) && finiteOver(screen);
}

// Which vertices of each store the camera can draw, by vertex index.
using DrawableVertices = std::unordered_map<HLRTriangleData const*, std::vector<bool>>;

bool isDrawable(HLRTriangle const& triangle, std::vector<bool> const& drawable) {
    return drawable[static_cast<std::size_t>(triangle.vertices[0])] &&
           drawable[static_cast<std::size_t>(triangle.vertices[1])] &&
           drawable[static_cast<std::size_t>(triangle.vertices[2])];
}

// Each shell as a host mesh body over its store's points, one body face per face holding the face's
// drawable triangles: built with body faces read separately, it gives the shells and faces back,
// vertices shared within a face only, as every build made them.
MeshList drawableMeshes(HLRModel const& model, DrawableVertices const& drawable) {
    std::unordered_map<HLRTriangleData const*, std::shared_ptr<const Kv::KvPointList>> pointLists;
    for (HLRTriangleData const& data : model.triangleData()) {
        auto points = std::make_shared<Kv::KvPointList>();
        points->reserve(data.vertices().size());
        for (HLRTriangleVertex const& v : data.vertices())
            points->emplace_back(v.x, v.y, v.z);
        pointLists.emplace(&data, std::move(points));
    }
    MeshList meshes;
    for (HLRShell const& shell : model.shells()) {
        std::vector<bool> const& flags = drawable.at(shell.triangleData());
        std::vector<std::shared_ptr<const Kv::KvTriangleList>> faces;
        for (HLRFace const& face : shell.faces()) {
            auto triangles = std::make_shared<Kv::KvTriangleList>();
            for (HLRTriangle const& t : face.triangles())
                if (isDrawable(t, flags))
                    triangles->emplace_back(t.vertices[0], t.vertices[1], t.vertices[2]);
            faces.push_back(std::move(triangles));
        }
        meshes.push_back(
            new Kv::KvmMesh(new Kv::KvaMeshBody(pointLists.at(shell.triangleData()), std::move(faces))));
    }
    return meshes;
}

} // namespace

std::unique_ptr<HLRModel> drawablePart(HLRModel const& model, HLRProjector const& projector) {
    DrawableVertices drawable;
    bool allDrawable = true;
    for (HLRTriangleData const& data : model.triangleData()) {
        std::vector<bool>& flags = drawable[&data];
        flags.reserve(data.vertices().size());
        for (HLRTriangleVertex const& v : data.vertices())
            flags.push_back(isDrawable(v, projector));
        allDrawable =
            allDrawable && std::all_of(data.triangles().begin(), data.triangles().end(),
                                       [&flags](HLRTriangle const& t) { return isDrawable(t, flags); });
    }
    if (allDrawable)
        return nullptr;
    auto part = std::make_unique<HLRModel>();
    part->build(drawableMeshes(model, drawable), true);
    return part;
}

} // namespace KvHLR
