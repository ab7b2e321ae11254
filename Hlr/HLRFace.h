#pragma once

#include "Hlr/HLRTriangle.h"
#include "Hlr/HLRTriangleRun.h"

namespace KvHLR {

// A face of a shell: triangles of the shell's store, in creation order.
class HLRFace {
public:
    HLRFace() = default;
    HLRFace(const HLRFace&) = default;
    HLRFace& operator=(const HLRFace&) = default;
    virtual ~HLRFace();

    const HLRTriangleRun<HLRTriangle>& triangles() const { return m_triangles; }

    // The triangle must follow the face's last one in the store (HLRTriangleRun).
    void addTriangle(HLRTriangle* triangle) { m_triangles.append(triangle); }

private:
    HLRTriangleRun<HLRTriangle> m_triangles;
};

} // namespace KvHLR
