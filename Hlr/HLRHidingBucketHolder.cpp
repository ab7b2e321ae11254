#include "Hlr/HLRHidingBucketHolder.h"

#include "Hlr/HLRCompletionObservableHidingObject.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

namespace KvHLR {

HLRHidingBucketHolder::~HLRHidingBucketHolder() = default;

void HLRHidingBucketHolder::hideByBuckets(HLRProjectedTriangleEdge& edge) {
    const std::vector<HLRBucket2D*>& hits = bucketsOverlapping(edge.boundingBox2D());
    for (HLRBucket2D* cell : hits) {
        for (HLRCompletionObservableHidingObject* object : cell->objects()) {
            if (object == nullptr) {
                continue;
            }
            if (edge.isAllHidden()) {
                break;
            }
            if (!object->isCompleted()) {
                object->hide(edge);
                object->setCompleted(true);
            }
        }
    }
    for (HLRBucket2D* cell : hits) {
        for (HLRCompletionObservableHidingObject* object : cell->objects()) {
            if (object != nullptr) {
                object->setCompleted(false);
            }
        }
    }
}

} // namespace KvHLR
