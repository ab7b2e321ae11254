#pragma once

#include "Hlr/HLRBoundingBoxHolder2D.h"
#include "Hlr/HLRBoundingBoxHolder3D.h"

namespace KvHLR {

// Something whose pieces may be hidden, with its packed screen and depth boxes. Edges are the only
// objects that are actually hidden; hiding objects share the base for the boxes.
class HLRHiddenObject : public HLRBoundingBoxHolder2D, public HLRBoundingBoxHolder3D {
public:
    virtual ~HLRHiddenObject();

    // Compute the object's screen (depth) extent, store its packed form in boundingBox2D()
    // (boundingBox3D()) on the current grid and return the extent.
    virtual HLRBox2D setBoundingBox2D() = 0;
    virtual HLRBox3D setBoundingBox3D() = 0;
};

} // namespace KvHLR
