#include "kit/mesh/VertexWelder.h"

#include "Hlr/HLRHugePages.h"
#include "kit/WorkSharing.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

namespace kvhlr {
namespace {

std::uint64_t bitsOf(double value) {
    const double canonical = value == 0.0 ? 0.0 : value; // -0.0 == 0.0 must hash alike
    std::uint64_t bits;
    std::memcpy(&bits, &canonical, sizeof bits);
    return bits;
}

// splitmix64 finaliser: spreads the nearly identical bit patterns of neighbouring grid points.
std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebULL;
    return h ^ (h >> 31);
}

std::uint64_t hashOf(const ON_3dPoint& p) {
    return mix(bitsOf(p.x) +
               0x9e3779b97f4a7c15ULL * mix(bitsOf(p.y) + 0x9e3779b97f4a7c15ULL * mix(bitsOf(p.z))));
}

bool samePosition(const ON_3dPoint& a, const ON_3dPoint& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

std::size_t slotCountFor(std::size_t points) {
    std::size_t count = 16;
    while (count < 2 * points)
        count *= 2;
    return count;
}

struct FloatPoint {
    float x, y, z;
};

FloatPoint vertexAt(const FloatVertices& vertices, std::size_t i) {
    FloatPoint p;
    std::memcpy(&p, vertices.base + i / 3 * vertices.groupBytes + i % 3 * sizeof p, sizeof p);
    return p;
}

std::uint64_t floatBitsOf(float value) {
    const float canonical = value == 0.0f ? 0.0f : value; // -0.0f == 0.0f must hash alike
    std::uint32_t bits;
    std::memcpy(&bits, &canonical, sizeof bits);
    return bits;
}

std::uint64_t hashOf(const FloatPoint& p) {
    return mix(((floatBitsOf(p.x) << 32) | floatBitsOf(p.y)) + 0x9e3779b97f4a7c15ULL * floatBitsOf(p.z));
}

// Which of `threads` threads owns the position: cheaper than the hash, as every thread computes it for
// every vertex, and independent of it, so that each thread's table is filled evenly.
unsigned ownerOf(const FloatPoint& p, unsigned threads) {
    const std::uint64_t mixed =
        (floatBitsOf(p.x) + 3 * floatBitsOf(p.y) + 5 * floatBitsOf(p.z)) * 0xd6e8feb86659fd93ULL;
    return static_cast<unsigned>(((mixed >> 32) * threads) >> 32);
}

// One thread's share of the positions: open addressing with linear probing, each slot holding a
// position and the index plus one of the first vertex there (0 when empty), so that a probe reads one
// place in memory. Vertices come in batches whose slots are fetched ahead, as the table is much larger
// than the caches. The table has twice as many slots as positions expected, not a power of two (a hash
// picks its slot by multiplying, not masking): rounded up, a table of millions of points would take up to
// twice the memory, all of it fresh pages to clear.
class PositionTable {
public:
    static constexpr std::size_t kBatch = 16;

    explicit PositionTable(std::size_t expectedPoints) {
        allocate(std::max<std::size_t>(16, 2 * expectedPoints));
    }

    // Sets first[v] to the first vertex added at v's position (v itself when it is the first) for each
    // vertex of the batch.
    void add(const std::uint32_t* batch, const FloatPoint* points, std::size_t count, std::uint32_t* first) {
        std::uint64_t hashes[kBatch];
        for (std::size_t i = 0; i < count; ++i) {
            hashes[i] = hashOf(points[i]);
            __builtin_prefetch(&m_slots[slotOf(hashes[i])]);
        }
        for (std::size_t i = 0; i < count; ++i)
            first[batch[i]] = firstAt(batch[i], points[i], hashes[i]);
    }

    // The positions added.
    std::size_t size() const { return m_count; }

private:
    struct Slot {
        FloatPoint p;
        std::uint32_t vertexPlusOne;
    };

    std::uint32_t firstAt(std::uint32_t vertex, const FloatPoint& p, std::uint64_t hash) {
        Slot* slot = probe(p, hash);
        if (slot->vertexPlusOne != 0)
            return slot->vertexPlusOne - 1;
        if (2 * ++m_count > m_slots.size()) {
            grow();
            slot = probe(p, hash);
        }
        *slot = {p, vertex + 1};
        return vertex;
    }

    // The hash's top 31 bits scaled to the table: a table never grows past 2^33 slots (it holds fewer
    // than 2^31 positions, at most half full before it grows), so the product fits in 64 bits.
    std::size_t slotOf(std::uint64_t hash) const {
        return static_cast<std::size_t>(((hash >> 33) * static_cast<std::uint64_t>(m_slots.size())) >> 31);
    }

    Slot* probe(const FloatPoint& p, std::uint64_t hash) {
        for (std::size_t i = slotOf(hash);; i = i + 1 == m_slots.size() ? 0 : i + 1) {
            Slot& slot = m_slots[i];
            if (slot.vertexPlusOne == 0 || (slot.p.x == p.x && slot.p.y == p.y && slot.p.z == p.z))
                return &slot;
        }
    }

    // Empty slots, on huge pages where the table is large.
    void allocate(std::size_t slots) {
        m_slots.reserve(slots);
        KvHLR::HLRHugePages::advise(m_slots.data(), slots * sizeof(Slot));
        m_slots.resize(slots);
    }

    void grow() {
        std::vector<Slot> old;
        old.swap(m_slots);
        allocate(2 * old.size());
        for (const Slot& slot : old)
            if (slot.vertexPlusOne != 0)
                *probe(slot.p, hashOf(slot.p)) = slot;
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

} // namespace

std::optional<WeldedTriangles> weldInParallel(const FloatVertices& vertices,
                                              const std::array<std::uint32_t, 3>* triangles,
                                              std::size_t triangleCount, std::size_t expectedPoints,
                                              unsigned threads, const std::function<void(double)>& progress) {
    constexpr std::uint32_t kProgressStep = 1 << 16;
    // Hashing takes about three quarters of the time, numbering the points the rest.
    constexpr double kHashingShare = 0.75;
    constexpr std::uint32_t kNumbered = std::uint32_t(1) << 31;
    if (vertices.count >= kNumbered)
        throw std::length_error("more than 2 billion vertices");
    // Each thread looks at every vertex but takes only those whose position it owns, so that no table is
    // shared; each vertex learns the first vertex at its position. Written by the threads alone, `first`
    // is not cleared first.
    const std::unique_ptr<std::uint32_t[]> first(new std::uint32_t[vertices.count]);
    KvHLR::HLRHugePages::advise(first.get(), vertices.count * sizeof(std::uint32_t));
    std::atomic<bool> allFinite{true};
    std::atomic<std::size_t> positions{0}; // as many points as the welded mesh can have
    // A hook that throws stops the calling thread's share at once and the others' at their next step.
    std::atomic<bool> stopped{false};
    struct Stopped {};
    runInParallel(threads, [&](unsigned thread) {
        PositionTable table(expectedPoints / threads);
        std::uint32_t batch[PositionTable::kBatch];
        FloatPoint points[PositionTable::kBatch];
        std::size_t count = 0;
        bool finite = true;
        for (std::uint32_t v = 0; v < vertices.count; ++v) {
            if (v % kProgressStep == 0) {
                if (stopped)
                    throw Stopped(); // runInParallel throws the calling thread's exception, the hook's
                try {
                    if (thread == 0)
                        progress(kHashingShare * static_cast<double>(v) /
                                 static_cast<double>(vertices.count));
                } catch (...) {
                    stopped = true;
                    throw;
                }
            }
            const FloatPoint p = vertexAt(vertices, v);
            // Half the vertices or more belong to other threads, in no order: written either way and
            // kept only when owned, without a branch that would be mispredicted at every other vertex.
            const bool owned = threads == 1 || ownerOf(p, threads) == thread;
            finite &= !owned || (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
            batch[count] = v;
            points[count] = p;
            count += owned;
            if (count == PositionTable::kBatch) {
                table.add(batch, points, count, first.get());
                count = 0;
            }
        }
        table.add(batch, points, count, first.get());
        positions += table.size();
        if (!finite)
            allFinite = false;
    });
    if (!allFinite)
        return std::nullopt;

    // Points are numbered in order of first use by a kept triangle, as the welder numbers them. A
    // position's point is kept at its first vertex, marked by the top bit, in place of the vertex itself.
    auto positionId = [&](std::uint32_t vertex) {
        const std::uint32_t f = first[vertex];
        return f & kNumbered ? vertex : f;
    };
    WeldedTriangles welded;
    // Reserved at the count of positions, not the guess: a closed mesh has two points more than half
    // its triangles, and growing a list of millions of points by one copies all of them.
    KvHLR::HLRHugePages::reserve(welded.points, positions);
    KvHLR::HLRHugePages::reserve(welded.firstVertices, positions);
    KvHLR::HLRHugePages::reserve(welded.triangles, triangleCount);
    auto pointAt = [&](std::uint32_t vertex) {
        std::uint32_t& point = first[positionId(vertex)];
        if (!(point & kNumbered)) {
            point = kNumbered | static_cast<std::uint32_t>(welded.points.size());
            const FloatPoint p = vertexAt(vertices, vertex);
            welded.points.emplace_back(p.x, p.y, p.z);
            welded.firstVertices.push_back(vertex);
        }
        return point & ~kNumbered;
    };
    for (std::size_t t = 0; t < triangleCount; ++t) {
        if (t % kProgressStep == 0)
            progress(kHashingShare +
                     (1.0 - kHashingShare) * static_cast<double>(t) / static_cast<double>(triangleCount));
        const auto corner = static_cast<std::uint32_t>(3 * t);
        const std::array<std::uint32_t, 3> v =
            triangles != nullptr ? triangles[t]
                                 : std::array<std::uint32_t, 3>{corner, corner + 1, corner + 2};
        const std::uint32_t a = positionId(v[0]), b = positionId(v[1]), c = positionId(v[2]);
        if (a == b || b == c || c == a)
            continue;
        const std::uint32_t third = pointAt(v[2]), second = pointAt(v[1]);
        welded.triangles.emplace_back(pointAt(v[0]), second, third);
    }
    return welded;
}

VertexWelder::VertexWelder(std::size_t expectedPoints) {
    m_points.reserve(expectedPoints);
    m_slots.assign(slotCountFor(expectedPoints), 0);
}

std::size_t VertexWelder::findSlot(const ON_3dPoint& p) const {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hashOf(p) & mask;
    while (m_slots[slot] != 0 && !samePosition(m_points[m_slots[slot] - 1], p))
        slot = (slot + 1) & mask;
    return slot;
}

std::uint64_t VertexWelder::add(const ON_3dPoint& p) {
    std::size_t slot = findSlot(p);
    if (m_slots[slot] != 0)
        return m_slots[slot] - 1;
    if (m_points.size() >= std::numeric_limits<std::uint32_t>::max() - 1) // slots hold index + 1
        throw std::length_error("more than 4 billion distinct vertices");
    m_points.push_back(p);
    if (2 * m_points.size() > m_slots.size()) {
        rehash(2 * m_slots.size());
        return m_points.size() - 1;
    }
    m_slots[slot] = static_cast<std::uint32_t>(m_points.size());
    return m_points.size() - 1;
}

void VertexWelder::rehash(std::size_t slotCount) {
    m_slots.assign(slotCount, 0);
    const std::size_t mask = slotCount - 1;
    for (std::size_t i = 0; i < m_points.size(); ++i) {
        std::size_t slot = hashOf(m_points[i]) & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

Kv::KvPointList VertexWelder::takePoints() {
    Kv::KvPointList points = std::move(m_points);
    m_points.clear();
    m_slots.assign(slotCountFor(0), 0);
    return points;
}

} // namespace kvhlr
