#include "Hlr/HLRProjectedTriangle.h"

#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include <algorithm>
#include <cmath>

namespace KvHLR {

namespace {

// Lengths, areas and denominators at or below this are treated as zero.
constexpr double kDegenerate = 1e-12;
// Slack on edge and side parameters when looking for crossings.
constexpr double kParameterTolerance = 1e-4;
// Relative slack on perspective depth ratios.
constexpr double kRelativeDepthTolerance = 0.001;
// The borrow out of the depth field when one packed code is subtracted from another.
constexpr std::uint32_t kDepthBorrowBit = 0x200u;

// The triangle's corners in the order that runs counter-clockwise on screen for a front face and
// for a back face alike, so that the inside lies left of every side.
class Outline {
public:
    explicit Outline(const HLRProjectedTriangle& triangle) {
        const bool front = triangle.orientation() == HLRProjectedTriangle::FRONT_FACING;
        for (int i = 0; i < 3; ++i) {
            m_corner[i] = triangle.vertex(front ? i : 2 - i);
        }
        for (int i = 0; i < 3; ++i) {
            m_length[i] = start(i).distanceTo(end(i));
        }
    }

    const HLRVector2D& start(int side) const { return m_corner[side]->screenPosition; }
    const HLRVector2D& end(int side) const { return m_corner[(side + 1) % 3]->screenPosition; }
    double startDepth(int side) const { return m_corner[side]->viewPosition.z; }
    double endDepth(int side) const { return m_corner[(side + 1) % 3]->viewPosition.z; }

    bool hasShortSide() const {
        return m_length[0] < kDegenerate || m_length[1] < kDegenerate || m_length[2] < kDegenerate;
    }

    // Signed distance of x from a side, positive inside.
    double distance(int side, const HLRVector2D& x) const {
        return signedArea(start(side), end(side), x) / m_length[side];
    }

    // Inside or within tol of every side; a negative tol demands a margin. A triangle with a side
    // too short to give a direction cannot tell and counts everything as inside.
    bool contains(const HLRVector2D& x, double tol) const {
        return hasShortSide() || (distance(0, x) >= -tol && distance(1, x) >= -tol && distance(2, x) >= -tol);
    }

    // True when both points lie more than tol outside one side. With `everySide` false, sides of
    // 1e-12 or less are skipped (the perspective test); the orthographic test has turned away
    // triangles with a side shorter than that and tests every side, one of exactly 1e-12 included.
    bool separates(const HLRVector2D& p, const HLRVector2D& q, double tol, bool everySide) const {
        for (int side = 0; side < 3; ++side) {
            if ((everySide || m_length[side] > kDegenerate) && distance(side, p) < -tol &&
                distance(side, q) < -tol) {
                return true;
            }
        }
        return false;
    }

    // True when all three corners lie more than tol on one side of the line through p and q, whose
    // length is pqLength.
    bool liesBesideLine(const HLRVector2D& p, const HLRVector2D& q, double pqLength, double tol) const {
        double d[3];
        for (int i = 0; i < 3; ++i) {
            d[i] = signedArea(p, q, m_corner[i]->screenPosition) / pqLength;
        }
        return (d[0] < -tol && d[1] < -tol && d[2] < -tol) || (d[0] > tol && d[1] > tol && d[2] > tol);
    }

private:
    const HLRProjectedTriangleVertex* m_corner[3];
    double m_length[3];
};

// Where the edge crosses one side: the side parameter u and the depths of the side's ends.
struct Crossing {
    double u = 0.0;
    double z0 = 0.0;
    double z1 = 0.0;
    double depth() const { return (1.0 - u) * z0 + u * z1; }
};

// The first and last crossing of the edge with the triangle's outline, in edge parameters.
// tIn = 1 and tOut = 0 mean none was found.
struct Crossings {
    double tIn = 1.0;
    double tOut = 0.0;
    Crossing entry;
    Crossing exit;
    bool found() const { return !(tIn == 1.0 && tOut == 0.0); }
};

// Which end of the edge lies inside the triangle on screen and which in front of its plane.
struct EndState {
    bool insideP = false;
    bool insideQ = false;
    bool frontP = false;
    bool frontQ = false;
};

bool withinParameterRange(double v) {
    return v > -kParameterTolerance && v < 1.0 + kParameterTolerance;
}

// An edge with exactly one end inside crosses the outline once; that crossing is both entry and exit.
Crossings findCrossings(const Outline& outline, const HLRVector2D& p, const HLRVector2D& q,
                        bool oneEndInside) {
    Crossings found;
    const double ex = q.x() - p.x();
    const double ey = q.y() - p.y();
    for (int side = 0; side < 3; ++side) {
        const double sx = outline.end(side).x() - outline.start(side).x();
        const double sy = outline.end(side).y() - outline.start(side).y();
        const double wx = outline.start(side).x() - p.x();
        const double wy = outline.start(side).y() - p.y();
        const double denom = sx * ey - sy * ex;
        if (std::fabs(denom) <= kDegenerate) {
            continue; // parallel
        }
        const double u = (wy * ex - wx * ey) / denom;
        if (!withinParameterRange(u)) {
            continue;
        }
        const double t = (wy * sx - wx * sy) / denom;
        if (!withinParameterRange(t)) {
            continue;
        }
        const Crossing crossing{u, outline.startDepth(side), outline.endDepth(side)};
        if (oneEndInside && t > kParameterTolerance && t < 1.0 - kParameterTolerance) {
            return Crossings{t, t, crossing, crossing};
        }
        if (t < found.tIn) {
            found.tIn = t;
            found.entry = crossing;
        }
        if (t > found.tOut) {
            found.tOut = t;
            found.exit = crossing;
        }
    }
    return found;
}

// Hides the covered stretch between the crossings unless the edge is in front where it enters
// (seen from its far end) or leaves (seen from its near end). inFront(t, crossing) compares the
// edge's depth at t with the side's depth at the crossing.
template <typename InFront>
void hideCoveredStretch(HLRProjectedTriangleEdge& edge, const Crossings& c, const EndState& ends,
                        InFront inFront) {
    if (!c.found()) {
        return;
    }
    if (ends.insideP) {
        if (ends.insideQ) {
            edge.hideFromTo(c.tIn, c.tOut);
            return;
        }
    } else {
        if (ends.frontQ && inFront(c.tIn, c.entry)) {
            return;
        }
        if (ends.insideQ) {
            edge.hideFromTo(c.tIn, 1.0);
            return;
        }
    }
    // tOut never exceeds the search's upper bound on t, so the exit is always checked.
    if (ends.frontP && inFront(c.tOut, c.exit)) {
        return;
    }
    if (ends.insideP) {
        edge.hideFromTo(0.0, c.tOut);
        return;
    }
    edge.hideFromTo(c.tIn, c.tOut);
}

} // namespace

HLRProjectedTriangle::HLRProjectedTriangle() = default;

HLRProjectedTriangle::~HLRProjectedTriangle() = default;

void HLRProjectedTriangle::setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) {
    const HLRTriangleImage::Extents own = m_image.packBoxes(boundingBox2D(), boundingBox3D());
    box2D.add(own.screen);
    box3D.add(own.view);
}

void HLRProjectedTriangle::hide(HLRProjectedTriangleEdge& edge) {
    if (HLRProjectedModel::sm_bOrthoGraphic) {
        hideOrthographic(edge);
    } else {
        hidePerspective(edge);
    }
}

bool HLRProjectedTriangle::mayLieBehind(const HLRProjectedTriangleEdge& edge) const {
    // The depth field is the lowest one, so the subtraction borrows out of it exactly when the edge's
    // farthest depth cell lies beyond the triangle's nearest one.
    return ((edge.boundingBox3D().minCode() - boundingBox3D().maxCode()) & kDepthBorrowBit) != 0;
}

void HLRProjectedTriangle::hideOrthographic(HLRProjectedTriangleEdge& edge) const {
    if (!edge.boundingBox2D().overlaps(boundingBox2D()) || edge.leftTriangle() == this ||
        edge.rightTriangle() == this || !mayLieBehind(edge)) {
        return;
    }
    const Outline outline(*this);
    if (outline.hasShortSide()) {
        return;
    }
    const HLRProjectedTriangleVertex& P = *edge.startVertex();
    const HLRProjectedTriangleVertex& Q = *edge.endVertex();
    const HLRVector2D& p = P.screenPosition;
    const HLRVector2D& q = Q.screenPosition;
    const double edgeLength = p.distanceTo(q);
    if (outline.separates(p, q, 0.0, true) || edgeLength < kDegenerate ||
        outline.liesBesideLine(p, q, edgeLength, 0.0)) {
        return;
    }
    const HLRVector3D normal = this->normal();
    const double planeConstant = dot(normal, m_image.corners[0]->viewPosition);
    if (std::fabs(normal.z) < kDegenerate) {
        return;
    }
    // Free-edge polylines are drawn on surfaces; the coarse tolerance keeps them from being hidden
    // by the very faces they lie on.
    const double tolZ = edge.type() == HLRProjectedTriangleEdge::FREE_EDGE
                            ? HLRProjectedModel::sm_dCoarseTolerance3D
                            : HLRProjectedModel::sm_dTolerance3D;
    const auto planeDepth = [&normal, planeConstant](const HLRVector3D& x) {
        return (planeConstant - normal.x * x.x - normal.y * x.y) / normal.z;
    };
    EndState ends;
    ends.frontP = planeDepth(P.viewPosition) - tolZ < P.viewPosition.z;
    ends.frontQ = planeDepth(Q.viewPosition) - tolZ < Q.viewPosition.z;
    if (ends.frontP && ends.frontQ) {
        return;
    }
    ends.insideP = outline.contains(p, -kDegenerate);
    ends.insideQ = outline.contains(q, -kDegenerate);
    if (ends.insideP && ends.insideQ) {
        edge.hideAll();
        return;
    }
    const double zP = P.viewPosition.z;
    const double zQ = Q.viewPosition.z;
    hideCoveredStretch(edge, findCrossings(outline, p, q, ends.insideP != ends.insideQ), ends,
                       [zP, zQ, tolZ](double t, const Crossing& c) {
                           return std::fabs((1.0 - t) * zP + t * zQ) < std::fabs(c.depth()) - tolZ;
                       });
}

void HLRProjectedTriangle::hidePerspective(HLRProjectedTriangleEdge& edge) const {
    const HLRProjectedTriangleVertex* P = edge.startVertex();
    const HLRProjectedTriangleVertex* Q = edge.endVertex();
    if (m_image.nearRegion || !edge.boundingBox2D().overlaps(boundingBox2D()) ||
        (isCorner(P) && isCorner(Q)) || edge.leftTriangle() == this || edge.rightTriangle() == this ||
        !mayLieBehind(edge)) {
        return;
    }
    const double tol = HLRProjectedModel::sm_dTolerance2D;
    const Outline outline(*this);
    const HLRVector2D& p = P->screenPosition;
    const HLRVector2D& q = Q->screenPosition;
    const double edgeLength = p.distanceTo(q);
    if (outline.separates(p, q, tol, false) ||
        (edgeLength > kDegenerate && outline.liesBesideLine(p, q, edgeLength, tol))) {
        return;
    }
    // Along the ray from the eye through X, (n . X) / d is X's distance relative to the plane's.
    const HLRVector3D normal = this->normal();
    const double d = dot(normal, m_image.corners[0]->viewPosition);
    const double nP = dot(normal, P->viewPosition);
    const double nQ = dot(normal, Q->viewPosition);
    EndState ends;
    if (std::fabs(d) > kDegenerate) {
        ends.frontP = nP / d < 1.0 + kRelativeDepthTolerance;
        ends.frontQ = nQ / d < 1.0 + kRelativeDepthTolerance;
        if (ends.frontP && ends.frontQ) {
            return;
        }
    }
    ends.insideP = outline.contains(p, tol);
    ends.insideQ = outline.contains(q, tol);
    if (ends.insideP && ends.insideQ && std::fabs(nP) > kDegenerate && std::fabs(nQ) > kDegenerate &&
        d / nP < 1.0 + kRelativeDepthTolerance && d / nQ < 1.0 + kRelativeDepthTolerance) {
        edge.hideAll();
        return;
    }
    const double zP = P->viewPosition.z;
    const double zQ = Q->viewPosition.z;
    hideCoveredStretch(edge, findCrossings(outline, p, q, ends.insideP != ends.insideQ), ends,
                       [zP, zQ](double t, const Crossing& c) {
                           const double zE = (1.0 - t) * zP + t * zQ;
                           const double zT = c.depth();
                           const double limit = (1.0 - kRelativeDepthTolerance) * zT;
                           return (zT > 0.0 && zE < limit) || (zT < 0.0 && zE > limit);
                       });
}

} // namespace KvHLR
