#pragma once

#include <cstddef>
#include <vector>

#include "Hlr/HLRCompletionObservableHidingObject.h"

namespace KvHLR {

class HLRProjectedTriangle;

// The projected image of one model face: a hiding object made of the face's triangles, which live in
// their triangle data. Its completion flag marks, during one bucket query, that it was already offered
// the edge.
class HLRProjectedFace : public HLRCompletionObservableHidingObject {
public:
    HLRProjectedFace();
    ~HLRProjectedFace() override;

    const std::vector<HLRProjectedTriangle*>& triangles() const { return m_triangles; }
    void reserve(std::size_t triangleCount) { m_triangles.reserve(triangleCount); }
    void addTriangle(HLRProjectedTriangle* triangle) { m_triangles.push_back(triangle); }

    // Offers the edge to each triangle in turn, stopping once the edge is entirely hidden.
    void hide(HLRProjectedTriangleEdge& edge) override;
    // Boxes every triangle and takes their union as the face's boxes.
    void setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) override;

private:
    std::vector<HLRProjectedTriangle*> m_triangles; // model order, not owned
};

} // namespace KvHLR
