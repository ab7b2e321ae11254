#pragma once

#include "Hlr/HLRVector2D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// Axis-aligned extent in double precision, gathered point by point.
class KVHLR_API HLRBox2D {
public:
    // An empty box: the first point added becomes both corners.
    constexpr HLRBox2D() : m_valid(false) {}
    // The corners are taken as given, not reordered.
    constexpr HLRBox2D(const HLRVector2D& min, const HLRVector2D& max)
        : m_valid(true), m_min(min), m_max(max) {}
    constexpr HLRBox2D(const HLRBox2D&) = default;

    // Assignment always yields a valid box: the grids laid over an assigned box (the world box,
    // the bucket bounds) need a definite rectangle even when the source gathered no point.
    // To start over, construct a fresh box instead of assigning an empty one.
    const HLRBox2D& operator=(const HLRBox2D& o) {
        m_min = o.m_min;
        m_max = o.m_max;
        m_valid = true;
        return *this;
    }

    bool isValid() const { return m_valid; }
    const HLRVector2D& min() const { return m_min; }
    const HLRVector2D& max() const { return m_max; }
    double width() const { return m_max.x() - m_min.x(); }
    double height() const { return m_max.y() - m_min.y(); }

    void add(const HLRVector2D& p) {
        if (!m_valid) {
            m_min = p;
            m_max = p;
            m_valid = true;
            return;
        }
        if (p.x() < m_min.x()) {
            m_min.x(p.x());
        }
        if (p.y() < m_min.y()) {
            m_min.y(p.y());
        }
        if (p.x() > m_max.x()) {
            m_max.x(p.x());
        }
        if (p.y() > m_max.y()) {
            m_max.y(p.y());
        }
    }

    void add(const HLRBox2D& o) {
        if (o.m_valid) {
            add(o.m_min);
            add(o.m_max);
        }
    }

private:
    bool m_valid;
    HLRVector2D m_min;
    HLRVector2D m_max;
};

} // namespace KvHLR
