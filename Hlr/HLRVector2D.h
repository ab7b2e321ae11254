#pragma once

#include "Hlr/HLRMatrix2x2.h"
#include "api/KvHLRExport.h"

#include <cmath>

namespace KvHLR {

// Screen position or direction. Every operation is inline: the stroke machinery runs them
// for every point of every stroke.
class KVHLR_API HLRVector2D {
public:
    constexpr HLRVector2D() : m_x(0.0), m_y(0.0) {}
    constexpr HLRVector2D(double x, double y) : m_x(x), m_y(y) {}
    explicit HLRVector2D(const double* p) : m_x(p[0]), m_y(p[1]) {}
    constexpr HLRVector2D(const HLRVector2D&) = default;

    const HLRVector2D& operator=(const HLRVector2D& o) {
        m_x = o.m_x;
        m_y = o.m_y;
        return *this;
    }

    const double& x() const { return m_x; }
    const double& y() const { return m_y; }
    void x(double value) { m_x = value; }
    void y(double value) { m_y = value; }

    bool operator==(const HLRVector2D& o) const { return m_x == o.m_x && m_y == o.m_y; }

    HLRVector2D operator+(const HLRVector2D& o) const { return HLRVector2D(m_x + o.m_x, m_y + o.m_y); }
    HLRVector2D operator-(const HLRVector2D& o) const { return HLRVector2D(m_x - o.m_x, m_y - o.m_y); }
    HLRVector2D operator*(double f) const { return HLRVector2D(m_x * f, m_y * f); }
    HLRVector2D operator/(double d) const { return HLRVector2D(m_x / d, m_y / d); }

    // Dot product.
    double operator%(const HLRVector2D& o) const { return m_x * o.m_x + m_y * o.m_y; }

    // M·v whichever side the matrix is written on: vectors are columns.
    HLRVector2D operator*(const HLRMatrix2x2& m) const {
        return HLRVector2D(m.element(0, 0) * m_x + m.element(0, 1) * m_y,
                           m.element(1, 0) * m_x + m.element(1, 1) * m_y);
    }

    const HLRVector2D& operator+=(const HLRVector2D& o) { return *this = *this + o; }
    const HLRVector2D& operator-=(const HLRVector2D& o) { return *this = *this - o; }
    const HLRVector2D& operator*=(double f) { return *this = *this * f; }
    const HLRVector2D& operator/=(double d) { return *this = *this / d; }
    const HLRVector2D& operator*=(const HLRMatrix2x2& m) { return *this = *this * m; }

    double distanceSquaredTo(const HLRVector2D& o) const {
        const double dx = m_x - o.m_x;
        const double dy = m_y - o.m_y;
        return dx * dx + dy * dy;
    }
    double distanceTo(const HLRVector2D& o) const { return std::sqrt(distanceSquaredTo(o)); }
    double length() const { return std::sqrt(m_x * m_x + m_y * m_y); }

    // Unguarded: a zero vector turns into NaNs, which callers can test for more cheaply than a flag.
    const HLRVector2D& normalize() { return *this /= length(); }

private:
    double m_x;
    double m_y;
};

// Twice the signed area of the triangle (s0, s1, x): positive when x lies left of the line s0 -> s1.
inline double signedArea(const HLRVector2D& s0, const HLRVector2D& s1, const HLRVector2D& x) {
    return (s0.x() - x.x()) * (s1.y() - x.y()) - (s0.y() - x.y()) * (s1.x() - x.x());
}

} // namespace KvHLR
