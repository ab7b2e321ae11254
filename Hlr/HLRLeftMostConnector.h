#pragma once

#include "Hlr/HLRStrokeConnector.h"

namespace KvHLR {

// Continues with the sharpest left turn.
class HLRLeftMostConnector : public HLRStrokeConnector {
public:
    explicit HLRLeftMostConnector(bool avoidDeadEnd = false) : m_avoidDeadEnd(avoidDeadEnd) {}

    HLRStroke* nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const override;

    bool avoidDeadEnd() const { return m_avoidDeadEnd; }
    void setAvoidDeadEnd(bool avoidDeadEnd) { m_avoidDeadEnd = avoidDeadEnd; }

private:
    bool m_avoidDeadEnd;
};

} // namespace KvHLR
