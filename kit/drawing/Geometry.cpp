#include "kit/drawing/Geometry.h"

#include <algorithm>
#include <cmath>

namespace kvhlr {

std::optional<std::pair<double, double>> rangeInBox(const ON_2dPoint& p, const ON_2dPoint& d, const Box2& box,
                                                    double t0, double t1, double still) {
    const double delta[2] = {d.x, d.y};
    const double low[2] = {box.minX - p.x, box.minY - p.y};
    const double high[2] = {box.maxX - p.x, box.maxY - p.y};
    // Side pair by side pair: the range between the pair's two sides.
    for (int axis = 0; axis < 2 && t0 <= t1; ++axis) {
        if (std::fabs(delta[axis]) <= still) {
            if (low[axis] > 0.0 || high[axis] < 0.0)
                return std::nullopt;
            continue;
        }
        const double a = low[axis] / delta[axis], b = high[axis] / delta[axis];
        t0 = std::max(t0, std::min(a, b));
        t1 = std::min(t1, std::max(a, b));
    }
    if (t0 > t1)
        return std::nullopt;
    return std::pair{t0, t1};
}

} // namespace kvhlr
