#include "kit/mesh/CadFacets.h"

#include <unordered_map>

namespace kvhlr {
namespace {

// Quads flatter than this (the sine of their bend) are left as they are: four nodes in one plane (a band
// between two circles of a surface of revolution) bend either way by rounding.
constexpr double kFlat = 1e-9;
// A triangle of less than this share of its quad's area, seen along the surface's normal, is a sliver.
constexpr double kThinShare = 1e-3;

gp_XYZ normalOf(const std::vector<gp_XYZ>& points, const FacetTriangle& t) {
    return (points[t[1]] - points[t[0]]).Crossed(points[t[2]] - points[t[0]]);
}

std::uint64_t sideKey(std::uint32_t a, std::uint32_t b) {
    return std::uint64_t(a) << 32 | b;
}

} // namespace

void followSurface(const std::vector<gp_XYZ>& points, std::vector<gp_XYZ> normals,
                   std::vector<FacetTriangle>& triangles) {
    // Where the surface has no normal, its facets' around the node stand in.
    std::vector<gp_XYZ> around(points.size(), gp_XYZ(0, 0, 0));
    for (const FacetTriangle& t : triangles)
        for (const std::uint32_t corner : t)
            around[corner] += normalOf(points, t);
    for (std::size_t i = 0; i < points.size(); ++i)
        if (normals[i].SquareModulus() == 0.0)
            normals[i] = around[i];
    // How the surface bends from node i to node j: away from its normal (> 0, as on a ball) or toward it.
    const auto bend = [&](std::uint32_t i, std::uint32_t j) {
        return (normals[j] - normals[i]).Dot(points[j] - points[i]);
    };
    // Each side of a triangle, by its ends in the triangle's order: the triangle.
    std::unordered_map<std::uint64_t, std::size_t> sideOwner;
    for (std::size_t t = 0; t < triangles.size(); ++t)
        for (int k = 0; k < 3; ++k)
            sideOwner[sideKey(triangles[t][k], triangles[t][(k + 1) % 3])] = t;
    // On a ball every turn adds to the volume enclosed, so the turning ends; the turns are counted all the
    // same, for faces that bend one way here and the other there. The triangles of a turn are looked at
    // again.
    std::size_t turnsLeft = 8 * triangles.size();
    std::vector<std::size_t> waiting(triangles.size());
    for (std::size_t t = 0; t < triangles.size(); ++t)
        waiting[t] = t;
    while (!waiting.empty() && turnsLeft > 0) {
        const std::size_t t = waiting.back();
        waiting.pop_back();
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t p = triangles[t][k], q = triangles[t][(k + 1) % 3], r = triangles[t][(k + 2) % 3];
            const auto other = sideOwner.find(sideKey(q, p));
            if (other == sideOwner.end() || other->second == t)
                continue;
            const std::size_t u = other->second;
            const FacetTriangle& o = triangles[u];
            const std::uint32_t s = o[0] != p && o[0] != q ? o[0] : o[1] != p && o[1] != q ? o[1] : o[2];
            if (r == s || sideOwner.count(sideKey(r, s)) || sideOwner.count(sideKey(s, r)))
                continue;
            // The surface's bend across the quad p, s, q, r: along both diagonals alike, or it is left.
            const double along = bend(p, q), across = bend(r, s);
            const int surface = along > 0.0 && across > 0.0 ? 1 : along < 0.0 && across < 0.0 ? -1 : 0;
            // s above the plane of p, q, r: the side p-q is a valley, below it a ridge.
            const gp_XYZ normal = normalOf(points, triangles[t]), toS = points[s] - points[p];
            const double rise = normal.Dot(toS) / (normal.Modulus() * toS.Modulus());
            if (surface * rise <= kFlat)
                continue;
            // Split along r-s instead, both halves seen along the surface's normal keeping the pair's turn
            // and no sliver: else the quad is not convex that way, and the turn would fold it.
            const FacetTriangle first{p, s, r}, second{s, q, r};
            const gp_XYZ facing = normals[p] + normals[q] + normals[r] + normals[s];
            const double area = (normal + normalOf(points, o)).Dot(facing);
            if (normalOf(points, first).Dot(facing) <= kThinShare * area ||
                normalOf(points, second).Dot(facing) <= kThinShare * area)
                continue;
            for (const std::size_t old : {t, u})
                for (int j = 0; j < 3; ++j)
                    sideOwner.erase(sideKey(triangles[old][j], triangles[old][(j + 1) % 3]));
            triangles[t] = first;
            triangles[u] = second;
            for (const std::size_t now : {t, u})
                for (int j = 0; j < 3; ++j)
                    sideOwner[sideKey(triangles[now][j], triangles[now][(j + 1) % 3])] = now;
            waiting.push_back(u);
            waiting.push_back(t);
            --turnsLeft;
            break;
        }
    }
}

} // namespace kvhlr
