#include "kit/mesh/MeshPart.h"

#include <algorithm>
#include <cctype>
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

// A part's name on a layer, before names that repeat are numbered.
std::string partLayerName(const MeshPart& part, std::size_t index) {
    std::string name = part.partName;
    // A STEP reader names an instance the file leaves unnamed by its number: that is no name.
    const bool number = std::all_of(part.instanceName.begin(), part.instanceName.end(),
                                    [](unsigned char c) { return std::isdigit(c) != 0; });
    if (!number && part.instanceName != part.partName)
        name += (name.empty() ? "" : ".") + part.instanceName;
    if (name.empty())
        name = "part-" + std::to_string(index + 1);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
            c = '_';
    return name;
}

} // namespace

double pointUnitMm(const std::vector<MeshPart>& parts, std::optional<double> givenMm) {
    if (parts.empty())
        return givenMm.value_or(1.0);
    const MeshPart& part = parts.front();
    return givenMm ? *givenMm * part.unitMm / part.fileUnitMm : part.unitMm;
}

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

std::optional<std::array<std::uint32_t, 2>>
sideThrough(const std::unordered_map<std::uint32_t, std::array<std::uint32_t, 2>>& cutSides, std::uint32_t a,
            std::uint32_t b) {
    const auto ends = [&](std::uint32_t p) {
        const auto found = cutSides.find(p);
        return found == cutSides.end() ? std::array<std::uint32_t, 2>{p, p} : found->second;
    };
    const std::array<std::uint32_t, 2> u = ends(a), v = ends(b);
    const bool pointU = u[0] == u[1], pointV = v[0] == v[1];
    if (pointU && pointV)
        return std::array<std::uint32_t, 2>{std::min(a, b), std::max(a, b)};
    if (pointU && (u[0] == v[0] || u[0] == v[1]))
        return v;
    if (pointV && (v[0] == u[0] || v[0] == u[1]))
        return u;
    if (u == v)
        return u;
    return std::nullopt;
}

std::vector<std::string> partLayerNames(const std::vector<MeshPart>& parts) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        // Instances that the file does not tell apart are numbered, so that no two share a layer.
        std::string name = partLayerName(parts[i], i);
        for (int n = 2; std::find(names.begin(), names.end(), name) != names.end(); ++n)
            name = partLayerName(parts[i], i) + "-" + std::to_string(n);
        names.push_back(name);
    }
    return names;
}

} // namespace kvhlr
