#include "checker/FeatureEdges.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace kvcheck {
namespace {

// Cosines closer than this to a decision threshold could be decided either way by rounding (in
// kvhlr's view-space arithmetic or in ours).
constexpr double kMargin = 1e-6;

// Bit sets of the readings a triangle's facing or an edge's sharpness allows.
constexpr unsigned kFront = 1, kBack = 2;
constexpr unsigned kNotSharp = 1, kSharp = 2;

struct TriangleFacts {
    Vec3 unitNormal;
    bool degenerate = false;
    unsigned facing = kFront | kBack;
};

TriangleFacts factsOf(const Mesh& mesh, const Triangle& t, const View& view) {
    const Vec3& a = mesh.points[t[0]];
    const std::optional<Vec3> normal = unitNormalOf(a, mesh.points[t[1]], mesh.points[t[2]]);
    TriangleFacts facts;
    facts.degenerate = !normal;
    if (facts.degenerate)
        return facts;
    facts.unitNormal = *normal;
    // Every point of the triangle's plane sees the viewer on the same side, so corner a will do.
    const double cosine = dot(facts.unitNormal, view.towardViewer(a));
    facts.facing = cosine > kMargin ? kFront : cosine < -kMargin ? kBack : kFront | kBack;
    return facts;
}

// The class of an edge between two consistently wound triangles, or nothing when it is not drawn.
std::optional<EdgeClass> classifyPair(const TriangleFacts& l, const TriangleFacts& r, double sharpCosine) {
    if (l.degenerate || r.degenerate)
        return EdgeClass::Uncertain;
    const double cosine = dot(l.unitNormal, r.unitNormal);
    const unsigned sharpness = cosine < sharpCosine - kMargin   ? kSharp
                               : cosine > sharpCosine + kMargin ? kNotSharp
                                                                : kSharp | kNotSharp;
    bool drawn = false, notDrawn = false;
    std::optional<EdgeClass> kind;
    for (unsigned fl : {kFront, kBack})
        for (unsigned fr : {kFront, kBack})
            for (unsigned s : {kSharp, kNotSharp}) {
                if (!(l.facing & fl) || !(r.facing & fr) || !(sharpness & s))
                    continue;
                const std::optional<EdgeClass> reading = fl != fr      ? EdgeClass::Silhouette
                                                         : s == kSharp ? std::optional(EdgeClass::Sharp)
                                                                       : std::nullopt;
                (reading ? drawn : notDrawn) = true;
                if (reading)
                    kind = !kind || *kind == *reading ? *reading : EdgeClass::Feature;
            }
    if (drawn && notDrawn)
        return EdgeClass::Uncertain;
    return kind;
}

// The class of the edge whose triangles are [first, last), or nothing when it is not drawn.
std::optional<EdgeClass> classify(const Incidence* first, const Incidence* last,
                                  const std::vector<TriangleFacts>& facts, double sharpCosine) {
    if (last - first == 1)
        return EdgeClass::Boundary;
    if (last - first > 2 || first[0].forward == first[1].forward)
        return EdgeClass::Uncertain;
    return classifyPair(facts[first[0].triangle], facts[first[1].triangle], sharpCosine);
}

} // namespace

std::optional<Vec3> unitNormalOf(const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 normal = cross(b - a, c - a);
    const double size = length(normal);
    if (size <= kMargin * length(b - a) * length(c - a))
        return std::nullopt;
    return (1.0 / size) * normal;
}

std::vector<Incidence> incidencesOf(const Mesh& mesh) {
    std::vector<Incidence> incidences;
    incidences.reserve(3 * mesh.triangles.size());
    for (std::uint32_t t = 0; t < mesh.triangles.size(); ++t)
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = mesh.triangles[t][k], b = mesh.triangles[t][(k + 1) % 3];
            incidences.push_back({edgeKey(a, b), t, a < b});
        }
    std::sort(incidences.begin(), incidences.end(), [](const Incidence& x, const Incidence& y) {
        return x.key != y.key ? x.key < y.key : x.triangle < y.triangle;
    });
    return incidences;
}

std::vector<FeatureEdge> findFeatureEdges(const Mesh& mesh, const View& view, double sharpAngleDegrees) {
    std::vector<TriangleFacts> facts;
    facts.reserve(mesh.triangles.size());
    for (const Triangle& t : mesh.triangles)
        facts.push_back(factsOf(mesh, t, view));
    const double sharpCosine = std::cos(M_PI - sharpAngleDegrees * M_PI / 180.0);

    const std::vector<Incidence> incidences = incidencesOf(mesh);
    std::vector<FeatureEdge> edges;
    for (std::size_t first = 0, last = 0; first < incidences.size(); first = last) {
        while (last < incidences.size() && incidences[last].key == incidences[first].key)
            ++last;
        const std::optional<EdgeClass> edgeClass =
            classify(&incidences[first], &incidences[first] + (last - first), facts, sharpCosine);
        if (!edgeClass)
            continue;
        FeatureEdge edge;
        edge.ends = {static_cast<std::uint32_t>(incidences[first].key >> 32),
                     static_cast<std::uint32_t>(incidences[first].key)};
        edge.triangleCount = static_cast<std::uint8_t>(std::min<std::size_t>(last - first, 2));
        for (std::size_t k = 0; k < edge.triangleCount; ++k)
            edge.triangles[k] = incidences[first + k].triangle;
        edge.edgeClass = *edgeClass;
        edges.push_back(edge);
    }
    return edges;
}

std::vector<FeatureEdge> findTangentEdges(const Mesh& mesh, const std::vector<FeatureEdge>& edges) {
    std::vector<std::uint64_t> keys;
    for (const auto& side : mesh.tangentSides)
        keys.push_back(edgeKey(side[0], side[1]));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    const std::vector<Incidence> incidences = incidencesOf(mesh);
    std::vector<FeatureEdge> tangent;
    for (const std::uint64_t key : keys) {
        const auto drawn = std::lower_bound(edges.begin(), edges.end(), key, [](const FeatureEdge& e, std::uint64_t k) {
            return edgeKey(e.ends[0], e.ends[1]) < k;
        });
        if (drawn != edges.end() && edgeKey(drawn->ends[0], drawn->ends[1]) == key)
            continue;
        FeatureEdge edge;
        edge.ends = {static_cast<std::uint32_t>(key >> 32), static_cast<std::uint32_t>(key)};
        edge.edgeClass = EdgeClass::Tangent;
        auto at = std::lower_bound(incidences.begin(), incidences.end(), key,
                                   [](const Incidence& i, std::uint64_t k) { return i.key < k; });
        for (; at != incidences.end() && at->key == key && edge.triangleCount < 2; ++at)
            edge.triangles[edge.triangleCount++] = at->triangle;
        tangent.push_back(edge);
    }
    return tangent;
}

} // namespace kvcheck
