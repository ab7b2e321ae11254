#pragma once

#include "Hlr/HLRPolyline2D.h"
#include "Hlr/HLRStroke.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// A polyline made by joining strokes end to end. Its first point lies at end1 and its last at end2
// once both are set; a closed long stroke has one end for both.
class KVHLR_API HLRLongStroke : public HLRStroke, public HLRPolyline2D {
public:
    explicit HLRLongStroke(int type) : HLRStroke(type) {}
    HLRLongStroke(const HLRLongStroke& other) = default;

    HLRVector2D neighbourPointOf(const HLRStrokeEnd* end) const override;
    double length() const override;
    // A long stroke runs the way it was grown.
    bool isForward() const override { return true; }
    // Moves the end: the point at that end is replaced by the new end's point.
    void replaceLinkFrom_to(HLRStrokeEnd* from, HLRStrokeEnd* to) override;
    // Adds the end's point; the end pointers are left alone.
    void addStrokeEnd_onAdvice(const HLRStrokeEnd* end, bool atBack) override;
    // Appends (atBack) or prepends this stroke's points to `target`, oriented so that the two
    // polylines meet at `end`, whose point is not repeated. Target takes this stroke's type flags
    // and this stroke's far end as its new end on that side.
    void addTo_at_onAdvice(HLRLongStroke& target, const HLRStrokeEnd* end, bool atBack) override;

    bool closed() const { return m_closed; }
    void setClosed(bool closed) { m_closed = closed; }
    // Whether the stroke may still be extended at its ends: valid, open, and something else
    // continues at each end.
    bool isExtensible() const;

private:
    bool m_closed = false;
};

} // namespace KvHLR
