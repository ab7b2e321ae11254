#pragma once

#include "Hlr/HLRBoundingBox2D.h"
#include "Hlr/HLRBoundingBox3D.h"
#include "Hlr/HLRTriangleImage.h"

#include <optional>
#include <utility>

namespace KvHLR {

class HLRExactEdge;

// One model triangle as exact hiding's hide pass sees it: its image and its packed screen and view
// boxes. Plain data, 48 bytes with no table of virtual functions, one per triangle in a flat array per
// store (HLRProjectedTriangleData::occluders): the grid of the hide pass files pointers into it, and
// the hide test reads it.
struct HLROccluder {
    HLRTriangleImage image;
    HLRBoundingBox2D box2D;
    HLRBoundingBox3D box3D;

    // Records on the edge the piece that this triangle covers in front of it.
    //
    // The triangle's outline is grown by a tolerance relative to the drawing, so that neighbours cover
    // their shared sides together; depth is the distance from the triangle's plane away from the centre
    // of projection, so a piercing edge is hidden only behind the pierce point; a piece of any length
    // counts. An edge never hides behind the triangles it lies on, nor behind one that shares both its
    // ends, and a near-region triangle hides nothing. With occlusion levels its cover is counted
    // `coverTimes` times (HLRClosedParts: 0 hides without counting); true if it counted one.
    bool hide(HLRExactEdge& edge, int coverTimes = 1) const;
    // As hide, but leaves the count to the caller: with occlusion levels and `counting`, the stretch
    // [from, to] of the edge whose cover counts (none where hide would count none), so that how often it
    // counts need be found only for the occluders that cover.
    std::optional<std::pair<double, double>> hideFindingCover(HLRExactEdge& edge, bool counting) const;
    // The stretch [from, to] of the edge that hide would record as hidden were the edge not hidden all
    // along yet, without recording it (the hide pass tries likely covers before it queries the grid).
    std::optional<std::pair<double, double>> hiddenStretch(const HLRExactEdge& edge) const;
    // What hideFindingCover finds on an edge: the stretch it hides, and the one whose cover counts.
    struct Covers {
        std::optional<std::pair<double, double>> hidden;
        std::optional<std::pair<double, double>> counted;
    };
    // With occlusion levels, both stretches that hideFindingCover would find on an edge that is neither
    // hidden nor counted anywhere yet, without recording them.
    Covers hiddenAndCounted(const HLRExactEdge& edge) const;

    // How far behind a triangle's plane a point of the edge must lie for the hide test to hide it there.
    static double depthTolerance(const HLRExactEdge& edge);

    // Occlusion levels: how far beyond its screen box the counted hide test can find a cover, in units of
    // HLRProjectedModel::sm_dExactTolerance2D, for a triangle whose reach is bounded (countReachBounded).
    static constexpr double kCountReach = 4096.0;
    // Whether no corner on screen is so sharp that the counted hide test could reach farther: such a
    // triangle is tested wherever it lies.
    bool countReachBounded() const;

private:
    Covers coversOf(const HLRExactEdge& edge, bool hiding, bool counting) const;
};

} // namespace KvHLR
