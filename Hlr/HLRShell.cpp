#include "Hlr/HLRShell.h"

#include <utility>

namespace KvHLR {

HLRShell::~HLRShell() = default;

std::int32_t HLRShell::freeEdgePointCount() const {
    std::size_t count = 0;
    for (const HLRFreeEdge& edge : m_freeEdges) {
        count += edge.points().size();
    }
    return static_cast<std::int32_t>(count);
}

HLRFace& HLRShell::newFace() {
    return m_faces.emplace_back();
}

HLRFreeEdge& HLRShell::newFreeEdge(std::vector<HLRVector3D> points, bool tangent) {
    return m_freeEdges.emplace_back(std::move(points), tangent);
}

} // namespace KvHLR
