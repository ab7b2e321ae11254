#pragma once

#include "Hlr/HLRCrossingFreeParts.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRVector3D.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace KvHLR {

class HLRProjectedTriangleData;
struct HLRProjectedTriangleVertex;
struct HLRTriangleImage;

// Where the model passes through itself: the segments along which two triangles that share no vertex
// cross (two bodies, or two folds of one body), in world coordinates. Segments that continue one
// another share their end point by index, so a line running across many triangles comes out as one
// chain of segments.
struct HLRIntersectionLines {
    // A triangle of the model: its store's position among the projected stores, and its own in the store.
    struct TrianglePosition {
        std::uint32_t store;
        std::uint32_t index;
    };
    struct Segment {
        std::uint32_t start;
        std::uint32_t end;
        // The two triangles the segment lies on, the first from the earlier store and position.
        TrianglePosition first;
        TrianglePosition second;
    };
    std::vector<HLRVector3D> points;
    std::vector<Segment> segments;
};

// Finds the intersection lines of the projected model's triangles.
//
// In: the triangle stores after HLRProjectedTriangleData::project (vertices, triangles and classified
// edges). Points within a tolerance of a triangle's plane count as lying in the plane: exact hiding's
// share of the model's extent, plus the rounding of its largest coordinate.
// Out: HLRIntersectionLines, in an order that depends on the model only, never on thread timing.
//
// Parts and patches of the model that cannot cross themselves (HLRCrossingFreeParts) have no pairs
// within them tested, and only their triangles near another's are candidates. The other candidate pairs come from a uniform 3D grid over the
// triangles' boxes, made coarser until the triangles fill at most 8 cells each on average, however large
// some of them are; each pair is tested once, in the cell where the overlap of their boxes starts. The
// cells are handed to the OpenMP threads in blocks, a crowded cell's members one by one, and progress
// is reported on the calling thread between blocks under the stage "HLRIntersectionFinder::find"; the
// loops check for a cancel (HLRCancelPoll) every few milliseconds. Only the crossing pairs are kept,
// 8 bytes each, and counted as they are found: past HLRTooManyIntersectionLines::kMaxSegments the search
// throws HLRTooManyIntersectionLines, so that memory and time follow the lines found.
//
// No segment comes from two triangles lying in one plane (faces resting on each other), from a touch
// in a single point, from a stretch along an edge that the drawing shows anyway (a box standing on a
// plate touches it along its own bottom edges), nor from a stretch along an undrawn edge where the
// surface meets the other face without passing through it; a stretch along an undrawn edge where it
// does pass through is reported once, for the edge's left triangle.
class HLRIntersectionFinder {
public:
    // `parts` are those of the stores' model triangles (HLRCrossingFreeParts, made beforehand so that
    // they can be found while the model is projected).
    HLRIntersectionFinder(std::vector<HLRProjectedTriangleData>& triangleData, HLRCrossingFreeParts parts);

    HLRIntersectionLines find();

    // The working records, named here for the source's helpers.
    struct Cell {
        std::int32_t x, y, z;
    };
    // A triangle that can cross another (one with an area): its corners and their world positions,
    // kept together so that testing a pair reads no other memory.
    struct Candidate {
        const HLRTriangleImage* triangle;
        HLRIntersectionLines::TrianglePosition at;
        const HLRProjectedTriangleVertex* corner[3];
        HLRVector3D position[3];
        std::uint32_t patch; // HLRCrossingFreeParts::patchOf
        HLRVector3D normal;  // the plane, as HLRTriangleCrossing::Triangle has it
        double offset;
    };
    // One pair's segment, with what tells its ends apart and which edges it runs along.
    struct Crossing;
    // Two candidates that cross, by position, first < second.
    struct Pair {
        std::uint32_t first, second;
    };

private:
    void gatherCandidates();
    void chooseCellSize();
    void fileCandidates();
    // The pairs that cross, in order.
    std::vector<Pair> testPairs();
    // A filed candidate with its geometry, worked out once per bucket rather than once per pair.
    struct Member;
    // A bucket's members, sorted for testing their pairs.
    struct Sweep;
    void prepareSweep(std::uint32_t bucket, Sweep& sweep) const;
    // Tests the sweep's member i with those after it: adds the crossing pairs to `found`, and their count
    // to `foundInAll` (over all threads); throws HLRTooManyIntersectionLines once that passes the budget.
    void sweepMember(const Sweep& sweep, std::size_t i, std::vector<Pair>& found,
                     std::atomic<std::size_t>& foundInAll) const;
    void testPair(std::uint32_t a, std::uint32_t b, std::vector<Pair>& found) const;
    Crossing crossingOf(const Pair& pair) const;
    struct EdgeKeyHash {
        std::size_t operator()(
            const std::pair<const HLRProjectedTriangleVertex*, const HLRProjectedTriangleVertex*>& key) const;
    };
    // A model edge as the drawing would see it: its corners, its triangles and its type.
    struct ModelEdge {
        const HLRProjectedTriangleVertex* start;
        const HLRProjectedTriangleVertex* end;
        const HLRTriangleImage* left;
        const HLRTriangleImage* right;
        int type;
    };
    using EdgeIndex =
        std::unordered_map<std::pair<const HLRProjectedTriangleVertex*, const HLRProjectedTriangleVertex*>,
                           std::optional<ModelEdge>, EdgeKeyHash>;
    bool keepsStretchAlongEdge(const Crossing& crossing, bool ofFirst, const EdgeIndex& edges) const;
    HLRIntersectionLines chain(const std::vector<Pair>& pairs) const;
    // A kept segment between two points of the lines, by the candidates it lies on.
    struct Piece {
        std::uint32_t start, end, first, second;
    };
    bool inOnePlane(std::uint32_t a, std::uint32_t b) const;
    void joinStraightRuns(const std::vector<Piece>& pieces, HLRIntersectionLines& lines) const;

    template <typename Visit> void forEachBucketOf(const Candidate& candidate, Visit visit) const;
    std::uint32_t bucketOf(std::int32_t x, std::int32_t y, std::int32_t z) const;
    // The cells that a candidate's box, grown by the tolerance, spans.
    struct CellRange {
        Cell lo, hi;
        std::size_t count() const {
            return std::size_t(hi.x - lo.x + 1) * std::size_t(hi.y - lo.y + 1) * std::size_t(hi.z - lo.z + 1);
        }
    };
    CellRange cellsOf(const Candidate& candidate) const;

    std::vector<HLRProjectedTriangleData>* m_triangleData;
    HLRCrossingFreeParts m_parts;
    double m_tolerance = 0.0;
    std::vector<Candidate> m_candidates;
    HLRVector3D m_origin;
    double m_cellSize = 0.0;
    // The candidates filed by the hash of each cell they span: bucket b holds the positions
    // m_bucketStart[b] .. m_bucketStart[b + 1] - 1 of m_filed.
    std::uint32_t m_bucketMask = 0;
    std::vector<std::uint32_t> m_bucketStart;
    std::vector<std::uint32_t> m_filed;
};

} // namespace KvHLR
