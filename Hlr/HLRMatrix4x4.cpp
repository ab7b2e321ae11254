#include "Hlr/HLRMatrix4x4.h"

#include "Hlr/HLRError.h"

#include <cmath>

namespace KvHLR {

namespace {

// The division guard reports a fixed source and line, whatever the layout of this file.
const char* const kDivisionErrorSource = "Hlr/HLRMatrix4x4";
const int kDivisionErrorLine = 112;
const double kDivisionTolerance = 1e-12;

bool isOddPermutation(const int p[4]) {
    int inversions = 0;
    for (int i = 0; i < 4; ++i) {
        for (int j = i + 1; j < 4; ++j) {
            inversions += p[i] > p[j] ? 1 : 0;
        }
    }
    return inversions % 2 == 1;
}

// Leibniz expansion: the sum of the 24 signed products taking one element from each row and
// column. No pivoting, so the tolerance test sees the plain determinant.
double determinant(const double* e) {
    double det = 0.0;
    for (int a = 0; a < 4; ++a) {
        for (int b = 0; b < 4; ++b) {
            for (int c = 0; c < 4; ++c) {
                if (b == a || c == a || c == b) {
                    continue;
                }
                const int p[4] = {a, b, c, 6 - a - b - c};
                const double product = e[p[0]] * e[4 + p[1]] * e[8 + p[2]] * e[12 + p[3]];
                det += isOddPermutation(p) ? -product : product;
            }
        }
    }
    return det;
}

// Signed cofactor of element (row, col): the determinant of the 3x3 minor without that row
// and column, negated when row + col is odd.
double cofactor(const double* e, int row, int col) {
    int r[3];
    int c[3];
    for (int i = 0, ri = 0, ci = 0; i < 4; ++i) {
        if (i != row) {
            r[ri++] = 4 * i;
        }
        if (i != col) {
            c[ci++] = i;
        }
    }
    const double minor =
        e[r[0] + c[0]] * (e[r[1] + c[1]] * e[r[2] + c[2]] - e[r[1] + c[2]] * e[r[2] + c[1]]) -
        e[r[0] + c[1]] * (e[r[1] + c[0]] * e[r[2] + c[2]] - e[r[1] + c[2]] * e[r[2] + c[0]]) +
        e[r[0] + c[2]] * (e[r[1] + c[0]] * e[r[2] + c[1]] - e[r[1] + c[1]] * e[r[2] + c[0]]);
    return (row + col) % 2 == 0 ? minor : -minor;
}

} // namespace

HLRMatrix4x4::HLRMatrix4x4() : m_elements{} {}

HLRMatrix4x4::HLRMatrix4x4(const double m[4][4]) {
    elements(m);
}

const HLRMatrix4x4& HLRMatrix4x4::operator=(const HLRMatrix4x4& o) {
    for (int k = 0; k < 16; ++k) {
        m_elements[k] = o.m_elements[k];
    }
    return *this;
}

bool HLRMatrix4x4::operator==(const HLRMatrix4x4& o) const {
    for (int k = 0; k < 16; ++k) {
        if (!(m_elements[k] == o.m_elements[k])) {
            return false;
        }
    }
    return true;
}

void HLRMatrix4x4::elements(const double m[4][4]) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            m_elements[4 * i + j] = m[i][j];
        }
    }
}

void HLRMatrix4x4::getElements(double m[4][4]) const {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            m[i][j] = m_elements[4 * i + j];
        }
    }
}

HLRMatrix4x4 HLRMatrix4x4::operator*(const HLRMatrix4x4& b) const {
    HLRMatrix4x4 product;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += m_elements[4 * i + k] * b.m_elements[4 * k + j];
            }
            product.m_elements[4 * i + j] = sum;
        }
    }
    return product;
}

const HLRMatrix4x4& HLRMatrix4x4::operator*=(const HLRMatrix4x4& b) {
    return *this = *this * b;
}

HLRMatrix4x4 HLRMatrix4x4::operator*(double f) const {
    HLRMatrix4x4 scaled(*this);
    return scaled *= f;
}

const HLRMatrix4x4& HLRMatrix4x4::operator*=(double f) {
    for (double& e : m_elements) {
        e *= f;
    }
    return *this;
}

HLRMatrix4x4 HLRMatrix4x4::operator/(double d) const {
    HLRMatrix4x4 divided(*this);
    return divided /= d;
}

const HLRMatrix4x4& HLRMatrix4x4::operator/=(double d) {
    if (std::fabs(d) < kDivisionTolerance) {
        throw HLRError("HLRMatrix4x4::operator/=(): Devided by zero.", kDivisionErrorSource,
                       kDivisionErrorLine);
    }
    for (double& e : m_elements) {
        e /= d;
    }
    return *this;
}

HLRMatrix3x3 HLRMatrix4x4::getRotateMatrix() const {
    HLRMatrix3x3 rotation;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            rotation.element(i, j, element(i, j));
        }
    }
    return rotation;
}

bool HLRMatrix4x4::invert(double tolerance) {
    const double det = determinant(m_elements);
    if (std::fabs(det) < tolerance) {
        return false;
    }
    const double reciprocal = 1.0 / det;
    // The adjugate is the transposed cofactor matrix: element (i, j) of the inverse comes from
    // cofactor (j, i). Everything is read from the original before anything is written.
    double inverse[16];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            inverse[4 * i + j] = cofactor(m_elements, j, i) * reciprocal;
        }
    }
    for (int k = 0; k < 16; ++k) {
        m_elements[k] = inverse[k];
    }
    return true;
}

} // namespace KvHLR
