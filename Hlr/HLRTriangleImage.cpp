#include "Hlr/HLRTriangleImage.h"

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include <cmath>

namespace KvHLR {

namespace {

// A face whose normal is square to the direction of view to within this cosine is seen edge-on.
constexpr double kEdgeOnCosine = 1e-12;

} // namespace

void HLRTriangleImage::setCorners(const HLRProjectedTriangleVertex* v0, const HLRProjectedTriangleVertex* v1,
                                  const HLRProjectedTriangleVertex* v2) {
    corners[0] = v0;
    corners[1] = v1;
    corners[2] = v2;
    const HLRVector3D& p0 = v0->viewPosition;
    const HLRVector3D normal = this->normal();

    // The direction from the eye to the triangle.
    const HLRVector3D direction = HLRProjectedModel::sm_bOrthoGraphic
                                      ? HLRVector3D(0.0, 0.0, -1.0)
                                      : (p0 + v1->viewPosition + v2->viewPosition) / 3.0;
    const double normalLength = length(normal);
    if (normalLength > 0.0) {
        const double cosine = dot(normal, direction) / (length(direction) * normalLength);
        orientation = cosine < -kEdgeOnCosine ? FRONT_FACING : BACK_FACING;
    }
}

bool HLRTriangleImage::isEdgeOn(const HLRVector3D& normal) {
    return std::fabs(normal.z) <= kEdgeOnCosine * length(normal);
}

HLRVector3D HLRTriangleImage::normal() const {
    const HLRVector3D& p0 = corners[0]->viewPosition;
    return cross(corners[1]->viewPosition - p0, corners[2]->viewPosition - p0);
}

HLRTriangleImage::Extents HLRTriangleImage::packBoxes(HLRBoundingBox2D& box2D, HLRBoundingBox3D& box3D) {
    Extents own;
    for (const HLRProjectedTriangleVertex* v : corners) {
        own.screen.add(v->screenPosition);
        own.view.add(v->viewPosition);
    }
    box2D.set(own.screen);
    box3D.set(own.view);
    if (!HLRProjectedModel::sm_bOrthoGraphic && box3D.overlaps(HLRProjectedModel::sm_nearRegionBox)) {
        nearRegion = true;
    }
    return own;
}

} // namespace KvHLR
