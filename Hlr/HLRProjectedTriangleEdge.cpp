#include "Hlr/HLRProjectedTriangleEdge.h"

#include "Hlr/HLRError.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include <cmath>
#include <limits>

namespace KvHLR {

namespace {

constexpr double kPi = 3.141592653589793;
// Hidden pieces shorter than this (in edge parameters) are below what the hide tests resolve.
constexpr double kParameterTolerance = 1e-4;

const HLRTriangleImage* imageOf(const HLRProjectedTriangle* triangle) {
    return triangle == nullptr ? nullptr : &triangle->image();
}

bool isUsable(const HLRTriangleImage* triangle) {
    return triangle != nullptr && triangle->isUsable();
}

// The cosine of the angle between the normals below which faces meeting at sharpEdgeAngle make a sharp
// edge. Angles within about 2.5 degrees of 180 (or 0) make every edge sharp (or none), coplanar faces
// included, rather than leaving the decision to rounding. Every edge of a model asks with the same angle:
// each thread keeps the last answer rather than taking a cosine per edge.
double sharpThreshold(double sharpEdgeAngle) {
    thread_local double lastAngle = std::numeric_limits<double>::quiet_NaN();
    thread_local double lastThreshold = 0.0;
    if (sharpEdgeAngle == lastAngle) {
        return lastThreshold;
    }
    double threshold = std::cos(kPi - sharpEdgeAngle);
    if (std::fabs(threshold - 1.0) < 0.001) {
        threshold = 1.1;
    } else if (std::fabs(threshold + 1.0) < 0.001) {
        threshold = -1.1;
    }
    lastAngle = sharpEdgeAngle;
    lastThreshold = threshold;
    return threshold;
}

} // namespace

// The triangles come from the projected model, which owns them as modifiable objects; the edge
// hands them out for change.
HLRProjectedTriangleEdge::HLRProjectedTriangleEdge(const HLRProjectedTriangleVertex* startVertex,
                                                   const HLRProjectedTriangleVertex* endVertex,
                                                   const HLRProjectedTriangle* leftTriangle,
                                                   const HLRProjectedTriangle* rightTriangle)
    : m_startVertex(startVertex), m_endVertex(endVertex),
      m_leftTriangle(const_cast<HLRProjectedTriangle*>(leftTriangle)),
      m_rightTriangle(const_cast<HLRProjectedTriangle*>(rightTriangle)), m_type(NO_TYPE), m_allHidden(false) {
}

HLRProjectedTriangleEdge::~HLRProjectedTriangleEdge() = default;

void HLRProjectedTriangleEdge::setType(double sharpEdgeAngle) {
    m_type =
        typeOf(m_startVertex, m_endVertex, imageOf(m_leftTriangle), imageOf(m_rightTriangle), sharpEdgeAngle);
}

int HLRProjectedTriangleEdge::typeOf(const HLRProjectedTriangleVertex* startVertex,
                                     const HLRProjectedTriangleVertex* endVertex,
                                     const HLRTriangleImage* leftTriangle,
                                     const HLRTriangleImage* rightTriangle, double sharpEdgeAngle) {
    if (leftTriangle == nullptr && rightTriangle == nullptr) {
        throw HLRError("HLRProjectedTriangleEdge::setType(): Invalid path", "Hlr/HLRProjectedTriangleEdge",
                       141);
    }
    if (isUsable(leftTriangle) && isUsable(rightTriangle)) {
        return typeBetweenFaces(startVertex, endVertex, *leftTriangle, *rightTriangle, sharpEdgeAngle);
    }
    return boundaryType(leftTriangle, rightTriangle);
}

int HLRProjectedTriangleEdge::boundaryType(const HLRTriangleImage* leftTriangle,
                                           const HLRTriangleImage* rightTriangle) {
    // At most one side has a usable face; the side that shows a front face is flagged.
    if (isUsable(leftTriangle)) {
        return BOUNDARY_EDGE | (leftTriangle->isFront() ? LEFT_FACE_FRONT : RIGHT_FACE_FRONT);
    }
    if (isUsable(rightTriangle)) {
        return BOUNDARY_EDGE | (rightTriangle->isFront() ? RIGHT_FACE_FRONT : LEFT_FACE_FRONT);
    }
    return BOUNDARY_EDGE;
}

int HLRProjectedTriangleEdge::typeBetweenFaces(const HLRProjectedTriangleVertex* startVertex,
                                               const HLRProjectedTriangleVertex* endVertex,
                                               const HLRTriangleImage& leftTriangle,
                                               const HLRTriangleImage& rightTriangle, double sharpEdgeAngle) {
    const HLRVector3D nL = leftTriangle.normal();
    const HLRVector3D nR = rightTriangle.normal();
    const HLRVector3D e = endVertex->viewPosition - startVertex->viewPosition;
    // For outward normals of a counter-clockwise wound surface this triple product is negative on
    // a convex edge; a reversed winding swaps the two kinds, which the algorithm corrects later.
    // Exact hiding takes the sign on unit vectors, so that the units of the model do not decide it.
    const bool concave = HLRProjectedModel::sm_bExactHiding
                             ? dot(cross(nR / length(nR), nL / length(nL)), e / length(e)) > 1e-12
                             : dot(cross(nR, nL), e) > 1e-12;

    const bool sharp = isSharp(nL, nR, sharpEdgeAngle);

    int type = concave ? CONCAVE_TEND_EDGE : CONVEX_TEND_EDGE;
    if (sharp) {
        type |= concave ? CONCAVE_SHARP_EDGE : CONVEX_SHARP_EDGE;
    }
    if (leftTriangle.isFront() != rightTriangle.isFront()) {
        type |= leftTriangle.isFront() ? LEFT_FACE_FRONT : RIGHT_FACE_FRONT;
    }
    return type;
}

bool HLRProjectedTriangleEdge::isSharp(const HLRVector3D& nL, const HLRVector3D& nR, double sharpEdgeAngle) {
    const double cosine = dot(nL, nR) / (length(nL) * length(nR));
    return sharpThreshold(sharpEdgeAngle) > cosine;
}

bool HLRProjectedTriangleEdge::becomesFeatureLine(const HLRTriangleImage* leftTriangle,
                                                  const HLRTriangleImage* rightTriangle,
                                                  double sharpEdgeAngle) {
    // Without a face of known facing on both sides the edge is a boundary, which always draws (and
    // setType refuses an edge without triangles when its record is made).
    if (!isUsable(leftTriangle) || !isUsable(rightTriangle)) {
        return true;
    }
    return leftTriangle->isFront() != rightTriangle->isFront() ||
           isSharp(leftTriangle->normal(), rightTriangle->normal(), sharpEdgeAngle);
}

void HLRProjectedTriangleEdge::hideFromTo(const double& a, const double& b) {
    if (std::fabs(a - b) < kParameterTolerance) {
        return;
    }
    if (a < kParameterTolerance && std::fabs(1.0 - b) < kParameterTolerance) {
        m_allHidden = true;
        return;
    }
    m_hiddenIntervals.addInterval(HLRInterval{a, b, kParameterTolerance, kParameterTolerance});
}

HLRVector2D HLRProjectedTriangleEdge::coordinate2DAt(double t) const {
    return screenPointAt(*m_startVertex, *m_endVertex, t);
}

HLRVector3D HLRProjectedTriangleEdge::coordinate3DAt(double t) const {
    return m_startVertex->viewPosition * (1.0 - t) + m_endVertex->viewPosition * t;
}

HLRBox2D HLRProjectedTriangleEdge::setBoundingBox2D() {
    const HLRBox2D box = screenBoxOf(*m_startVertex, *m_endVertex);
    boundingBox2D().set(box);
    return box;
}

HLRBox3D HLRProjectedTriangleEdge::setBoundingBox3D() {
    const HLRBox3D box = viewBoxOf(*m_startVertex, *m_endVertex);
    boundingBox3D().set(box);
    return box;
}

} // namespace KvHLR
