#pragma once

#include "Hlr/HLRBucketHolder2D.h"

namespace KvHLR {

class HLRProjectedTriangleEdge;

// A bucket grid of hiding objects that can offer an edge to the objects near it.
class HLRHidingBucketHolder : public HLRBucketHolder2D {
public:
    ~HLRHidingBucketHolder() override;

    // Offers the edge to every hiding object of the holder, in order, without the grid.
    virtual void hideByObjects(HLRProjectedTriangleEdge& edge) = 0;

    // Offers the edge to the objects filed in the cells its box touches, each object once, and stops
    // testing as soon as the edge is entirely hidden. Uses the objects' completion flags as marks, so
    // one holder serves one call at a time.
    void hideByBuckets(HLRProjectedTriangleEdge& edge);
};

} // namespace KvHLR
