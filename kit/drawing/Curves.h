#pragma once

// True curves and centre lines for the drawings of CAD parts. The library draws polylines; the CAD
// reader knows which B-rep edges are circles and ellipses, and which faces turn about an axis. Seen
// through a camera that keeps parallel lines parallel, a circle or ellipse is an ellipse (a circle
// seen end-on), so each stretch of a line that follows one of them, within the tessellation's
// deflection, becomes that curve: its centre, radii and rotation from the B-rep, its ends where the
// hidden-line pieces end. Edges seen edge-on, straight edges and the outlines of cylinders seen from
// the side stay lines. A perspective camera draws no curves.
//
// In:  the parts before they are drawn (their curves, axes and deflection, kit/mesh/MeshPart.h), the
//      camera; then the drawing's lines (after PartLines).
// Out: the lines cut where they start or stop following a curve, each such stretch a DrawingCurve (but
//      a hidden stretch along a visible one of the same curve: a short straight edge that leaves a curve
//      where it turns from the viewer, the outline of a hole, stays a line); and
//      the centre lines (kind CentreLine): two crossing lines through the centre of every face whose axis
//      is seen end-on, as wide as the face, and a line along every axis seen from the side, as long as
//      its faces. A sheet draws them a few millimetres longer at each end (kCentreOvershootMm).

#include "kit/drawing/Drawing.h"
#include "kit/mesh/MeshPart.h"

#include <cstdint>
#include <vector>

namespace kvhlr {

// How far centre lines and marks reach beyond their outline on a sheet.
constexpr double kCentreOvershootMm = 3.0;

struct CurveStretch;

class PartCurves {
public:
    PartCurves(const std::vector<MeshPart>& parts, const KvHLR::ViewInfoCriteria& camera);

    // Cuts the lines where a stretch follows a curve of the parts and makes that stretch a curve; keeps
    // drawing.lineParts in step.
    void fitCurves(Drawing& drawing) const;
    // Adds the centre lines and marks.
    void addCentreLines(Drawing& drawing) const;

    // A curve in the drawing plane and the stretch of angles its edge covers, within `tolerance`.
    struct Conic {
        DrawingCurve shape; // its `line` unused; start and end the edge's
        double tolerance;
        Box2 box;
    };
    // An axis in the drawing plane: seen end-on a point (from == to) and the radius about it; the index
    // of its part, for part layers.
    struct Axis {
        ON_2dPoint from, to;
        double radius;
        double tolerance;
        std::uint32_t part;
    };

private:
    static void dropHiddenAlongVisible(const Drawing& drawing, std::vector<std::vector<CurveStretch>>& stretches);

    std::vector<Conic> m_conics;
    std::vector<Axis> m_axes;
};

// The stretches of a line that follow `conic`: for each, the first and last point's index, and the
// curve with the angles of those points. Lines of fewer than two points give none.
struct CurveStretch {
    std::size_t first, last;
    DrawingCurve curve;
    const PartCurves::Conic* conic;
};
std::vector<CurveStretch> stretchesAlong(const std::vector<ON_2dPoint>& points,
                                         const std::vector<const PartCurves::Conic*>& conics);

} // namespace kvhlr
