#include "Hlr/HLRCompletionObservableHidingObject.h"

namespace KvHLR {

HLRCompletionObservableHidingObject::~HLRCompletionObservableHidingObject() = default;

void HLRCompletionObservableHidingObject::adoptExtents(const HLRBox2D& own2D, const HLRBox3D& own3D,
                                                       HLRBox2D& box2D, HLRBox3D& box3D) {
    if (!own2D.isValid()) {
        return;
    }
    boundingBox2D().set(own2D);
    boundingBox3D().set(own3D);
    box2D.add(own2D);
    box3D.add(own3D);
}

} // namespace KvHLR
