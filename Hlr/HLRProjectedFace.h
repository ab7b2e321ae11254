#pragma once

#include "Hlr/HLRCompletionObservableHidingObject.h"
#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRTriangleRun.h"

namespace KvHLR {

// The projected image of one model face: a hiding object made of the face's triangles, which live in
// their triangle data. Its completion flag marks, during one bucket query, that it was already offered
// the edge.
class HLRProjectedFace : public HLRCompletionObservableHidingObject {
public:
    HLRProjectedFace();
    ~HLRProjectedFace() override;

    const HLRTriangleRun<HLRProjectedTriangle>& triangles() const { return m_triangles; }
    // The triangle must follow the face's last one in its triangle data (HLRTriangleRun).
    void addTriangle(HLRProjectedTriangle* triangle) { m_triangles.append(triangle); }

    // Offers the edge to each triangle in turn, stopping once the edge is entirely hidden.
    void hide(HLRProjectedTriangleEdge& edge) override;
    // Boxes every triangle and takes their union as the face's boxes.
    void setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) override;

private:
    HLRTriangleRun<HLRProjectedTriangle> m_triangles; // model order, not owned
};

} // namespace KvHLR
