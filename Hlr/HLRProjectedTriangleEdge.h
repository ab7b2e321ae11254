#pragma once

#include "Hlr/HLRBox2D.h"
#include "Hlr/HLRBox3D.h"
#include "Hlr/HLRHiddenObject.h"
#include "Hlr/HLRIntervals.h"
#include "Hlr/HLRValidityObservable.h"
#include "Hlr/HLRVector2D.h"
#include "Hlr/HLRVector3D.h"
#include "api/KvHLRExport.h"

namespace KvHLR {

class HLRProjectedTriangle;
struct HLRProjectedTriangleVertex;
struct HLRTriangleImage;

// One straight edge between two projected vertices, with the triangles on its two sides, the kind
// of line it draws (a combination of the type flags below) and its hidden state: either entirely
// hidden or a list of hidden parameter ranges (t = 0 at the start vertex, 1 at the end vertex).
class KVHLR_API HLRProjectedTriangleEdge : public HLRValidityObservable, public HLRHiddenObject {
public:
    // Type flags, a bit each. Hosts read these by name.
    static constexpr int NO_TYPE = 0;
    static constexpr int LEFT_FACE_FRONT = 1;
    static constexpr int RIGHT_FACE_FRONT = 2;
    static constexpr int CONVEX_TEND_EDGE = 4;
    static constexpr int CONCAVE_TEND_EDGE = 8;
    static constexpr int BOUNDARY_EDGE = 16;
    static constexpr int CONVEX_SHARP_EDGE = 32;
    static constexpr int CONCAVE_SHARP_EDGE = 64;
    static constexpr int VISIBLE_EDGE = 128;
    static constexpr int OUTER_SILHOUETTE_EDGE = 256;
    static constexpr int FREE_EDGE = 512;
    static constexpr int DIMENSION_LINE = 1024;
    // An intersection line: where two triangles that share no vertex pass through each other. Such an
    // edge is also a FREE_EDGE (a line of its own, not a side shared by triangles), so its strokes are
    // cut, renewed and joined with the free edges; this flag tells the drawing it apart.
    static constexpr int INTERSECTION_EDGE = 2048;
    // A tangent edge: a free edge along which two faces of a body meet smoothly, given by the host.
    static constexpr int TANGENT_EDGE = 4096;

    // Masks selecting line kinds: the flags of each kind. A silhouette is an edge with one face turned
    // to the camera, or a boundary edge.
    static constexpr int VISIBLE_MASK = VISIBLE_EDGE;
    static constexpr int SILHOUETTE_MASK = LEFT_FACE_FRONT | RIGHT_FACE_FRONT | BOUNDARY_EDGE;
    static constexpr int CONVEX_TEND_EDGE_MASK = CONVEX_TEND_EDGE | CONVEX_SHARP_EDGE;
    static constexpr int CONCAVE_TEND_EDGE_MASK = CONCAVE_TEND_EDGE | CONCAVE_SHARP_EDGE;
    static constexpr int SHARP_EDGE_MASK = CONVEX_SHARP_EDGE | CONCAVE_SHARP_EDGE;
    static constexpr int CONVEX_SHARP_EDGE_MASK = CONVEX_SHARP_EDGE;
    static constexpr int CONCAVE_SHARP_EDGE_MASK = CONCAVE_SHARP_EDGE;
    static constexpr int VISIBLE_SILHOUETTE_MASK = VISIBLE_EDGE | SILHOUETTE_MASK;
    static constexpr int VISIBLE_SHARP_EDGE_MASK = VISIBLE_EDGE | SHARP_EDGE_MASK;
    static constexpr int VISIBLE_CONVEX_SHARP_EDGE_MASK = VISIBLE_EDGE | CONVEX_SHARP_EDGE;
    static constexpr int VISIBLE_CONCAVE_SHARP_EDGE_MASK = VISIBLE_EDGE | CONCAVE_SHARP_EDGE;
    static constexpr int VISIBLE_FREE_EDGE_MASK = VISIBLE_EDGE | FREE_EDGE;
    static constexpr int VISIBLE_DIMENSION_LINE_MASK = VISIBLE_EDGE | DIMENSION_LINE;
    static constexpr int OUTER_SILHOUETTE_EDGE_MASK = OUTER_SILHOUETTE_EDGE;
    static constexpr int FREE_EDGE_MASK = FREE_EDGE;
    static constexpr int DIMENSION_LINE_MASK = DIMENSION_LINE;
    // Every line that can be drawn: silhouettes, sharp, free edges and dimension lines.
    static constexpr int ALL_MASK = SILHOUETTE_MASK | SHARP_EDGE_MASK | FREE_EDGE_MASK | DIMENSION_LINE_MASK;

    // Either triangle may be null (a boundary or a free edge). An intersection line's triangles are the
    // two it lies on, which never hide it.
    HLRProjectedTriangleEdge(const HLRProjectedTriangleVertex* startVertex,
                             const HLRProjectedTriangleVertex* endVertex,
                             const HLRProjectedTriangle* leftTriangle,
                             const HLRProjectedTriangle* rightTriangle);
    HLRProjectedTriangleEdge(const HLRProjectedTriangleEdge&) = default;
    HLRProjectedTriangleEdge(HLRProjectedTriangleEdge&&) = default;
    HLRProjectedTriangleEdge& operator=(const HLRProjectedTriangleEdge&) = default;
    HLRProjectedTriangleEdge& operator=(HLRProjectedTriangleEdge&&) = default;
    ~HLRProjectedTriangleEdge() override;

    const HLRProjectedTriangleVertex* startVertex() const { return m_startVertex; }
    const HLRProjectedTriangleVertex* endVertex() const { return m_endVertex; }
    // The left triangle runs the edge from start to end. Open for change through a modifiable edge.
    HLRProjectedTriangle* leftTriangle() { return m_leftTriangle; }
    HLRProjectedTriangle* rightTriangle() { return m_rightTriangle; }
    const HLRProjectedTriangle* leftTriangle() const { return m_leftTriangle; }
    const HLRProjectedTriangle* rightTriangle() const { return m_rightTriangle; }
    int type() const { return m_type; }
    const HLRIntervals& hiddenIntervals() const { return m_hiddenIntervals; }

    // Classifies the edge from the facing and normals of its triangles; faces meeting at an angle
    // below sharpEdgeAngle (radians) make a sharp edge. Throws HLRError for an edge without triangles.
    void setType(double sharpEdgeAngle);
    // The type setType gives an edge from startVertex to endVertex between these triangles (either may
    // be null, not both). Exact hiding's edges (HLRExactEdge) are classified by it too.
    static int typeOf(const HLRProjectedTriangleVertex* startVertex,
                      const HLRProjectedTriangleVertex* endVertex, const HLRTriangleImage* leftTriangle,
                      const HLRTriangleImage* rightTriangle, double sharpEdgeAngle);
    void setTypeAsFreeEdge() { m_type = FREE_EDGE; }
    void setTypeAsDimensionLine() { m_type = DIMENSION_LINE; }
    void setTypeAsIntersectionLine() { m_type = FREE_EDGE | INTERSECTION_EDGE; }
    void setTypeAsTangentEdge() { m_type = FREE_EDGE | TANGENT_EDGE; }
    // Smooth and unclassified edges draw nothing.
    bool isFeatureLine() const { return (m_type & ALL_MASK) != 0; }
    // Whether setType(sharpEdgeAngle) would make an edge between these triangles a feature line, found
    // without the edge and without the convexity that setType also works out: most edges of a large
    // smooth model are smooth, and the question is asked of every one.
    static bool becomesFeatureLine(const HLRTriangleImage* leftTriangle,
                                   const HLRTriangleImage* rightTriangle, double sharpEdgeAngle);

    // The line a stroke of edge type `type` draws: hidden strokes by what they hide, visible ones by
    // their first kind in the order silhouette, convex, concave, free edge, dimension line, so that a
    // visible stroke with silhouette and sharp bits is a silhouette. With `swapConvexity` (a model
    // found inside out) convex and concave trade places. The stroke lists, the ends' link lists and the
    // output kinds are all filed by this one decision.
    enum class LineKind {
        HIDDEN,
        HIDDEN_FREE_EDGE,
        HIDDEN_DIMENSION_LINE,
        SILHOUETTE,
        CONVEX_SHARP,
        CONCAVE_SHARP,
        FREE_EDGE,
        DIMENSION_LINE,
        NONE
    };
    static LineKind lineKindOf(int type, bool swapConvexity) {
        if ((type & VISIBLE_MASK) == 0) {
            if (type & FREE_EDGE_MASK)
                return LineKind::HIDDEN_FREE_EDGE;
            if (type & DIMENSION_LINE_MASK)
                return LineKind::HIDDEN_DIMENSION_LINE;
            return LineKind::HIDDEN;
        }
        if (type & SILHOUETTE_MASK)
            return LineKind::SILHOUETTE;
        if (type & CONVEX_SHARP_EDGE_MASK)
            return swapConvexity ? LineKind::CONCAVE_SHARP : LineKind::CONVEX_SHARP;
        if (type & CONCAVE_SHARP_EDGE_MASK)
            return swapConvexity ? LineKind::CONVEX_SHARP : LineKind::CONCAVE_SHARP;
        if (type & FREE_EDGE_MASK)
            return LineKind::FREE_EDGE;
        if (type & DIMENSION_LINE_MASK)
            return LineKind::DIMENSION_LINE;
        return LineKind::NONE;
    }

    void hideAll() { m_allHidden = true; }
    bool isAllHidden() const { return m_allHidden; }
    // Records that the piece from parameter a to b is hidden; pieces too short to matter are dropped.
    void hideFromTo(const double& a, const double& b);

    HLRVector2D coordinate2DAt(double t) const;
    HLRVector3D coordinate3DAt(double t) const;

    // Box of the screen positions (resp. view positions), packed into the edge's own box.
    HLRBox2D setBoundingBox2D() override;
    HLRBox3D setBoundingBox3D() override;

private:
    // Type of an edge between two faces that both have a known facing.
    static int typeBetweenFaces(const HLRProjectedTriangleVertex* startVertex,
                                const HLRProjectedTriangleVertex* endVertex,
                                const HLRTriangleImage& leftTriangle, const HLRTriangleImage& rightTriangle,
                                double sharpEdgeAngle);
    // Whether two faces with these normals meet at an angle below sharpEdgeAngle.
    static bool isSharp(const HLRVector3D& nL, const HLRVector3D& nR, double sharpEdgeAngle);
    // Type of an edge with a missing or degenerate face on at least one side.
    static int boundaryType(const HLRTriangleImage* leftTriangle, const HLRTriangleImage* rightTriangle);

    const HLRProjectedTriangleVertex* m_startVertex;
    const HLRProjectedTriangleVertex* m_endVertex;
    HLRProjectedTriangle* m_leftTriangle;
    HLRProjectedTriangle* m_rightTriangle;
    int m_type;
    bool m_allHidden;
    HLRIntervals m_hiddenIntervals;
};

} // namespace KvHLR
