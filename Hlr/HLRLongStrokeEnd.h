#pragma once

#include "Hlr/HLRStrokeEnd.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// An end of long strokes, standing for the short-stroke end (or ends) of the same id.
class KVHLR_API HLRLongStrokeEnd : public HLRStrokeEnd {
public:
    // Takes the point and id of `end`, none of its strokes.
    explicit HLRLongStrokeEnd(const HLRStrokeEnd& end);
    HLRLongStrokeEnd(const HLRLongStrokeEnd& other) = default;

    HLRStrokeLinks& linkedStrokes(int type) override;
    const HLRStrokeLinks& linkedStrokes(int type) const override;
    // By id, so that a set of long-stroke ends holds one end per id.
    bool precedes(const HLRStrokeEnd& other) const override;

protected:
    // Long strokes are made after the convexity of the short strokes was corrected, so their
    // kinds are filed as they are.
    bool swapsConvexity() const override { return false; }
};

} // namespace KvHLR
