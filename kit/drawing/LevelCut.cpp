#include "kit/drawing/LevelCut.h"

#include <algorithm>

namespace kvhlr {

IndexPolygon LevelCutter::clip(const IndexPolygon& polygon, double level, bool beyond) {
    const auto inside = [&](std::uint64_t v) { return beyond ? value(v) >= level : value(v) <= level; };
    IndexPolygon kept;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const std::uint64_t u = polygon[i], v = polygon[(i + 1) % polygon.size()];
        if (inside(u))
            kept.push_back(u);
        if ((value(u) - level) * (value(v) - level) < 0.0)
            kept.push_back(crossing(u, v, level));
    }
    return kept;
}

std::uint64_t LevelCutter::crossing(std::uint64_t u, std::uint64_t v, double level) {
    const auto key = std::make_tuple(std::min(u, v), std::max(u, v), level);
    const auto found = m_crossings.find(key);
    if (found != m_crossings.end())
        return found->second;
    // From the lower index, so that both triangles of the edge would compute the same point.
    const std::uint64_t a = std::get<0>(key), b = std::get<1>(key);
    const double t = (level - value(a)) / (value(b) - value(a));
    const ON_3dPoint pa = m_points[a];
    const ON_3dPoint pb = m_points[b];
    m_points.emplace_back(pa.x + t * (pb.x - pa.x), pa.y + t * (pb.y - pa.y), pa.z + t * (pb.z - pa.z));
    m_values.push_back(level);
    m_crossings.emplace(key, m_points.size() - 1);
    if (!m_sides)
        return m_points.size() - 1;
    if (const auto side = sideThrough(*m_sides, static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)))
        m_sides->emplace(static_cast<std::uint32_t>(m_points.size() - 1), *side);
    return m_points.size() - 1;
}

void addFan(const IndexPolygon& polygon, Kv::KvTriangleList& triangles) {
    for (std::size_t i = 1; i + 1 < polygon.size(); ++i)
        triangles.emplace_back(polygon[0], polygon[i], polygon[i + 1]);
}

} // namespace kvhlr
