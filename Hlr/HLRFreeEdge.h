#pragma once

#include "Hlr/HLRVector3D.h"

#include <utility>
#include <vector>

namespace KvHLR {

// A polyline of a shell that belongs to no triangle; drawn as it is, hidden by the triangles.
class HLRFreeEdge {
public:
    explicit HLRFreeEdge(std::vector<HLRVector3D> points) : m_points(std::move(points)) {}
    HLRFreeEdge(const HLRFreeEdge&) = default;
    HLRFreeEdge& operator=(const HLRFreeEdge&) = default;
    virtual ~HLRFreeEdge();

    const std::vector<HLRVector3D>& points() const { return m_points; }

private:
    std::vector<HLRVector3D> m_points;
};

} // namespace KvHLR
