#pragma once

#include "Hlr/HLRVector2D.h"

namespace KvHLR {

// The places where the inside-out vote is taken: of the points offered in turn (the ends where the
// visible outline passes), the first of least x, of greatest x, of least y and of greatest y, each with
// what it was offered with (an end, or its number). Points beyond 1e7 are never taken.
template <class Id> class HLROutlineExtremes {
public:
    explicit HLROutlineExtremes(Id none) : m_ids{none, none, none, none} {}

    void offer(const HLRVector2D& p, Id id) {
        if (p.x() < m_lowest.x()) {
            m_lowest.x(p.x());
            m_ids[0] = id;
        }
        if (p.x() > m_highest.x()) {
            m_highest.x(p.x());
            m_ids[1] = id;
        }
        if (p.y() < m_lowest.y()) {
            m_lowest.y(p.y());
            m_ids[2] = id;
        }
        if (p.y() > m_highest.y()) {
            m_highest.y(p.y());
            m_ids[3] = id;
        }
    }

    // In the order least x, greatest x, least y, greatest y (HLRPolyAlgo::outlineDirectionAt's order);
    // `none` where nothing was offered.
    Id at(int extreme) const { return m_ids[extreme]; }

private:
    Id m_ids[4];
    HLRVector2D m_lowest{1e7, 1e7};
    HLRVector2D m_highest{-1e7, -1e7};
};

} // namespace KvHLR
