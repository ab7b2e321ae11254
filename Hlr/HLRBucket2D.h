#pragma once

#include <vector>

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRVector2D.h"

namespace KvHLR {

class HLRCompletionObservableHidingObject;

// One cell of a bucket grid: its quantised box and the hiding objects whose boxes touch it.
class HLRBucket2D : public HLRBoundingBox2D {
public:
    HLRBucket2D(const HLRVector2D& lo, const HLRVector2D& hi);
    ~HLRBucket2D();

    const std::vector<HLRCompletionObservableHidingObject*>& objects() const { return m_objects; }
    void addObject(HLRCompletionObservableHidingObject* object) { m_objects.push_back(object); }

private:
    std::vector<HLRCompletionObservableHidingObject*> m_objects; // filing order, not owned
};

} // namespace KvHLR
