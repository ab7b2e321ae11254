#pragma once

#include "Hlr/HLRStroke.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// The straight piece of one edge between two stroke ends: visible or hidden all along.
class KVHLR_API HLRShortStroke : public HLRStroke {
public:
    explicit HLRShortStroke(int type) : HLRStroke(type) {}
    HLRShortStroke(HLRStrokeEnd* end1, HLRStrokeEnd* end2, int type);

    HLRVector2D neighbourPointOf(const HLRStrokeEnd* end) const override;
    double length() const override;
    bool isForward() const override;
    void replaceLinkFrom_to(HLRStrokeEnd* from, HLRStrokeEnd* to) override;
    // A short stroke is always exactly its two ends; it never grows.
    void addStrokeEnd_onAdvice(const HLRStrokeEnd* end, bool atBack) override;
    // Contributes the point of its far end.
    void addTo_at_onAdvice(HLRLongStroke& longStroke, const HLRStrokeEnd* end, bool atBack) override;
};

} // namespace KvHLR
