#include "Hlr/HLRStrokeConnector.h"

#include "Hlr/HLRMatrix2x2.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRStroke.h"
#include "Hlr/HLRStrokeEnd.h"
#include "Hlr/HLRVector2D.h"

#include <cmath>

namespace KvHLR {

namespace {
// Just outside the range of atan2, so that the first candidate compared is always kept.
constexpr double TURN_BOUND = 1.001 * 3.141592653589793;
} // namespace

HLRStrokeConnector::~HLRStrokeConnector() = default;

bool HLRStrokeConnector::isEligible(const HLRStroke* candidate, const HLRStroke& from) {
    return candidate && candidate != &from && candidate->isValid();
}

HLRStroke* HLRStrokeConnector::sharpestTurn(HLRStrokeEnd& end, const HLRStroke& from, bool leftMost,
                                            bool avoidDeadEnd) {
    if (end.terminal())
        return nullptr;
    const HLRVector2D arrival = from.directionInto(&end);
    // Turns the arrival direction onto the positive x axis, so that atan2 of a leaving direction
    // is the turn angle: 0 straight on, positive to the left.
    const HLRMatrix2x2 toArrival = HLRMatrix2x2::rotation(-std::atan2(arrival.y(), arrival.x()));
    double best = leftMost ? -TURN_BOUND : TURN_BOUND;
    HLRStroke* chosen = nullptr;
    for (HLRStroke* candidate : end.linkedStrokes(from.type()).strokes()) {
        if (!isEligible(candidate, from) || (avoidDeadEnd && candidate->hasDeadEndOpposite(&end)))
            continue;
        HLRVector2D leaving = candidate->directionOutOf(&end);
        leaving *= toArrival;
        const double turn = std::atan2(leaving.y(), leaving.x());
        if (leftMost ? turn > best : turn < best) {
            best = turn;
            chosen = candidate;
        }
    }
    return chosen;
}

HLRStroke* HLRStrokeConnector::keepingOrientation(HLRStroke* next, const HLRStrokeEnd& end,
                                                  const HLRStroke& from) {
    const int outer = HLRProjectedTriangleEdge::OUTER_SILHOUETTE_EDGE;
    if (!next || (from.type() & outer) || (next->type() & outer))
        return next;
    return next->isSecondEnd(&end) == from.isSecondEnd(&end) ? nullptr : next;
}

} // namespace KvHLR
