#include "Hlr/HLRLongStroke.h"

#include <cstddef>

namespace KvHLR {

HLRVector2D HLRLongStroke::neighbourPointOf(const HLRStrokeEnd* end) const {
    const HLRPointDeque& pts = points();
    // A polyline of fewer than two points has no neighbour; the end's own point gives a zero
    // direction, which every angle test treats as straight on.
    if (pts.size() < 2)
        return end->point();
    const bool atLast = end == end2() || (end != end1() && distanceSquaredBetween(end, end1()) >
                                                               distanceSquaredBetween(end, end2()));
    return atLast ? pts[pts.size() - 2] : pts[1];
}

double HLRLongStroke::length() const {
    const HLRPointDeque& pts = points();
    double sum = 0.0;
    for (std::size_t i = 1; i < pts.size(); ++i)
        sum += pts[i - 1].distanceTo(pts[i]);
    return sum;
}

void HLRLongStroke::replaceLinkFrom_to(HLRStrokeEnd* from, HLRStrokeEnd* to) {
    if (from == end1()) {
        removePoint(false);
        addPoint(to->point(), false);
        setEnd1(to);
    } else if (from == end2()) {
        removePoint(true);
        addPoint(to->point(), true);
        setEnd2(to);
    } else {
        throw HLRError("HLRLongStroke::replaceLinkFrom_to(): Illegal path.", "Hlr/HLRLongStroke", 45);
    }
}

void HLRLongStroke::addStrokeEnd_onAdvice(const HLRStrokeEnd* end, bool atBack) {
    addPoint(end->point(), atBack);
}

void HLRLongStroke::addTo_at_onAdvice(HLRLongStroke& target, const HLRStrokeEnd* end, bool atBack) {
    const bool targetMeetsAtSecond = target.isSecondEnd(end);
    const bool thisMeetsAtSecond = isSecondEnd(end);
    target.setType(target.type() | type());
    const HLRPointDeque& pts = points();
    const std::size_t n = pts.size();
    if (atBack != (targetMeetsAtSecond == thisMeetsAtSecond)) {
        for (std::size_t i = 1; i < n; ++i)
            target.addPoint(pts[i], atBack);
    } else {
        for (std::size_t i = n; i >= 2; --i)
            target.addPoint(pts[i - 2], atBack);
    }
    if (atBack)
        target.setEnd2(otherEnd(end));
    else
        target.setEnd1(otherEnd(end));
}

bool HLRLongStroke::isExtensible() const {
    return isValid() && !m_closed && !hasDeadEndOpposite(end1()) && !hasDeadEndOpposite(end2());
}

} // namespace KvHLR
