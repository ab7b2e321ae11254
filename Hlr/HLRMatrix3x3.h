#pragma once

#include "api/KvHLRExport.h"

namespace KvHLR {

// 3x3 matrix stored row by row; the rotation block of a 4x4 transform.
class KVHLR_API HLRMatrix3x3 {
public:
    constexpr HLRMatrix3x3() : m_elements{0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0} {}

    double element(int i, int j) const { return m_elements[3 * i + j]; }
    void element(int i, int j, double value) { m_elements[3 * i + j] = value; }

private:
    double m_elements[9];
};

} // namespace KvHLR
