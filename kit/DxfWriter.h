#pragma once

// DXF output: plain-text drawing exchange in its oldest widely read dialect (AC1009), which every CAD
// program opens. One layer per line kind, hidden lines on a layer with a dashed line type, one polyline
// entity per line.

#include "kit/Drawing.h"

#include <ostream>

namespace kvhlr {

void writeDxf(std::ostream& out, const Drawing& drawing);

} // namespace kvhlr
