#include "Hlr/HLRIntersectionFinder.h"

#include "Hlr/HLRProgressObservableProc.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangle.h"
#include "Hlr/HLRProjectedTriangleData.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <unordered_map>

namespace KvHLR {

namespace {

const char* const FIND_STAGE = "HLRIntersectionFinder::find";
// Progress is reported this many times while the pairs are tested.
constexpr int kProgressSteps = 64;
// The grid's cells hold at most this many entries per candidate on average, however the triangles'
// sizes vary; and no axis has more cells than this.
constexpr double kMaxEntriesPerCandidate = 8.0;
constexpr double kMaxCellsPerAxis = 1 << 20;
// Unit normals whose cross product is shorter than this belong to planes taken as parallel: the
// direction of their common line is rounding noise.
constexpr double kParallelSine = 1e-12;

using Vertex = HLRProjectedTriangleVertex;

HLRVector3D worldPosition(const Vertex* vertex) {
    const HLRTriangleVertex* source = vertex->sourcePoint;
    return HLRVector3D(source->x, source->y, source->z);
}

// What identifies an end point independently of the pair that found it: a corner of the model, or an
// edge (its two corners in address order) meeting the plane of a triangle. Neighbouring segments of one
// line find their common end under the same key, computed by the same arithmetic.
struct EndKey {
    const void* a;
    const void* b;
    const void* plane;
    bool operator==(const EndKey& o) const { return a == o.a && b == o.b && plane == o.plane; }
};

struct EndKeyHash {
    std::size_t operator()(const EndKey& k) const {
        const std::hash<const void*> h;
        return h(k.a) ^ (h(k.b) * 0x9E3779B97F4A7C15ull) ^ (h(k.plane) * 0xC2B2AE3D27D4EB4Full);
    }
};

// A triangle in world coordinates with its unit normal; `valid` is false for one without an area.
struct Geometry {
    const HLRProjectedTriangle* triangle;
    HLRVector3D position[3];
    HLRVector3D normal;
    double offset = 0.0;
    bool valid = false;

    explicit Geometry(const HLRProjectedTriangle* t) : triangle(t) {
        for (int i = 0; i < 3; ++i)
            position[i] = worldPosition(t->vertex(i));
        const HLRVector3D n = cross(position[1] - position[0], position[2] - position[0]);
        const double size = length(n);
        if (size > 0.0 && std::isfinite(size)) {
            normal = n / size;
            offset = dot(normal, position[0]);
            valid = true;
        }
    }

    const Vertex* corner(int i) const { return triangle->vertex(i); }
    // Signed distance from the plane, zero within the tolerance.
    double distance(const HLRVector3D& x, double tolerance) const {
        const double d = dot(normal, x) - offset;
        return std::fabs(d) <= tolerance ? 0.0 : d;
    }
};

// An undirected edge by its corners, in address order.
std::pair<const Vertex*, const Vertex*> edgeKey(const Vertex* a, const Vertex* b) {
    return std::less<const Vertex*>()(a, b) ? std::make_pair(a, b) : std::make_pair(b, a);
}

bool shareCorner(const HLRProjectedTriangle* a, const HLRProjectedTriangle* b) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (a->vertex(i) == b->vertex(j))
                return true;
    return false;
}

} // namespace

struct HLRIntersectionFinder::Crossing {
    struct End {
        HLRVector3D point;
        EndKey key;
        double along = 0.0; // position along the two planes' common line
    };
    End ends[2];
    std::uint32_t first = 0;  // candidate positions, first < second
    std::uint32_t second = 0;
    // Per triangle, the corners of the edge the stretch runs along, or -1 when it crosses the triangle.
    std::int8_t alongFirst[2] = {-1, -1};
    std::int8_t alongSecond[2] = {-1, -1};
};

namespace {

// The part of triangle `own` lying in the plane of `other`: a stretch between two ends, each a corner
// in that plane or a place where an edge passes through it.
struct PlaneCut {
    enum { NONE, COPLANAR, STRETCH } kind = NONE;
    HLRIntersectionFinder::Crossing::End ends[2];
    std::int8_t along[2] = {-1, -1}; // corners of the edge lying in the plane, if one does
};

PlaneCut planeCut(const Geometry& own, const Geometry& other, double tolerance) {
    PlaneCut cut;
    double d[3];
    int positive = 0;
    int negative = 0;
    for (int i = 0; i < 3; ++i) {
        d[i] = other.distance(own.position[i], tolerance);
        positive += d[i] > 0.0;
        negative += d[i] < 0.0;
    }
    if (positive == 0 && negative == 0) {
        cut.kind = PlaneCut::COPLANAR;
        return cut;
    }
    if (positive == 3 || negative == 3)
        return cut;
    int count = 0;
    int zeros[2];
    int zeroCount = 0;
    for (int i = 0; i < 3 && count < 2; ++i) {
        if (d[i] == 0.0) {
            const Vertex* v = own.corner(i);
            cut.ends[count++] = {own.position[i], EndKey{v, v, nullptr}, 0.0};
            zeros[zeroCount++] = i;
        }
    }
    for (int i = 0; i < 3 && count < 2; ++i) {
        const int j = (i + 1) % 3;
        if ((d[i] < 0.0 && d[j] > 0.0) || (d[i] > 0.0 && d[j] < 0.0)) {
            // Always from the corner of lower address, so that both triangles of the edge compute
            // the very same point.
            int u = i;
            int v = j;
            if (std::less<const Vertex*>()(own.corner(v), own.corner(u)))
                std::swap(u, v);
            const double share = d[u] / (d[u] - d[v]);
            const HLRVector3D point = own.position[u] + (own.position[v] - own.position[u]) * share;
            cut.ends[count++] = {point, EndKey{own.corner(u), own.corner(v), other.triangle}, 0.0};
        }
    }
    if (count < 2)
        return cut; // a corner touching the plane
    cut.kind = PlaneCut::STRETCH;
    if (zeroCount == 2) {
        cut.along[0] = static_cast<std::int8_t>(zeros[0]);
        cut.along[1] = static_cast<std::int8_t>(zeros[1]);
    }
    return cut;
}

// The segment along which two triangles cross, if they do.
bool crossTriangles(const Geometry& a, const Geometry& b, double tolerance,
                    HLRIntersectionFinder::Crossing& crossing) {
    PlaneCut cutA = planeCut(a, b, tolerance);
    if (cutA.kind != PlaneCut::STRETCH)
        return false;
    PlaneCut cutB = planeCut(b, a, tolerance);
    if (cutB.kind != PlaneCut::STRETCH)
        return false;
    const HLRVector3D line = cross(a.normal, b.normal);
    if (!(length(line) > kParallelSine))
        return false;
    for (PlaneCut* cut : {&cutA, &cutB}) {
        for (auto& end : cut->ends)
            end.along = dot(end.point, line);
        if (cut->ends[1].along < cut->ends[0].along)
            std::swap(cut->ends[0], cut->ends[1]);
    }
    // The overlap of the two stretches along the common line.
    const auto& lo = cutB.ends[0].along > cutA.ends[0].along ? cutB.ends[0] : cutA.ends[0];
    const auto& hi = cutB.ends[1].along < cutA.ends[1].along ? cutB.ends[1] : cutA.ends[1];
    if (!(hi.along > lo.along) || !(length(hi.point - lo.point) > tolerance))
        return false;
    crossing.ends[0] = lo;
    crossing.ends[1] = hi;
    std::copy(cutA.along, cutA.along + 2, crossing.alongFirst);
    std::copy(cutB.along, cutB.along + 2, crossing.alongSecond);
    return true;
}

} // namespace

std::size_t HLRIntersectionFinder::EdgeKeyHash::operator()(
    const std::pair<const HLRProjectedTriangleVertex*, const HLRProjectedTriangleVertex*>& key) const {
    const std::hash<const void*> h;
    return h(key.first) ^ (h(key.second) * 0x9E3779B97F4A7C15ull);
}

HLRIntersectionFinder::HLRIntersectionFinder(std::vector<HLRProjectedTriangleData>& triangleData)
    : m_triangleData(&triangleData) {}

HLRIntersectionLines HLRIntersectionFinder::find() {
    HLRProgressObservableProc::startProcess(FIND_STAGE, kProgressSteps);
    gatherCandidates();
    HLRIntersectionLines lines;
    if (m_candidates.size() >= 2) {
        chooseCellSize();
        fileCandidates();
        std::vector<Crossing> crossings = testPairs();
        lines = chain(crossings);
    }
    HLRProgressObservableProc::endProcess(FIND_STAGE);
    return lines;
}

void HLRIntersectionFinder::gatherCandidates() {
    std::size_t count = 0;
    for (const HLRProjectedTriangleData& data : *m_triangleData)
        count += data.triangles().size();
    m_candidates.reserve(count);
    HLRBox3D extent;
    for (const HLRProjectedTriangleData& data : *m_triangleData) {
        for (const HLRProjectedTriangle& triangle : data.triangles()) {
            if (!Geometry(&triangle).valid)
                continue;
            m_candidates.push_back({&triangle, {}, {}});
            for (int i = 0; i < 3; ++i)
                extent.add(worldPosition(triangle.vertex(i)));
        }
    }
    if (!extent.isValid())
        return;
    const HLRVector3D& lo = extent.min();
    const HLRVector3D& hi = extent.max();
    const double largest = std::max({std::fabs(lo.x), std::fabs(lo.y), std::fabs(lo.z), std::fabs(hi.x),
                                     std::fabs(hi.y), std::fabs(hi.z)});
    m_tolerance = HLRProjectedModel::EXACT_RELATIVE_TOLERANCE * length(hi - lo) +
                  HLRProjectedModel::EXACT_ROUNDING_TOLERANCE * largest;
    m_origin = lo - HLRVector3D(1.0, 1.0, 1.0) * (2.0 * m_tolerance);
}

// Cells about the size of a typical triangle, so that most triangles span a few cells and a cell holds
// a few triangles; made coarser while a spread of sizes (a large floor under many small parts) would
// file the triangles into too many cells.
void HLRIntersectionFinder::chooseCellSize() {
    std::vector<float> sizes;
    sizes.reserve(m_candidates.size());
    HLRVector3D far = m_origin;
    for (const Candidate& c : m_candidates) {
        HLRBox3D box;
        for (int i = 0; i < 3; ++i)
            box.add(worldPosition(c.triangle->vertex(i)));
        sizes.push_back(static_cast<float>(std::max({box.width(), box.height(), box.depth()})));
        far = HLRVector3D(std::max(far.x, box.max().x), std::max(far.y, box.max().y), std::max(far.z, box.max().z));
    }
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    const double span = std::max({far.x - m_origin.x, far.y - m_origin.y, far.z - m_origin.z});
    m_cellSize = std::max({static_cast<double>(sizes[sizes.size() / 2]), span / kMaxCellsPerAxis,
                           4.0 * m_tolerance, std::numeric_limits<double>::min()});
    const double budget = kMaxEntriesPerCandidate * static_cast<double>(m_candidates.size());
    for (;;) {
        double entries = 0.0;
        for (Candidate& c : m_candidates) {
            HLRBox3D box;
            for (int i = 0; i < 3; ++i)
                box.add(worldPosition(c.triangle->vertex(i)));
            const auto cellOf = [this](double value, double origin) {
                return static_cast<std::int32_t>(std::floor((value - origin) / m_cellSize));
            };
            const HLRVector3D lo = box.min() - HLRVector3D(1.0, 1.0, 1.0) * m_tolerance;
            const HLRVector3D hi = box.max() + HLRVector3D(1.0, 1.0, 1.0) * m_tolerance;
            c.lo = {cellOf(lo.x, m_origin.x), cellOf(lo.y, m_origin.y), cellOf(lo.z, m_origin.z)};
            c.hi = {cellOf(hi.x, m_origin.x), cellOf(hi.y, m_origin.y), cellOf(hi.z, m_origin.z)};
            entries += double(c.hi.x - c.lo.x + 1) * double(c.hi.y - c.lo.y + 1) * double(c.hi.z - c.lo.z + 1);
        }
        if (entries <= budget)
            return;
        m_cellSize *= 2.0;
    }
}

std::uint32_t HLRIntersectionFinder::bucketOf(std::int32_t x, std::int32_t y, std::int32_t z) const {
    const std::uint64_t h = static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) * 0x9E3779B97F4A7C15ull ^
                            static_cast<std::uint64_t>(static_cast<std::uint32_t>(y)) * 0xC2B2AE3D27D4EB4Full ^
                            static_cast<std::uint64_t>(static_cast<std::uint32_t>(z)) * 0x165667B19E3779F9ull;
    return static_cast<std::uint32_t>((h ^ (h >> 29)) & m_bucketMask);
}

// Calls visit(bucket) once for every bucket that one of the candidate's cells falls into.
template <typename Visit> void HLRIntersectionFinder::forEachBucketOf(const Candidate& c, Visit visit) const {
    std::uint32_t small[8];
    std::vector<std::uint32_t> large;
    const std::size_t cells =
        std::size_t(c.hi.x - c.lo.x + 1) * std::size_t(c.hi.y - c.lo.y + 1) * std::size_t(c.hi.z - c.lo.z + 1);
    std::uint32_t* buckets = small;
    if (cells > 8) {
        large.resize(cells);
        buckets = large.data();
    }
    std::size_t n = 0;
    for (std::int32_t x = c.lo.x; x <= c.hi.x; ++x)
        for (std::int32_t y = c.lo.y; y <= c.hi.y; ++y)
            for (std::int32_t z = c.lo.z; z <= c.hi.z; ++z)
                buckets[n++] = bucketOf(x, y, z);
    std::sort(buckets, buckets + n);
    for (std::size_t i = 0; i < n; ++i)
        if (i == 0 || buckets[i] != buckets[i - 1])
            visit(buckets[i]);
}

void HLRIntersectionFinder::fileCandidates() {
    std::size_t entries = 0;
    for (const Candidate& c : m_candidates)
        entries += std::size_t(c.hi.x - c.lo.x + 1) * std::size_t(c.hi.y - c.lo.y + 1) *
                   std::size_t(c.hi.z - c.lo.z + 1);
    std::uint32_t buckets = 1;
    while (buckets < entries && buckets < (1u << 31))
        buckets <<= 1;
    m_bucketMask = buckets - 1;
    m_bucketStart.assign(std::size_t(buckets) + 1, 0);
    for (const Candidate& c : m_candidates)
        forEachBucketOf(c, [this](std::uint32_t b) { ++m_bucketStart[b + 1]; });
    for (std::size_t b = 1; b < m_bucketStart.size(); ++b)
        m_bucketStart[b] += m_bucketStart[b - 1];
    m_filed.resize(m_bucketStart.back());
    std::vector<std::uint32_t> next(m_bucketStart.begin(), m_bucketStart.end() - 1);
    for (std::uint32_t i = 0; i < m_candidates.size(); ++i)
        forEachBucketOf(m_candidates[i], [this, &next, i](std::uint32_t b) { m_filed[next[b]++] = i; });
}

// A pair shares several cells, and cells share buckets: it is tested only in the bucket of the cell
// where the overlap of the two cell ranges starts, where both are filed once.
void HLRIntersectionFinder::testPairsOfBucket(std::uint32_t bucket, std::vector<Crossing>& found) const {
    const std::uint32_t begin = m_bucketStart[bucket];
    const std::uint32_t end = m_bucketStart[bucket + 1];
    for (std::uint32_t i = begin; i + 1 < end; ++i) {
        const Candidate& a = m_candidates[m_filed[i]];
        for (std::uint32_t j = i + 1; j < end; ++j) {
            const Candidate& b = m_candidates[m_filed[j]];
            const Cell start{std::max(a.lo.x, b.lo.x), std::max(a.lo.y, b.lo.y), std::max(a.lo.z, b.lo.z)};
            if (start.x > std::min(a.hi.x, b.hi.x) || start.y > std::min(a.hi.y, b.hi.y) ||
                start.z > std::min(a.hi.z, b.hi.z) || bucketOf(start.x, start.y, start.z) != bucket ||
                shareCorner(a.triangle, b.triangle))
                continue;
            const Geometry ga(a.triangle);
            const Geometry gb(b.triangle);
            Crossing crossing;
            if (crossTriangles(ga, gb, m_tolerance, crossing)) {
                crossing.first = m_filed[i];
                crossing.second = m_filed[j];
                found.push_back(crossing);
            }
        }
    }
}

std::vector<HLRIntersectionFinder::Crossing> HLRIntersectionFinder::testPairs() {
    const std::uint32_t bucketCount = m_bucketMask + 1;
    std::vector<std::vector<Crossing>> perThread(static_cast<std::size_t>(omp_get_max_threads()));
    std::exception_ptr failure;
    for (int step = 0; step < kProgressSteps; ++step) {
        const auto from = static_cast<std::int64_t>(std::uint64_t(bucketCount) * step / kProgressSteps);
        const auto to = static_cast<std::int64_t>(std::uint64_t(bucketCount) * (step + 1) / kProgressSteps);
#pragma omp parallel for schedule(dynamic, 4096)
        for (std::int64_t b = from; b < to; ++b) {
            try {
                testPairsOfBucket(static_cast<std::uint32_t>(b),
                                  perThread[static_cast<std::size_t>(omp_get_thread_num())]);
            } catch (...) {
#pragma omp critical(KvHLRIntersectionFailure)
                if (!failure)
                    failure = std::current_exception();
            }
        }
        if (failure)
            std::rethrow_exception(failure);
        HLRProgressObservableProc::stepProcess(FIND_STAGE);
    }
    std::vector<Crossing> crossings;
    for (std::vector<Crossing>& found : perThread)
        crossings.insert(crossings.end(), found.begin(), found.end());
    std::sort(crossings.begin(), crossings.end(), [](const Crossing& x, const Crossing& y) {
        return x.first != y.first ? x.first < y.first : x.second < y.second;
    });
    return crossings;
}

// A stretch along an edge of one triangle: dropped where the edge is drawn anyway, and otherwise kept
// once (for the edge's left triangle) where the surface passes through the other triangle's plane,
// its two triangles lying on either side.
bool HLRIntersectionFinder::keepsStretchAlongEdge(const Crossing& crossing, bool ofFirst,
                                                  const EdgeIndex& edges) const {
    const std::int8_t* along = ofFirst ? crossing.alongFirst : crossing.alongSecond;
    if (along[0] < 0)
        return true;
    const Geometry own(m_candidates[ofFirst ? crossing.first : crossing.second].triangle);
    const Geometry other(m_candidates[ofFirst ? crossing.second : crossing.first].triangle);
    const auto found = edges.find(edgeKey(own.corner(along[0]), own.corner(along[1])));
    const HLRProjectedTriangleEdge* edge = found == edges.end() ? nullptr : found->second;
    if (edge == nullptr || edge->isFeatureLine() || edge->leftTriangle() != own.triangle ||
        edge->rightTriangle() == nullptr)
        return false;
    const auto apexDistance = [&other, this](const HLRProjectedTriangle* t, const HLRProjectedTriangleEdge* e) {
        for (int i = 0; i < 3; ++i)
            if (t->vertex(i) != e->startVertex() && t->vertex(i) != e->endVertex())
                return other.distance(worldPosition(t->vertex(i)), m_tolerance);
        return 0.0;
    };
    const double left = apexDistance(edge->leftTriangle(), edge);
    const double right = apexDistance(edge->rightTriangle(), edge);
    return (left < 0.0 && right > 0.0) || (left > 0.0 && right < 0.0);
}

HLRIntersectionLines HLRIntersectionFinder::chain(const std::vector<Crossing>& crossings) const {
    HLRIntersectionLines lines;
    std::unordered_map<EndKey, std::uint32_t, EndKeyHash> pointOf;
    const auto pointIndex = [&lines, &pointOf](const Crossing::End& end) {
        const auto inserted = pointOf.emplace(end.key, static_cast<std::uint32_t>(lines.points.size()));
        if (inserted.second)
            lines.points.push_back(end.point);
        return inserted.first->second;
    };
    // Stretches along edges are rare (bodies resting on each other): the edges are looked up only then.
    EdgeIndex edges;
    if (std::any_of(crossings.begin(), crossings.end(),
                    [](const Crossing& c) { return c.alongFirst[0] >= 0 || c.alongSecond[0] >= 0; })) {
        for (const HLRProjectedTriangleData& data : *m_triangleData)
            for (const HLRProjectedTriangleEdge& edge : data.edges())
                edges.emplace(edgeKey(edge.startVertex(), edge.endVertex()), &edge);
    }
    for (const Crossing& crossing : crossings) {
        if (!keepsStretchAlongEdge(crossing, true, edges) || !keepsStretchAlongEdge(crossing, false, edges))
            continue;
        const std::uint32_t start = pointIndex(crossing.ends[0]);
        const std::uint32_t end = pointIndex(crossing.ends[1]);
        if (start != end)
            lines.segments.push_back({start, end, m_candidates[crossing.first].triangle,
                                      m_candidates[crossing.second].triangle});
    }
    return lines;
}

} // namespace KvHLR
