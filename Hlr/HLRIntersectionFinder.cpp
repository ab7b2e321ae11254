#include "Hlr/HLRIntersectionFinder.h"

#include "api/CalcSilhouette.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRCheckedSort.h"
#include "Hlr/HLRHugePages.h"
#include "Hlr/HLRParallelLoop.h"
#include "Hlr/HLRProgressObservableProc.h"
#include "Hlr/HLRProjectedModel.h"
#include "Hlr/HLRProjectedTriangleData.h"
#include "Hlr/HLRProjectedTriangleEdge.h"
#include "Hlr/HLRProjectedTriangleVertex.h"
#include "Hlr/HLRTriangleCrossing.h"
#include "Hlr/HLRTriangleImage.h"

#include <omp.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <string>
#include <unordered_map>

namespace KvHLR {

namespace {

const char* const FIND_STAGE = "HLRIntersectionFinder::find";
// Progress is reported this many times while the pairs are tested.
constexpr int kProgressSteps = 16;
// Below this many filed entries the pairs are tested on the calling thread alone.
constexpr std::size_t kParallelEntries = 1 << 16;
// A cell is this many times as wide as the median triangle: a triangle spans about two cells a side.
constexpr double kCellsPerTriangle = 2.0;
// The grid's cells hold at most this many entries per candidate on average, however the triangles'
// sizes vary; and no axis has more cells than this.
constexpr double kMaxEntriesPerCandidate = 8.0;
constexpr double kMaxCellsPerAxis = 1 << 20;
// Buckets holding more triangles than this are worth sorting by plane first.
constexpr std::size_t kCrowdedBucket = 16;
// Buckets holding more than this many triangles of many planes (up to a tenth of a second of pairs)
// have their members shared out among the threads. Those of few planes (fans of slivers) pair few.
constexpr std::uint32_t kParallelMembers = 2048;

using Vertex = HLRProjectedTriangleVertex;
using Triangle = HLRTriangleCrossing::Triangle;
using EndKey = HLRTriangleCrossing::EndKey;

HLRVector3D worldPosition(const Vertex* vertex) {
    const HLRTriangleVertex* source = vertex->sourcePoint;
    return HLRVector3D(source->x, source->y, source->z);
}

// An undirected edge by its corners, in address order.
std::pair<const Vertex*, const Vertex*> edgeKey(const Vertex* a, const Vertex* b) {
    return std::less<const Vertex*>()(a, b) ? std::make_pair(a, b) : std::make_pair(b, a);
}

// A candidate as the crossing test reads it, with the plane kept when it was gathered.
Triangle triangleOf(const HLRIntersectionFinder::Candidate& c) {
    return Triangle(c.triangle, c.corner, c.position, c.normal, c.offset);
}

// Whether the corners of `own` meet the plane of `other` in a stretch: neither all on one side of it
// beyond the tolerance nor all within it. HLRTriangleCrossing::find tests this first, each way round,
// and finds no crossing without; here it reads the planes worked out once per candidate, so that the
// many pairs of boxes that meet without their triangles doing so (long slivers of a face beside a
// wall) are dropped before the planes are worked out again for the test.
bool cutsPlaneOf(const HLRIntersectionFinder::Candidate& own, const HLRIntersectionFinder::Candidate& other,
                 double tolerance) {
    int positive = 0, negative = 0;
    for (const HLRVector3D& p : own.position) {
        const double d = dot(other.normal, p) - other.offset;
        positive += d > tolerance;
        negative += d < -tolerance;
    }
    return positive < 3 && negative < 3 && positive + negative > 0;
}

bool shareCorner(const HLRIntersectionFinder::Candidate& a, const HLRIntersectionFinder::Candidate& b) {
    for (const Vertex* u : a.corner)
        for (const Vertex* v : b.corner)
            if (u == v)
                return true;
    return false;
}

} // namespace

struct HLRIntersectionFinder::Crossing : HLRTriangleCrossing {
    std::uint32_t first = 0; // candidate positions, first < second
    std::uint32_t second = 0;
};

std::size_t HLRIntersectionFinder::EdgeKeyHash::operator()(
    const std::pair<const HLRProjectedTriangleVertex*, const HLRProjectedTriangleVertex*>& key) const {
    const std::hash<const void*> h;
    return h(key.first) ^ (h(key.second) * 0x9E3779B97F4A7C15ull);
}

HLRTooManyIntersectionLines::HLRTooManyIntersectionLines()
    : std::length_error("the model's triangles cross each other along more than " +
                        std::to_string(kMaxSegments) +
                        " segments, more intersection lines than a drawing can show: turn them off") {}

HLRTooManyIntersectionLines::~HLRTooManyIntersectionLines() = default;

HLRIntersectionFinder::HLRIntersectionFinder(std::vector<HLRProjectedTriangleData>& triangleData,
                                             HLRCrossingFreeParts parts)
    : m_triangleData(&triangleData), m_parts(std::move(parts)) {}

HLRIntersectionLines HLRIntersectionFinder::find() {
    HLRProgressObservableProc::startProcess(FIND_STAGE, kProgressSteps);
    gatherCandidates();
    HLRIntersectionLines lines;
    // A model whose extent does not fit a double has no tolerance to find crossings with.
    if (m_candidates.size() >= 2 && std::isfinite(m_tolerance)) {
        chooseCellSize();
        fileCandidates();
        lines = chain(testPairs());
    }
    HLRProgressObservableProc::endProcess(FIND_STAGE);
    return lines;
}

// The triangles with an area that may cross another near them (HLRCrossingFreeParts::needsTest).
void HLRIntersectionFinder::gatherCandidates() {
    const auto candidateOf = [](const HLRTriangleImage* triangle, HLRIntersectionLines::TrianglePosition at) {
        Candidate c{triangle, at, {}, {}, 0, {}, 0.0};
        for (int i = 0; i < 3; ++i) {
            c.corner[i] = triangle->corners[i];
            c.position[i] = worldPosition(c.corner[i]);
        }
        return c;
    };
    const HLRBox3D& extent = m_parts.extent();
    if (!extent.isValid())
        return;
    m_tolerance = m_parts.tolerance();
    m_origin = extent.min() - HLRVector3D(1.0, 1.0, 1.0) * (2.0 * m_tolerance);
    if (!std::isfinite(m_tolerance) || !m_parts.anyNeedsTest())
        return; // most models: a walk over every triangle would find nothing
    // Room for every triangle to test, counted first: growing by doubling would copy hundreds of megabytes
    // at a time, without a check. Its pages are taken on all threads before it is filled.
    std::size_t tested = 0;
    for (std::size_t s = 0; s < m_triangleData->size(); ++s) {
        for (std::size_t i = 0; i < (*m_triangleData)[s].source()->triangles().size(); ++i) {
            HLRCancelPoll::check();
            tested += m_parts.needsTest(s, i) ? 1 : 0;
        }
    }
    HLRHugePages::reserve(m_candidates, tested);
    for (std::size_t s = 0; s < m_triangleData->size(); ++s) {
        const HLRProjectedTriangleData& data = (*m_triangleData)[s];
        for (std::size_t i = 0; i < data.source()->triangles().size(); ++i) {
            HLRCancelPoll::check();
            if (!m_parts.needsTest(s, i))
                continue;
            Candidate c = candidateOf(data.image(static_cast<std::int32_t>(i)),
                                      {static_cast<std::uint32_t>(s), static_cast<std::uint32_t>(i)});
            c.patch = m_parts.patchOf(s, i);
            const Triangle plane(c.triangle, c.corner, c.position);
            c.normal = plane.normal;
            c.offset = plane.offset;
            if (plane.valid)
                m_candidates.push_back(c);
        }
    }
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
        for (const HLRVector3D& p : c.position)
            box.add(p);
        sizes.push_back(static_cast<float>(std::max({box.width(), box.height(), box.depth()})));
        far = HLRVector3D(std::max(far.x, box.max().x), std::max(far.y, box.max().y),
                          std::max(far.z, box.max().z));
    }
    std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2, sizes.end());
    const double span = std::max({far.x - m_origin.x, far.y - m_origin.y, far.z - m_origin.z});
    m_cellSize = std::max({kCellsPerTriangle * static_cast<double>(sizes[sizes.size() / 2]),
                           span / kMaxCellsPerAxis, 4.0 * m_tolerance, std::numeric_limits<double>::min()});
    const double budget = kMaxEntriesPerCandidate * static_cast<double>(m_candidates.size());
    for (;;) {
        double entries = 0.0;
        for (const Candidate& c : m_candidates)
            entries += static_cast<double>(cellsOf(c).count());
        if (entries <= budget)
            return;
        m_cellSize *= 2.0;
    }
}

HLRIntersectionFinder::CellRange HLRIntersectionFinder::cellsOf(const Candidate& c) const {
    const auto cellOf = [this](double value, double origin) {
        return static_cast<std::int32_t>(std::floor((value - origin) / m_cellSize));
    };
    HLRBox3D box;
    for (const HLRVector3D& p : c.position)
        box.add(p);
    const HLRVector3D lo = box.min() - HLRVector3D(1.0, 1.0, 1.0) * m_tolerance;
    const HLRVector3D hi = box.max() + HLRVector3D(1.0, 1.0, 1.0) * m_tolerance;
    return {{cellOf(lo.x, m_origin.x), cellOf(lo.y, m_origin.y), cellOf(lo.z, m_origin.z)},
            {cellOf(hi.x, m_origin.x), cellOf(hi.y, m_origin.y), cellOf(hi.z, m_origin.z)}};
}

// The cell's Morton code, cut to the table: neighbouring cells fall into neighbouring buckets, so that
// the buckets, tested in order, visit the model region by region and find its triangles in the cache.
std::uint32_t HLRIntersectionFinder::bucketOf(std::int32_t x, std::int32_t y, std::int32_t z) const {
    const auto spread = [](std::uint32_t v) {
        std::uint64_t r = v & 0x1FFFFFu;
        r = (r | r << 32) & 0x1F00000000FFFFull;
        r = (r | r << 16) & 0x1F0000FF0000FFull;
        r = (r | r << 8) & 0x100F00F00F00F00Full;
        r = (r | r << 4) & 0x10C30C30C30C30C3ull;
        r = (r | r << 2) & 0x1249249249249249ull;
        return r;
    };
    const std::uint64_t code = spread(static_cast<std::uint32_t>(x)) |
                               spread(static_cast<std::uint32_t>(y)) << 1 |
                               spread(static_cast<std::uint32_t>(z)) << 2;
    return static_cast<std::uint32_t>(code & m_bucketMask);
}

// Calls visit(bucket) once for every bucket that one of the candidate's cells falls into.
template <typename Visit>
void HLRIntersectionFinder::forEachBucketOf(const Candidate& candidate, Visit visit) const {
    std::uint32_t small[8];
    std::vector<std::uint32_t> large;
    const CellRange c = cellsOf(candidate);
    const std::size_t cells = c.count();
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
        entries += cellsOf(c).count();
    std::uint32_t buckets = 1;
    while (buckets < entries && buckets < (1u << 31))
        buckets <<= 1;
    m_bucketMask = buckets - 1;
    HLRHugePages::reserve(m_bucketStart, std::size_t(buckets) + 1);
    m_bucketStart.assign(std::size_t(buckets) + 1, 0);
    for (const Candidate& c : m_candidates) {
        HLRCancelPoll::check();
        forEachBucketOf(c, [this](std::uint32_t b) { ++m_bucketStart[b + 1]; });
    }
    for (std::size_t b = 1; b < m_bucketStart.size(); ++b)
        m_bucketStart[b] += m_bucketStart[b - 1];
    HLRHugePages::reserve(m_filed, m_bucketStart.back());
    m_filed.resize(m_bucketStart.back());
    std::vector<std::uint32_t> next;
    HLRHugePages::reserve(next, buckets);
    next.assign(m_bucketStart.begin(), m_bucketStart.end() - 1);
    for (std::uint32_t i = 0; i < m_candidates.size(); ++i) {
        HLRCancelPoll::check();
        forEachBucketOf(m_candidates[i], [this, &next, i](std::uint32_t b) { m_filed[next[b]++] = i; });
    }
}

struct HLRIntersectionFinder::Member {
    // The box, grown by the tolerance, in single precision rounded outwards: only to skip pairs.
    float lo[3];
    float hi[3];
    std::uint32_t candidate;
    Cell firstCell; // the lowest cell of the box's range
    // The triangle's plane, rounded, where the bucket is crowded: members with equal planes lie in one
    // plane (within a millionth of a radian and of the model's size) and cannot cross. Faces
    // tessellated into fans of slivers fill cells with hundreds of those.
    std::array<std::int64_t, 4> plane{};

    Member(const Candidate& c, std::uint32_t index, double tolerance, const Cell& first)
        : candidate(index), firstCell(first) {
        for (int axis = 0; axis < 3; ++axis) {
            const auto at = [axis](const HLRVector3D& p) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; };
            const double low = std::min({at(c.position[0]), at(c.position[1]), at(c.position[2])});
            const double high = std::max({at(c.position[0]), at(c.position[1]), at(c.position[2])});
            const auto single = [](double v) { // beyond float's range: infinite
                return static_cast<float>(std::clamp(v, -double(FLT_MAX), double(FLT_MAX)));
            };
            lo[axis] = std::nextafter(single(low - tolerance), -INFINITY);
            hi[axis] = std::nextafter(single(high + tolerance), INFINITY);
        }
    }

    void setPlane(const Candidate& c, double planeQuantum) {
        const Triangle g = triangleOf(c);
        const HLRVector3D& n = g.normal;
        // Both windings of one plane get one key: the normal's largest component is made positive.
        const double largest = std::fabs(n.x) >= std::max(std::fabs(n.y), std::fabs(n.z))
                                   ? n.x
                                   : (std::fabs(n.y) >= std::fabs(n.z) ? n.y : n.z);
        const double sign = largest < 0.0 ? -1.0 : 1.0;
        plane = {std::llround(sign * n.x * 1e6), std::llround(sign * n.y * 1e6),
                 std::llround(sign * n.z * 1e6), std::llround(sign * g.offset / planeQuantum)};
    }

    bool overlapsInYAndZ(const Member& o) const {
        return lo[1] <= o.hi[1] && o.lo[1] <= hi[1] && lo[2] <= o.hi[2] && o.lo[2] <= hi[2];
    }
};

// A bucket's members, sorted for the sweep. Where most of them lie in one plane (a face tessellated into
// a fan of slivers), they are sorted by plane and only members of different planes are paired
// (`planeEnd`: for each member, the end of its plane's run). Otherwise they are swept along x, so that
// only members whose boxes overlap there are paired.
struct HLRIntersectionFinder::Sweep {
    std::uint32_t bucket = 0;
    std::vector<Member> members;
    bool byPlane = false;
    std::vector<std::uint32_t> planeEnd;
};

void HLRIntersectionFinder::prepareSweep(std::uint32_t bucket, Sweep& sweep) const {
    std::vector<Member>& members = sweep.members;
    sweep.bucket = bucket;
    members.clear();
    for (std::uint32_t i = m_bucketStart[bucket]; i < m_bucketStart[bucket + 1]; ++i)
        members.emplace_back(m_candidates[m_filed[i]], m_filed[i], m_tolerance,
                             cellsOf(m_candidates[m_filed[i]]).lo);
    sweep.byPlane = false;
    if (members.size() > kCrowdedBucket) {
        for (Member& m : members)
            m.setPlane(m_candidates[m.candidate], 1000.0 * m_tolerance);
        std::sort(members.begin(), members.end(), [](const Member& x, const Member& y) {
            return x.plane != y.plane ? x.plane < y.plane : x.candidate < y.candidate;
        });
        sweep.planeEnd.assign(members.size(), 0);
        std::size_t largest = 0;
        for (std::size_t i = 0, j = 0; i < members.size(); i = j) {
            while (j < members.size() && members[j].plane == members[i].plane)
                ++j;
            std::fill(sweep.planeEnd.begin() + static_cast<std::ptrdiff_t>(i),
                      sweep.planeEnd.begin() + static_cast<std::ptrdiff_t>(j), static_cast<std::uint32_t>(j));
            largest = std::max(largest, j - i);
        }
        sweep.byPlane = 2 * largest >= members.size();
    }
    if (!sweep.byPlane) {
        std::sort(members.begin(), members.end(), [](const Member& x, const Member& y) {
            return x.lo[0] != y.lo[0] ? x.lo[0] < y.lo[0] : x.candidate < y.candidate;
        });
    }
}

// A pair shares several cells, and cells share buckets: it is tested only in the bucket of the cell
// where the overlap of the two cell ranges starts, where both are filed once.
void HLRIntersectionFinder::sweepMember(const Sweep& sweep, std::size_t i, std::vector<Pair>& found,
                                        std::atomic<std::size_t>& foundInAll) const {
    HLRCancelPoll::check();
    const std::vector<Member>& members = sweep.members;
    const std::size_t before = found.size();
    const Member& a = members[i];
    for (std::size_t j = sweep.byPlane ? sweep.planeEnd[i] : i + 1; j < members.size(); ++j) {
        const Member& b = members[j];
        if (!sweep.byPlane && b.lo[0] > a.hi[0])
            break;
        if (j % 256 == 0) // a member of a crowded bucket meets thousands
            HLRCancelPoll::check();
        if (!(b.lo[0] <= a.hi[0] && a.lo[0] <= b.hi[0] && a.overlapsInYAndZ(b)))
            continue;
        if (bucketOf(std::max(a.firstCell.x, b.firstCell.x), std::max(a.firstCell.y, b.firstCell.y),
                     std::max(a.firstCell.z, b.firstCell.z)) == sweep.bucket)
            testPair(a.candidate, b.candidate, found);
    }
    const std::size_t added = found.size() - before;
    if (added > 0 && foundInAll.fetch_add(added, std::memory_order_relaxed) + added >
                         HLRTooManyIntersectionLines::kMaxSegments)
        throw HLRTooManyIntersectionLines();
}

// Tests two candidates whose boxes overlap.
void HLRIntersectionFinder::testPair(std::uint32_t a, std::uint32_t b, std::vector<Pair>& found) const {
    const Pair pair{std::min(a, b), std::max(a, b)};
    const Candidate& ca = m_candidates[pair.first];
    const Candidate& cb = m_candidates[pair.second];
    // Cheapest first: most pairs of a mesh's boxes are neighbours, and the corners are at hand.
    if (shareCorner(ca, cb) || m_parts.cannotCross(ca.patch, cb.patch) || !cutsPlaneOf(ca, cb, m_tolerance) ||
        !cutsPlaneOf(cb, ca, m_tolerance))
        return;
    Crossing crossing;
    if (HLRTriangleCrossing::find(triangleOf(ca), triangleOf(cb), m_tolerance, crossing))
        found.push_back(pair);
}

HLRIntersectionFinder::Crossing HLRIntersectionFinder::crossingOf(const Pair& pair) const {
    Crossing crossing;
    HLRTriangleCrossing::find(triangleOf(m_candidates[pair.first]), triangleOf(m_candidates[pair.second]),
                              m_tolerance, crossing);
    crossing.first = pair.first;
    crossing.second = pair.second;
    return crossing;
}

// Buckets are handed to the threads in blocks; a crowded bucket of many planes (a soup of large
// triangles puts them all into a few) is left for after them, and its members handed to the threads one by
// one, so that the calling thread never waits long for the others, unable to answer a cancel.
std::vector<HLRIntersectionFinder::Pair> HLRIntersectionFinder::testPairs() {
    const std::uint32_t bucketCount = m_bucketMask + 1;
    // A small model is done in less time than the threads take to meet at each block's end.
    const int team = teamFor(m_filed.size() > kParallelEntries);
    std::vector<std::vector<Pair>> perThread(static_cast<std::size_t>(team));
    std::vector<Sweep> sweeps(perThread.size());
    std::vector<std::vector<std::uint32_t>> crowded(perThread.size());
    std::atomic<std::size_t> found{0};
    std::exception_ptr failure;
    std::atomic<bool> failed{false}; // the work left is skipped
    const auto keepFailure = [&failure, &failed] {
        failed.store(true);
#pragma omp critical(KvHLRIntersectionFailure)
        if (!failure)
            failure = std::current_exception();
    };
    for (int step = 0; step < kProgressSteps; ++step) {
        const auto from = static_cast<std::int64_t>(std::uint64_t(bucketCount) * step / kProgressSteps);
        const auto to = static_cast<std::int64_t>(std::uint64_t(bucketCount) * (step + 1) / kProgressSteps);
#pragma omp parallel for num_threads(team) schedule(dynamic, 256)
        for (std::int64_t b = from; b < to; ++b) {
            const auto bucket = static_cast<std::uint32_t>(b);
            const std::uint32_t members = m_bucketStart[bucket + 1] - m_bucketStart[bucket];
            if (failed.load(std::memory_order_relaxed) || members < 2)
                continue;
            const auto thread = static_cast<std::size_t>(omp_get_thread_num());
            try {
                prepareSweep(bucket, sweeps[thread]);
                if (members > kParallelMembers && !sweeps[thread].byPlane) {
                    crowded[thread].push_back(bucket);
                    continue;
                }
                for (std::size_t i = 0; i + 1 < sweeps[thread].members.size(); ++i)
                    sweepMember(sweeps[thread], i, perThread[thread], found);
            } catch (...) {
                keepFailure();
            }
        }
        if (failure)
            std::rethrow_exception(failure);
        HLRProgressObservableProc::stepProcess(FIND_STAGE);
    }
    for (const std::vector<std::uint32_t>& ofThread : crowded) {
        for (std::uint32_t bucket : ofThread) {
            Sweep& sweep = sweeps.front();
            prepareSweep(bucket, sweep);
            const auto last = static_cast<std::int64_t>(sweep.members.size()) - 1;
#pragma omp parallel for num_threads(team) schedule(dynamic, 16)
            for (std::int64_t i = 0; i < last; ++i) {
                if (failed.load(std::memory_order_relaxed))
                    continue;
                try {
                    sweepMember(sweep, static_cast<std::size_t>(i),
                                perThread[static_cast<std::size_t>(omp_get_thread_num())], found);
                } catch (...) {
                    keepFailure();
                }
            }
            if (failure)
                std::rethrow_exception(failure);
        }
    }
    std::vector<Pair> pairs;
    pairs.reserve(found.load());
    for (std::vector<Pair>& ofThread : perThread) {
        pairs.insert(pairs.end(), ofThread.begin(), ofThread.end());
        std::vector<Pair>().swap(ofThread);
    }
    sortChecked(pairs, [](const Pair& x, const Pair& y) {
        return x.first != y.first ? x.first < y.first : x.second < y.second;
    });
    return pairs;
}

// A stretch along an edge of one triangle: dropped where the edge is drawn anyway, and otherwise kept
// once (for the edge's left triangle) where the surface passes through the other triangle's plane,
// its two triangles lying on either side.
bool HLRIntersectionFinder::keepsStretchAlongEdge(const Crossing& crossing, bool ofFirst,
                                                  const EdgeIndex& edges) const {
    const std::int8_t* along = ofFirst ? crossing.alongFirst : crossing.alongSecond;
    if (along[0] < 0)
        return true;
    const Candidate& own = m_candidates[ofFirst ? crossing.first : crossing.second];
    const Triangle other = triangleOf(m_candidates[ofFirst ? crossing.second : crossing.first]);
    const auto found = edges.find(edgeKey(own.corner[along[0]], own.corner[along[1]]));
    const ModelEdge* edge = found == edges.end() || !found->second ? nullptr : &*found->second;
    if (edge == nullptr || (edge->type & HLRProjectedTriangleEdge::ALL_MASK) != 0 ||
        edge->left != own.triangle || edge->right == nullptr)
        return false;
    const auto apexDistance = [&other, edge, this](const HLRTriangleImage* t) {
        for (const Vertex* corner : t->corners)
            if (corner != edge->start && corner != edge->end)
                return other.distance(worldPosition(corner), m_tolerance);
        return 0.0;
    };
    const double left = apexDistance(edge->left);
    const double right = apexDistance(edge->right);
    return (left < 0.0 && right > 0.0) || (left > 0.0 && right < 0.0);
}

// The crossings are worked out again from their pairs, here and for their ends' points, rather than
// held from the search: a pair takes a sixteenth of the memory of a crossing, and the work is a small
// share of the search's.
HLRIntersectionLines HLRIntersectionFinder::chain(const std::vector<Pair>& pairs) const {
    // Stretches along edges are rare (bodies resting on each other): only their edges are looked up.
    EdgeIndex edges;
    for (const Pair& pair : pairs) {
        HLRCancelPoll::check();
        const Crossing crossing = crossingOf(pair);
        for (bool ofFirst : {true, false}) {
            const std::int8_t* along = ofFirst ? crossing.alongFirst : crossing.alongSecond;
            const Candidate& own = m_candidates[ofFirst ? crossing.first : crossing.second];
            if (along[0] >= 0)
                edges.emplace(edgeKey(own.corner[along[0]], own.corner[along[1]]), std::nullopt);
        }
    }
    // Looked up among the model's edges: exact hiding keeps projected records of drawn edges only.
    if (!edges.empty()) {
        for (const HLRProjectedTriangleData& data : *m_triangleData) {
            for (const HLRTriangleEdge& modelEdge : data.source()->edges()) {
                HLRCancelPoll::check();
                const Vertex* start = &data.vertices()[static_cast<std::size_t>(modelEdge.startVertex())];
                const Vertex* end = &data.vertices()[static_cast<std::size_t>(modelEdge.endVertex())];
                const auto found = edges.find(edgeKey(start, end));
                if (found != edges.end()) {
                    const HLRTriangleImage* left = data.image(modelEdge.leftTriangle());
                    const HLRTriangleImage* right = data.image(modelEdge.rightTriangle());
                    found->second = ModelEdge{
                        start, end, left, right,
                        HLRProjectedTriangleEdge::typeOf(start, end, left, right, data.sharpEdgeAngle())};
                }
            }
        }
    }
    // The kept crossings' ends, by key, each with its place (2 * kept crossing + 0 or 1).
    struct KeyedEnd {
        EndKey key;
        std::uint32_t end;
    };
    // Room is reserved for all, so that its pages are taken as it fills, between the checks.
    std::vector<Pair> kept;
    std::vector<KeyedEnd> ends;
    kept.reserve(pairs.size());
    ends.reserve(2 * pairs.size());
    for (const Pair& pair : pairs) {
        HLRCancelPoll::check();
        const Crossing crossing = crossingOf(pair);
        if (!keepsStretchAlongEdge(crossing, true, edges) || !keepsStretchAlongEdge(crossing, false, edges))
            continue;
        for (std::uint32_t k = 0; k < 2; ++k)
            ends.push_back({crossing.ends[k].key, static_cast<std::uint32_t>(2 * kept.size() + k)});
        kept.push_back(pair);
    }
    // Ends found under one key, by neighbouring segments, become one point. The keys are sorted rather
    // than hashed: a table of millions of ends takes several times the memory, and far longer to fill.
    const std::less<const void*> before;
    sortChecked(ends, [&before](const KeyedEnd& x, const KeyedEnd& y) {
        if (x.key.a != y.key.a)
            return before(x.key.a, y.key.a);
        if (x.key.b != y.key.b)
            return before(x.key.b, y.key.b);
        return before(x.key.plane, y.key.plane);
    });
    HLRIntersectionLines lines;
    lines.points.reserve(ends.size());
    std::vector<std::uint32_t> pointOfEnd = filledChecked(ends.size(), std::uint32_t{0});
    for (std::size_t i = 0; i < ends.size(); ++i) {
        HLRCancelPoll::check();
        if (i == 0 || !(ends[i].key == ends[i - 1].key))
            lines.points.push_back(crossingOf(kept[ends[i].end / 2]).ends[ends[i].end % 2].point);
        pointOfEnd[ends[i].end] = static_cast<std::uint32_t>(lines.points.size() - 1);
    }
    std::vector<KeyedEnd>().swap(ends);
    std::vector<Piece> pieces;
    pieces.reserve(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        HLRCancelPoll::check();
        if (pointOfEnd[2 * i] != pointOfEnd[2 * i + 1])
            pieces.push_back({pointOfEnd[2 * i], pointOfEnd[2 * i + 1], kept[i].first, kept[i].second});
    }
    joinStraightRuns(pieces, lines);
    return lines;
}

bool HLRIntersectionFinder::inOnePlane(std::uint32_t a, std::uint32_t b) const {
    const Triangle plane = triangleOf(m_candidates[a]);
    for (const HLRVector3D& p : m_candidates[b].position)
        if (plane.distance(p, m_tolerance) != 0.0)
            return false;
    return true;
}

// A line between two flat faces crosses the diagonals of both tessellations: its pieces between two
// planes that continue one another, each meeting no third piece, become one segment. It lies on both
// planes, so no triangle of them hides it, and the drawing gets fewer, longer edges.
void HLRIntersectionFinder::joinStraightRuns(const std::vector<Piece>& pieces,
                                             HLRIntersectionLines& lines) const {
    constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::array<std::uint32_t, 2>> piecesAt =
        filledChecked(lines.points.size(), std::array<std::uint32_t, 2>{none, none});
    std::vector<std::uint8_t> degree = filledChecked(lines.points.size(), std::uint8_t{0});
    for (std::uint32_t i = 0; i < pieces.size(); ++i) {
        HLRCancelPoll::check();
        for (std::uint32_t point : {pieces[i].start, pieces[i].end}) {
            if (degree[point] < 2)
                piecesAt[point][degree[point]] = i;
            degree[point] = static_cast<std::uint8_t>(std::min(degree[point] + 1, 3));
        }
    }
    const auto continues = [&](std::uint32_t point) {
        if (degree[point] != 2)
            return false;
        const Piece& p = pieces[piecesAt[point][0]];
        const Piece& q = pieces[piecesAt[point][1]];
        return (inOnePlane(p.first, q.first) && inOnePlane(p.second, q.second)) ||
               (inOnePlane(p.first, q.second) && inOnePlane(p.second, q.first));
    };
    std::vector<std::uint8_t> through = filledChecked(lines.points.size(), std::uint8_t{0});
    for (std::uint32_t point = 0; point < lines.points.size(); ++point) {
        HLRCancelPoll::check();
        through[point] = continues(point);
    }
    // From a piece, the far end of its run in the direction of `point`, walking through joints.
    const auto runEnd = [&](std::uint32_t piece, std::uint32_t point, std::vector<std::uint8_t>& used) {
        while (through[point]) {
            const std::uint32_t next = piecesAt[point][0] == piece ? piecesAt[point][1] : piecesAt[point][0];
            if (used[next])
                break; // a closed run
            used[next] = 1;
            piece = next;
            point = pieces[piece].start == point ? pieces[piece].end : pieces[piece].start;
        }
        return point;
    };
    std::vector<std::uint8_t> used = filledChecked(pieces.size(), std::uint8_t{0});
    std::vector<std::uint32_t> keptPoint = filledChecked(lines.points.size(), none);
    std::vector<HLRVector3D> points;
    points.reserve(lines.points.size());
    lines.segments.reserve(pieces.size());
    const auto keep = [&](std::uint32_t point) {
        if (keptPoint[point] == none) {
            keptPoint[point] = static_cast<std::uint32_t>(points.size());
            points.push_back(lines.points[point]);
        }
        return keptPoint[point];
    };
    for (std::uint32_t i = 0; i < pieces.size(); ++i) {
        HLRCancelPoll::check();
        if (used[i])
            continue;
        used[i] = 1;
        const std::uint32_t start = runEnd(i, pieces[i].start, used);
        const std::uint32_t end = runEnd(i, pieces[i].end, used);
        if (start != end)
            lines.segments.push_back({keep(start), keep(end), m_candidates[pieces[i].first].at,
                                      m_candidates[pieces[i].second].at});
    }
    lines.points = std::move(points);
}

} // namespace KvHLR
