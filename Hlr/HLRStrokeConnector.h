#pragma once

namespace KvHLR {

class HLRStroke;
class HLRStrokeEnd;

// Chooses how a long stroke continues: the walk has reached `end` along `from` and asks which
// other stroke of the same link list carries the line on. Null stops the walk there.
class HLRStrokeConnector {
public:
    virtual ~HLRStrokeConnector();
    virtual HLRStroke* nextStroke(HLRStrokeEnd& end, const HLRStroke& from) const = 0;

protected:
    // A candidate may continue the walk when it exists, is not the stroke arrived along and has
    // not been joined or discarded yet.
    static bool isEligible(const HLRStroke* candidate, const HLRStroke& from);

    // The eligible stroke turning most to the left (leftMost) or to the right of the arrival
    // direction; ties keep the earlier one in list order. With avoidDeadEnd, a stroke whose far
    // end holds nothing else of its kind is never taken.
    static HLRStroke* sharpestTurn(HLRStrokeEnd& end, const HLRStroke& from, bool leftMost,
                                   bool avoidDeadEnd);

    // Drops a continuation that meets `from` head to head or tail to tail, unless one of the two is
    // part of the outer silhouette, whose orientation carries no meaning.
    static HLRStroke* keepingOrientation(HLRStroke* next, const HLRStrokeEnd& end, const HLRStroke& from);
};

} // namespace KvHLR
