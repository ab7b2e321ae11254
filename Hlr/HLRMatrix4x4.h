#pragma once

#include "Hlr/HLRMatrix3x3.h"
#include "Hlr/HLRVector4D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// 4x4 matrix stored row by row (element (i, j) at 4i + j), acting on column vectors.
// Carries the model-view and projection transforms of the camera.
class KVHLR_API HLRMatrix4x4 {
public:
    HLRMatrix4x4();
    explicit HLRMatrix4x4(const double m[4][4]);
    HLRMatrix4x4(const HLRMatrix4x4&) = default;

    const HLRMatrix4x4& operator=(const HLRMatrix4x4& o);

    bool operator==(const HLRMatrix4x4& o) const;
    bool operator!=(const HLRMatrix4x4& o) const { return !(*this == o); }

    double element(int i, int j) const { return m_elements[4 * i + j]; }
    void element(int i, int j, double value) { m_elements[4 * i + j] = value; }
    void elements(const double m[4][4]);
    void getElements(double m[4][4]) const;

    HLRMatrix4x4 operator*(const HLRMatrix4x4& b) const;
    const HLRMatrix4x4& operator*=(const HLRMatrix4x4& b);
    HLRMatrix4x4 operator*(double f) const;
    const HLRMatrix4x4& operator*=(double f);
    // Both throw HLRError for a divisor below 1e-12 in magnitude and leave the matrix as it was.
    HLRMatrix4x4 operator/(double d) const;
    const HLRMatrix4x4& operator/=(double d);

    // M·v; inline because every vertex of a run goes through it twice.
    HLRVector4D operator*(const HLRVector4D& v) const {
        const double* r = m_elements;
        return HLRVector4D(r[0] * v.x() + r[1] * v.y() + r[2] * v.z() + r[3] * v.w(),
                           r[4] * v.x() + r[5] * v.y() + r[6] * v.z() + r[7] * v.w(),
                           r[8] * v.x() + r[9] * v.y() + r[10] * v.z() + r[11] * v.w(),
                           r[12] * v.x() + r[13] * v.y() + r[14] * v.z() + r[15] * v.w());
    }

    // The upper-left 3x3 block, i.e. the transform without its translation column.
    HLRMatrix3x3 getRotateMatrix() const;

    // Inverts in place by cofactors. Returns false, leaving the matrix untouched, when the
    // absolute determinant is below the tolerance; a determinant equal to it still inverts.
    bool invert(double tolerance);

private:
    double m_elements[16];
};

} // namespace KvHLR
