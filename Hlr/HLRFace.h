#pragma once

#include "Hlr/HLRTriangle.h"

#include <cstddef>
#include <vector>

namespace KvHLR {

// A face of a shell: triangles of the shell's store, in creation order.
class HLRFace {
public:
    HLRFace() = default;
    HLRFace(const HLRFace&) = default;
    HLRFace& operator=(const HLRFace&) = default;
    virtual ~HLRFace();

    const std::vector<HLRTriangle*>& triangles() const { return m_triangles; }

    void reserve(std::size_t triangleCount) { m_triangles.reserve(triangleCount); }
    void addTriangle(HLRTriangle* triangle) { m_triangles.push_back(triangle); }

private:
    std::vector<HLRTriangle*> m_triangles;
};

} // namespace KvHLR
