#include "Hlr/HLRBoundingBox3D.h"

#include <algorithm>

namespace KvHLR {

HLRBox3D HLRBoundingBox3D::sm_world;
double HLRBoundingBox3D::sm_dMargin = 0.0;
double HLRBoundingBox3D::sm_dScaleX = 0.0;
double HLRBoundingBox3D::sm_dScaleY = 0.0;
double HLRBoundingBox3D::sm_dScaleZ = 0.0;

void HLRBoundingBox3D::setWorld(const HLRBox3D& world) {
    sm_world = world;
    const double dx = world.width();
    const double dy = world.height();
    const double dz = world.depth();
    if (!(dx > 0.0) || !(dy > 0.0) || !(dz > 0.0)) {
        sm_dMargin = 0.0;
        sm_dScaleX = 0.0;
        sm_dScaleY = 0.0;
        sm_dScaleZ = 0.0;
        return;
    }
    sm_dMargin = 0.002 * std::min({dx, dy, dz});
    sm_dScaleX = 1020 / (dx + sm_dMargin);
    sm_dScaleY = 1020 / (dy + sm_dMargin);
    sm_dScaleZ = 508 / (dz + sm_dMargin);
}

} // namespace KvHLR
