#pragma once

#include "Hlr/HLRError.h"
#include "Hlr/HLRStrokeLinks.h"
#include "Hlr/HLRValidityObservable.h"
#include "Hlr/HLRVector2D.h"
#include "api/KvHLRExport.h"

#include <boost/container/small_vector.hpp>

#include <algorithm>
#include <limits>

namespace KvHLR {

class HLRLongStroke;
class HLRStrokeEnd;

// A piece of line between two stroke ends, carrying the edge type flags of the edge it came from.
// Strokes and ends point at each other by address: a stroke knows its two ends, an end keeps the
// strokes meeting there in per-kind link lists, and the stroke remembers every list that holds it
// (its memberships) so that a change of validity or its destruction can keep those lists exact.
// A stroke that has been joined into a longer one or found to be a duplicate is made invalid
// rather than deleted; everything that walks the network skips it.
class KVHLR_API HLRStroke : public HLRValidityObservable {
public:
    // A stroke is normally held by the lists of its two ends: room for those two lives inside the
    // stroke, which spares a model's millions of strokes an allocation each.
    using Memberships = boost::container::small_vector<HLRStrokeLinks*, 2>;

    explicit HLRStroke(int type) : m_type(type) {}
    // The copy keeps type, validity and ends but is held by no link list: registration is done by
    // the ends, for the object that ends up in the network.
    HLRStroke(const HLRStroke& other)
        : HLRValidityObservable(other), m_type(other.m_type), m_end1(other.m_end1), m_end2(other.m_end2) {}
    HLRStroke& operator=(const HLRStroke&) = delete;
    // Leaves every link list that holds it, so no end keeps a pointer to a destroyed stroke.
    ~HLRStroke() override;

    // Keeps the validCount of every list holding the stroke in step with the new value.
    void setValid(bool valid) override;

    // The point next to `end` along the stroke.
    virtual HLRVector2D neighbourPointOf(const HLRStrokeEnd* end) const = 0;
    virtual double length() const;
    // Whether the stroke's orientation runs from end1 to end2. Silhouette strokes are oriented by the
    // side their front face lies on, so that strokes joined along an outline all run one way.
    virtual bool isForward() const = 0;
    // Replaces the end pointer `from` by `to`.
    virtual void replaceLinkFrom_to(HLRStrokeEnd* from, HLRStrokeEnd* to) = 0;
    // Adds the point of `end` to this stroke, at the back or at the front.
    virtual void addStrokeEnd_onAdvice(const HLRStrokeEnd* end, bool atBack) = 0;
    // Adds this stroke's points to `longStroke`, the two being joined at `end`.
    virtual void addTo_at_onAdvice(HLRLongStroke& longStroke, const HLRStrokeEnd* end, bool atBack) = 0;

    int type() const { return m_type; }
    void setType(int type) { m_type = type; }
    HLRStrokeEnd* end1() const { return m_end1; }
    HLRStrokeEnd* end2() const { return m_end2; }
    void setEnd1(HLRStrokeEnd* end) { m_end1 = end; }
    void setEnd2(HLRStrokeEnd* end) { m_end2 = end; }
    // One entry per registration: a list that holds the stroke twice appears twice.
    const Memberships& memberships() const { return m_memberships; }

    HLRStrokeEnd* otherEnd(const HLRStrokeEnd* end) const { return end == m_end1 ? m_end2 : m_end1; }
    // For an end that is neither of the two, whether it lies at least as close to end2 as to end1.
    bool isSecondEnd(const HLRStrokeEnd* end) const;
    HLRStrokeEnd* startEnd() const { return isForward() ? m_end1 : m_end2; }
    // The direction of travel arriving at `end` along this stroke.
    HLRVector2D directionInto(const HLRStrokeEnd* end) const;
    // The direction of leaving `end` along this stroke.
    HLRVector2D directionOutOf(const HLRStrokeEnd* end) const;
    // True when nothing but this stroke continues at the end opposite `end` (or the stroke is
    // closed on a single end).
    bool hasDeadEndOpposite(const HLRStrokeEnd* end) const;

protected:
    // Squared distance from `end` to one of this stroke's ends, infinite while that end is unset.
    static double distanceSquaredBetween(const HLRStrokeEnd* end, const HLRStrokeEnd* mine);

private:
    friend class HLRStrokeEnd;

    void join(HLRStrokeLinks* links) { m_memberships.push_back(links); }
    void leave(const HLRStrokeLinks* links) {
        m_memberships.erase(std::remove(m_memberships.begin(), m_memberships.end(), links),
                            m_memberships.end());
    }

    int m_type;
    HLRStrokeEnd* m_end1 = nullptr;
    HLRStrokeEnd* m_end2 = nullptr;
    Memberships m_memberships;
};

} // namespace KvHLR

// The two bases need each other's full definition for their inline bodies.
#include "Hlr/HLRStrokeEnd.h"

namespace KvHLR {

inline HLRStroke::~HLRStroke() {
    for (HLRStrokeLinks* links : m_memberships) {
        const int removed = links->punchHoles(this);
        if (isValid())
            links->changeValidCount(-removed);
    }
}

inline void HLRStroke::setValid(bool valid) {
    if (valid == isValid())
        return;
    HLRValidityObservable::setValid(valid);
    for (HLRStrokeLinks* links : m_memberships)
        links->changeValidCount(valid ? 1 : -1);
}

inline double HLRStroke::length() const {
    throw HLRError("HLRStroke::length(): Child class'es responsibility.", "HLR/HLRStroke", 158);
}

inline double HLRStroke::distanceSquaredBetween(const HLRStrokeEnd* end, const HLRStrokeEnd* mine) {
    if (!mine)
        return std::numeric_limits<double>::infinity();
    return end->point().distanceSquaredTo(mine->point());
}

inline bool HLRStroke::isSecondEnd(const HLRStrokeEnd* end) const {
    if (end == m_end1)
        return false;
    if (end == m_end2)
        return true;
    return distanceSquaredBetween(end, m_end2) <= distanceSquaredBetween(end, m_end1);
}

inline HLRVector2D HLRStroke::directionInto(const HLRStrokeEnd* end) const {
    return end->point() - neighbourPointOf(end);
}

inline HLRVector2D HLRStroke::directionOutOf(const HLRStrokeEnd* end) const {
    return neighbourPointOf(end) - end->point();
}

inline bool HLRStroke::hasDeadEndOpposite(const HLRStrokeEnd* end) const {
    if (m_end1 == m_end2)
        return true;
    const HLRStrokeEnd* far = otherEnd(end);
    int continuing = 0;
    for (const HLRStroke* stroke : far->linkedStrokes(m_type).strokes())
        if (stroke && stroke->isValid())
            ++continuing;
    return continuing < 2;
}

} // namespace KvHLR
