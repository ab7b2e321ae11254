#pragma once

#include "Hlr/HLRBoundingBoxHolder2D.h"
#include "Hlr/HLRBoundingBoxHolder3D.h"

namespace KvHLR {

// Something whose pieces may be hidden, with its packed screen and depth boxes. Edges are the only
// objects that are actually hidden; hiding objects share the base for the boxes.
class HLRHiddenObject : public HLRBoundingBoxHolder2D, public HLRBoundingBoxHolder3D {
public:
    ~HLRHiddenObject() override;
};

} // namespace KvHLR
