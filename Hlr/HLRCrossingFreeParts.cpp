#include "Hlr/HLRCrossingFreeParts.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRTriangle.h"
#include "Hlr/HLRTriangleData.h"
#include "Hlr/HLRTriangleEdge.h"
#include "Hlr/HLRTriangleVertex.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace KvHLR {

namespace {

// Part boxes are filed into grid cells about the size of a typical part, made coarser while large
// parts would fill too many cells.
constexpr double kMaxEntriesPerPart = 8.0;
constexpr double kMaxCellsPerAxis = 1 << 20;

HLRVector3D position(const HLRTriangleData& store, const HLRTriangle& triangle, int corner) {
    const HLRTriangleVertex& vertex = store.vertices()[static_cast<std::size_t>(triangle.vertices[corner])];
    return HLRVector3D(vertex.x, vertex.y, vertex.z);
}

// The root of `i` in a union-find forest, halving the path on the way.
std::uint32_t rootOf(std::vector<std::uint32_t>& parent, std::uint32_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

double axis(const HLRVector3D& p, int a) {
    return a == 0 ? p.x : a == 1 ? p.y : p.z;
}

} // namespace

HLRCrossingFreeParts::HLRCrossingFreeParts(const std::vector<const HLRTriangleData*>& triangleData) {
    findParts(triangleData);
    chooseCentres(triangleData);
    measureParts(triangleData);
}

// Parts are joined through edges; a triangle that is not on three edges with a triangle on either
// side (an open border, an edge of three or more triangles, two neighbours wound alike, no area)
// makes its part one that may cross itself.
void HLRCrossingFreeParts::findParts(const std::vector<const HLRTriangleData*>& triangleData) {
    std::size_t total = 0;
    for (const HLRTriangleData* data : triangleData) {
        m_storeStart.push_back(total);
        total += data->triangles().size();
    }
    std::vector<std::uint32_t> parent(total);
    std::iota(parent.begin(), parent.end(), 0u);
    // Each edge is recorded once, with the triangle that runs along it one way on its left and the one
    // that runs the other way on its right; a third triangle takes the place of one of them.
    std::vector<std::uint8_t> sides(total, 0);
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const HLRTriangleData& source = *triangleData[s];
        const auto index = [&](std::int32_t t) {
            return static_cast<std::uint32_t>(m_storeStart[s] + static_cast<std::size_t>(t));
        };
        for (const HLRTriangleEdge& edge : source.edges()) {
            HLRCancelPoll::check();
            if (edge.leftTriangle() == HLRTriangleEdge::NONE || edge.rightTriangle() == HLRTriangleEdge::NONE)
                continue; // its triangle keeps fewer than three sides
            const std::uint32_t left = index(edge.leftTriangle());
            const std::uint32_t right = index(edge.rightTriangle());
            ++sides[left];
            ++sides[right];
            // The lower root stays: the triangles come in order, so trees stay shallow.
            const std::uint32_t a = rootOf(parent, left), b = rootOf(parent, right);
            parent[std::max(a, b)] = std::min(a, b);
        }
    }
    m_partOfTriangle.resize(total);
    std::vector<std::uint32_t> partOfRoot(total, std::numeric_limits<std::uint32_t>::max());
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLRTriangle>& triangles = triangleData[s]->triangles();
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            const auto t = static_cast<std::uint32_t>(m_storeStart[s] + i);
            const std::uint32_t root = rootOf(parent, t);
            if (partOfRoot[root] == std::numeric_limits<std::uint32_t>::max()) {
                partOfRoot[root] = static_cast<std::uint32_t>(m_crossingFree.size());
                m_crossingFree.push_back(1);
                m_triangleCount.push_back(0);
                m_through.push_back(t);
            }
            const std::uint32_t part = partOfRoot[root];
            m_partOfTriangle[t] = part;
            ++m_triangleCount[part];
            if (sides[t] != 3)
                m_crossingFree[part] = 0;
        }
    }
}

void HLRCrossingFreeParts::chooseCentres(const std::vector<const HLRTriangleData*>& triangleData) {
    constexpr std::uint32_t kSamples = 1000;
    const std::size_t parts = m_crossingFree.size();
    m_centre.assign(parts, HLRVector3D(0.0, 0.0, 0.0));
    std::vector<std::uint32_t> seen(parts, 0), taken(parts, 0);
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLRTriangle>& triangles = triangleData[s]->triangles();
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            const std::uint32_t part = partOf(s, i);
            if (!m_crossingFree[part] || seen[part]++ % (m_triangleCount[part] / kSamples + 1) != 0)
                continue;
            for (int c = 0; c < 3; ++c)
                m_centre[part] = m_centre[part] + position(*triangleData[s], triangles[i], c);
            ++taken[part];
        }
    }
    for (std::size_t p = 0; p < parts; ++p)
        if (taken[p] > 0)
            m_centre[p] = m_centre[p] / (3.0 * taken[p]);
}

void HLRCrossingFreeParts::measureParts(const std::vector<const HLRTriangleData*>& triangleData) {
    const std::size_t parts = m_crossingFree.size();
    const double huge = std::numeric_limits<double>::infinity();
    m_box.assign(parts, HLRBox3D());
    m_leastAway.assign(parts, huge);
    m_mostAway.assign(parts, -huge);
    m_rayHit.assign(parts, -huge);
    std::vector<HLRVector3D> ray(parts);
    for (std::size_t p = 0; p < parts; ++p) {
        ray[p] = centreOf(triangleData, m_through[p]) - m_centre[p];
    }
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLRTriangle>& triangles = triangleData[s]->triangles();
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            HLRCancelPoll::check();
            const std::uint32_t part = partOf(s, i);
            const HLRVector3D v[3] = {position(*triangleData[s], triangles[i], 0),
                                      position(*triangleData[s], triangles[i], 1),
                                      position(*triangleData[s], triangles[i], 2)};
            const HLRVector3D n = cross(v[1] - v[0], v[2] - v[0]);
            const double area = length(n);
            for (const HLRVector3D& p : v)
                m_box[part].add(p);
            if (!(area > 0.0 && std::isfinite(area))) {
                m_crossingFree[part] = 0;
                continue;
            }
            for (const HLRVector3D& p : v)
                m_extent.add(p);
            if (!m_crossingFree[part])
                continue;
            const double away = dot(n, v[0] - m_centre[part]) / area;
            m_leastAway[part] = std::min(m_leastAway[part], away);
            m_mostAway[part] = std::max(m_mostAway[part], away);
            const double towards = dot(n, ray[part]);
            if (m_storeStart[s] + i == m_through[part] || !(towards * away > 0.0))
                continue; // the ray's own triangle, or a plane it runs along or away from
            const HLRVector3D hit = m_centre[part] + ray[part] * (away * area / towards);
            double inside = huge; // the hit's least distance inside the triangle's edges
            for (int e = 0; e < 3; ++e) {
                const HLRVector3D edge = v[(e + 1) % 3] - v[e];
                inside = std::min(inside, dot(cross(edge, hit - v[e]), n) / (area * length(edge)));
            }
            m_rayHit[part] = std::max(m_rayHit[part], inside);
        }
    }
}

HLRVector3D HLRCrossingFreeParts::centreOf(const std::vector<const HLRTriangleData*>& triangleData,
                                           std::size_t t) const {
    const std::size_t s =
        static_cast<std::size_t>(std::upper_bound(m_storeStart.begin(), m_storeStart.end(), t) -
                                 m_storeStart.begin()) -
        1;
    const HLRTriangleData& store = *triangleData[s];
    const HLRTriangle& triangle = store.triangles()[t - m_storeStart[s]];
    return (position(store, triangle, 0) + position(store, triangle, 1) + position(store, triangle, 2)) / 3.0;
}

void HLRCrossingFreeParts::judge(double tolerance) {
    for (std::size_t p = 0; p < m_crossingFree.size(); ++p)
        m_crossingFree[p] = m_crossingFree[p] && (m_leastAway[p] > tolerance || m_mostAway[p] < -tolerance) &&
                            m_rayHit[p] < -tolerance;
    markMeetingParts(tolerance);
}

// A part free of crossings still needs testing where its box meets another part's. The boxes are
// filed into grid cells and compared within each cell, swept along x.
void HLRCrossingFreeParts::markMeetingParts(double tolerance) {
    const std::size_t parts = m_crossingFree.size();
    m_needsTest.assign(parts, 1);
    if (std::find(m_crossingFree.begin(), m_crossingFree.end(), 1) == m_crossingFree.end())
        return;
    const HLRVector3D grow(tolerance, tolerance, tolerance);
    std::vector<HLRVector3D> low(parts), high(parts);
    for (std::size_t p = 0; p < parts; ++p) {
        low[p] = m_box[p].min() - grow;
        high[p] = m_box[p].max() + grow;
    }
    std::vector<std::uint8_t> meets(parts, 0);
    if (parts > 1) {
        HLRVector3D origin = low[0], far = high[0];
        std::vector<double> sizes(parts);
        for (std::size_t p = 0; p < parts; ++p) {
            origin = HLRVector3D(std::min(origin.x, low[p].x), std::min(origin.y, low[p].y),
                                 std::min(origin.z, low[p].z));
            far = HLRVector3D(std::max(far.x, high[p].x), std::max(far.y, high[p].y),
                              std::max(far.z, high[p].z));
            const HLRVector3D size = high[p] - low[p];
            sizes[p] = std::max({size.x, size.y, size.z});
        }
        std::nth_element(sizes.begin(), sizes.begin() + parts / 2, sizes.end());
        const double span = std::max({far.x - origin.x, far.y - origin.y, far.z - origin.z});
        double cell =
            std::max({sizes[parts / 2], span / kMaxCellsPerAxis, std::numeric_limits<double>::min()});
        const auto cellOf = [&](const HLRVector3D& p, int a) {
            return static_cast<std::uint64_t>(std::floor((axis(p, a) - axis(origin, a)) / cell));
        };
        const auto cellCount = [&](std::size_t p) {
            double count = 1.0;
            for (int a = 0; a < 3; ++a)
                count *= static_cast<double>(cellOf(high[p], a) - cellOf(low[p], a) + 1);
            return count;
        };
        for (;;) {
            double entries = 0.0;
            for (std::size_t p = 0; p < parts; ++p)
                entries += cellCount(p);
            if (entries <= kMaxEntriesPerPart * static_cast<double>(parts))
                break;
            cell *= 2.0;
        }
        struct Entry {
            std::uint64_t cell;
            double low;
            std::uint32_t part;
        };
        std::vector<Entry> entries;
        for (std::size_t p = 0; p < parts; ++p) {
            HLRCancelPoll::check();
            for (std::uint64_t x = cellOf(low[p], 0); x <= cellOf(high[p], 0); ++x)
                for (std::uint64_t y = cellOf(low[p], 1); y <= cellOf(high[p], 1); ++y)
                    for (std::uint64_t z = cellOf(low[p], 2); z <= cellOf(high[p], 2); ++z)
                        entries.push_back({x << 42 | y << 21 | z, low[p].x, static_cast<std::uint32_t>(p)});
        }
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return a.cell != b.cell ? a.cell < b.cell : a.low < b.low;
        });
        const auto overlap = [&low, &high](std::uint32_t a, std::uint32_t b) {
            for (int i = 0; i < 3; ++i)
                if (axis(low[a], i) > axis(high[b], i) || axis(low[b], i) > axis(high[a], i))
                    return false;
            return true;
        };
        for (std::size_t i = 0; i < entries.size(); ++i) {
            HLRCancelPoll::check();
            const std::uint32_t a = entries[i].part;
            for (std::size_t j = i + 1;
                 j < entries.size() && entries[j].cell == entries[i].cell && entries[j].low <= high[a].x;
                 ++j) {
                if (overlap(a, entries[j].part)) {
                    meets[a] = 1;
                    meets[entries[j].part] = 1;
                }
            }
        }
    }
    for (std::size_t p = 0; p < parts; ++p)
        m_needsTest[p] = !m_crossingFree[p] || meets[p];
}

} // namespace KvHLR
