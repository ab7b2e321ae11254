#include "Hlr/HLRSimpleConnector.h"

#include "Hlr/HLRStroke.h"
#include "Hlr/HLRStrokeEnd.h"

namespace KvHLR {

HLRStroke* HLRSimpleConnector::nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const {
    if (end.terminal())
        return nullptr;
    for (HLRStroke* candidate : end.linkedStrokes(from.type()).strokes())
        if (isEligible(candidate, from))
            return candidate;
    return nullptr;
}

} // namespace KvHLR
