#include "checker/SegmentGrid.h"

#include <algorithm>
#include <cmath>

namespace kvcheck {

bool clipRange(const Box2& box, Vec2 a, Vec2 b, double& t0, double& t1) {
    // Liang-Barsky: shrink the parameter range by each of the four slabs.
    const Vec2 d = b - a;
    t0 = 0;
    t1 = 1;
    const double p[4] = {-d.x, d.x, -d.y, d.y};
    const double q[4] = {a.x - box.lo.x, box.hi.x - a.x, a.y - box.lo.y, box.hi.y - a.y};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0) {
            if (q[k] < 0)
                return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    return true;
}

SegmentGrid::SegmentGrid(const Box2& frame, double reach)
    : m_frame(frame), m_reach(reach), m_cell(2 * reach) {}

long long SegmentGrid::cellIndex(double coordinate, double origin) const {
    return static_cast<long long>(std::floor((coordinate - origin) / m_cell));
}

std::uint64_t SegmentGrid::cellKey(long long ix, long long iy) const {
    return static_cast<std::uint64_t>(ix) << 32 | static_cast<std::uint32_t>(iy);
}

void SegmentGrid::add(Vec2 a, Vec2 b) {
    double t0 = 0, t1 = 0;
    if (!clipRange(m_frame, a, b, t0, t1))
        return;
    const Vec2 d = b - a;
    b = a + t1 * d;
    a = a + t0 * d;
    const auto pieces = static_cast<std::size_t>(std::max(1.0, std::ceil(length(b - a) / m_cell)));
    for (std::size_t k = 0; k < pieces; ++k)
        file(a + (double(k) / pieces) * (b - a), a + (double(k + 1) / pieces) * (b - a));
}

void SegmentGrid::file(Vec2 a, Vec2 b) {
    const auto piece = static_cast<std::uint32_t>(m_pieces.size());
    m_pieces.emplace_back(a, b);
    const long long x0 = cellIndex(std::min(a.x, b.x) - m_reach, m_frame.lo.x);
    const long long x1 = cellIndex(std::max(a.x, b.x) + m_reach, m_frame.lo.x);
    const long long y0 = cellIndex(std::min(a.y, b.y) - m_reach, m_frame.lo.y);
    const long long y1 = cellIndex(std::max(a.y, b.y) + m_reach, m_frame.lo.y);
    for (long long ix = x0; ix <= x1; ++ix)
        for (long long iy = y0; iy <= y1; ++iy)
            m_cells.emplace_back(cellKey(ix, iy), piece);
}

void SegmentGrid::finish() {
    std::sort(m_cells.begin(), m_cells.end());
}

std::pair<SegmentGrid::CellEntries::const_iterator, SegmentGrid::CellEntries::const_iterator>
SegmentGrid::cellOf(Vec2 p) const {
    if (p.x < m_frame.lo.x - m_reach || p.x > m_frame.hi.x + m_reach || p.y < m_frame.lo.y - m_reach ||
        p.y > m_frame.hi.y + m_reach)
        return {m_cells.end(), m_cells.end()};
    const std::uint64_t key = cellKey(cellIndex(p.x, m_frame.lo.x), cellIndex(p.y, m_frame.lo.y));
    return std::equal_range(m_cells.begin(), m_cells.end(), std::make_pair(key, std::uint32_t(0)),
                            [](const auto& x, const auto& y) { return x.first < y.first; });
}

} // namespace kvcheck
