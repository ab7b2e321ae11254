#pragma once

#include "Hlr/HLRVector2D.h"
#include "Hlr/HLRVector3D.h"

#include <optional>

namespace KvHLR {

class HLRExactEdge;

// How exact hiding breaks a tie when a parallel view looks exactly along a face.
//
// A face seen exactly edge-on has no area on screen, and HLRTriangleImage counts it as turned away
// from the viewer. That is what the view shows once the camera is turned by an infinitesimal angle
// towards the side the face's normal points to, so an edge along such a face (an outline lying in it)
// is judged in that turned view wherever the exact view cannot tell: where it lies along a side of an
// occluder on screen, the turn moves it to one side or the other, as every slightly turned view that
// keeps the face turned away would. Without this, the outline would be taken as lying inside the
// occluder whose side it grazes, and drawn hidden where the views on either side show it.
//
// In: an edge to hide. Out: the turn for it, if one of its faces is seen edge-on in a parallel view,
// and how the turn moves any view point on screen, per unit of its angle.
class HLRViewTurn {
public:
    static std::optional<HLRViewTurn> awayFromEdgeOnFaceOf(const HLRExactEdge& edge);

    HLRVector2D screenShiftOf(const HLRVector3D& viewPosition) const;

private:
    // Towards this unit direction in the view's x, y plane.
    HLRViewTurn(double x, double y) : m_x(x), m_y(y) {}

    double m_x;
    double m_y;
};

} // namespace KvHLR
