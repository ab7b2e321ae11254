#pragma once

// Casts rays through the triangles of a mesh. Embree finds the triangles whose bounding boxes, enlarged
// well beyond its single-precision rounding, a ray passes; every such candidate is then tested in
// double precision (RayTriangle.h), so no answer rests on Embree's arithmetic.
//
// A ray that passes exactly through a side or a vertex shared by several triangles touches each of them
// without crossing any cleanly. Whether it gets through is then settled by the mesh's topology
// (triangles sharing point indices): it is blocked where the triangles on that side, or the closed fan
// of triangles around that vertex, cover the point from every direction seen along the ray, so that the
// ray passes from one side of the surface to the other. A side where the two triangles fold the same
// way (the ray grazes a silhouette), a side or vertex on the mesh's boundary, or a triangle seen
// edge-on leaves the answer open.

#include "checker/Mesh.h"
#include "checker/RayTriangle.h"

#include <functional>
#include <memory>
#include <optional>

namespace kvcheck {

enum class Visibility : std::uint8_t { Visible, Hidden, Unscored };

// The triangles that the line a ray starts from lies on: the two of an edge, or the two (or three, along
// an edge) where surfaces cross. The ray touches them at its origin, and they cannot hide their own line.
struct Carriers {
    std::array<std::uint32_t, 3> triangles{};
    int count = 0;
};

class OcclusionScene {
public:
    // `tolerance`: the world distance within which a ray counts as touching a triangle. The mesh must
    // outlive the scene.
    // Throws std::runtime_error when the ray-tracing library cannot build the scene.
    OcclusionScene(const Mesh& mesh, double tolerance);
    ~OcclusionScene();
    OcclusionScene(const OcclusionScene&) = delete;
    OcclusionScene& operator=(const OcclusionScene&) = delete;

    // Hidden when a triangle other than the `ignored` blocks the ray, or when the triangles it touches
    // block it together; else Unscored when one touches it; else Visible. Ignored triangles take no part
    // in blocking together either.
    Visibility trace(const Ray& ray, const Carriers& ignored) const;

    // Occlusion levels: how many surfaces the ray crosses, front- and back-facing alike, each triangle it
    // hits counted once and each side or corner that touched triangles block together (as for trace)
    // once; nothing where it touches anything else (a graze is neither one crossing nor none). An
    // occluder besides the triangles counts one where it hits.
    std::optional<int> level(const Ray& ray, const Carriers& ignored) const;
    // Whether the samplers count the levels of hidden samples (Samples.h): off unless a check asks.
    void countLevels(bool on) { m_countLevels = on; }
    bool countsLevels() const { return m_countLevels; }

    // An occluder besides the triangles (a section's cross-section): a ray it hits is Hidden, one it
    // touches that the triangles do not hide Unscored.
    void addOccluder(std::function<Crossing(const Ray&)> cross) { m_occluder = std::move(cross); }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::function<Crossing(const Ray&)> m_occluder;
    bool m_countLevels = false;
};

} // namespace kvcheck
