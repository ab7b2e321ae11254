#pragma once

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRVector3D.h"

#include <cstdint>

namespace KvHLR {

class HLRBoundingBox2D;
class HLRBoundingBox3D;
struct HLRProjectedTriangleVertex;

// What the camera sees of one model triangle: its three projected corners and its facing. Plain data
// (32 bytes, with no table of virtual functions): the plain hide test's triangle holds one, and exact
// hiding keeps one per triangle in a flat array (HLROccluder). The edge classification reads it.
struct HLRTriangleImage {
    // Values of orientation.
    static constexpr std::int32_t BACK_FACING = 0;
    static constexpr std::int32_t FRONT_FACING = 1;
    static constexpr std::int32_t UNDETERMINED = 2; // not yet set, or a degenerate triangle

    // The corners, owned by the projected triangle store.
    const HLRProjectedTriangleVertex* corners[3] = {nullptr, nullptr, nullptr};
    std::int32_t orientation = UNDETERMINED;
    // Set when a perspective view sees the triangle reach the near region; such a triangle hides nothing.
    bool nearRegion = false;

    // Takes the corners and derives the facing from their view positions. A degenerate triangle keeps
    // the facing it had.
    void setCorners(const HLRProjectedTriangleVertex* v0, const HLRProjectedTriangleVertex* v1,
                    const HLRProjectedTriangleVertex* v2);
    // (V1 - V0) x (V2 - V0) of the view positions; not normalised. Computed when asked rather than
    // kept: a million triangles are 32 MB less, and only the few near an edge to hide are asked.
    HLRVector3D normal() const;
    bool hasCorner(const HLRProjectedTriangleVertex* vertex) const {
        return vertex == corners[0] || vertex == corners[1] || vertex == corners[2];
    }
    // A triangle of known facing: one with an area.
    bool isUsable() const { return orientation != UNDETERMINED; }
    bool isFront() const { return orientation == FRONT_FACING; }
    // Whether a parallel view, which looks along -z, sees a face of this normal exactly edge-on (to
    // rounding). Such a face counts as turned away from the viewer (HLRViewTurn says what that means).
    static bool isEdgeOn(const HLRVector3D& normal);

    // The corners' screen and view extents.
    struct Extents {
        HLRBox2D screen;
        HLRBox3D view;
    };
    // Packs the corners' extents into the two boxes on the current grids, marks the triangle
    // near-region where a perspective view needs that, and returns the extents.
    Extents packBoxes(HLRBoundingBox2D& box2D, HLRBoundingBox3D& box3D);
};

} // namespace KvHLR
