#pragma once

#include "Hlr/HLRStrokeConnector.h"

namespace KvHLR {

// Continues with the sharpest right turn.
class HLRRightMostConnector : public HLRStrokeConnector {
public:
    explicit HLRRightMostConnector(bool avoidDeadEnd = false) : m_avoidDeadEnd(avoidDeadEnd) {}

    HLRStroke* nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const override;

    bool avoidDeadEnd() const { return m_avoidDeadEnd; }
    void setAvoidDeadEnd(bool avoidDeadEnd) { m_avoidDeadEnd = avoidDeadEnd; }

private:
    bool m_avoidDeadEnd;
};

} // namespace KvHLR
