#pragma once

#include "Hlr/HLRBoundingBox.h"
#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRVector2D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// Packed screen-space box on the process-wide 2D grid. The grid is installed by setWorld and
// read by every box computed afterwards; boxes computed earlier keep the codes of the old grid.
class KVHLR_API HLRBoundingBox2D : public HLRBoundingBox {
public:
    HLRBoundingBox2D() = default;
    HLRBoundingBox2D(const HLRVector2D& lo, const HLRVector2D& hi) { quantise(lo, hi); }

    void set(const HLRBox2D& box) { quantise(box.min(), box.max()); }

    // The packed box of the points within `reach` of `box` along each axis, its maximum not padded: it
    // still overlaps every box on the grid that holds one of those points, and the fewest others.
    static HLRBoundingBox2D around(const HLRBox2D& box, double reach) {
        const HLRVector2D& origin = sm_world.min();
        HLRBoundingBox2D packed;
        packed.setCodes(pack(field((box.min().x() - reach - origin.x()) * sm_dScaleX, MAX_XY_FIELD),
                             field((box.min().y() - reach - origin.y()) * sm_dScaleY, MAX_XY_FIELD), 0),
                        pack(field((box.max().x() + reach - origin.x()) * sm_dScaleX, MAX_XY_FIELD),
                             field((box.max().y() + reach - origin.y()) * sm_dScaleY, MAX_XY_FIELD), 0));
        return packed;
    }

    // Lays a 1020 x 1020 grid over the world box enlarged by a margin of 0.002 of its smaller
    // extent. A world box without area gets a zero scale: every code is 0 and all boxes overlap.
    static void setWorld(const HLRBox2D& world);
    static const HLRBox2D& world() { return sm_world; }

private:
    // Only the maximum corner is padded by half the margin, so that a box reaching the world's
    // maximum stays below field 1020 while a box at the world's minimum starts at field 0.
    void quantise(const HLRVector2D& lo, const HLRVector2D& hi) {
        const double pad = sm_dMargin / 2;
        const HLRVector2D& origin = sm_world.min();
        setCodes(pack(field((lo.x() - origin.x()) * sm_dScaleX, MAX_XY_FIELD),
                      field((lo.y() - origin.y()) * sm_dScaleY, MAX_XY_FIELD), 0),
                 pack(field((hi.x() + pad - origin.x()) * sm_dScaleX, MAX_XY_FIELD),
                      field((hi.y() + pad - origin.y()) * sm_dScaleY, MAX_XY_FIELD), 0));
    }

    static HLRBox2D sm_world;
    static double sm_dMargin;
    static double sm_dScaleX;
    static double sm_dScaleY;
};

} // namespace KvHLR
