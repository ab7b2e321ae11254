#include "Hlr/HLRProjector.h"

#include <cmath>

namespace KvHLR {

namespace {

const double kInvertTolerance = 1e-12;
const double kCompatibilityTolerance = 1e-6;

HLRMatrix4x4 transposed(const double m[4][4]) {
    HLRMatrix4x4 result;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            result.element(r, c, m[c][r]);
        }
    }
    return result;
}

bool matchesRowByRow(const HLRMatrix4x4& matrix, const double m[4][4]) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            if (std::fabs(m[i][j] - matrix.element(i, j)) > kCompatibilityTolerance) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

HLRProjector::HLRProjector() : m_nearPlaneDepth(0.0), m_farPlaneDepth(0.0), m_orthoGraphic(false) {}

HLRProjector::HLRProjector(const double mv[4][4], const double proj[4][4], double nearDepth, double farDepth)
    : HLRProjector() {
    set(mv, proj, nearDepth, farDepth);
}

HLRProjector::~HLRProjector() = default;

void HLRProjector::set(const double mv[4][4], const double proj[4][4], double nearDepth, double farDepth) {
    m_modelViewMatrix = transposed(mv);
    m_projectMatrix = transposed(proj);
    // A failed inversion is not an error here: the copy stays in place and only the back
    // conversions, which the pipeline does not need, become meaningless.
    m_modelViewMatrixInverse = m_modelViewMatrix;
    m_modelViewMatrixInverse.invert(kInvertTolerance);
    m_projectMatrixInverse = m_projectMatrix;
    m_projectMatrixInverse.invert(kInvertTolerance);
    // Exact comparison: an orthographic projection has exactly 1 there, a perspective one
    // carries the depth term, so any other value means perspective.
    m_orthoGraphic = m_projectMatrix.element(3, 3) == 1.0;
    m_nearPlaneDepth = nearDepth;
    m_farPlaneDepth = farDepth;
}

bool HLRProjector::isCompatibleWith(const double mv[4][4], const double proj[4][4]) const {
    return matchesRowByRow(m_modelViewMatrix, mv) && matchesRowByRow(m_projectMatrix, proj);
}

} // namespace KvHLR
