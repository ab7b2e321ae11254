#include "Hlr/HLRShortStroke.h"

#include "Hlr/HLRLongStroke.h"
#include "Hlr/HLRPolyAlgo.h"
#include "Hlr/HLRProjectedTriangleEdge.h"

namespace KvHLR {

HLRShortStroke::HLRShortStroke(HLRStrokeEnd* end1, HLRStrokeEnd* end2, int type) : HLRStroke(type) {
    setEnd1(end1);
    setEnd2(end2);
}

HLRVector2D HLRShortStroke::neighbourPointOf(const HLRStrokeEnd* end) const {
    return end == end1() ? end2()->point() : end1()->point();
}

double HLRShortStroke::length() const {
    return end1()->point().distanceTo(end2()->point());
}

bool HLRShortStroke::isForward() const {
    using Edge = HLRProjectedTriangleEdge;
    const int t = type();
    const bool leftFront = t & Edge::LEFT_FACE_FRONT;
    const bool rightFront = t & Edge::RIGHT_FACE_FRONT;
    if (t & Edge::BOUNDARY_EDGE) {
        if (leftFront)
            return false;
        if (rightFront)
            return true;
    }
    // Which way a silhouette runs depends on whether its fold is convex; an inside-out model has
    // its convexity flags the wrong way round.
    const bool flaggedConvex = (t & Edge::CONVEX_TEND_EDGE) != 0;
    const bool convex = HLRPolyAlgo::sm_bConvexityReversed ? !flaggedConvex : flaggedConvex;
    if (leftFront)
        return !convex;
    if (rightFront)
        return convex;
    return false;
}

void HLRShortStroke::replaceLinkFrom_to(HLRStrokeEnd* from, HLRStrokeEnd* to) {
    if (from == end1())
        setEnd1(to);
    else if (from == end2())
        setEnd2(to);
    else
        throw HLRError("HLRShortStroke::replaceLinkFrom_to(): Illegal path.", "Hlr/HLRShortStroke", 152);
}

void HLRShortStroke::addStrokeEnd_onAdvice(const HLRStrokeEnd*, bool) {
    throw HLRError("HLRShortStroke::addStrokeEnd_onAdvice(): Should not be called.", "Hlr/HLRShortStroke",
                   63);
}

void HLRShortStroke::addTo_at_onAdvice(HLRLongStroke& longStroke, const HLRStrokeEnd* end, bool atBack) {
    longStroke.addStrokeEnd_onAdvice(otherEnd(end), atBack);
}

} // namespace KvHLR
