#include "Hlr/HLRBoundingBox2D.h"

#include <algorithm>

namespace KvHLR {

HLRBox2D HLRBoundingBox2D::sm_world;
double HLRBoundingBox2D::sm_dMargin = 0.0;
double HLRBoundingBox2D::sm_dScaleX = 0.0;
double HLRBoundingBox2D::sm_dScaleY = 0.0;

void HLRBoundingBox2D::setWorld(const HLRBox2D& world) {
    sm_world = world;
    const double dx = world.width();
    const double dy = world.height();
    // Written as negations so that a NaN extent also falls back to the all-overlapping grid.
    if (!(dx > 0.0) || !(dy > 0.0)) {
        sm_dMargin = 0.0;
        sm_dScaleX = 0.0;
        sm_dScaleY = 0.0;
        return;
    }
    sm_dMargin = 0.002 * std::min(dx, dy);
    sm_dScaleX = 1020 / (dx + sm_dMargin);
    sm_dScaleY = 1020 / (dy + sm_dMargin);
}

} // namespace KvHLR
