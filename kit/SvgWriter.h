#pragma once

// SVG output: one layer (a top-level group that vector editors and plotter tools read as a layer) per
// line kind, one polyline or path per line, y pointing up as in the drawing plane.

#include "kit/Drawing.h"

#include <ostream>

namespace kvhlr {

// How hidden lines are dashed: by a dash style, or cut into real dash pieces (one path per line).
enum class HiddenDashes { Style, Segments };

void writeSvg(std::ostream& out, const Drawing& drawing, HiddenDashes dashes);

} // namespace kvhlr
