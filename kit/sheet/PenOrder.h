#pragma once

// The order in which a plotter draws polylines, so that the pen travels little while lifted.
//
// In:  the end points of polylines and where the pen starts; or a page, or a drawing's lines.
// Out: the order to draw them in and which to draw backwards (greedy: always the nearest free end
//      next), the polylines put in that order, and the distance the lifted pen travels.

#include "kit/drawing/Drawing.h"
#include "kit/sheet/Page.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace kvhlr {

// The first and last point of a polyline, in any unit.
struct PolylineEnds {
    PagePoint first;
    PagePoint last;
};

// The polyline drawn at this step, and whether it is drawn from its last point to its first.
struct PlotStep {
    std::size_t index = 0;
    bool reversed = false;
};

// Every polyline once: from the pen, the nearest end of any polyline not yet drawn comes next (a far
// end reverses it), and the pen then stands at its other end. Equal distances go to the lower index,
// and to the first point before the last. About n log n: the free ends sit in a kd-tree that skips
// subtrees with none left. Throws std::invalid_argument for a coordinate that is not finite and
// std::length_error for 2^31 polylines or more. `progress` is told the share ordered, and may throw to
// stop (StepProgress).
std::vector<PlotStep> plotterOrder(const std::vector<PolylineEnds>& polylines, PagePoint pen,
                                   const std::function<void(double)>& progress = {});

// The straight distance the pen travels lifted: from `pen` to the first point of the first polyline,
// from each polyline's last point to the next one's first, ending at the last one's last point.
// Polylines without points are passed over.
double penUpTravel(const std::vector<std::vector<PagePoint>>& polylines, PagePoint pen = {});

// The same over the page's layers in order, starting at the page's origin.
double penUpTravel(const Page& page);

// Puts each layer's polylines in plotterOrder, reversing the points of those drawn backwards; each
// layer starts where the previous one ended, the first at the page's origin. Polylines without points
// go to the end of their layer. `progress` as for plotterOrder; a page whose ordering was stopped is
// left unfinished: drop it.
void orderForPlotter(Page& page, const std::function<void(double)>& progress = {});

// The same for a drawing's lines, starting at `pen`. The writers draw layer by layer (layers(): hidden
// lines first), whatever order the lines come in, so the lines are grouped by layer in that order and
// each layer starts where the previous one ended; within a layer they keep no order of kinds. A stop
// from `progress` leaves the lines unfinished (some moved out): drop them.
void orderForPlotter(std::vector<KvHLR::StrokeLine>& lines, const ON_2dPoint& pen,
                     const std::function<void(double)>& progress = {});

} // namespace kvhlr
