#include "Hlr/HLRRightMostConnector.h"

namespace KvHLR {

HLRStroke* HLRRightMostConnector::nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const {
    return sharpestTurn(end, from, false, m_avoidDeadEnd);
}

} // namespace KvHLR
