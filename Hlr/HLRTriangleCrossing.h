#pragma once

#include "Hlr/HLRVector3D.h"

#include <cstdint>

namespace KvHLR {

struct HLRProjectedTriangleVertex;
struct HLRTriangleImage;

// The segment along which two model triangles cross, for the intersection finder (HLRIntersectionFinder).
//
// In: two triangles, each with its corners (shared by the triangles around them), the corners' world
// positions, and a tolerance: a point within it of a triangle's plane counts as lying in that plane.
// Out: whether they cross; if so the segment, its ends keyed so that the segments of one line find their
// common ends, and, for each triangle, the edge the segment runs along where it runs along one.
//
// No segment comes from two triangles lying in one plane, from planes parallel to rounding, from a
// touch in a single point, or from stretches that overlap by no more than the tolerance. The test
// does not look at shared corners: the caller leaves out neighbours.
struct HLRTriangleCrossing {
    // What identifies an end independently of the pair that found it: a corner of the model (a = b,
    // no plane), or an edge (its two corners in address order) meeting the plane of a triangle.
    // Neighbouring segments of one line find their common end under the same key, and compute its
    // point by the same arithmetic.
    struct EndKey {
        const void* a;
        const void* b;
        const void* plane;
        bool operator==(const EndKey& o) const { return a == o.a && b == o.b && plane == o.plane; }
    };
    struct End {
        HLRVector3D point;
        EndKey key;
        double along = 0.0; // position along the two planes' common line
    };

    // A triangle as the test reads it: its image (which names its plane in end keys), its corners and
    // their positions, kept by reference, and its unit normal and offset; `valid` is false for a
    // triangle without an area.
    struct Triangle {
        const HLRTriangleImage* image;
        const HLRProjectedTriangleVertex* const* corners;
        const HLRVector3D* positions;
        HLRVector3D normal;
        double offset = 0.0;
        bool valid = false;

        Triangle(const HLRTriangleImage* triangle, const HLRProjectedTriangleVertex* const corner[3],
                 const HLRVector3D position[3]);
        // The same triangle with its plane as worked out before by the constructor above (valid).
        Triangle(const HLRTriangleImage* triangle, const HLRProjectedTriangleVertex* const corner[3],
                 const HLRVector3D position[3], const HLRVector3D& unitNormal, double planeOffset)
            : image(triangle), corners(corner), positions(position), normal(unitNormal), offset(planeOffset),
              valid(true) {}
        // Signed distance from the plane, zero within the tolerance.
        double distance(const HLRVector3D& x, double tolerance) const;
    };

    End ends[2];
    // Per triangle, the corners of the edge the segment runs along, or -1 when it crosses the triangle.
    std::int8_t alongFirst[2] = {-1, -1};
    std::int8_t alongSecond[2] = {-1, -1};

    // Fills `crossing` and returns true where the triangles cross along more than the tolerance.
    static bool find(const Triangle& first, const Triangle& second, double tolerance,
                     HLRTriangleCrossing& crossing);
};

} // namespace KvHLR
