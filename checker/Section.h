#pragma once

// Section views: the mesh cut by a plane, the side toward the viewer taken away, as kvhlr --section
// draws it, worked out here on its own. What is left of the triangles behind the plane gives the
// feature edges (the cut's own edges are boundary edges, drawn by kvhlr as the section's outline),
// and the solid's cross-section in the plane, found by even-odd over the cut's segments rather than
// from kvhlr's caps, hides what lies behind it.

#include "checker/Mesh.h"
#include "checker/RayTriangle.h"
#include "checker/View.h"

#include <map>
#include <vector>

namespace kvcheck {

class SectionCut {
public:
    // Throws InputError (subject "--section-normal") for a zero normal, and ("--section-point") for a
    // plane that the view sees edge-on or that misses the mesh.
    SectionCut(const Mesh& whole, const Vec3& point, const Vec3& normal, const View& view, double tolerance);

    // The triangles' parts behind the plane, cut exactly where they cross it.
    const Mesh& kept() const { return m_kept; }

    // Hit where the cross-section lies across the ray (from a point behind the plane toward the viewer),
    // Touch where the ray passes within the tolerance of its outline (the outline is drawn over what lies
    // right behind it), else Miss.
    Crossing crossing(const Ray& ray) const;

private:
    struct Segment {
        Vec2 a, b;
    };
    Vec2 inPlane(const Vec3& p) const { return {dot(p - m_origin, m_u), dot(p - m_origin, m_v)}; }
    Crossing crossSectionAt(Vec2 p) const;

    Mesh m_kept;
    Vec3 m_origin, m_normal, m_u, m_v; // the normal toward the viewer
    double m_tolerance;
    // The cut's segments in the plane, filed by rows of y for the even-odd count.
    std::vector<Segment> m_segments;
    double m_rowLow = 0, m_rowHeight = 1;
    std::vector<std::vector<std::size_t>> m_rows;
};

} // namespace kvcheck
