#pragma once

#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRVector3D.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace KvHLR {

struct HLRTriangle;
class HLRTriangleData;

// The parts and patches of the model that cannot pass through themselves, so that the intersection
// finder can leave them out: most models are made of such pieces, and testing their triangles pair by
// pair would cost as much as the rest of the drawing.
//
// In: the model's triangle stores (with their edges).
// Out: each triangle's part (the triangles of a store joined by edges) and patch, which pairs of
// patches cannot cross, and whether a triangle needs testing at all; the tolerance the finder tests
// with, from the extent measured here.
//
// A part is free of crossings when it is closed and consistently oriented (every edge has one
// triangle on either side, running opposite ways) and star-shaped about a centre: every triangle faces
// away from it by more than the tolerance, and a ray from it through one triangle meets no other. Seen
// from the centre, each triangle then covers its own piece of the sphere of directions, and the pieces
// cover it once (the ray counts how often), so no two triangles meet but at their common corners and
// edges. The centre is the average of up to a thousand of the part's corners, spread over it: any
// point inside a convex part will do. Convex bodies and most blobs are such parts; each is one patch.
//
// The other parts (open sheets, bodies with a bore) are split into patches: a patch grows over edges
// with a triangle on either side while the normals stay within about 75 degrees of its axis (the
// seed's normal, then the mean of the normals first taken), so that every triangle's projection along
// the axis has a positive area. How often the patch covers a point of the plane is then the sum of the
// winding numbers of its open sides' loops about it. A patch whose sides form closed loops that,
// projected, come within the tolerance of each other nowhere, one of them of positive area (the outline;
// the others, wound the other way, are holes), covers each point at most once: it is a height field
// over the plane, and no two of its triangles meet but at their common corners and edges. A patch that
// fails this (one wound over itself, whose loop crosses itself), or is smaller than a chunk (the wall
// of a house), has all its pairs tested. A part whose normals all stay within that angle of one axis
// (the middle of their range: a terrain) is one patch, known from measuring the parts: only the parts
// grown triangle by triangle keep their triangles' neighbours and normals.
//
// Every patch is cut into chunks of consecutive triangles (models list their triangles region by
// region; a chunk ends where its patch skips more triangles than a chunk holds, so that it does not
// reach from one end of a row to the other); a triangle needs testing only where its patch may cross
// itself, or its chunk's box (grown by the tolerance) meets that of a chunk of a patch it may cross, so
// that the inside of a terrain or of a crossing-free body is never tested. The chunks so marked are
// grouped by the pairs that marked them (those along one seam between two patches): a group whose
// triangles together are a height field along some axis, as a patch must be, holds no two that cross,
// and meets no chunk outside it that it may cross, so that its chunks need no testing either. A body
// with a bore, whose walls turn further than one patch can follow, is then not tested at all.
//
// A patch is flat when every triangle's plane, as the finder works it out, stays within a quarter of the
// tolerance of the patch's first one everywhere in the model's extent: no two of its triangles can
// cross (they lie in one plane for the crossing test), and no triangle can cross it whose surface
// around it keeps to one side of that plane. So a chunk of a flat patch and a chunk whose triangles and
// their neighbours' corners all lie within half the tolerance of one side of its plane (the faces of a
// gear and the walls standing on them; a street and the walls of its houses) are not marked by each
// other: where such a triangle touches the plane along an edge, the surface does not pass through. A
// flat patch that the whole model keeps to one side of in this way is apart from every chunk, and its
// chunks are not compared at all.
class HLRCrossingFreeParts {
public:
    // Finds the parts, measures and judges them, then finds the patches and the triangles to test.
    explicit HLRCrossingFreeParts(const std::vector<const HLRTriangleData*>& triangleData);

    // The box of the triangles that have an area; invalid when none has.
    const HLRBox3D& extent() const { return m_extent; }

    // Within this distance of a triangle's plane a point counts as lying in it: a share of the extent,
    // plus the rounding of its largest coordinate.
    double tolerance() const;

    // The part and the patch of triangle `index` of store `store`.
    std::uint32_t partOf(std::size_t store, std::size_t index) const {
        return m_partOfTriangle[m_storeStart[store] + index];
    }
    std::uint32_t patchOf(std::size_t store, std::size_t index) const {
        return patchOfTriangle(m_storeStart[store] + index);
    }
    // Whether triangle `index` of store `store` may cross a triangle near it.
    bool needsTest(std::size_t store, std::size_t index) const {
        return m_needsTest[m_chunkOfTriangle.empty() ? 0 : m_chunkOfTriangle[m_storeStart[store] + index]] != 0;
    }
    // Whether any triangle needs testing (most models: none).
    bool anyNeedsTest() const {
        return std::find(m_needsTest.begin(), m_needsTest.end(), 1) != m_needsTest.end();
    }
    // Whether no triangle of patch `a` can cross one of patch `b`.
    bool cannotCross(std::uint32_t a, std::uint32_t b) const {
        const std::uint32_t part = m_partOfPatch[a];
        return (a == b && (m_heightField[a] || m_flat[a])) ||
               (part == m_partOfPatch[b] && m_crossingFree[part]);
    }

private:
    // Per triangle of the parts grown into patches triangle by triangle, counted over all stores: the
    // triangles across its edges (up to three, kNone for none) and its unit normal in 127ths (zero
    // without an area), side by side, as a patch that takes a triangle reads both; nothing when no part
    // needs growing. Sixteen bytes a triangle: a normal so rounded is off by less than 0.007, and every
    // triangle that a patch's wide cone takes still faces along its axis.
    using Normal = std::array<float, 3>;
    struct Around {
        std::uint32_t neighbour[3];
        std::array<std::int8_t, 4> normal; // the fourth zero, so that the record is copied whole
    };
    using Adjacency = std::vector<Around>;
    void findParts(const std::vector<const HLRTriangleData*>& triangleData);
    Adjacency adjacencyOfOtherParts(const std::vector<const HLRTriangleData*>& triangleData) const;
    void findPatches(const Adjacency& adjacency);
    void checkPatches(const std::vector<const HLRTriangleData*>& triangleData);
    void cutChunks(const std::vector<const HLRTriangleData*>& triangleData);
    void chooseCentres(const std::vector<const HLRTriangleData*>& triangleData);
    void measureParts(const std::vector<const HLRTriangleData*>& triangleData);
    void findFlatPatches(const std::vector<const HLRTriangleData*>& triangleData);
    // Per chunk, the box of its triangles and of their neighbours; invalid where that is not known: a
    // triangle of it is not on three edges of two triangles (the third triangle of an edge is missing
    // from the neighbours), or a corner of it or of a neighbour is not finite.
    std::vector<HLRBox3D> surroundings(const std::vector<const HLRTriangleData*>& triangleData) const;
    void markMeetingChunks(double tolerance, const std::vector<const HLRTriangleData*>& triangleData);
    // Unmarks the chunks of each of the `groups` groups of marked chunks (groupOfChunk, kNone for none)
    // whose triangles together are a height field.
    void clearHeightFieldGroups(const std::vector<std::uint32_t>& groupOfChunk, std::size_t groups,
                                const std::vector<const HLRTriangleData*>& triangleData);
    // Clears heightField[r] of each region r whose open sides' loops, projected along axes[r], do not
    // show it a height field; regionOf(t) is the region of the triangle at t, counted over all stores.
    template <typename RegionOf>
    void checkSideLoops(const std::vector<const HLRTriangleData*>& triangleData, RegionOf regionOf,
                        const std::vector<HLRVector3D>& axes, std::vector<std::uint8_t>& heightField) const;
    // The store of the triangle at `t`, counted over all stores.
    std::size_t storeOf(std::size_t t) const;
    bool allCrossingFree() const;
    // Whether part `part` is one patch: free of crossings, or within one cone.
    bool onePatch(std::uint32_t part) const { return m_crossingFree[part] || m_withinCone[part]; }
    std::uint32_t patchOfTriangle(std::size_t t) const {
        return m_patchOfTriangle.empty() ? m_partOfTriangle[t] : m_patchOfTriangle[t];
    }

    HLRBox3D m_extent;
    std::vector<std::size_t> m_storeStart;       // the first triangle of each store, counted over all
    std::vector<std::uint32_t> m_partOfTriangle; // by triangle, counted over all stores
    // By triangle, while the patches are found: its edge records (HLRTriangleParts::edgeRecords).
    std::vector<std::uint8_t> m_edgeRecords;
    // By part: whether its edges are right (closed, consistently wound, no triangle without an area);
    // once judged, whether it is free of crossings.
    std::vector<std::uint8_t> m_crossingFree;
    // By part, while the patches are found: whether every triangle of it has an area and a normal within
    // a patch's cone about the middle of their range (so that it is one patch), and that axis.
    std::vector<std::uint8_t> m_withinCone;
    std::vector<std::array<float, 3>> m_coneAxis;
    // By patch: its part, the axis it is a height field along, and whether it is one. No triangle has
    // a patch of its own when every part is one patch: its part's number is its patch's.
    std::vector<std::uint32_t> m_patchOfTriangle;
    std::vector<std::uint32_t> m_partOfPatch;
    std::vector<HLRVector3D> m_axis;
    std::vector<std::uint8_t> m_heightField;
    // By patch: whether it is flat, and its plane (unit normal and offset) where it is.
    std::vector<std::uint8_t> m_flat;
    std::vector<HLRVector3D> m_planeNormal;
    std::vector<double> m_planeOffset;
    // By chunk: its patch, its box, and whether its triangles need testing. A model of a single chunk
    // numbers no triangle's.
    std::vector<std::uint32_t> m_chunkOfTriangle;
    std::vector<std::uint32_t> m_patchOfChunk;
    std::vector<HLRBox3D> m_chunkBox;
    // By chunk: whether its triangles are each on three edges of two triangles, their corners finite.
    std::vector<std::uint8_t> m_chunkKnown;
    std::vector<std::uint8_t> m_needsTest;
    std::vector<std::uint32_t> m_triangleCount;
    std::vector<std::size_t> m_through; // the triangle that the part's ray passes, counted over all stores
    std::vector<HLRVector3D> m_centre;
    // What is compared with the tolerance: the least and the largest distance by which a triangle
    // faces away from the centre (signed, as its winding says), and the most by which the ray misses
    // another triangle's edges (negative: it misses them all).
    std::vector<double> m_leastAway, m_mostAway, m_rayHit;
};

} // namespace KvHLR
