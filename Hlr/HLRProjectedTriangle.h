#pragma once

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRHidingObject.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRVector3D.h"

#include <cstdint>

namespace KvHLR {

class HLRProjectedTriangleEdge;
struct HLRProjectedTriangleVertex;

// A model triangle seen through the camera: its three projected vertices, its plane in view
// coordinates and its facing. As a hiding object it decides which part of an edge it covers.
class HLRProjectedTriangle : public HLRHidingObject {
public:
    // Values of orientation().
    static constexpr std::int32_t BACK_FACING = 0;
    static constexpr std::int32_t FRONT_FACING = 1;
    static constexpr std::int32_t UNDETERMINED = 2; // not yet set, or a degenerate triangle

    // The model triangle it shows is the one at its own position in its store's sequence
    // (HLRProjectedTriangleData), so the triangle keeps no pointer to it.
    HLRProjectedTriangle();
    ~HLRProjectedTriangle() override;

    // Set when a perspective view sees the triangle reach the near region; such a triangle hides nothing.
    bool nearRegion() const { return m_nearRegion; }
    const HLRProjectedTriangleVertex* vertex(int i) const { return m_vertices[i]; }
    // (V1 - V0) x (V2 - V0) of the view positions; not normalised. Computed when asked rather than
    // kept: a million triangles are 32 MB less, and only the few near an edge to hide are asked.
    HLRVector3D normal() const;
    // normal() . V0.
    double planeConstant() const { return dot(normal(), m_vertices[0]->viewPosition); }
    std::int32_t orientation() const { return m_orientation; }

    // Takes the three vertices (owned by the triangle data) and derives plane and facing from their
    // view positions. A degenerate triangle keeps the facing it had.
    void setVertices(const HLRProjectedTriangleVertex* v0, const HLRProjectedTriangleVertex* v1,
                     const HLRProjectedTriangleVertex* v2);

    // Records on the edge the part that this triangle covers in front of it: the whole edge or one
    // parameter range. Runs for every edge-triangle pair whose boxes meet, so it rejects with integer
    // and pointer tests first and never allocates.
    void hide(HLRProjectedTriangleEdge& edge) override;

    // Packs the triangle's screen and view extents into its own boxes on the current grids, marks it
    // near-region where a perspective view needs that, and adds the extents to the given boxes.
    void setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) override;

private:
    void hideOrthographic(HLRProjectedTriangleEdge& edge) const;
    void hidePerspective(HLRProjectedTriangleEdge& edge) const;
    void hideExactly(HLRProjectedTriangleEdge& edge) const;
    // False when the packed depth boxes show the whole edge in front of the triangle's nearest point.
    bool mayLieBehind(const HLRProjectedTriangleEdge& edge) const;
    bool isCorner(const HLRProjectedTriangleVertex* vertex) const;

    const HLRProjectedTriangleVertex* m_vertices[3] = {nullptr, nullptr, nullptr};
    // The two small fields share one word: a million triangles are 8 MB less.
    std::int32_t m_orientation = UNDETERMINED;
    bool m_nearRegion = false;
};

} // namespace KvHLR
