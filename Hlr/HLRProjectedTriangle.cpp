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

// Twice the signed area of (s0, s1, x): positive when x lies left of the line s0 -> s1.
double signedArea(const HLRVector2D& s0, const HLRVector2D& s1, const HLRVector2D& x) {
    return (s0.x() - x.x()) * (s1.y() - x.y()) - (s0.y() - x.y()) * (s1.x() - x.x());
}

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

// Exact hiding: the part of the edge p -> q (screen parameters lo to hi) that lies inside the closed
// triangle with the given corners, grown by tol on every side, so that neighbouring triangles cover
// their shared sides and corners together. A side through a corner that the edge starts or ends at
// is not grown: there the edge's side of it is known exactly, while a grown side would cover a sliver
// of every edge that leaves the corner close to it. False when the edge misses the triangle, or when
// the triangle is seen edge-on and covers nothing.
bool coveredRange(const HLRVector2D* corner[3], const bool sharedCorner[3], const HLRVector2D& p,
                  const HLRVector2D& q, double tol, double& lo, double& hi) {
    const double doubleArea = signedArea(*corner[0], *corner[1], *corner[2]);
    double sideLength[3];
    for (int i = 0; i < 3; ++i) {
        sideLength[i] = corner[i]->distanceTo(*corner[(i + 1) % 3]);
    }
    const double longestSide = std::max({sideLength[0], sideLength[1], sideLength[2]});
    if (!(std::fabs(doubleArea) > tol * longestSide)) {
        return false;
    }
    // Signed distances are taken positive inside whatever the winding on screen.
    const double inward = doubleArea > 0.0 ? 1.0 : -1.0;
    lo = 0.0;
    hi = 1.0;
    for (int i = 0; i < 3; ++i) {
        const HLRVector2D& s0 = *corner[i];
        const HLRVector2D& s1 = *corner[(i + 1) % 3];
        const double scale = inward / sideLength[i];
        const double grown = sharedCorner[i] || sharedCorner[(i + 1) % 3] ? 0.0 : tol;
        const double dp = signedArea(s0, s1, p) * scale + grown;
        const double dq = signedArea(s0, s1, q) * scale + grown;
        if (dp < 0.0 && dq < 0.0) {
            return false;
        }
        if (dp < 0.0) {
            lo = std::max(lo, dp / (dp - dq));
        } else if (dq < 0.0) {
            hi = std::min(hi, dp / (dp - dq));
        }
    }
    return lo < hi;
}

} // namespace

HLRProjectedTriangle::HLRProjectedTriangle() = default;

HLRProjectedTriangle::~HLRProjectedTriangle() = default;

HLRVector3D HLRProjectedTriangle::normal() const {
    const HLRVector3D& p0 = m_vertices[0]->viewPosition;
    return cross(m_vertices[1]->viewPosition - p0, m_vertices[2]->viewPosition - p0);
}

void HLRProjectedTriangle::setVertices(const HLRProjectedTriangleVertex* v0,
                                       const HLRProjectedTriangleVertex* v1,
                                       const HLRProjectedTriangleVertex* v2) {
    m_vertices[0] = v0;
    m_vertices[1] = v1;
    m_vertices[2] = v2;
    const HLRVector3D& p0 = v0->viewPosition;
    const HLRVector3D normal = this->normal();

    // The direction from the eye to the triangle.
    const HLRVector3D direction = HLRProjectedModel::sm_bOrthoGraphic
                                      ? HLRVector3D(0.0, 0.0, -1.0)
                                      : (p0 + v1->viewPosition + v2->viewPosition) / 3.0;
    const double normalLength = length(normal);
    if (normalLength > 0.0) {
        const double cosine = dot(normal, direction) / (length(direction) * normalLength);
        m_orientation = cosine < -1e-12 ? FRONT_FACING : BACK_FACING;
    }
}

void HLRProjectedTriangle::setBoundingBoxes(HLRBox2D& box2D, HLRBox3D& box3D) {
    HLRBox2D own2D;
    HLRBox3D own3D;
    for (const HLRProjectedTriangleVertex* v : m_vertices) {
        own2D.add(v->screenPosition);
        own3D.add(v->viewPosition);
    }
    boundingBox2D().set(own2D);
    boundingBox3D().set(own3D);
    if (!HLRProjectedModel::sm_bOrthoGraphic &&
        boundingBox3D().overlaps(HLRProjectedModel::sm_nearRegionBox)) {
        m_nearRegion = true;
    }
    box2D.add(own2D);
    box3D.add(own3D);
}

void HLRProjectedTriangle::hide(HLRProjectedTriangleEdge& edge) {
    if (HLRProjectedModel::sm_bExactHiding) {
        hideExactly(edge);
    } else if (HLRProjectedModel::sm_bOrthoGraphic) {
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

bool HLRProjectedTriangle::isCorner(const HLRProjectedTriangleVertex* vertex) const {
    return vertex == m_vertices[0] || vertex == m_vertices[1] || vertex == m_vertices[2];
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
    const double planeConstant = dot(normal, m_vertices[0]->viewPosition);
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

// One test for both projections. Depth is the distance from the triangle's plane, measured away from
// the centre of projection, so an edge that pierces the plane is hidden only beyond the pierce point.
// That distance is linear along the edge in 3D, while the stretch covered on screen is found in
// screen parameters; a perspective camera's w converts between the two.
void HLRProjectedTriangle::hideExactly(HLRProjectedTriangleEdge& edge) const {
    const HLRProjectedTriangleVertex* P = edge.startVertex();
    const HLRProjectedTriangleVertex* Q = edge.endVertex();
    if (m_nearRegion || !edge.boundingBox2D().overlaps(boundingBox2D()) || edge.leftTriangle() == this ||
        edge.rightTriangle() == this || (isCorner(P) && isCorner(Q))) {
        return;
    }
    // The packed depth codes cannot tell points within one cell apart, so depths are compared as they
    // are: an edge whose farthest point is no farther than the triangle's nearest lies in front.
    const double nearestCorner = std::max(
        {m_vertices[0]->viewPosition.z, m_vertices[1]->viewPosition.z, m_vertices[2]->viewPosition.z});
    if (!(std::min(P->viewPosition.z, Q->viewPosition.z) < nearestCorner)) {
        return;
    }
    const HLRVector4D& centre = HLRProjectedModel::sm_projectionCentre;
    const HLRVector3D normal = this->normal();
    const double planeConstant = dot(normal, m_vertices[0]->viewPosition);
    const double centreSide =
        normal.x * centre.x() + normal.y * centre.y() + normal.z * centre.z() - planeConstant * centre.w();
    const double normalLength = length(normal);
    if (!(normalLength > 0.0) || centreSide == 0.0) {
        return; // degenerate, or seen edge-on
    }
    const double behindScale = (centreSide > 0.0 ? -1.0 : 1.0) / normalLength;
    const double behindP = (dot(normal, P->viewPosition) - planeConstant) * behindScale;
    const double behindQ = (dot(normal, Q->viewPosition) - planeConstant) * behindScale;
    // Free-edge polylines are drawn on surfaces; the coarse tolerance keeps them from being hidden
    // by the very faces they lie on.
    const double tolZ =
        edge.type() == HLRProjectedTriangleEdge::FREE_EDGE
            ? std::max(HLRProjectedModel::sm_dCoarseTolerance3D, HLRProjectedModel::sm_dExactTolerance3D)
            : HLRProjectedModel::sm_dExactTolerance3D;
    if (!(behindP > tolZ) && !(behindQ > tolZ)) {
        return;
    }

    const HLRVector2D* corner[3] = {&m_vertices[0]->screenPosition, &m_vertices[1]->screenPosition,
                                    &m_vertices[2]->screenPosition};
    bool sharedCorner[3];
    for (int i = 0; i < 3; ++i) {
        sharedCorner[i] = m_vertices[i] == P || m_vertices[i] == Q;
    }
    double lo = 0.0;
    double hi = 1.0;
    if (!coveredRange(corner, sharedCorner, P->screenPosition, Q->screenPosition,
                      HLRProjectedModel::sm_dExactTolerance2D, lo, hi)) {
        return;
    }

    // Screen parameter t and 3D parameter s along the edge: t = s wQ / ((1 - s) wP + s wQ).
    const auto screenW = [](const HLRVector3D& v) {
        const HLRVector4D& row = HLRProjectedModel::sm_screenWRow;
        return row.x() * v.x + row.y() * v.y + row.z() * v.z + row.w();
    };
    const double wP = screenW(P->viewPosition);
    const double wQ = screenW(Q->viewPosition);
    const bool projective = wP != wQ;
    const auto toSpace = [wP, wQ](double t) { return t * wP / ((1.0 - t) * wQ + t * wP); };
    const auto toScreen = [wP, wQ](double s) { return s * wQ / ((1.0 - s) * wP + s * wQ); };
    double sLo = projective ? toSpace(lo) : lo;
    double sHi = projective ? toSpace(hi) : hi;
    if (!(behindP > tolZ)) {
        sLo = std::max(sLo, (tolZ - behindP) / (behindQ - behindP));
    } else if (!(behindQ > tolZ)) {
        sHi = std::min(sHi, (behindP - tolZ) / (behindP - behindQ));
    }
    if (!(sLo < sHi)) {
        return;
    }
    edge.hideStretch(projective ? toScreen(sLo) : sLo, projective ? toScreen(sHi) : sHi);
}

void HLRProjectedTriangle::hidePerspective(HLRProjectedTriangleEdge& edge) const {
    const HLRProjectedTriangleVertex* P = edge.startVertex();
    const HLRProjectedTriangleVertex* Q = edge.endVertex();
    if (m_nearRegion || !edge.boundingBox2D().overlaps(boundingBox2D()) || (isCorner(P) && isCorner(Q)) ||
        edge.leftTriangle() == this || edge.rightTriangle() == this || !mayLieBehind(edge)) {
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
    const double d = dot(normal, m_vertices[0]->viewPosition);
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
