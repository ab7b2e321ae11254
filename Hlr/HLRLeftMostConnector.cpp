#include "Hlr/HLRLeftMostConnector.h"

namespace KvHLR {

HLRStroke* HLRLeftMostConnector::nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const {
    return sharpestTurn(end, from, true, m_avoidDeadEnd);
}

} // namespace KvHLR
