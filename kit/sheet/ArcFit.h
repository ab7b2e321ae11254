#pragma once

// Arcs fitted to polylines on a page, for drawings of meshes, whose round edges arrive as polylines of
// many short pieces: each stretch of a polyline that stays within a tolerance of a circle, turning one
// way in small steps, becomes an arc of it, and a closed polyline that does so all round a whole
// circle; a CAD or DXF user can then snap to its centre and dimension it.
//
// In:  a page (kit/sheet/Page.h), the tolerance in millimetres on paper, and optionally the pen of the
//      centre marks to draw where a whole circle was fitted.
// Out: the page with those stretches taken out of the polylines and put in the layers' curves; with a
//      pen, a centre mark (two crossing lines reaching kCentreOvershootMm past the circle) for each whole
//      circle, on the view's centre layer.

#include "kit/sheet/Page.h"

#include <optional>
#include <vector>

namespace kvhlr {

// The stretches of one polyline: its pieces that stay lines (each at least two points), and the curves.
struct FittedPolyline {
    std::vector<std::vector<PagePoint>> lines;
    std::vector<PageCurve> curves;
};
FittedPolyline fitArcs(const std::vector<PagePoint>& polyline, double toleranceMm);

// Throws InputError naming the parameter "fit_arcs" for a tolerance that is not a length from 0.001 to
// 10 mm.
void checkArcTolerance(double toleranceMm);

void fitArcs(Page& page, double toleranceMm, const std::optional<Pen>& centrePen);

} // namespace kvhlr
