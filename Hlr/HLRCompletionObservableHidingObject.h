#pragma once

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRCompletionObservable.h"
#include "Hlr/HLRHidingObject.h"

namespace KvHLR {

// A hiding object with a completion flag. Bucket grids file such objects and use the flag to offer
// an edge to each object only once per query.
class HLRCompletionObservableHidingObject : public HLRHidingObject, public HLRCompletionObservable {
public:
    ~HLRCompletionObservableHidingObject() override;

protected:
    // Packs the extent gathered from the object's parts into its own boxes and adds it to the given
    // boxes; an object without parts keeps boxes that overlap nothing.
    void adoptExtents(const HLRBox2D& own2D, const HLRBox3D& own3D, HLRBox2D& box2D, HLRBox3D& box3D);
};

} // namespace KvHLR
