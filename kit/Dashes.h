#pragma once

// Dashed lines as real pieces, for plotters and cutters that ignore dash styles.

#include "host/opennurbs.h"

#include <vector>

namespace kvhlr {

struct DashPattern {
    double dash;
    double gap;
};

// The dashes of a polyline: pieces of length `dash` separated by gaps of length `gap`, starting with a
// dash at the first point. The pattern runs on across the polyline's vertices, so a dash may turn a
// corner (it then keeps the vertex). A pattern with a non-positive length, or one so fine that the line
// would need more than a million dashes, returns the polyline whole.
std::vector<std::vector<ON_2dPoint>> dashPolyline(const std::vector<ON_2dPoint>& points,
                                                  const DashPattern& pattern);

} // namespace kvhlr
