#pragma once

#include <cstdint>
#include <list>

#include "Hlr/HLRCompletionObservableHidingObject.h"
#include "Hlr/HLRHidingBucketHolder.h"
#include "Hlr/HLRProjectedFace.h"
#include "Hlr/HLRProjectedFreeEdgeData.h"

namespace KvHLR {

class HLRProjectedTriangleData;
class HLRProjector;
class HLRShell;

// The projected image of one model shell: its faces, its free edges and, when it has many faces, a
// bucket grid over them. Its bucket-holder bounds hold the shell's 2D extent.
class HLRProjectedShell : public HLRHidingBucketHolder, public HLRCompletionObservableHidingObject {
public:
    // A shell with fewer faces than this keeps no grid (the grid would have fewer than 5 x 5 cells).
    static constexpr int MIN_GRID_RESOLUTION = 5;

    HLRProjectedShell(const HLRShell& source, HLRProjectedTriangleData& triangleData,
                      const HLRProjector& projector);
    ~HLRProjectedShell() override;

    // Appends one face per model face and the projected triangles of its triangles to the triangle data.
    void buildFaces();
    // Projects the model shell's free edges; returns the number of edges made.
    std::uint32_t buildFreeEdges();
    // Boxes the faces, which makes the shell's bounds their union, then files every face into an n x n
    // grid over the bounds, n = trunc(sqrt(faces / 5)), when n reaches 5. Runs once the world grids
    // are installed.
    void buildBoundsAndBuckets();

    // Offers the edge to the faces near it: through the grid when there is one.
    void hide(HLRProjectedTriangleEdge& edge) override;
    // Offers the edge to each face in turn, stopping once the edge is entirely hidden.
    void hideByObjects(HLRProjectedTriangleEdge& edge) override;
    void setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) override;

    const HLRShell* source() const { return m_source; }
    HLRProjectedTriangleData* triangleData() const { return m_triangleData; }
    const std::list<HLRProjectedFace>& faces() const { return m_faces; }
    std::list<HLRProjectedFace>& faces() { return m_faces; }
    const HLRProjectedFreeEdgeData& freeEdges() const { return m_freeEdges; }
    HLRProjectedFreeEdgeData& freeEdges() { return m_freeEdges; }
    const HLRProjector* projector() const { return m_projector; }

private:
    const HLRShell* m_source;
    HLRProjectedTriangleData* m_triangleData;
    std::list<HLRProjectedFace> m_faces;
    HLRProjectedFreeEdgeData m_freeEdges;
    const HLRProjector* m_projector;
};

} // namespace KvHLR
