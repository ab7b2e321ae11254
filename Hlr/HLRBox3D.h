#pragma once

#include "Hlr/HLRVector3D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// Axis-aligned extent in double precision, gathered point by point; same rules as HLRBox2D.
class KVHLR_API HLRBox3D {
public:
    constexpr HLRBox3D() : m_valid(false) {}
    constexpr HLRBox3D(const HLRVector3D& min, const HLRVector3D& max)
        : m_valid(true), m_min(min), m_max(max) {}
    constexpr HLRBox3D(const HLRBox3D&) = default;

    // Marks the target valid, like HLRBox2D's assignment.
    const HLRBox3D& operator=(const HLRBox3D& o) {
        m_min = o.m_min;
        m_max = o.m_max;
        m_valid = true;
        return *this;
    }

    bool isValid() const { return m_valid; }
    const HLRVector3D& min() const { return m_min; }
    const HLRVector3D& max() const { return m_max; }
    double width() const { return m_max.x - m_min.x; }
    double height() const { return m_max.y - m_min.y; }
    double depth() const { return m_max.z - m_min.z; }

    void add(const HLRVector3D& p) {
        if (!m_valid) {
            m_min = p;
            m_max = p;
            m_valid = true;
            return;
        }
        lower(m_min.x, p.x);
        lower(m_min.y, p.y);
        lower(m_min.z, p.z);
        raise(m_max.x, p.x);
        raise(m_max.y, p.y);
        raise(m_max.z, p.z);
    }

    void add(const HLRBox3D& o) {
        if (o.m_valid) {
            add(o.m_min);
            add(o.m_max);
        }
    }

private:
    static void lower(double& bound, double value) {
        if (value < bound) {
            bound = value;
        }
    }
    static void raise(double& bound, double value) {
        if (value > bound) {
            bound = value;
        }
    }

    bool m_valid;
    HLRVector3D m_min;
    HLRVector3D m_max;
};

} // namespace KvHLR
