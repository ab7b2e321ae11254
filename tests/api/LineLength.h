#pragma once

// The length of a drawn polyline, for tests that measure drawings.

#include "api/KvHLRRecords.h"

#include <cmath>

namespace KvHLRTest {

inline double lineLength(KvHLR::StrokeLine const& line) {
    double total = 0.0;
    for (std::size_t i = 1; i < line.points.size(); ++i)
        total += std::hypot(line.points[i].x - line.points[i - 1].x, line.points[i].y - line.points[i - 1].y);
    return total;
}

} // namespace KvHLRTest
