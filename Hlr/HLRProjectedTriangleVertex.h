#pragma once

#include <cstdint>
#include <vector>

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRTriangleVertex.h"
#include "Hlr/HLRVector2D.h"
#include "Hlr/HLRVector3D.h"

namespace KvHLR {

class HLRProjector;

// A model vertex (or free-edge point) as the camera sees it. Kept an aggregate so that tests and
// callers can fill one field by field; a large model holds one per vertex, so it stays small.
struct HLRProjectedTriangleVertex {
    const HLRTriangleVertex* sourcePoint = nullptr; // null for a free-edge point
    HLRVector2D screenPosition;                     // x/w, y/w of the screen point
    HLRVector3D viewPosition;                       // view point divided by its w

    // A point at or behind the near plane has no screen image: it lands on (0, 0) while its view
    // position stays true, so the near-region tests can still find it.
    static HLRProjectedTriangleVertex project(const HLRVector3D& point, const HLRTriangleVertex* source,
                                              const HLRProjector& projector);
};

// Adds the screen positions of the vertices to box2D and their view positions to box3D.
void addVertexExtents(const std::vector<HLRProjectedTriangleVertex>& vertices, HLRBox2D& box2D,
                      HLRBox3D& box3D);

// The screen and view boxes of the segment from a to b, and its screen point at parameter t (0 at a,
// 1 at b): what an edge between two vertices needs of them.
HLRBox2D screenBoxOf(const HLRProjectedTriangleVertex& a, const HLRProjectedTriangleVertex& b);
HLRBox3D viewBoxOf(const HLRProjectedTriangleVertex& a, const HLRProjectedTriangleVertex& b);
inline HLRVector2D screenPointAt(const HLRProjectedTriangleVertex& a, const HLRProjectedTriangleVertex& b,
                                 double t) {
    return a.screenPosition * (1.0 - t) + b.screenPosition * t;
}

} // namespace KvHLR
