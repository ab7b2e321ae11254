#pragma once

// DXF output of a page: drawing exchange in the AutoCAD 2000 dialect (AC1015), which CAD programs
// open with units, lineweights and line types intact. Coordinates are the page's millimetres
// ($INSUNITS 4, metric); one layer per page layer with its pen's colour, lineweight and line type,
// one LWPOLYLINE per line, a TEXT per text of the title block.

#include "kit/sheet/Page.h"

#include <ostream>

namespace kvhlr {

// `progress` is told the share of the lines written.
void writeDxf(std::ostream& out, const Page& page, const std::function<void(double)>& progress = {});

} // namespace kvhlr
