#pragma once

#include "Hlr/HLRLeftMostConnector.h"

namespace KvHLR {

// The sharpest left turn, taken only between strokes that run head to tail (outer silhouette
// strokes excepted).
class HLRDirectionalLeftMostConnector : public HLRLeftMostConnector {
public:
    using HLRLeftMostConnector::HLRLeftMostConnector;

    HLRStroke* nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const override;
};

} // namespace KvHLR
