#include "Hlr/HLRViewTurn.h"

#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRTriangleImage.h"

#include <cmath>

namespace KvHLR {

std::optional<HLRViewTurn> HLRViewTurn::awayFromEdgeOnFaceOf(const HLRExactEdge& edge) {
    if (!HLRProjectedModel::sm_bOrthoGraphic) {
        // Turning a perspective camera about its eye moves no point across a line through two others
        // on screen, so such a view keeps its ties.
        return std::nullopt;
    }
    for (const HLRTriangleImage* face : {edge.leftTriangle(), edge.rightTriangle()}) {
        if (face == nullptr || !face->isUsable()) {
            continue;
        }
        const HLRVector3D normal = face->normal();
        const double across = std::hypot(normal.x, normal.y);
        if (HLRTriangleImage::isEdgeOn(normal) && across > 0.0) {
            return HLRViewTurn(normal.x / across, normal.y / across);
        }
    }
    return std::nullopt;
}

// The camera looks along -z. Turned towards (x, y) by a small angle a, it sees the view point p where
// an unturned camera sees p + a (x p.z, y p.z, -(x p.x + y p.y)), to first order in a.
HLRVector2D HLRViewTurn::screenShiftOf(const HLRVector3D& viewPosition) const {
    const HLRVector3D shift(m_x * viewPosition.z, m_y * viewPosition.z,
                            -(m_x * viewPosition.x + m_y * viewPosition.y));
    const HLRVector4D& xRow = HLRProjectedModel::sm_screenXRow;
    const HLRVector4D& yRow = HLRProjectedModel::sm_screenYRow;
    return HLRVector2D(xRow.x() * shift.x + xRow.y() * shift.y + xRow.z() * shift.z,
                       yRow.x() * shift.x + yRow.y() * shift.y + yRow.z() * shift.z);
}

} // namespace KvHLR
