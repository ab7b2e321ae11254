#pragma once

#include "Hlr/HLRBoundingBox.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRVector3D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// Packed view-space box on the process-wide 3D grid; same rules as HLRBoundingBox2D, with a
// coarser depth axis of 508 steps.
class KVHLR_API HLRBoundingBox3D : public HLRBoundingBox {
public:
    HLRBoundingBox3D() = default;
    HLRBoundingBox3D(const HLRVector3D& lo, const HLRVector3D& hi) { quantise(lo, hi); }

    void set(const HLRBox3D& box) { quantise(box.min(), box.max()); }

    // The depth cells of the box's nearest and farthest points (the depth field of the maximum and of
    // the minimum code, its lowest 10 bits), compared as signed values: the hide passes skip a
    // triangle whose nearest cell lies beyond an edge's farthest with one integer comparison.
    std::int16_t nearestDepth() const { return static_cast<std::int16_t>(maxCode() & 0x3FFu); }
    std::int16_t farthestDepth() const { return static_cast<std::int16_t>(minCode() & 0x3FFu); }

    // A world box that is flat along any axis gets zero scales: every code is 0 and all boxes
    // overlap.
    static void setWorld(const HLRBox3D& world);
    static const HLRBox3D& world() { return sm_world; }

private:
    void quantise(const HLRVector3D& lo, const HLRVector3D& hi) {
        const double pad = sm_dMargin / 2;
        const HLRVector3D& origin = sm_world.min();
        setCodes(pack(field((lo.x - origin.x) * sm_dScaleX, MAX_XY_FIELD),
                      field((lo.y - origin.y) * sm_dScaleY, MAX_XY_FIELD),
                      field((lo.z - origin.z) * sm_dScaleZ, MAX_Z_FIELD)),
                 pack(field((hi.x + pad - origin.x) * sm_dScaleX, MAX_XY_FIELD),
                      field((hi.y + pad - origin.y) * sm_dScaleY, MAX_XY_FIELD),
                      field((hi.z + pad - origin.z) * sm_dScaleZ, MAX_Z_FIELD)));
    }

    static HLRBox3D sm_world;
    static double sm_dMargin;
    static double sm_dScaleX;
    static double sm_dScaleY;
    static double sm_dScaleZ;
};

} // namespace KvHLR
