#pragma once

#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRVector3D.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KvHLR {

struct HLRTriangle;
class HLRTriangleData;

// The parts of the model that cannot pass through themselves, so that the intersection finder can
// leave them out: most models are made of such parts, and testing their triangles pair by pair would
// cost as much as the rest of the drawing.
//
// In: the model's triangle stores (with their edges); then the finder's tolerance, which depends on
// the extent measured here (judge).
// Out: each triangle's part (the triangles of a store joined by edges), whether the part is free of
// crossings, and whether its triangles need testing at all.
//
// A part is free of crossings when it is closed and consistently oriented (every edge has one
// triangle on either side, running opposite ways) and star-shaped about a centre: every triangle faces
// away from it by more than the tolerance, and a ray from it through one triangle meets no other. Seen
// from the centre, each triangle then covers its own piece of the sphere of directions, and the pieces
// cover it once (the ray counts how often), so no two triangles meet but at their common corners and
// edges. The centre is the average of up to a thousand of the part's corners, spread over it: any
// point inside a convex part will do. Convex bodies and most blobs are such parts. A part free of
// crossings whose box (grown by the tolerance) meets no other part's box needs no test; one that
// meets another's needs its pairs with other parts tested, but none within itself.
class HLRCrossingFreeParts {
public:
    // Finds the parts and measures them, in one pass over the triangles after the parts are known.
    explicit HLRCrossingFreeParts(const std::vector<const HLRTriangleData*>& triangleData);

    // The box of the triangles that have an area; invalid when none has.
    const HLRBox3D& extent() const { return m_extent; }

    // Decides, with this tolerance, which parts are free of crossings and which need testing.
    void judge(double tolerance);

    // The part of triangle `index` of store `store`.
    std::uint32_t partOf(std::size_t store, std::size_t index) const {
        return m_partOfTriangle[m_storeStart[store] + index];
    }
    bool crossingFree(std::uint32_t part) const { return m_crossingFree[part] != 0; }
    bool needsTest(std::uint32_t part) const { return m_needsTest[part] != 0; }

private:
    void findParts(const std::vector<const HLRTriangleData*>& triangleData);
    void chooseCentres(const std::vector<const HLRTriangleData*>& triangleData);
    void measureParts(const std::vector<const HLRTriangleData*>& triangleData);
    void markMeetingParts(double tolerance);
    // The centre of the triangle at `t`, counted over all stores.
    HLRVector3D centreOf(const std::vector<const HLRTriangleData*>& triangleData, std::size_t t) const;

    HLRBox3D m_extent;
    std::vector<std::size_t> m_storeStart;       // the first triangle of each store, counted over all
    std::vector<std::uint32_t> m_partOfTriangle; // by triangle, counted over all stores
    // By part: whether its edges are right (closed, consistently wound, no triangle without an area);
    // after judge, whether it is free of crossings.
    std::vector<std::uint8_t> m_crossingFree;
    std::vector<std::uint8_t> m_needsTest;
    std::vector<std::uint32_t> m_triangleCount;
    std::vector<std::size_t> m_through; // the triangle that the part's ray passes, counted over all stores
    std::vector<HLRVector3D> m_centre;
    // What judge compares with the tolerance: the least and the largest distance by which a triangle
    // faces away from the centre (signed, as its winding says), and the most by which the ray misses
    // another triangle's edges (negative: it misses them all).
    std::vector<double> m_leastAway, m_mostAway, m_rayHit;
    std::vector<HLRBox3D> m_box;
};

} // namespace KvHLR
