#pragma once

#include "api/KvHLRExport.h"

#include <cmath>

namespace KvHLR {

// 2x2 matrix stored row by row; it acts on column vectors (see HLRVector2D::operator*).
class KVHLR_API HLRMatrix2x2 {
public:
    constexpr HLRMatrix2x2() : m_elements{0.0, 0.0, 0.0, 0.0} {}
    constexpr HLRMatrix2x2(double a00, double a01, double a10, double a11) : m_elements{a00, a01, a10, a11} {}

    // Counter-clockwise rotation by the angle in radians: rows (cos a, -sin a) and (sin a, cos a).
    static HLRMatrix2x2 rotation(double angle) {
        const double c = std::cos(angle);
        const double s = std::sin(angle);
        return HLRMatrix2x2(c, -s, s, c);
    }

    double element(int i, int j) const { return m_elements[2 * i + j]; }
    void element(int i, int j, double value) { m_elements[2 * i + j] = value; }

private:
    double m_elements[4];
};

} // namespace KvHLR
