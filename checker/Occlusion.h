#pragma once

// Casts rays through the triangles of a mesh. Embree finds the triangles whose bounding boxes, enlarged
// well beyond its single-precision rounding, a ray passes; every such candidate is then tested in
// double precision (RayTriangle.h), so no answer rests on Embree's arithmetic.

#include "checker/Mesh.h"
#include "checker/RayTriangle.h"

#include <memory>

namespace kvcheck {

enum class Visibility : std::uint8_t { Visible, Hidden, Unscored };

class OcclusionScene {
public:
    // `tolerance`: the world distance within which a ray counts as touching a triangle. The mesh must
    // outlive the scene.
    // Throws std::runtime_error when the ray-tracing library cannot build the scene.
    OcclusionScene(const Mesh& mesh, double tolerance);
    ~OcclusionScene();
    OcclusionScene(const OcclusionScene&) = delete;
    OcclusionScene& operator=(const OcclusionScene&) = delete;

    // Hidden when a triangle other than the `ignoredCount` first of `ignored` blocks the ray; else
    // Unscored when one touches it; else Visible.
    Visibility trace(const Ray& ray, const std::array<std::uint32_t, 2>& ignored, int ignoredCount) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace kvcheck
