#pragma once

// What the hide pass works on, gathered from a built projected model: every triangle as a hider and
// every valid feature edge as an edge to hide.

#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleData.h"

#include <vector>

namespace KvHLRTest {

inline std::vector<KvHLR::HLRProjectedTriangle*> allTriangles(KvHLR::HLRProjectedModel& projected) {
    std::vector<KvHLR::HLRProjectedTriangle*> triangles;
    for (KvHLR::HLRProjectedTriangleData& data : projected.triangleData())
        for (KvHLR::HLRProjectedTriangle& triangle : data.triangles())
            triangles.push_back(&triangle);
    return triangles;
}

inline std::vector<KvHLR::HLRProjectedTriangleEdge*> featureEdges(KvHLR::HLRProjectedModel& projected) {
    std::vector<KvHLR::HLRProjectedTriangleEdge*> edges;
    for (KvHLR::HLRProjectedTriangleData& data : projected.triangleData())
        for (KvHLR::HLRProjectedTriangleEdge& edge : data.edges())
            if (edge.isValid() && edge.isFeatureLine())
                edges.push_back(&edge);
    return edges;
}

} // namespace KvHLRTest
