#include "checker/Section.h"

#include "checker/InputError.h"

#include <algorithm>
#include <cmath>

namespace kvcheck {
namespace {

Vec3 unit(const Vec3& v) {
    return (1 / length(v)) * v;
}

} // namespace

SectionCut::SectionCut(const Mesh& whole, const Vec3& point, const Vec3& normal, const View& view,
                       double tolerance)
    : m_origin(point), m_tolerance(tolerance) {
    if (!(length(normal) > 0))
        throw InputError("--section-normal", "the normal must not be zero");
    // The side the viewer looks from is the one taken away.
    const Vec3 n = unit(normal);
    const double facing = dot(n, view.towardViewer(point));
    if (std::fabs(facing) <= 1e-6)
        throw InputError("--section-point", "the view sees the cutting plane edge-on");
    m_normal = facing > 0 ? n : -1.0 * n;
    m_u = unit(cross(m_normal, std::fabs(m_normal.x) < 0.6 ? Vec3{1, 0, 0} : Vec3{0, 1, 0}));
    m_v = cross(m_normal, m_u);
    std::vector<double> side;
    for (const Vec3& p : whole.points)
        side.push_back(dot(p - m_origin, m_normal));
    if (side.empty() || *std::max_element(side.begin(), side.end()) <= 0 ||
        *std::min_element(side.begin(), side.end()) >= 0)
        throw InputError("--section-point", "the cutting plane misses the mesh");
    m_kept.points = whole.points;
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> crossings;
    // Where the edge a-b (a behind, b before the plane) meets it: a itself when it lies on it.
    const auto cutPoint = [&](std::uint32_t a, std::uint32_t b) {
        if (side[a] == 0)
            return a;
        const auto key = std::minmax(a, b);
        const auto found = crossings.find(key);
        if (found != crossings.end())
            return found->second;
        const double t = side[a] / (side[a] - side[b]);
        m_kept.points.push_back(whole.points[a] + t * (whole.points[b] - whole.points[a]));
        return crossings[key] = static_cast<std::uint32_t>(m_kept.points.size() - 1);
    };
    std::vector<std::pair<std::uint32_t, std::uint32_t>> cutEnds; // the cut's segments, by point
    for (const Triangle& t : whole.triangles) {
        // The corners behind the plane, in order around the triangle, with the crossings between.
        std::vector<std::uint32_t> polygon, cut;
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t a = t[i], b = t[(i + 1) % 3];
            if (side[a] <= 0)
                polygon.push_back(a);
            if ((side[a] <= 0) != (side[b] <= 0)) {
                polygon.push_back(side[a] <= 0 ? cutPoint(a, b) : cutPoint(b, a));
                cut.push_back(polygon.back());
            }
        }
        for (std::size_t i = 1; i + 1 < polygon.size(); ++i)
            m_kept.triangles.push_back({polygon[0], polygon[i], polygon[i + 1]});
        if (cut.size() == 2 && cut[0] != cut[1])
            cutEnds.push_back({cut[0], cut[1]});
    }
    // Only a closed outline bounds a cross-section (kvhlr caps no other): the segments of connected
    // pieces whose every point joins an even number of them (two, or four where bodies meet).
    std::vector<std::uint32_t> group(m_kept.points.size()), degree(m_kept.points.size(), 0);
    for (std::uint32_t i = 0; i < group.size(); ++i)
        group[i] = i;
    const auto root = [&](std::uint32_t p) {
        while (group[p] != p)
            p = group[p] = group[group[p]];
        return p;
    };
    for (const auto& [a, b] : cutEnds) {
        ++degree[a];
        ++degree[b];
        group[root(a)] = root(b);
    }
    std::vector<bool> open(group.size(), false);
    for (const auto& [a, b] : cutEnds)
        for (std::uint32_t p : {a, b})
            open[root(p)] = open[root(p)] || degree[p] % 2 != 0;
    for (const auto& [a, b] : cutEnds)
        if (!open[root(a)])
            m_segments.push_back({inPlane(m_kept.points[a]), inPlane(m_kept.points[b])});
    if (m_segments.empty())
        return;
    double low = m_segments[0].a.y, high = low;
    for (const Segment& s : m_segments) {
        low = std::min({low, s.a.y, s.b.y});
        high = std::max({high, s.a.y, s.b.y});
    }
    const std::size_t rows = std::max<std::size_t>(1, static_cast<std::size_t>(std::sqrt(m_segments.size())));
    m_rowLow = low;
    m_rowHeight = std::max(high - low, 1e-300) / static_cast<double>(rows);
    m_rows.resize(rows);
    for (std::size_t i = 0; i < m_segments.size(); ++i) {
        const auto row = [&](double y) {
            return std::min(rows - 1, static_cast<std::size_t>(std::max(0.0, (y - low) / m_rowHeight)));
        };
        const Segment& s = m_segments[i];
        for (std::size_t r = row(std::min(s.a.y, s.b.y)); r <= row(std::max(s.a.y, s.b.y)); ++r)
            m_rows[r].push_back(i);
    }
}

Crossing SectionCut::crossSectionAt(Vec2 p) const {
    if (m_rows.empty())
        return Crossing::Miss;
    const auto row = [&](double y) {
        return static_cast<long long>(std::floor((y - m_rowLow) / m_rowHeight));
    };
    const long long rows = static_cast<long long>(m_rows.size());
    const long long low = std::max(0LL, row(p.y - m_tolerance)), high = std::min(rows - 1, row(p.y + m_tolerance));
    // Even-odd: the segments crossed by the half-line from p toward +x, each counted from its lower end
    // up to, not including, its upper end. Segments filed in several rows are met once in p's own row.
    bool inside = false;
    for (long long r = low; r <= high; ++r)
        for (std::size_t i : m_rows[static_cast<std::size_t>(r)]) {
            const Segment& s = m_segments[i];
            double at = 0;
            if (distanceToSegment(p, s.a, s.b, at) <= m_tolerance)
                return Crossing::Touch;
            if (r != row(p.y) || (s.a.y <= p.y) == (s.b.y <= p.y))
                continue;
            const double x = s.a.x + (p.y - s.a.y) * (s.b.x - s.a.x) / (s.b.y - s.a.y);
            inside = inside != (x > p.x);
        }
    return inside ? Crossing::Hit : Crossing::Miss;
}

Crossing SectionCut::crossing(const Ray& ray) const {
    const double from = dot(ray.origin - m_origin, m_normal), rate = dot(ray.direction, m_normal);
    // Points on the plane are the cross-section's own outline; points before it have nothing between.
    if (from > -m_tolerance || !(rate > 0))
        return Crossing::Miss;
    const double t = -from / rate;
    return t <= ray.length ? crossSectionAt(inPlane(ray.origin + t * ray.direction)) : Crossing::Miss;
}

} // namespace kvcheck
