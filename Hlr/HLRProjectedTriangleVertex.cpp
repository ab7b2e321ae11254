#include "Hlr/HLRProjectedTriangleVertex.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRProjector.h"
#include "Hlr/HLRVector4D.h"

namespace KvHLR {

HLRProjectedTriangleVertex HLRProjectedTriangleVertex::project(const HLRVector3D& point,
                                                               const HLRTriangleVertex* source,
                                                               const HLRProjector& projector) {
    const HLRVector4D world(point.x, point.y, point.z, 1.0);
    HLRVector4D view;
    HLRVector4D screen;
    projector.WC2VC(world, view);
    projector.VC2SC(view, screen);

    HLRProjectedTriangleVertex vertex;
    vertex.sourcePoint = source;
    vertex.viewPosition = HLRVector3D(view.x() / view.w(), view.y() / view.w(), view.z() / view.w());
    vertex.screenPosition = HLRVector2D(screen.x() / screen.w(), screen.y() / screen.w());
    return vertex;
}

void addVertexExtents(const std::vector<HLRProjectedTriangleVertex>& vertices, HLRBox2D& box2D,
                      HLRBox3D& box3D) {
    for (const HLRProjectedTriangleVertex& vertex : vertices) {
        HLRCancelPoll::check();
        box2D.add(vertex.screenPosition);
        box3D.add(vertex.viewPosition);
    }
}

HLRBox2D screenBoxOf(const HLRProjectedTriangleVertex& a, const HLRProjectedTriangleVertex& b) {
    HLRBox2D box;
    box.add(a.screenPosition);
    box.add(b.screenPosition);
    return box;
}

HLRBox3D viewBoxOf(const HLRProjectedTriangleVertex& a, const HLRProjectedTriangleVertex& b) {
    HLRBox3D box;
    box.add(a.viewPosition);
    box.add(b.viewPosition);
    return box;
}

} // namespace KvHLR
