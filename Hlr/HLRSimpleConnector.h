#pragma once

#include "Hlr/HLRStrokeConnector.h"

namespace KvHLR {

// Takes any continuation: the first eligible stroke in list order.
class HLRSimpleConnector : public HLRStrokeConnector {
public:
    HLRStroke* nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const override;
};

} // namespace KvHLR
