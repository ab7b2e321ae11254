#pragma once

#include "Hlr/HLRMatrix4x4.h"
#include "Hlr/HLRVector4D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

// The camera of one run. Converts homogeneous points between world (WC), view (VC, eye looking
// along -z) and screen coordinates (SC). No conversion divides by w; callers do.
// Every conversion accepts the same object as input and output.
class KVHLR_API HLRProjector {
public:
    HLRProjector();
    HLRProjector(const double mv[4][4], const double proj[4][4], double nearDepth, double farDepth);
    HLRProjector(const HLRProjector&) = default;
    HLRProjector& operator=(const HLRProjector&) = default;
    virtual ~HLRProjector();

    // mv and proj are read column by column (entry [c][r] is row r, column c), so the stored
    // matrices are their transposes. A singular transform keeps a plain copy as its "inverse".
    void set(const double mv[4][4], const double proj[4][4], double nearDepth, double farDepth);

    // Entry-wise comparison within 1e-6; unlike set, mv[i][j] is compared with element (i, j).
    bool isCompatibleWith(const double mv[4][4], const double proj[4][4]) const;

    const HLRMatrix4x4& modelViewMatrix() const { return m_modelViewMatrix; }
    const HLRMatrix4x4& projectMatrix() const { return m_projectMatrix; }
    const HLRMatrix4x4& modelViewMatrixInverse() const { return m_modelViewMatrixInverse; }
    const HLRMatrix4x4& projectMatrixInverse() const { return m_projectMatrixInverse; }
    double nearPlaneDepth() const { return m_nearPlaneDepth; }
    // Kept for hosts that read the camera back; no conversion clips at the far plane.
    double farPlaneDepth() const { return m_farPlaneDepth; }
    bool isOrthoGraphic() const { return m_orthoGraphic; }

    void WC2VC(const HLRVector4D& in, HLRVector4D& out) const { out = m_modelViewMatrix * in; }
    void VC2WC(const HLRVector4D& in, HLRVector4D& out) const { out = m_modelViewMatrixInverse * in; }
    void SC2VC(const HLRVector4D& in, HLRVector4D& out) const { out = m_projectMatrixInverse * in; }
    void SC2WC(const HLRVector4D& in, HLRVector4D& out) const {
        out = m_modelViewMatrixInverse * (m_projectMatrixInverse * in);
    }

    // A point at or behind the near plane (z/w >= -near, the eye's side included) has no
    // screen image and maps to the fixed point (0, 0, 0, 1). A NaN depth fails the test and
    // is projected like any other point.
    void VC2SC(const HLRVector4D& in, HLRVector4D& out) const {
        if (in.z() / in.w() >= -m_nearPlaneDepth) {
            out = HLRVector4D(0.0, 0.0, 0.0, 1.0);
        } else {
            out = m_projectMatrix * in;
        }
    }
    void WC2SC(const HLRVector4D& in, HLRVector4D& out) const {
        HLRVector4D view;
        WC2VC(in, view);
        VC2SC(view, out);
    }

private:
    HLRMatrix4x4 m_modelViewMatrix;
    HLRMatrix4x4 m_projectMatrix;
    HLRMatrix4x4 m_modelViewMatrixInverse;
    HLRMatrix4x4 m_projectMatrixInverse;
    double m_nearPlaneDepth;
    double m_farPlaneDepth;
    bool m_orthoGraphic;
};

} // namespace KvHLR
