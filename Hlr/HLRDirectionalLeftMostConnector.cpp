#include "Hlr/HLRDirectionalLeftMostConnector.h"

namespace KvHLR {

HLRStroke* HLRDirectionalLeftMostConnector::nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const {
    return keepingOrientation(HLRLeftMostConnector::nextStroke(end, from), end, from);
}

} // namespace KvHLR
