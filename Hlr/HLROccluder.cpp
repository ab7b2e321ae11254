#include "Hlr/HLROccluder.h"

#include "Hlr/HLRExactEdge.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRViewTurn.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

namespace KvHLR {

namespace {

// The 2D cross product a x b.
double cross(const HLRVector2D& a, const HLRVector2D& b) {
    return a.x() * b.y() - a.y() * b.x();
}

// For an edge that lies along the side s0 -> s1 on screen, to within the tolerance: the rate at which
// signedArea(s0, s1, x) changes at its end x as the turn begins, or 0 where the turn cannot tell.
double turnedAreaRate(const HLRViewTurn& turn, const HLRProjectedTriangleVertex& s0,
                      const HLRProjectedTriangleVertex& s1, const HLRProjectedTriangleVertex& x) {
    const HLRVector2D side = s1.screenPosition - s0.screenPosition;
    const HLRVector2D offset = x.screenPosition - s0.screenPosition;
    const HLRVector2D shift0 = turn.screenShiftOf(s0.viewPosition);
    const HLRVector2D sideShift = turn.screenShiftOf(s1.viewPosition) - shift0;
    const HLRVector2D offsetShift = turn.screenShiftOf(x.viewPosition) - shift0;
    const double rate = cross(sideShift, offset) + cross(side, offsetShift);
    const double magnitude = sideShift.length() * offset.length() + side.length() * offsetShift.length();
    return std::fabs(rate) > 1e-9 * magnitude ? rate : 0.0;
}

// Whether the triangle's third corner lies to the left of its side s0 - s1 run from the end of least
// screen x (then y) to the other: of two triangles on either side of a side, exactly one owns it.
bool ownsSide(const HLRVector2D& s0, const HLRVector2D& s1, const HLRVector2D& third) {
    const bool forward = s0.x() < s1.x() || (s0.x() == s1.x() && s0.y() < s1.y());
    const double area = forward ? signedArea(s0, s1, third) : signedArea(s1, s0, third);
    return area > 0.0;
}

// A range of an edge's screen parameters [lo, hi] as the hide test cuts it down, side by side; closed
// once the cut leaves nothing of it.
struct Cut {
    double lo;
    double hi;
    bool covers = true;

    bool isOpen() const { return covers && lo < hi; }
    // Keeps the part where a side's signed distance, dp at the edge's start and dq at its end, is not
    // negative.
    void to(double dp, double dq) {
        if (dp < 0.0 && dq < 0.0) {
            covers = false;
        } else if (dp < 0.0) {
            lo = std::max(lo, dp / (dp - dq));
        } else if (dq < 0.0) {
            hi = std::min(hi, dp / (dp - dq));
        }
    }
};

// Exact hiding: cuts `hidden` to the part of it that lies inside the closed triangle of this image, grown
// by tol on every side, so that neighbouring triangles cover their shared sides and corners together. A
// side through a corner that the edge starts or ends at is not grown: there the edge's side of it is
// known exactly, while a grown side would cover a sliver of every edge that leaves the corner close to
// it. An edge that lies along a side is put on the side of it where HLRViewTurn moves it, if one of its
// faces is seen edge-on. Closed when the edge misses the triangle, or when the triangle is seen edge-on
// and covers nothing.
//
// `counted` (for occlusion levels) is cut the same way but with no side grown, and an edge lying along
// a side within tol is covered only by the triangle that owns the side (ownsSide), so that a surface's
// neighbouring triangles count once where the edge runs behind their shared side.
//
// Either may be null; both are cut in one pass over the sides, which are no longer read once the range
// that decides is closed: `hidden` where it is given, else `counted`.
__attribute__((always_inline)) inline void cutToCover(const HLRTriangleImage& image, const HLRExactEdge& edge,
                                                      double tol, Cut* hidden, Cut* counted) {
    const HLRProjectedTriangleVertex& P = *edge.startVertex();
    const HLRProjectedTriangleVertex& Q = *edge.endVertex();
    const HLRVector2D* corner[3] = {&image.corners[0]->screenPosition, &image.corners[1]->screenPosition,
                                    &image.corners[2]->screenPosition};
    const double doubleArea = signedArea(*corner[0], *corner[1], *corner[2]);
    Cut& decides = hidden ? *hidden : *counted;
    // Signed distances are taken positive inside whatever the winding on screen.
    const double inward = doubleArea > 0.0 ? 1.0 : -1.0;
    // Most triangles that get here miss the edge, mostly with both its ends beyond one side's line by
    // more than the tolerance: that side closes the cut whatever else the loop below finds. The areas
    // against each side tell it before any side's length is taken, measured by a length no shorter
    // (|dx| + |dy|), so that a side found to close it here closes it there too.
    double areaP[3], areaQ[3];
    for (int i = 0; i < 3; ++i) {
        const HLRVector2D& s0 = *corner[i];
        const HLRVector2D& s1 = *corner[(i + 1) % 3];
        areaP[i] = signedArea(s0, s1, P.screenPosition);
        areaQ[i] = signedArea(s0, s1, Q.screenPosition);
        const double outside =
            -(1.0 + 1e-9) * tol * (std::fabs(s1.x() - s0.x()) + std::fabs(s1.y() - s0.y()));
        if (areaP[i] * inward < outside && areaQ[i] * inward < outside) {
            decides.covers = false;
            return;
        }
    }
    double sideLength[3];
    for (int i = 0; i < 3; ++i) {
        sideLength[i] = corner[i]->distanceTo(*corner[(i + 1) % 3]);
    }
    const double longestSide = std::max({sideLength[0], sideLength[1], sideLength[2]});
    if (!(std::fabs(doubleArea) > tol * longestSide)) {
        decides.covers = false;
        return;
    }
    for (int i = 0; i < 3 && decides.isOpen(); ++i) {
        const HLRProjectedTriangleVertex& s0 = *image.corners[i];
        const HLRProjectedTriangleVertex& s1 = *image.corners[(i + 1) % 3];
        const double scale = inward / sideLength[i];
        const double dp = areaP[i] * scale;
        const double dq = areaQ[i] * scale;
        const bool along = std::fabs(dp) <= tol && std::fabs(dq) <= tol;
        const std::optional<HLRViewTurn> turn =
            along ? HLRViewTurn::awayFromEdgeOnFaceOf(edge) : std::nullopt;
        const double rateP = turn ? turnedAreaRate(*turn, s0, s1, P) * scale : 0.0;
        const double rateQ = turn ? turnedAreaRate(*turn, s0, s1, Q) * scale : 0.0;
        const bool turned = rateP != 0.0 || rateQ != 0.0;
        if (hidden && hidden->isOpen()) {
            const bool throughEnd = &s0 == &P || &s0 == &Q || &s1 == &P || &s1 == &Q;
            const double grown = turned || throughEnd ? 0.0 : tol;
            hidden->to(turned ? rateP : dp + grown, turned ? rateQ : dq + grown);
        }
        if (counted && counted->isOpen()) {
            if (turned)
                counted->to(rateP, rateQ);
            else if (!along)
                counted->to(dp, dq);
            else if (!ownsSide(s0.screenPosition, s1.screenPosition,
                               image.corners[(i + 2) % 3]->screenPosition))
                counted->covers = false;
        }
    }
}

} // namespace

// Every point that the counted test covers lies within the tolerance of each side's line or inside it
// (a side it skips, for an edge along it or turned off it, is one the edge keeps within the tolerance
// of), so inside the triangle grown by the tolerance on every side. That triangle's corner at an angle a
// lies tol / sin(a / 2) from the triangle's corner, and sin(a / 2) is half the distance between the unit
// vectors along the corner's sides. The bound is kept at half of kCountReach to leave room for rounding.
bool HLROccluder::countReachBounded() const {
    bool bounded = true;
    for (int i = 0; i < 3; ++i) {
        const HLRVector2D& corner = image.corners[i]->screenPosition;
        const HLRVector2D next = image.corners[(i + 1) % 3]->screenPosition - corner;
        const HLRVector2D previous = image.corners[(i + 2) % 3]->screenPosition - corner;
        const HLRVector2D apart = next / next.length() - previous / previous.length();
        bounded = bounded && apart.length() >= 4.0 / kCountReach; // false for a side of no length too
    }
    return bounded;
}

// Free-edge polylines are drawn on surfaces; the coarse tolerance keeps them from being hidden by the very
// faces they lie on.
double HLROccluder::depthTolerance(const HLRExactEdge& edge) {
    return edge.type() == HLRProjectedTriangleEdge::FREE_EDGE
               ? std::max(HLRProjectedModel::sm_dCoarseTolerance3D, HLRProjectedModel::sm_dExactTolerance3D)
               : HLRProjectedModel::sm_dExactTolerance3D;
}

bool HLROccluder::hide(HLRExactEdge& edge, int coverTimes) const {
    const std::optional<std::pair<double, double>> cover = hideFindingCover(edge, coverTimes > 0);
    if (cover)
        edge.countCover(cover->first, cover->second, coverTimes);
    return cover.has_value();
}

// The geometry of hideFindingCover, read from the edge and the triangle alone: `hiding` for an edge not
// yet hidden all along, `counting` with occlusion levels.
//
// One test for both projections. Depth is the distance from the triangle's plane, measured away from
// the centre of projection, so an edge that pierces the plane is hidden only beyond the pierce point.
// That distance is linear along the edge in 3D, while the stretch covered on screen is found in
// screen parameters; a perspective camera's w converts between the two.
//
// Inlined into both callers: the hide pass calls one of them for every occluder it reads.
__attribute__((always_inline)) inline HLROccluder::Covers
HLROccluder::coversOf(const HLRExactEdge& edge, bool hiding, bool counting) const {
    const HLRProjectedTriangleVertex* P = edge.startVertex();
    const HLRProjectedTriangleVertex* Q = edge.endVertex();
    if (image.nearRegion || !edge.boundingBox2D().overlaps(box2D) || edge.leftTriangle() == &image ||
        edge.rightTriangle() == &image || (image.hasCorner(P) && image.hasCorner(Q))) {
        return {};
    }
    // The packed depth codes cannot tell points within one cell apart, so depths are compared as they
    // are: an edge whose farthest point is no farther than the triangle's nearest lies in front.
    const double nearestCorner = std::max({image.corners[0]->viewPosition.z, image.corners[1]->viewPosition.z,
                                           image.corners[2]->viewPosition.z});
    if (!(std::min(P->viewPosition.z, Q->viewPosition.z) < nearestCorner)) {
        return {};
    }
    // Most triangles that get this far miss the edge on screen: that is found before the plane is worked out.
    // An edge hidden all along (read on for occlusion levels) has only its cover to count, and only where
    // it is not yet covered as often as is counted (HLRExactEdge::uncounted): a cover elsewhere would
    // change no count, so it is cut to that range from the start. An edge still to hide has both cut in
    // one pass, and its counted range cut to that range only once the triangle is found to cover it on
    // screen (the sides' cuts and that range's are taken in any order alike): most miss it, and then
    // the counts are not read.
    Cut hidden{0.0, 1.0};
    Cut counted{0.0, 1.0};
    if (!hiding)
        std::tie(counted.lo, counted.hi) = edge.uncounted();
    cutToCover(image, edge, HLRProjectedModel::sm_dExactTolerance2D, hiding ? &hidden : nullptr,
               counting ? &counted : nullptr);
    if (!(hiding ? hidden : counted).isOpen()) {
        return {};
    }
    if (hiding && counting && counted.isOpen()) {
        const auto [countLo, countHi] = edge.uncounted();
        counted.lo = std::max(counted.lo, countLo);
        counted.hi = std::min(counted.hi, countHi);
    }
    const HLRVector4D& centre = HLRProjectedModel::sm_projectionCentre;
    const HLRVector3D normal = image.normal();
    const double planeConstant = dot(normal, image.corners[0]->viewPosition);
    const double centreSide =
        normal.x * centre.x() + normal.y * centre.y() + normal.z * centre.z() - planeConstant * centre.w();
    const double normalLength = length(normal);
    if (!(normalLength > 0.0) || centreSide == 0.0) {
        return {}; // degenerate, or seen edge-on
    }
    const double behindScale = (centreSide > 0.0 ? -1.0 : 1.0) / normalLength;
    const double behindP = (dot(normal, P->viewPosition) - planeConstant) * behindScale;
    const double behindQ = (dot(normal, Q->viewPosition) - planeConstant) * behindScale;
    const double tolZ = depthTolerance(edge);
    if (!(behindP > tolZ) && !(behindQ > tolZ)) {
        return {};
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
    // The covered screen range [lo, hi] cut to the part behind the plane, in place; false if none is.
    const auto behindPart = [&](double& lo, double& hi) {
        double sLo = projective ? toSpace(lo) : lo;
        double sHi = projective ? toSpace(hi) : hi;
        if (!(behindP > tolZ)) {
            sLo = std::max(sLo, (tolZ - behindP) / (behindQ - behindP));
        } else if (!(behindQ > tolZ)) {
            sHi = std::min(sHi, (behindP - tolZ) / (behindP - behindQ));
        }
        lo = projective ? toScreen(sLo) : sLo;
        hi = projective ? toScreen(sHi) : sHi;
        return sLo < sHi;
    };
    if (hiding && !behindPart(hidden.lo, hidden.hi)) {
        return {};
    }
    Covers covers;
    if (hiding)
        covers.hidden = std::pair{hidden.lo, hidden.hi};
    if (counting && counted.isOpen() && behindPart(counted.lo, counted.hi))
        covers.counted = std::pair{counted.lo, counted.hi};
    return covers;
}

std::optional<std::pair<double, double>> HLROccluder::hideFindingCover(HLRExactEdge& edge,
                                                                       bool countIt) const {
    const bool hiding = !edge.isAllHidden();
    const bool counting = countIt && HLRProjectedModel::sm_bOcclusionLevels;
    if (!hiding && !counting) {
        return std::nullopt;
    }
    const Covers covers = coversOf(edge, hiding, counting);
    if (covers.hidden)
        edge.hideStretch(covers.hidden->first, covers.hidden->second);
    return covers.counted;
}

std::optional<std::pair<double, double>> HLROccluder::hiddenStretch(const HLRExactEdge& edge) const {
    return coversOf(edge, true, false).hidden;
}

HLROccluder::Covers HLROccluder::hiddenAndCounted(const HLRExactEdge& edge) const {
    return coversOf(edge, true, true);
}

} // namespace KvHLR
