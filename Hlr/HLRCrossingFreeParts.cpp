#include "Hlr/HLRCrossingFreeParts.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRHugePages.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRTriangle.h"
#include "Hlr/HLRTriangleData.h"
#include "Hlr/HLRTriangleEdge.h"
#include "Hlr/HLRTriangleParts.h"
#include "Hlr/HLRTriangleVertex.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

namespace KvHLR {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
// A patch takes a triangle whose normal is within about 75 degrees of its axis.
constexpr double kLeastAxisCosine = 0.25;
// A group of chunks looks for an axis that every normal of it is near in at most this many steps.
constexpr int kAxisSteps = 8;
// A patch's first growth, about its seed's normal, stops at this many triangles: their mean normal is
// the axis it then grows about, and growing it whole twice would cost twice as much.
constexpr std::size_t kAxisSample = 1024;
// A chunk holds at most this many consecutive triangles of one patch.
constexpr std::uint32_t kChunkTriangles = 32;
// The passes over every triangle (or edge) check for a cancel once per this many of them.
constexpr std::size_t kTrianglesPerCheck = 256;
// Comparing a patch's sides with each other gives up (leaving the patch tested) past this many pairs
// of boxes per side: a side loop that zigzags over a narrow strip would otherwise take quadratic time.
constexpr std::size_t kSidePairsPerSide = 16;
// Comparing the chunks' boxes gives up (leaving every chunk tested) past this many pairs per chunk: the
// models measured compare up to 200, and a soup of large triangles beside a body would compare them all.
constexpr std::size_t kChunkPairsPerChunk = 1024;
// Boxes are filed into grid cells about the size of the median box, made coarser while large boxes
// would fill more than this many cells per box on average; no axis has more than 2^20 cells.
constexpr double kMaxEntriesPerBox = 8.0;
constexpr double kMaxCellsPerAxis = 1 << 20;

HLRVector3D position(const HLRTriangleData& store, const HLRTriangle& triangle, int corner) {
    const HLRTriangleVertex& vertex = store.vertices()[static_cast<std::size_t>(triangle.vertices[corner])];
    return HLRVector3D(vertex.x, vertex.y, vertex.z);
}

// A triangle's unit normal in single precision, as the patches compare them, from its normal `n` of
// length `area`.
std::array<float, 3> unitOf(const HLRVector3D& n, double area) {
    return {static_cast<float>(n.x / area), static_cast<float>(n.y / area), static_cast<float>(n.z / area)};
}

// A triangle's normal, as long as twice its area.
HLRVector3D sidesNormal(const HLRTriangleData& store, const HLRTriangle& triangle) {
    const HLRVector3D v0 = position(store, triangle, 0);
    return cross(position(store, triangle, 1) - v0, position(store, triangle, 2) - v0);
}

// The unit normal of a triangle (unitOf); zero without an area.
std::array<float, 3> unitNormal(const HLRTriangleData& store, const HLRTriangle& triangle) {
    const HLRVector3D n = sidesNormal(store, triangle);
    const double area = length(n);
    return area > 0.0 && std::isfinite(area) ? unitOf(n, area) : std::array<float, 3>{0.0f, 0.0f, 0.0f};
}

// The unit normal of a triangle in 127ths, rounded half away from zero (without a call to the maths
// library), and a zero; all zero without an area.
std::array<std::int8_t, 4> keptNormal(const HLRTriangleData& store, const HLRTriangle& triangle) {
    const HLRVector3D n = sidesNormal(store, triangle);
    const double area = length(n);
    if (!(area > 0.0 && std::isfinite(area)))
        return {0, 0, 0, 0};
    const HLRVector3D scaled = n * (127.0 / area);
    const auto rounded = [](double x) { return static_cast<std::int8_t>(x + (x < 0.0 ? -0.5 : 0.5)); };
    return {rounded(scaled.x), rounded(scaled.y), rounded(scaled.z), 0};
}

HLRVector3D vectorOf(const std::array<float, 3>& n) { return HLRVector3D(n[0], n[1], n[2]); }

// Fills `array` with `count` copies of `value`, on huge pages where it is large: a per-triangle array of
// a big model otherwise costs a page fault for every 4 KB as it is filled.
template <class T> void fillOnHugePages(std::vector<T>& array, std::size_t count, const T& value) {
    array.reserve(count);
    HLRHugePages::advise(array.data(), count * sizeof(T));
    array.assign(count, value);
}

// Puts `items` into `sorted` ordered by key(item), a number below `keys`, equal keys in the order they
// came (a counting sort); returns where each key's items start, and after the last, the end.
template <class T, class Key>
std::vector<std::size_t> sortByKey(const std::vector<T>& items, std::size_t keys, Key key, std::vector<T>& sorted) {
    std::vector<std::size_t> start(keys + 1, 0);
    for (const T& item : items)
        ++start[key(item) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::size_t> next(start.begin(), start.end() - 1);
    sorted.resize(items.size());
    for (const T& item : items)
        sorted[next[key(item)]++] = item;
    return start;
}

// Calls visit(a, b) once for each pair of boxes a < b (low[i] to high[i] on D axes) that overlap, from
// a uniform grid: each box is filed into the cells it spans, and the boxes of a cell are swept along the
// first axis, a pair visited in the cell where their overlap starts. The cost follows the pairs of
// boxes that meet, however the boxes are laid out. Stops, returning false, when visit does, when more
// than `budget` pairs were compared, or when a box is not finite or their span does not fit a double (no
// cell size would make the grid coarse enough); true once every pair was visited.
template <std::size_t D, typename Visit>
bool forEachMeetingPair(const std::vector<std::array<double, D>>& low,
                        const std::vector<std::array<double, D>>& high, std::size_t budget, Visit visit) {
    static_assert(D == 2 || D == 3, "a cell's number must fit 64 bits: 3 coordinates below 2^21 do");
    const std::size_t n = low.size();
    if (n < 2)
        return true;
    std::array<double, D> origin = low[0], far = high[0];
    std::vector<double> sizes(n);
    bool finite = true;
    for (std::size_t i = 0; i < n; ++i) {
        sizes[i] = 0.0;
        for (std::size_t a = 0; a < D; ++a) {
            finite = finite && std::isfinite(low[i][a]) && std::isfinite(high[i][a]);
            origin[a] = std::min(origin[a], low[i][a]);
            far[a] = std::max(far[a], high[i][a]);
            sizes[i] = std::max(sizes[i], high[i][a] - low[i][a]);
        }
    }
    std::nth_element(sizes.begin(), sizes.begin() + std::ptrdiff_t(n / 2), sizes.end());
    double span = 0.0;
    for (std::size_t a = 0; a < D; ++a)
        span = std::max(span, far[a] - origin[a]);
    if (!finite || !std::isfinite(span))
        return false;
    double cell = std::max({sizes[n / 2], span / kMaxCellsPerAxis, std::numeric_limits<double>::min()});
    const auto cellOf = [&](double value, std::size_t a) {
        return static_cast<std::uint64_t>(std::floor((value - origin[a]) / cell));
    };
    const auto cellCount = [&](std::size_t i) {
        double count = 1.0;
        for (std::size_t a = 0; a < D; ++a)
            count *= static_cast<double>(cellOf(high[i][a], a) - cellOf(low[i][a], a) + 1);
        return count;
    };
    double filed = 0.0;
    for (;;) {
        filed = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            filed += cellCount(i);
        if (filed <= kMaxEntriesPerBox * static_cast<double>(n))
            break;
        cell *= 2.0;
    }
    // The cells are numbered densely, the last axis running fastest, so that the radix sort below
    // looks at no more digits than the grid needs.
    std::array<std::uint64_t, D> count{};
    std::uint64_t cells = 1;
    for (std::size_t a = 0; a < D; ++a) {
        count[a] = cellOf(far[a], a) + 1;
        cells *= count[a];
    }
    const auto keyOf = [&count](const std::array<std::uint64_t, D>& at) {
        std::uint64_t key = 0;
        for (std::size_t a = 0; a < D; ++a)
            key = key * count[a] + at[a];
        return key;
    };
    struct Entry {
        std::uint64_t cell;
        double low;
        std::uint32_t box;
    };
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(filed));
    std::array<std::uint64_t, D> first{}, last{}, at{};
    for (std::size_t i = 0; i < n; ++i) {
        HLRCancelPoll::check();
        for (std::size_t a = 0; a < D; ++a) {
            first[a] = cellOf(low[i][a], a);
            last[a] = cellOf(high[i][a], a);
        }
        // Every cell from `first` to `last`, the last axis running fastest.
        at = first;
        for (;;) {
            entries.push_back({keyOf(at), low[i][0], static_cast<std::uint32_t>(i)});
            std::size_t a = D;
            while (a > 0 && at[a - 1] == last[a - 1]) {
                at[a - 1] = first[a - 1];
                --a;
            }
            if (a == 0)
                break;
            ++at[a - 1];
        }
    }
    // By cell, 11 bits at a time (a comparison sort of a hundred thousand entries costs several times
    // as much), then each cell's few entries by low.
    constexpr unsigned kDigitBits = 11;
    constexpr std::uint64_t kDigits = std::uint64_t{1} << kDigitBits;
    std::vector<Entry> sorted;
    for (unsigned shift = 0; shift < 64 && (cells - 1) >> shift != 0; shift += kDigitBits) {
        HLRCancelPoll::check();
        sortByKey(entries, kDigits, [shift](const Entry& entry) { return (entry.cell >> shift) & (kDigits - 1); },
                  sorted);
        entries.swap(sorted);
    }
    std::vector<Entry>().swap(sorted);
    for (std::size_t i = 0, j = 0; i < entries.size(); i = j) {
        while (j < entries.size() && entries[j].cell == entries[i].cell)
            ++j;
        std::sort(entries.begin() + std::ptrdiff_t(i), entries.begin() + std::ptrdiff_t(j),
                  [](const Entry& x, const Entry& y) { return x.low < y.low; });
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        HLRCancelPoll::check();
        const std::uint32_t a = entries[i].box;
        for (std::size_t j = i + 1;
             j < entries.size() && entries[j].cell == entries[i].cell && entries[j].low <= high[a][0]; ++j) {
            if (budget-- == 0)
                return false;
            const std::uint32_t b = entries[j].box;
            bool overlap = true;
            for (std::size_t k = 0; k < D && overlap; ++k)
                overlap = low[a][k] <= high[b][k] && low[b][k] <= high[a][k];
            if (!overlap)
                continue;
            for (std::size_t k = 0; k < D; ++k)
                at[k] = cellOf(std::max(low[a][k], low[b][k]), k);
            if (keyOf(at) == entries[i].cell && !visit(std::min(a, b), std::max(a, b)))
                return false;
        }
    }
    return true;
}

// Whether the closed loops of sides (corner i runs to corner next[i], projected to the plane) meet
// nowhere: no two sides that do not follow one another come within `tolerance`, and no side turns back
// onto the one before it.
bool loopsApart(const std::vector<std::array<double, 2>>& corner, const std::vector<std::size_t>& next,
                double tolerance) {
    const std::size_t n = corner.size();
    std::vector<std::size_t> before(n);
    for (std::size_t i = 0; i < n; ++i)
        before[next[i]] = i;
    // Whether point p lies within the tolerance of a side, compared squared: without a root, and a
    // distance too large to square is too large to be near.
    const double reach = tolerance * tolerance;
    const auto nearSide = [&](const std::array<double, 2>& p, std::size_t side) {
        const std::array<double, 2>& a = corner[side];
        const std::array<double, 2>& b = corner[next[side]];
        const double dx = b[0] - a[0], dy = b[1] - a[1];
        const double squared = dx * dx + dy * dy;
        const double t =
            squared > 0.0 ? std::clamp(((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / squared, 0.0, 1.0) : 0.0;
        const double ex = p[0] - a[0] - t * dx, ey = p[1] - a[1] - t * dy;
        return ex * ex + ey * ey <= reach;
    };
    const auto turn = [](const std::array<double, 2>& a, const std::array<double, 2>& b,
                         const std::array<double, 2>& c) {
        return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
    };
    const auto cross = [&](std::size_t s, std::size_t t) {
        const auto &a = corner[s], &b = corner[next[s]], &c = corner[t], &d = corner[next[t]];
        return ((turn(a, b, c) > 0.0) != (turn(a, b, d) > 0.0)) &&
               ((turn(c, d, a) > 0.0) != (turn(c, d, b) > 0.0));
    };
    const auto meet = [&](std::size_t s, std::size_t t) {
        return cross(s, t) || nearSide(corner[s], t) || nearSide(corner[next[s]], t) ||
               nearSide(corner[t], s) || nearSide(corner[next[t]], s);
    };
    for (std::size_t s = 0; s < n; ++s)
        if (nearSide(corner[next[s]], before[s]) || nearSide(corner[before[s]], s))
            return false;
    std::vector<std::array<double, 2>> low(n), high(n);
    for (std::size_t s = 0; s < n; ++s) {
        for (std::size_t a = 0; a < 2; ++a) {
            low[s][a] = std::min(corner[s][a], corner[next[s]][a]) - tolerance;
            high[s][a] = std::max(corner[s][a], corner[next[s]][a]) + tolerance;
        }
    }
    return forEachMeetingPair(low, high, kSidePairsPerSide * n, [&](std::size_t s, std::size_t t) {
        return next[s] == t || next[t] == s || !meet(s, t);
    });
}

} // namespace

HLRCrossingFreeParts::HLRCrossingFreeParts(const std::vector<const HLRTriangleData*>& triangleData) {
    findParts(triangleData);
    chooseCentres(triangleData);
    measureParts(triangleData);
    const double margin = tolerance();
    for (std::size_t p = 0; p < m_crossingFree.size(); ++p)
        m_crossingFree[p] = m_crossingFree[p] && (m_leastAway[p] > margin || m_mostAway[p] < -margin) &&
                            m_rayHit[p] < -margin;
    for (std::vector<double>* judged : {&m_leastAway, &m_mostAway, &m_rayHit})
        std::vector<double>().swap(*judged);
    std::vector<HLRVector3D>().swap(m_centre);
    findPatches(adjacencyOfOtherParts(triangleData));
    findFlatPatches(triangleData);
    checkPatches(triangleData);
    cutChunks(triangleData);
    markMeetingChunks(margin, triangleData);
    std::vector<std::uint8_t>().swap(m_edgeRecords);
    std::vector<std::uint8_t>().swap(m_withinCone);
    std::vector<std::array<float, 3>>().swap(m_coneAxis);
}

// The parts and their triangles' edge records (HLRTriangleParts); a part that is not closed and
// consistently wound may cross itself.
void HLRCrossingFreeParts::findParts(const std::vector<const HLRTriangleData*>& triangleData) {
    HLRTriangleParts parts(triangleData);
    m_storeStart = parts.takeStoreStart();
    m_partOfTriangle = parts.takePartOfTriangle();
    m_edgeRecords = parts.takeEdgeRecords();
    m_crossingFree = parts.takeClosed();
    m_triangleCount = parts.takeTriangleCount();
    m_through = parts.takeFirstTriangle();
}

void HLRCrossingFreeParts::chooseCentres(const std::vector<const HLRTriangleData*>& triangleData) {
    constexpr std::uint32_t kSamples = 1000;
    const std::size_t parts = m_crossingFree.size();
    m_centre.assign(parts, HLRVector3D(0.0, 0.0, 0.0));
    // Every step-th triangle of a part is taken, the first one included: `untilNext` counts down to it.
    std::vector<std::uint32_t> untilNext(parts, 0), taken(parts, 0);
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLRTriangle>& triangles = triangleData[s]->triangles();
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            const std::uint32_t part = partOf(s, i);
            if (!m_crossingFree[part])
                continue;
            if (untilNext[part] > 0) {
                --untilNext[part];
                continue;
            }
            untilNext[part] = m_triangleCount[part] / kSamples;
            for (int c = 0; c < 3; ++c)
                m_centre[part] = m_centre[part] + position(*triangleData[s], triangles[i], c);
            ++taken[part];
        }
    }
    for (std::size_t p = 0; p < parts; ++p)
        if (taken[p] > 0)
            m_centre[p] = m_centre[p] / (3.0 * taken[p]);
}

// Besides what judges the parts free of crossings, the range of each open part's normals is measured: a
// part whose range lies within a patch's cone about its middle is one patch along that axis, and needs
// neither neighbours nor normals kept for it. A closed, consistently wound part never is: its triangles'
// normals, each weighted by its area, add up to zero (each edge is run once either way), so they cannot
// all lean towards one axis, and its normals are not measured.
void HLRCrossingFreeParts::measureParts(const std::vector<const HLRTriangleData*>& triangleData) {
    const std::size_t parts = m_crossingFree.size();
    const double huge = std::numeric_limits<double>::infinity();
    m_leastAway.assign(parts, huge);
    m_mostAway.assign(parts, -huge);
    m_rayHit.assign(parts, -huge);
    m_withinCone.resize(parts);
    for (std::size_t p = 0; p < parts; ++p)
        m_withinCone[p] = !m_crossingFree[p];
    m_coneAxis.resize(parts);
    // The least and the largest coordinates of the part's unit normals.
    const float far = std::numeric_limits<float>::infinity();
    std::vector<std::array<float, 6>> range(parts, {far, far, far, -far, -far, -far});
    std::vector<HLRVector3D> ray(parts);
    for (std::size_t p = 0; p < parts; ++p) {
        const std::size_t t = m_through[p];
        const HLRTriangleData& store = *triangleData[storeOf(t)];
        const HLRTriangle& triangle = store.triangles()[t - m_storeStart[storeOf(t)]];
        ray[p] = (position(store, triangle, 0) + position(store, triangle, 1) + position(store, triangle, 2)) / 3.0 -
                 m_centre[p];
    }
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLRTriangle>& triangles = triangleData[s]->triangles();
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            if (i % kTrianglesPerCheck == 0)
                HLRCancelPoll::check();
            const std::size_t t = m_storeStart[s] + i;
            const std::uint32_t part = m_partOfTriangle[t];
            const HLRVector3D v[3] = {position(*triangleData[s], triangles[i], 0),
                                      position(*triangleData[s], triangles[i], 1),
                                      position(*triangleData[s], triangles[i], 2)};
            const HLRVector3D n = cross(v[1] - v[0], v[2] - v[0]);
            const double area = length(n);
            if (!(area > 0.0 && std::isfinite(area))) {
                m_crossingFree[part] = 0;
                m_withinCone[part] = 0;
                continue;
            }
            for (const HLRVector3D& p : v)
                m_extent.add(p);
            if (m_withinCone[part]) {
                const std::array<float, 3> unit = unitOf(n, area);
                for (int a = 0; a < 3; ++a) {
                    range[part][a] = std::min(range[part][a], unit[a]);
                    range[part][a + 3] = std::max(range[part][a + 3], unit[a]);
                }
            }
            if (!m_crossingFree[part])
                continue;
            const double away = dot(n, v[0] - m_centre[part]) / area;
            m_leastAway[part] = std::min(m_leastAway[part], away);
            m_mostAway[part] = std::max(m_mostAway[part], away);
            // Facing both ways about the centre (a body with a bore), the part fails whatever the
            // tolerance comes to, and the ray needs following no further.
            if (m_leastAway[part] <= 0.0 && m_mostAway[part] >= 0.0) {
                m_crossingFree[part] = 0;
                continue;
            }
            const double towards = dot(n, ray[part]);
            if (t == m_through[part] || !(towards * away > 0.0))
                continue; // the ray's own triangle, or a plane it runs along or away from
            const HLRVector3D hit = m_centre[part] + ray[part] * (away * area / towards);
            // The hit's least distance inside the triangle's edges: for each edge, (edge x (hit -
            // corner)) . n over the area and the edge's length. The ray passes most triangles far
            // away, and a distance no more than the most found so far leaves that as it is: an edge
            // showing one (compared squared, without a root or a division) settles the triangle.
            const double most = m_rayHit[part];
            HLRVector3D edge[3];
            double scaled[3]; // each edge's distance times the area and the edge's length
            bool passed = false;
            for (int e = 0; e < 3 && !passed; ++e) {
                edge[e] = v[(e + 1) % 3] - v[e];
                scaled[e] = dot(cross(edge[e], hit - v[e]), n);
                passed = scaled[e] < 0.0 &&
                         scaled[e] * scaled[e] >= most * most * (area * area) * dot(edge[e], edge[e]);
            }
            if (passed)
                continue;
            double inside = huge;
            for (int e = 0; e < 3 && inside > most; ++e)
                inside = std::min(inside, scaled[e] / (area * length(edge[e])));
            m_rayHit[part] = std::max(most, inside);
        }
    }
    // The axis through the middle of the range; every normal in the range is within the cone about it
    // when even the range's corner farthest from it is.
    for (std::size_t p = 0; p < parts; ++p) {
        const std::array<float, 6>& r = range[p];
        const HLRVector3D middle(0.5 * (double(r[0]) + r[3]), 0.5 * (double(r[1]) + r[4]), 0.5 * (double(r[2]) + r[5]));
        const double size = length(middle);
        if (!(m_withinCone[p] && size > 0.0)) {
            m_withinCone[p] = 0;
            continue;
        }
        m_coneAxis[p] = unitOf(middle, size);
        double least = 0.0;
        for (std::size_t a = 0; a < 3; ++a)
            least += std::min(double(m_coneAxis[p][a]) * r[a], double(m_coneAxis[p][a]) * r[a + 3]);
        m_withinCone[p] = least >= kLeastAxisCosine;
    }
}

std::size_t HLRCrossingFreeParts::storeOf(std::size_t t) const {
    return static_cast<std::size_t>(std::upper_bound(m_storeStart.begin(), m_storeStart.end(), t) -
                                    m_storeStart.begin()) -
           1;
}

bool HLRCrossingFreeParts::allCrossingFree() const {
    return std::find(m_crossingFree.begin(), m_crossingFree.end(), 0) == m_crossingFree.end();
}

// The neighbours and normals of the triangles of the parts that are not one patch; nothing when every
// part is.
HLRCrossingFreeParts::Adjacency
HLRCrossingFreeParts::adjacencyOfOtherParts(const std::vector<const HLRTriangleData*>& triangleData) const {
    Adjacency adjacency;
    bool any = false;
    for (std::uint32_t p = 0; p < m_crossingFree.size() && !any; ++p)
        any = !onePatch(p);
    if (!any)
        return adjacency;
    const std::size_t total = m_partOfTriangle.size();
    fillOnHugePages(adjacency, total, Around{{kNone, kNone, kNone}, {0, 0, 0, 0}});
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const HLRTriangleData& source = *triangleData[s];
        const std::vector<HLRTriangleEdge>& edges = source.edges();
        for (std::size_t e = 0; e < edges.size(); ++e) {
            if (e % kTrianglesPerCheck == 0)
                HLRCancelPoll::check();
            const HLRTriangleEdge& edge = edges[e];
            const std::int32_t side[2] = {edge.leftTriangle(), edge.rightTriangle()};
            if (side[0] == HLRTriangleEdge::NONE || side[1] == HLRTriangleEdge::NONE)
                continue;
            const std::size_t t[2] = {m_storeStart[s] + static_cast<std::size_t>(side[0]),
                                      m_storeStart[s] + static_cast<std::size_t>(side[1])};
            if (onePatch(m_partOfTriangle[t[0]]))
                continue;
            for (int k = 0; k < 2; ++k) {
                std::uint32_t* slots = adjacency[t[k]].neighbour;
                std::uint32_t* free = std::find(slots, slots + 3, kNone);
                if (free != slots + 3)
                    *free = static_cast<std::uint32_t>(t[1 - k]);
            }
        }
        const std::vector<HLRTriangle>& triangles = source.triangles();
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            if (i % kTrianglesPerCheck == 0)
                HLRCancelPoll::check();
            if (onePatch(partOf(s, i)))
                continue;
            adjacency[m_storeStart[s] + i].normal = keptNormal(source, triangles[i]);
        }
    }
    return adjacency;
}

// A part that is one patch takes the axis it was measured with (none where it is free of crossings). In
// the others each patch grows from the first triangle not yet taken, over edges with a triangle on
// either side, taking the neighbours whose normals stay near its axis: the seed's normal, then the mean
// of the normals it took, which leaves fewer triangles out where the seed leans (a slope of a terrain).
void HLRCrossingFreeParts::findPatches(const Adjacency& adjacency) {
    const std::size_t parts = m_crossingFree.size();
    const auto axisOf = [this](std::uint32_t part) {
        return m_crossingFree[part] ? HLRVector3D(0.0, 0.0, 0.0) : vectorOf(m_coneAxis[part]);
    };
    if (adjacency.empty()) {
        m_partOfPatch.resize(parts);
        std::iota(m_partOfPatch.begin(), m_partOfPatch.end(), 0u);
        m_axis.reserve(parts);
        for (std::uint32_t p = 0; p < parts; ++p)
            m_axis.push_back(axisOf(p));
        return;
    }
    // A triangle's normal as kept, 127 long; a patch takes it when within its cone so scaled.
    const auto normalOf = [&adjacency](std::size_t t) {
        const std::array<std::int8_t, 4>& n = adjacency[t].normal;
        return HLRVector3D(n[0], n[1], n[2]);
    };
    const double leastAxisDot = 127.0 * kLeastAxisCosine;
    const std::size_t total = m_partOfTriangle.size();
    fillOnHugePages(m_patchOfTriangle, total, kNone);
    std::vector<std::uint32_t> patchOfPart(parts, kNone), grown;
    // Room for a patch per triangle: only what is filled is touched, and a city of many small patches
    // is not copied over and over as they grow.
    m_axis.reserve(total);
    m_partOfPatch.reserve(total);
    for (std::size_t seed = 0; seed < total; ++seed) {
        if (seed % kTrianglesPerCheck == 0)
            HLRCancelPoll::check();
        const std::uint32_t part = m_partOfTriangle[seed];
        if (onePatch(part)) {
            if (patchOfPart[part] == kNone) {
                patchOfPart[part] = static_cast<std::uint32_t>(m_axis.size());
                m_axis.push_back(axisOf(part));
                m_partOfPatch.push_back(part);
            }
            m_patchOfTriangle[seed] = patchOfPart[part];
            continue;
        }
        if (m_patchOfTriangle[seed] != kNone)
            continue;
        const auto patch = static_cast<std::uint32_t>(m_axis.size());
        const HLRVector3D kept = normalOf(seed);
        const HLRVector3D normal = length(kept) > 0.0 ? kept / length(kept) : kept;
        HLRVector3D axis = normal;
        for (int pass = 0; pass < 2; ++pass) {
            grown.assign(1, static_cast<std::uint32_t>(seed));
            m_patchOfTriangle[seed] = patch;
            const std::size_t limit = pass == 0 ? kAxisSample : total;
            for (std::size_t g = 0; g < grown.size() && grown.size() < limit; ++g) {
                if (g % kTrianglesPerCheck == 0)
                    HLRCancelPoll::check();
                for (int k = 0; k < 3; ++k) {
                    const std::uint32_t next = adjacency[grown[g]].neighbour[k];
                    if (next == kNone || m_patchOfTriangle[next] != kNone ||
                        !(dot(normalOf(next), axis) >= leastAxisDot))
                        continue;
                    m_patchOfTriangle[next] = patch;
                    grown.push_back(next);
                }
            }
            const bool whole = grown.size() < limit;
            if (pass == 1 ||
                (whole && (grown.size() == m_triangleCount[part] || grown.size() < kChunkTriangles)))
                break; // grown again, nothing left out, or tested whole anyway
            HLRVector3D sum(0.0, 0.0, 0.0);
            for (std::uint32_t t : grown)
                sum = sum + normalOf(t);
            const HLRVector3D mean = sum / length(sum);
            axis = dot(mean, normal) >= kLeastAxisCosine ? mean : normal;
            for (std::uint32_t t : grown)
                m_patchOfTriangle[t] = kNone;
        }
        m_axis.push_back(axis);
        m_partOfPatch.push_back(part);
    }
}

// Clears heightField[r] of each region r still marked whose open sides (those of its triangles without a
// neighbour of the region, as the triangles run them), projected along axes[r], do not form closed
// loops that keep apart, one of them of positive area. The triangle at t (counted over all stores) is
// of region regionOf(t), kNone for none; every triangle of a marked region faces along its axis.
template <typename RegionOf>
void HLRCrossingFreeParts::checkSideLoops(const std::vector<const HLRTriangleData*>& triangleData,
                                          RegionOf regionOf, const std::vector<HLRVector3D>& axes,
                                          std::vector<std::uint8_t>& heightField) const {
    // The open sides of the regions, as the triangles run them, by global vertex position.
    struct Side {
        std::uint32_t region;
        std::size_t from, to;
    };
    std::vector<Side> sides;
    std::vector<std::size_t> vertexStart;
    std::size_t vertices = 0, edgeCount = 0;
    for (const HLRTriangleData* data : triangleData)
        edgeCount += data->edges().size();
    sides.reserve(2 * edgeCount); // only what is filled is touched
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        vertexStart.push_back(vertices);
        vertices += triangleData[s]->vertices().size();
        const auto index = [&](std::int32_t t) { return m_storeStart[s] + static_cast<std::size_t>(t); };
        const std::vector<HLRTriangleEdge>& edges = triangleData[s]->edges();
        for (std::size_t e = 0; e < edges.size(); ++e) {
            if (e % kTrianglesPerCheck == 0)
                HLRCancelPoll::check();
            const HLRTriangleEdge& edge = edges[e];
            const std::int32_t left = edge.leftTriangle(), right = edge.rightTriangle();
            const std::size_t start = vertexStart[s] + static_cast<std::size_t>(edge.startVertex());
            const std::size_t end = vertexStart[s] + static_cast<std::size_t>(edge.endVertex());
            const std::uint32_t leftRegion = left == HLRTriangleEdge::NONE ? kNone : regionOf(index(left));
            const std::uint32_t rightRegion = right == HLRTriangleEdge::NONE ? kNone : regionOf(index(right));
            if (leftRegion == rightRegion)
                continue;
            if (leftRegion != kNone && heightField[leftRegion])
                sides.push_back({leftRegion, start, end});
            if (rightRegion != kNone && heightField[rightRegion])
                sides.push_back({rightRegion, end, start});
        }
    }
    // The sides grouped by region, each region's in the order found.
    std::vector<Side> grouped;
    const std::vector<std::size_t> regionStart =
        sortByKey(sides, heightField.size(), [](const Side& side) { return side.region; }, grouped);
    std::vector<Side>().swap(sides);
    const auto positionOf = [&](std::size_t v) {
        const std::size_t s =
            static_cast<std::size_t>(std::upper_bound(vertexStart.begin(), vertexStart.end(), v) -
                                     vertexStart.begin()) -
            1;
        const HLRTriangleVertex& vertex = triangleData[s]->vertices()[v - vertexStart[s]];
        return HLRVector3D(vertex.x, vertex.y, vertex.z);
    };
    const double margin = tolerance();
    // By vertex, the side of the region at hand that starts there (counted from the region's first),
    // kNone where none does; cleared again after each region.
    std::vector<std::uint32_t> sideFrom;
    fillOnHugePages(sideFrom, grouped.empty() ? 0 : vertices, kNone);
    std::vector<std::array<double, 2>> corner;
    std::vector<std::size_t> next;
    for (std::size_t region = 0; region < heightField.size(); ++region) {
        const std::size_t first = regionStart[region], last = regionStart[region + 1];
        if (first == last)
            continue;
        // Each corner must start exactly one side...
        bool simple = true;
        for (std::size_t i = first; i < last; ++i) {
            std::uint32_t& slot = sideFrom[grouped[i].from];
            simple = simple && slot == kNone;
            slot = static_cast<std::uint32_t>(i - first);
        }
        const HLRVector3D& axis = axes[region];
        const HLRVector3D across =
            cross(axis, std::fabs(axis.x) < 0.5 ? HLRVector3D(1.0, 0.0, 0.0) : HLRVector3D(0.0, 1.0, 0.0));
        const HLRVector3D u = across / length(across);
        const HLRVector3D v = cross(axis, u);
        corner.clear();
        next.clear();
        for (std::size_t i = first; simple && i < last; ++i) {
            if ((i - first) % kTrianglesPerCheck == 0)
                HLRCancelPoll::check();
            const HLRVector3D p = positionOf(grouped[i].from);
            corner.push_back({dot(p, u), dot(p, v)});
            const std::uint32_t to = sideFrom[grouped[i].to];
            simple = to != kNone;
            next.push_back(to);
        }
        for (std::size_t i = first; i < last; ++i)
            sideFrom[grouped[i].from] = kNone;
        // ... and end exactly one: the sides then make closed loops.
        std::vector<std::uint8_t> seen(corner.size(), 0);
        for (std::size_t i = 0; simple && i < corner.size(); ++i) {
            simple = !seen[next[i]];
            seen[next[i]] = 1;
        }
        // The loops' winding numbers add up to how often the region covers a point; as the region runs
        // counter-clockwise about its axis, and loops that meet nowhere nest, one loop of positive
        // area (the others inside it, holes) covers each point at most once.
        std::size_t positive = 0;
        std::fill(seen.begin(), seen.end(), std::uint8_t{0});
        for (std::size_t i = 0; simple && i < corner.size(); ++i) {
            double area = 0.0;
            for (std::size_t j = i; !seen[j]; j = next[j]) {
                seen[j] = 1;
                area += corner[j][0] * corner[next[j]][1] - corner[next[j]][0] * corner[j][1];
            }
            positive += area > 0.0 ? 1 : 0;
        }
        heightField[region] = simple && positive == 1 && loopsApart(corner, next, margin);
    }
}

// A patch is a height field when every triangle of it has its three sides recorded (no edge of more
// than two triangles), and its open sides (those without a neighbour of the patch) form closed loops
// that, projected along its axis, keep apart, one of them of positive area. A patch smaller than a
// chunk (the wall of a house) is tested whole, as are the parts it belongs to: checking it would cost
// more than the pairs it saves. A flat patch, which no triangle of it can cross, is not checked: its
// sides (the rims of a gear's faces) are as many as those of all the other patches.
void HLRCrossingFreeParts::checkPatches(const std::vector<const HLRTriangleData*>& triangleData) {
    const std::size_t patches = m_axis.size();
    m_heightField.assign(patches, 1);
    if (allCrossingFree())
        return;
    for (std::size_t p = 0; p < patches; ++p)
        m_heightField[p] = !m_flat[p];
    std::vector<std::uint32_t> size(patches, 0);
    for (std::size_t t = 0; t < m_partOfTriangle.size(); ++t) {
        const std::uint32_t patch = patchOfTriangle(t);
        ++size[patch];
        if ((m_edgeRecords[t] & 3) != 3)
            m_heightField[patch] = 0;
    }
    for (std::size_t p = 0; p < patches; ++p)
        if (size[p] < kChunkTriangles)
            m_heightField[p] = 0;
    checkSideLoops(triangleData, [this](std::size_t t) { return patchOfTriangle(t); }, m_axis, m_heightField);
}

// Each triangle's plane is worked out as HLRTriangleCrossing::Triangle does. Two planes whose normals
// differ by e and offsets by f are at most e |x| + f apart at a point x of the extent.
void HLRCrossingFreeParts::findFlatPatches(const std::vector<const HLRTriangleData*>& triangleData) {
    const std::size_t patches = m_axis.size();
    m_flat.assign(patches, 0);
    m_planeNormal.assign(patches, HLRVector3D(0.0, 0.0, 0.0));
    m_planeOffset.assign(patches, 0.0);
    if (allCrossingFree() || !m_extent.isValid())
        return;
    const HLRVector3D& lo = m_extent.min();
    const HLRVector3D& hi = m_extent.max();
    const double reach = length(HLRVector3D(std::max(std::fabs(lo.x), std::fabs(hi.x)),
                                            std::max(std::fabs(lo.y), std::fabs(hi.y)),
                                            std::max(std::fabs(lo.z), std::fabs(hi.z))));
    const double allowed = 0.25 * tolerance();
    std::vector<std::uint8_t> seen(patches, 0);
    // The patches that may still be flat: once none is (a terrain), the other triangles need no look.
    std::size_t maybeFlat = 0;
    for (std::size_t p = 0; p < patches; ++p) {
        m_flat[p] = !m_crossingFree[m_partOfPatch[p]];
        maybeFlat += m_flat[p];
    }
    for (std::size_t s = 0; s < triangleData.size() && maybeFlat > 0; ++s) {
        const std::vector<HLRTriangle>& triangles = triangleData[s]->triangles();
        for (std::size_t i = 0; i < triangles.size() && maybeFlat > 0; ++i) {
            if (i % kTrianglesPerCheck == 0)
                HLRCancelPoll::check();
            const std::uint32_t patch = patchOf(s, i);
            if (!m_flat[patch])
                continue;
            const HLRVector3D v0 = position(*triangleData[s], triangles[i], 0);
            const HLRVector3D n = cross(position(*triangleData[s], triangles[i], 1) - v0,
                                        position(*triangleData[s], triangles[i], 2) - v0);
            const double size = length(n);
            if (!(size > 0.0 && std::isfinite(size))) {
                m_flat[patch] = 0;
                --maybeFlat;
                continue;
            }
            const HLRVector3D normal = n / size;
            const double offset = dot(normal, v0);
            if (!seen[patch]) {
                seen[patch] = 1;
                m_planeNormal[patch] = normal;
                m_planeOffset[patch] = offset;
            } else if (!(length(normal - m_planeNormal[patch]) * reach +
                             std::fabs(offset - m_planeOffset[patch]) <=
                         allowed)) {
                m_flat[patch] = 0;
                --maybeFlat;
            }
        }
    }
}

// A chunk's surroundings are its box, and across each edge between two chunks the other triangle's box.
std::vector<HLRBox3D>
HLRCrossingFreeParts::surroundings(const std::vector<const HLRTriangleData*>& triangleData) const {
    const std::size_t chunks = m_patchOfChunk.size();
    std::vector<HLRBox3D> around = m_chunkBox;
    std::vector<std::uint8_t> known = m_chunkKnown;
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const HLRTriangleData& store = *triangleData[s];
        const std::vector<HLRTriangleEdge>& edges = store.edges();
        for (std::size_t e = 0; e < edges.size(); ++e) {
            if (e % kTrianglesPerCheck == 0)
                HLRCancelPoll::check();
            const HLRTriangleEdge& edge = edges[e];
            const std::int32_t side[2] = {edge.leftTriangle(), edge.rightTriangle()};
            if (side[0] == HLRTriangleEdge::NONE || side[1] == HLRTriangleEdge::NONE)
                continue;
            const std::uint32_t chunk[2] = {m_chunkOfTriangle[m_storeStart[s] + static_cast<std::size_t>(side[0])],
                                            m_chunkOfTriangle[m_storeStart[s] + static_cast<std::size_t>(side[1])]};
            if (chunk[0] == chunk[1])
                continue;
            for (int k = 0; k < 2; ++k) {
                const HLRTriangle& triangle = store.triangles()[static_cast<std::size_t>(side[k])];
                for (int c = 0; c < 3; ++c) {
                    const HLRVector3D p = position(store, triangle, c);
                    known[chunk[1 - k]] = known[chunk[1 - k]] && std::isfinite(p.x) && std::isfinite(p.y) &&
                                          std::isfinite(p.z);
                    around[chunk[1 - k]].add(p);
                }
            }
        }
    }
    // (Assigning a box marks it valid, so the unknown ones are left as they were made.)
    std::vector<HLRBox3D> knownAround(chunks);
    for (std::size_t c = 0; c < chunks; ++c)
        if (known[c])
            knownAround[c] = around[c];
    return knownAround;
}

// Consecutive triangles of one patch, up to kChunkTriangles, make a chunk: models list their triangles
// region by region, so that a chunk's box stays near its triangles.
void HLRCrossingFreeParts::cutChunks(const std::vector<const HLRTriangleData*>& triangleData) {
    const std::size_t patches = m_axis.size();
    // Patches that may cross themselves are tested whole, and share chunks (m_patchOfChunk kNone).
    const auto shared = [this](std::uint32_t patch) { return !cannotCross(patch, patch); };
    // A model of one patch that cannot cross itself (a terrain, a convex body) is one chunk, never
    // compared with another: neither its box nor its triangles' chunk is needed.
    if (patches == 1 && !shared(0)) {
        m_patchOfChunk.push_back(0);
        m_chunkBox.emplace_back();
        return;
    }
    std::vector<std::uint32_t> open(patches + 1, kNone), filled;
    std::vector<std::size_t> lastTaken(patches + 1, 0);
    // By patch, what its triangles' chunks are filed under: itself, or `patches` for the shared ones.
    std::vector<std::uint32_t> fileOf;
    fileOf.reserve(patches);
    for (std::uint32_t p = 0; p < patches; ++p)
        fileOf.push_back(shared(p) ? static_cast<std::uint32_t>(patches) : p);
    fillOnHugePages(m_chunkOfTriangle, m_partOfTriangle.size(), 0u);
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLRTriangle>& triangles = triangleData[s]->triangles();
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            if (i % kTrianglesPerCheck == 0)
                HLRCancelPoll::check();
            const std::size_t t = m_storeStart[s] + i;
            const std::uint32_t file = fileOf[patchOfTriangle(t)];
            const std::uint32_t patch = file == patches ? kNone : file;
            std::uint32_t& chunk = open[file];
            std::size_t& last = lastTaken[file];
            if (chunk == kNone || filled[chunk] == kChunkTriangles || t - last > kChunkTriangles) {
                chunk = static_cast<std::uint32_t>(m_patchOfChunk.size());
                m_patchOfChunk.push_back(patch);
                m_chunkBox.emplace_back();
                m_chunkKnown.push_back(1);
                filled.push_back(0);
            }
            ++filled[chunk];
            last = t;
            m_chunkOfTriangle[t] = chunk;
            const HLRVector3D corner[3] = {position(*triangleData[s], triangles[i], 0),
                                           position(*triangleData[s], triangles[i], 1),
                                           position(*triangleData[s], triangles[i], 2)};
            bool finite = true;
            for (const HLRVector3D& p : corner)
                finite = finite && std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
            if (finite) {
                // The triangle's own box first, in registers: the chunk's box is read and written once.
                HLRBox3D box(corner[0], corner[0]);
                box.add(corner[1]);
                box.add(corner[2]);
                m_chunkBox[chunk].add(box);
            } else {
                for (const HLRVector3D& p : corner)
                    m_chunkBox[chunk].add(p);
            }
            m_chunkKnown[chunk] = m_chunkKnown[chunk] && finite && (m_edgeRecords[t] & 3) == 3;
        }
    }
}

double HLRCrossingFreeParts::tolerance() const {
    if (!m_extent.isValid())
        return 0.0;
    const HLRVector3D& lo = m_extent.min();
    const HLRVector3D& hi = m_extent.max();
    const double largest = std::max({std::fabs(lo.x), std::fabs(lo.y), std::fabs(lo.z), std::fabs(hi.x),
                                     std::fabs(hi.y), std::fabs(hi.z)});
    return HLRProjectedModel::EXACT_RELATIVE_TOLERANCE * length(hi - lo) +
           HLRProjectedModel::EXACT_ROUNDING_TOLERANCE * largest;
}

// A chunk's triangles need testing where its patch may cross itself, or its box meets the box of a
// chunk whose patch it may cross.
void HLRCrossingFreeParts::markMeetingChunks(double tolerance,
                                             const std::vector<const HLRTriangleData*>& triangleData) {
    const std::size_t chunks = m_patchOfChunk.size();
    const auto selfCrossing = [this](std::uint32_t chunk) {
        const std::uint32_t patch = m_patchOfChunk[chunk];
        return patch == kNone || !cannotCross(patch, patch);
    };
    // Chunks tested anyway need not be marked, but mark the others they meet.
    const auto marks = [&](std::uint32_t a, std::uint32_t b) {
        const std::uint32_t first = m_patchOfChunk[a], second = m_patchOfChunk[b];
        return first == kNone    ? second != kNone && !selfCrossing(b)
               : second == kNone ? !selfCrossing(a)
                                 : !cannotCross(first, second);
    };
    // Whether `box` keeps to one side of the plane of patch `patch`, a flat one, within half the tolerance.
    const auto boxKeepsToOneSide = [&](const HLRBox3D& box, std::uint32_t patch) {
        if (patch == kNone || !m_flat[patch] || !box.isValid())
            return false;
        const HLRVector3D& n = m_planeNormal[patch];
        const HLRVector3D& lo = box.min();
        const HLRVector3D& hi = box.max();
        const double least = std::min(n.x * lo.x, n.x * hi.x) + std::min(n.y * lo.y, n.y * hi.y) +
                             std::min(n.z * lo.z, n.z * hi.z) - m_planeOffset[patch];
        const double most = std::max(n.x * lo.x, n.x * hi.x) + std::max(n.y * lo.y, n.y * hi.y) +
                            std::max(n.z * lo.z, n.z * hi.z) - m_planeOffset[patch];
        return least >= -0.5 * tolerance || most <= 0.5 * tolerance;
    };
    // Where every chunk is known, so is every chunk's surroundings, and the box of them all is that of
    // every triangle, the chunks' boxes together. A flat patch whose plane that box keeps to one side of
    // (the faces of a gear, a street under its houses) is apart from every chunk: a box within it keeps to
    // the same side, rounding included. Its chunks, whose boxes reach across the model's width, are left
    // out of the comparison.
    HLRBox3D all;
    bool allKnown = chunks > 1;
    for (std::size_t c = 0; c < chunks && allKnown; ++c) {
        allKnown = m_chunkKnown[c] != 0;
        all.add(m_chunkBox[c]);
    }
    std::vector<std::uint32_t> compared;
    bool flatCompared = false;
    for (std::uint32_t c = 0; c < chunks; ++c) {
        const std::uint32_t patch = m_patchOfChunk[c];
        if (!(allKnown && boxKeepsToOneSide(all, patch))) {
            compared.push_back(c);
            flatCompared = flatCompared || (patch != kNone && m_flat[patch]);
        }
    }
    // The surroundings of the chunks, needed only where a flat patch is compared.
    const std::vector<HLRBox3D> around =
        chunks > 1 && flatCompared ? surroundings(triangleData) : std::vector<HLRBox3D>(chunks);
    const auto apart = [&](std::uint32_t a, std::uint32_t b) {
        return boxKeepsToOneSide(around[b], m_patchOfChunk[a]) ||
               boxKeepsToOneSide(around[a], m_patchOfChunk[b]);
    };
    std::vector<std::uint8_t> meets(chunks, 0);
    // The chunks joined by the pairs that mark them.
    std::vector<std::uint32_t> group(chunks);
    std::iota(group.begin(), group.end(), 0u);
    // Only a chunk that is not tested anyway can be marked: a soup of loose triangles, all tested, has
    // none, and its chunks' boxes, spread over the whole model, are not compared.
    bool markable = false, provable = false;
    for (std::uint32_t c = 0; c < chunks && !markable; ++c)
        markable = !selfCrossing(c);
    if (chunks > 1 && markable) {
        std::vector<std::array<double, 3>> low(compared.size()), high(compared.size());
        for (std::size_t k = 0; k < compared.size(); ++k) {
            const HLRVector3D& lo = m_chunkBox[compared[k]].min();
            const HLRVector3D& hi = m_chunkBox[compared[k]].max();
            low[k] = {lo.x - tolerance, lo.y - tolerance, lo.z - tolerance};
            high[k] = {hi.x + tolerance, hi.y + tolerance, hi.z + tolerance};
        }
        const bool done = forEachMeetingPair(
            low, high, kChunkPairsPerChunk * compared.size(), [&](std::size_t a, std::size_t b) {
                const std::uint32_t first = compared[a], second = compared[b];
                if (marks(first, second) && !apart(first, second)) {
                    meets[first] = meets[second] = 1;
                    const std::uint32_t x = HLRTriangleParts::rootOf(group, first),
                                        y = HLRTriangleParts::rootOf(group, second);
                    group[std::max(x, y)] = std::min(x, y);
                }
                return true;
            });
        if (!done)
            meets.assign(chunks, 1);
        provable = done;
    }
    m_needsTest.assign(chunks, 0);
    for (std::size_t c = 0; c < chunks; ++c)
        m_needsTest[c] = selfCrossing(static_cast<std::uint32_t>(c)) || meets[c];
    if (!provable || std::find(meets.begin(), meets.end(), 1) == meets.end())
        return;
    // The groups of marked chunks numbered in place, as the parts are (every chunk's parent comes before
    // it), none for the chunks not marked and none for a group with a chunk tested anyway.
    std::vector<std::uint8_t> ofSelfCrossing;
    for (std::uint32_t c = 0; c < chunks; ++c) {
        if (!meets[c]) {
            group[c] = kNone;
        } else if (group[c] == c) {
            group[c] = static_cast<std::uint32_t>(ofSelfCrossing.size());
            ofSelfCrossing.push_back(0);
        } else {
            group[c] = group[group[c]];
        }
        if (group[c] != kNone && selfCrossing(c))
            ofSelfCrossing[group[c]] = 1;
    }
    for (std::uint32_t& g : group)
        g = g == kNone || ofSelfCrossing[g] ? kNone : g;
    clearHeightFieldGroups(group, ofSelfCrossing.size(), triangleData);
}

// A group of chunks that meet across the seams between patches (the walls of a gear on either side of
// where one patch ends and the next begins) meets no chunk outside it that it may cross. Where its
// triangles together are a height field along some axis, each with its three sides recorded and
// facing within a patch's cone of it, and their open sides' loops keep apart in projection as a
// patch's must, no two of them cross, and none of its chunks needs testing: a closed part whose seams
// are all such groups (the gear) has no triangle tested.
void HLRCrossingFreeParts::clearHeightFieldGroups(const std::vector<std::uint32_t>& groupOfChunk,
                                                  std::size_t groups,
                                                  const std::vector<const HLRTriangleData*>& triangleData) {
    const auto groupOf = [&](std::size_t t) { return groupOfChunk[m_chunkOfTriangle[t]]; };
    // The groups' triangles with their unit normals; the axis of each group is their mean.
    std::vector<std::uint8_t> heightField(groups, 1);
    std::vector<std::pair<std::uint32_t, Normal>> members;
    std::vector<HLRVector3D> axes(groups, HLRVector3D(0.0, 0.0, 0.0));
    for (std::size_t s = 0; s < triangleData.size(); ++s) {
        const std::vector<HLRTriangle>& triangles = triangleData[s]->triangles();
        for (std::size_t i = 0; i < triangles.size(); ++i) {
            if (i % kTrianglesPerCheck == 0)
                HLRCancelPoll::check();
            const std::uint32_t g = groupOf(m_storeStart[s] + i);
            if (g == kNone || !heightField[g])
                continue;
            const Normal normal = unitNormal(*triangleData[s], triangles[i]);
            if (normal == Normal{0.0f, 0.0f, 0.0f} || (m_edgeRecords[m_storeStart[s] + i] & 3) != 3) {
                heightField[g] = 0;
                continue;
            }
            members.emplace_back(g, normal);
            axes[g] = axes[g] + vectorOf(normal);
        }
    }
    for (HLRVector3D& axis : axes)
        axis = length(axis) > 0.0 ? axis / length(axis) : axis;
    // Where a normal lies outside the cone about the mean, the axis moves towards the farthest one, as
    // the centre of the smallest ball about points is found, a few steps at most.
    std::vector<std::pair<double, Normal>> farthest(groups);
    for (int step = 1;; ++step) {
        std::fill(farthest.begin(), farthest.end(), std::make_pair(1.0, Normal{}));
        for (const auto& [g, normal] : members)
            if (dot(vectorOf(normal), axes[g]) < farthest[g].first)
                farthest[g] = {dot(vectorOf(normal), axes[g]), normal};
        bool moved = false;
        for (std::size_t g = 0; g < groups; ++g) {
            if (!heightField[g] || farthest[g].first >= kLeastAxisCosine)
                continue;
            if (step == kAxisSteps) {
                heightField[g] = 0;
                continue;
            }
            const HLRVector3D axis = axes[g] + (vectorOf(farthest[g].second) - axes[g]) / (step + 1.0);
            axes[g] = length(axis) > 0.0 ? axis / length(axis) : axis;
            moved = true;
        }
        if (!moved)
            break;
    }
    checkSideLoops(triangleData, groupOf, axes, heightField);
    for (std::size_t c = 0; c < groupOfChunk.size(); ++c)
        if (groupOfChunk[c] != kNone && heightField[groupOfChunk[c]])
            m_needsTest[c] = 0;
}

} // namespace KvHLR
