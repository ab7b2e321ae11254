#pragma once

#include "Hlr/HLRRightMostConnector.h"

namespace KvHLR {

// The sharpest right turn, taken only between strokes that run head to tail (outer silhouette
// strokes excepted).
class HLRDirectionalRightMostConnector : public HLRRightMostConnector {
public:
    using HLRRightMostConnector::HLRRightMostConnector;

    HLRStroke* nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const override;
};

} // namespace KvHLR
