#include "Hlr/HLRDirectionalRightMostConnector.h"

namespace KvHLR {

HLRStroke* HLRDirectionalRightMostConnector::nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const {
    return keepingOrientation(HLRRightMostConnector::nextStroke(end, from), end, from);
}

} // namespace KvHLR
