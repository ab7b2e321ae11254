#pragma once

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRHidingObject.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRTriangleImage.h"
#include "Hlr/HLRVector3D.h"

#include <cstdint>

namespace KvHLR {

class HLRProjectedTriangleEdge;
struct HLRProjectedTriangleVertex;

// A model triangle seen through the camera: its three projected vertices, its plane in view
// coordinates and its facing (its HLRTriangleImage). As a hiding object it decides which part of an
// edge it covers.
class HLRProjectedTriangle : public HLRHidingObject {
public:
    // Values of orientation().
    static constexpr std::int32_t BACK_FACING = HLRTriangleImage::BACK_FACING;
    static constexpr std::int32_t FRONT_FACING = HLRTriangleImage::FRONT_FACING;
    static constexpr std::int32_t UNDETERMINED = HLRTriangleImage::UNDETERMINED;

    // The model triangle it shows is the one at its own position in its store's sequence
    // (HLRProjectedTriangleData), so the triangle keeps no pointer to it.
    HLRProjectedTriangle();
    ~HLRProjectedTriangle() override;

    // Set when a perspective view sees the triangle reach the near region; such a triangle hides nothing.
    bool nearRegion() const { return m_image.nearRegion; }
    const HLRProjectedTriangleVertex* vertex(int i) const { return m_image.corners[i]; }
    // (V1 - V0) x (V2 - V0) of the view positions; not normalised.
    HLRVector3D normal() const { return m_image.normal(); }
    // normal() . V0.
    double planeConstant() const { return dot(normal(), vertex(0)->viewPosition); }
    std::int32_t orientation() const { return m_image.orientation; }
    const HLRTriangleImage& image() const { return m_image; }

    // Takes the three vertices (owned by the triangle data) and derives plane and facing from their
    // view positions. A degenerate triangle keeps the facing it had.
    void setVertices(const HLRProjectedTriangleVertex* v0, const HLRProjectedTriangleVertex* v1,
                     const HLRProjectedTriangleVertex* v2) {
        m_image.setCorners(v0, v1, v2);
    }

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
    // False when the packed depth boxes show the whole edge in front of the triangle's nearest point.
    bool mayLieBehind(const HLRProjectedTriangleEdge& edge) const;
    bool isCorner(const HLRProjectedTriangleVertex* vertex) const { return m_image.hasCorner(vertex); }

    HLRTriangleImage m_image;
};

} // namespace KvHLR
