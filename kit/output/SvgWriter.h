#pragma once

// SVG output of a page: the paper's size in millimetres, one layer (a top-level group that vector
// editors and plotter software read as a layer) per page layer with its pen, one polyline per line,
// and the title block's texts. A page of several views holds one layer per view, with the view's line
// kinds as its sublayers.

#include "kit/sheet/Page.h"

#include <ostream>

namespace kvhlr {

// `progress` is told the share of the lines written.
void writeSvg(std::ostream& out, const Page& page, const std::function<void(double)>& progress = {});

} // namespace kvhlr
