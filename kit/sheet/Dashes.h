#pragma once

// Dashed lines as real pieces, for plotters and cutters that ignore dash styles.
//
// In:  a polyline and a dash pattern (on, off, on, off ... lengths), or a page whose pens have them.
// Out: the dash pieces, or the page with every dashed layer cut into pieces and drawn solid.

#include "host/opennurbs.h"
#include "kit/sheet/Page.h"

#include <functional>
#include <vector>

namespace kvhlr {

// The dashes of a polyline: pieces as long as the pattern's "on" lengths separated by gaps of its
// "off" lengths, starting with the first dash at the first point. The pattern runs on across the
// polyline's vertices, so a dash may turn a corner (it then keeps the vertex). A pattern of an odd
// count, with a non-positive length, or so fine that the line would need more than a million dashes
// returns the polyline whole.
std::vector<std::vector<ON_2dPoint>> dashPolyline(const std::vector<ON_2dPoint>& points,
                                                  const std::vector<double>& pattern);

// Replaces the polylines of every layer drawn with a dashed pen by their dash pieces, in order, and
// makes the pen solid. `progress` is told the share of the polylines cut and may throw to stop
// (StepProgress); the page is then unfinished: drop it.
void cutDashes(Page& page, const std::function<void(double)>& progress = {});

} // namespace kvhlr
