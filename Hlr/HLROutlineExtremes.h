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
        // Each extreme as a greatest value: least x is greatest -x (negation is exact).
        const double keys[4] = {-p.x(), p.x(), -p.y(), p.y()};
        for (int extreme = 0; extreme < 4; ++extreme) {
            if (keys[extreme] > m_greatest[extreme]) {
                m_greatest[extreme] = keys[extreme];
                m_ids[extreme] = id;
            }
        }
    }

    // In the order least x, greatest x, least y, greatest y (HLRPolyAlgo::outlineDirectionAt's order);
    // `none` where nothing was offered.
    Id at(int extreme) const { return m_ids[extreme]; }

private:
    Id m_ids[4];
    double m_greatest[4] = {-1e7, -1e7, -1e7, -1e7};
};

} // namespace KvHLR
