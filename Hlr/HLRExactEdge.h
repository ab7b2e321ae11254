#pragma once

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRIntervals.h"
#include "Hlr/HLRVector2D.h"

#include <utility>
#include <vector>

namespace KvHLR {

struct HLRProjectedTriangleVertex;
struct HLRTriangleImage;

// One line that exact hiding may draw: an outline, boundary or sharp edge of the model, a free edge or
// an intersection line. Plain data, 64 bytes with no table of virtual functions: exact hiding makes one
// only for an edge that can be drawn, in a flat array per store, and never for a smooth edge.
//
// In: its two projected vertices, the images of the triangles on its two sides (either may be null; an
// intersection line's are the two it lies on, which never hide it) and its type, in the flags of
// HLRProjectedTriangleEdge. Out, after the hide pass: entirely hidden, or a list of hidden parameter
// ranges (t = 0 at the start vertex, 1 at the end vertex).
class HLRExactEdge {
public:
    HLRExactEdge(const HLRProjectedTriangleVertex* startVertex, const HLRProjectedTriangleVertex* endVertex,
                 const HLRTriangleImage* leftTriangle, const HLRTriangleImage* rightTriangle, int type)
        : m_startVertex(startVertex), m_endVertex(endVertex), m_leftTriangle(leftTriangle),
          m_rightTriangle(rightTriangle), m_type(type) {}

    const HLRProjectedTriangleVertex* startVertex() const { return m_startVertex; }
    const HLRProjectedTriangleVertex* endVertex() const { return m_endVertex; }
    // The left triangle runs the edge from start to end.
    const HLRTriangleImage* leftTriangle() const { return m_leftTriangle; }
    const HLRTriangleImage* rightTriangle() const { return m_rightTriangle; }
    int type() const { return m_type; }
    // Sets the type from the two triangles' facings and normals (HLRProjectedTriangleEdge::typeOf).
    void classify(double sharpEdgeAngle);
    // Whether the edge draws at all: smooth and unclassified edges do not.
    bool isFeatureLine() const;

    // An edge left out of the drawing: seen end-on as a dot, or reaching a perspective camera's near region.
    bool isValid() const { return m_valid; }
    void setValid(bool valid) { m_valid = valid; }

    bool isAllHidden() const { return m_allHidden; }
    // Empty once the edge is all hidden: whatever reads them asks isAllHidden first.
    const HLRIntervals& hiddenIntervals() const { return m_hiddenIntervals; }
    // Records a hidden piece: any length counts, so that pieces covered by many small triangles add up;
    // ends within the parameter tolerance of a vertex are taken to the vertex, and once the pieces
    // cover the whole edge it is all hidden and its pieces are freed (on a scene of stacked parts most
    // edges end that way).
    // With occlusion levels (HLRProjectedModel::sm_bOcclusionLevels) an edge hidden all along keeps its
    // cover counts (its pieces freed) until it is covered as often as is counted all along, and further
    // pieces change nothing.
    void hideStretch(double a, double b);
    // Merges the hidden piece [a, b] into `pieces` as hideStretch merges it into the edge's own: true
    // once they cover the whole edge. The hide pass merges likely covers apart from the edge with it.
    static bool addHiddenPiece(HLRIntervals& pieces, double a, double b);
    // Occlusion levels: counts a cover into `counts` as countCover counts it into the edge's own: true once
    // they are counted as often as is counted all along.
    static bool addCountedCover(HLRCoverCounts& counts, double a, double b, int times);
    // Occlusion levels: counts one occluder's cover of [a, b] `times` times, beside the merged pieces
    // (HLRCoverCounts), up to HLRProjectedModel::sm_nCountedLevels.
    void countCover(double a, double b, int times = 1);
    // Occlusion levels, every few thousand occluders read for an edge hidden all along: its cover counts
    // in as little memory as they need, and none kept where it is covered as often as is counted all along.
    void settleCovers();
    // Occlusion levels: the least range of the edge's parameters that holds every stretch not yet covered
    // as often as is counted (HLRCoverCounts::uncounted); a cover outside it changes no level. Empty once
    // the edge is covered that often all along.
    std::pair<double, double> uncounted() const;
    // Occlusion levels: the packed screen box of the points within `reach` of the edge's uncounted range
    // (HLRBoundingBox2D::around).
    HLRBoundingBox2D countWindow(double reach) const;
    // Whether the hide pass is done with the edge: hidden all along and, with occlusion levels, covered
    // as often as is counted all along.
    bool isDone() const;
    // After the hide pass: drops the hidden pieces that stayed shorter than the parameter tolerance;
    // kept, they would only cut the edge into specks.
    void dropHiddenSpecks();

    // With occlusion levels, after the hide pass: the hidden stretch [a, b] cut where its occlusion level
    // changes, each stretch with its level (at least 1), slivers below the parameter tolerance absorbed.
    std::vector<HLRCoverCounts::Stretch> levelsWithin(double a, double b) const;

    HLRVector2D coordinate2DAt(double t) const;

    // The packed screen and view boxes of the two vertices, on the current grids.
    const HLRBoundingBox2D& boundingBox2D() const { return m_box2D; }
    const HLRBoundingBox3D& boundingBox3D() const { return m_box3D; }
    void setBoundingBox2D();
    void setBoundingBox3D();

private:
    void setAllCounted();

    const HLRProjectedTriangleVertex* m_startVertex;
    const HLRProjectedTriangleVertex* m_endVertex;
    const HLRTriangleImage* m_leftTriangle;
    const HLRTriangleImage* m_rightTriangle;
    HLRBoundingBox2D m_box2D;
    HLRBoundingBox3D m_box3D;
    HLRIntervals m_hiddenIntervals;
    int m_type;
    bool m_valid = true;
    bool m_allHidden = false;
    bool m_allCounted = false;
};

} // namespace KvHLR
