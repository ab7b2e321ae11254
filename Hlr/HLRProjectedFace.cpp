#include "Hlr/HLRProjectedFace.h"

#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

namespace KvHLR {

HLRProjectedFace::HLRProjectedFace() = default;

HLRProjectedFace::~HLRProjectedFace() = default;

void HLRProjectedFace::hide(HLRProjectedTriangleEdge& edge) {
    if (!edge.boundingBox2D().overlaps(boundingBox2D())) {
        return;
    }
    for (HLRProjectedTriangle& triangle : m_triangles) {
        if (edge.isAllHidden()) {
            return;
        }
        triangle.hide(edge);
    }
}

void HLRProjectedFace::setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) {
    HLRBox2D own2D;
    HLRBox3D own3D;
    for (HLRProjectedTriangle& triangle : m_triangles) {
        triangle.setBoundingBoxes(own2D, own3D);
    }
    adoptExtents(own2D, own3D, box2D, box3D);
}

} // namespace KvHLR
