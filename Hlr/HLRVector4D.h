#pragma once

#include "api/KvHLRExport.h"

#include <cmath>

namespace KvHLR {

class HLRMatrix4x4;

// Homogeneous point. w takes part in every operation like the other components: nothing
// here divides by it.
class KVHLR_API HLRVector4D {
public:
    constexpr HLRVector4D() : m_x(0.0), m_y(0.0), m_z(0.0), m_w(0.0) {}
    constexpr HLRVector4D(double x, double y, double z, double w) : m_x(x), m_y(y), m_z(z), m_w(w) {}
    explicit HLRVector4D(const double* p) : m_x(p[0]), m_y(p[1]), m_z(p[2]), m_w(p[3]) {}
    constexpr HLRVector4D(const HLRVector4D&) = default;

    const HLRVector4D& operator=(const HLRVector4D& o) {
        m_x = o.m_x;
        m_y = o.m_y;
        m_z = o.m_z;
        m_w = o.m_w;
        return *this;
    }

    const double& x() const { return m_x; }
    const double& y() const { return m_y; }
    const double& z() const { return m_z; }
    const double& w() const { return m_w; }
    void x(double value) { m_x = value; }
    void y(double value) { m_y = value; }
    void z(double value) { m_z = value; }
    void w(double value) { m_w = value; }

    bool operator==(const HLRVector4D& o) const {
        return m_x == o.m_x && m_y == o.m_y && m_z == o.m_z && m_w == o.m_w;
    }

    HLRVector4D operator+(const HLRVector4D& o) const {
        return HLRVector4D(m_x + o.m_x, m_y + o.m_y, m_z + o.m_z, m_w + o.m_w);
    }
    HLRVector4D operator-(const HLRVector4D& o) const {
        return HLRVector4D(m_x - o.m_x, m_y - o.m_y, m_z - o.m_z, m_w - o.m_w);
    }
    HLRVector4D operator*(double f) const { return HLRVector4D(m_x * f, m_y * f, m_z * f, m_w * f); }
    HLRVector4D operator/(double d) const { return HLRVector4D(m_x / d, m_y / d, m_z / d, m_w / d); }

    // Dot product over all four components.
    double operator%(const HLRVector4D& o) const {
        return m_x * o.m_x + m_y * o.m_y + m_z * o.m_z + m_w * o.m_w;
    }

    // M·v: the vector is a column even when written on the left.
    HLRVector4D operator*(const HLRMatrix4x4& m) const;

    const HLRVector4D& operator+=(const HLRVector4D& o) { return *this = *this + o; }
    const HLRVector4D& operator-=(const HLRVector4D& o) { return *this = *this - o; }
    const HLRVector4D& operator*=(double f) { return *this = *this * f; }
    const HLRVector4D& operator/=(double d) { return *this = *this / d; }
    const HLRVector4D& operator*=(const HLRMatrix4x4& m);

    double distanceSquaredTo(const HLRVector4D& o) const {
        const HLRVector4D d = *this - o;
        return d % d;
    }
    double distanceTo(const HLRVector4D& o) const { return std::sqrt(distanceSquaredTo(o)); }
    double length() const { return std::sqrt(*this % *this); }

private:
    double m_x;
    double m_y;
    double m_z;
    double m_w;
};

} // namespace KvHLR
