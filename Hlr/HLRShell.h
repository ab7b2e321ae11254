#pragma once

#include "Hlr/HLRFace.h"
#include "Hlr/HLRFreeEdge.h"
#include "Hlr/HLRTriangleData.h"
#include "Hlr/HLRVector3D.h"

#include <cstdint>
#include <list>
#include <vector>

namespace KvHLR {

// One connected piece of the model as the caller gave it (a mesh): faces over a store of
// vertices, triangles and edges that several shells may share, plus free polylines.
class HLRShell {
public:
    explicit HLRShell(const HLRTriangleData& triangleData) : m_triangleData(&triangleData) {}
    HLRShell(const HLRShell&) = default;
    HLRShell& operator=(const HLRShell&) = default;
    virtual ~HLRShell();

    const HLRTriangleData* triangleData() const { return m_triangleData; }
    const std::list<HLRFace>& faces() const { return m_faces; }
    const std::list<HLRFreeEdge>& freeEdges() const { return m_freeEdges; }

    // Total number of points over all free edges; the projected shell sizes its buffers by it.
    std::int32_t freeEdgePointCount() const;

    HLRFace& newFace();
    HLRFreeEdge& newFreeEdge(std::vector<HLRVector3D> points, bool tangent = false);

private:
    const HLRTriangleData* m_triangleData;
    std::list<HLRFace> m_faces;
    std::list<HLRFreeEdge> m_freeEdges;
};

} // namespace KvHLR
