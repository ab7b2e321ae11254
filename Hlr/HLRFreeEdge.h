#pragma once

#include "Hlr/HLRVector3D.h"

#include <utility>
#include <vector>

namespace KvHLR {

// A polyline of a shell that belongs to no triangle; drawn as it is, hidden by the triangles. A tangent
// edge (where two faces of a body meet smoothly) is one, drawn as a line kind of its own.
class HLRFreeEdge {
public:
    explicit HLRFreeEdge(std::vector<HLRVector3D> points, bool tangent = false)
        : m_points(std::move(points)), m_tangent(tangent) {}
    HLRFreeEdge(const HLRFreeEdge&) = default;
    HLRFreeEdge& operator=(const HLRFreeEdge&) = default;
    virtual ~HLRFreeEdge();

    const std::vector<HLRVector3D>& points() const { return m_points; }
    bool isTangentEdge() const { return m_tangent; }

private:
    std::vector<HLRVector3D> m_points;
    bool m_tangent;
};

} // namespace KvHLR
