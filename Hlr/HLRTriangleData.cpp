#include "Hlr/HLRTriangleData.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRHugePages.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

// A macro rather than a function: GCC takes a function that only prefetches for one without
// effect and drops its calls.
#if defined(__GNUC__)
#define KVHLR_PREFETCH(address) __builtin_prefetch(address)
#else
#define KVHLR_PREFETCH(address) static_cast<void>(address)
#endif

namespace KvHLR {

namespace {

constexpr std::size_t kMaxIndexCount = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

// Both vertex indices in one 64-bit word, smaller one high: unique for every pair of 32-bit
// indices, however many vertices the store holds.
std::uint64_t edgeKey(std::int32_t i, std::int32_t j) {
    const auto lo = static_cast<std::uint32_t>(std::min(i, j));
    const auto hi = static_cast<std::uint32_t>(std::max(i, j));
    return (static_cast<std::uint64_t>(lo) << 32) | hi;
}

// Maps edge keys to edge positions. Open addressing with linear probing in a power-of-two table,
// kept at most 3/4 full. It starts with two slots per triangle: a closed surface has 3/2 edges per
// triangle and never makes it grow; a soup of loose triangles, with up to three, makes it double.
class EdgeTable {
public:
    explicit EdgeTable(std::size_t triangleCount) {
        std::size_t capacity = 16;
        while (capacity < 2 * triangleCount) {
            capacity *= 2;
        }
        HLRHugePages::reserve(m_slots, capacity);
        m_slots.assign(capacity, Slot{kEmpty, 0});
    }

    // The slot where the search for `key` begins.
    const void* home(std::uint64_t key) const { return &m_slots[hash(key) & (m_slots.size() - 1)]; }

    // Returns the position stored under `key`, storing `fresh` there first if the key is new.
    std::size_t findOrInsert(std::uint64_t key, std::size_t fresh) {
        if (4 * m_used >= 3 * m_slots.size()) {
            grow();
        }
        Slot& slot = m_slots[slotFor(key)];
        if (slot.key == kEmpty) {
            slot = Slot{key, fresh};
            ++m_used;
        }
        return slot.edge;
    }

private:
    // No key has its high word equal to its low word, since the indices of an edge differ.
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};

    struct Slot {
        std::uint64_t key;
        std::size_t edge; // a 32-bit position would be padded to 64 bits anyway
    };

    // The finaliser of splitmix64: neighbouring indices land far apart.
    static std::size_t hash(std::uint64_t key) {
        key = (key ^ (key >> 30)) * 0xBF58476D1CE4E5B9ull;
        key = (key ^ (key >> 27)) * 0x94D049BB133111EBull;
        return static_cast<std::size_t>(key ^ (key >> 31));
    }

    // The slot holding `key`, or the free one where it belongs; one exists as the table is never full.
    std::size_t slotFor(std::uint64_t key) const {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = hash(key) & mask;
        while (m_slots[i].key != key && m_slots[i].key != kEmpty) {
            i = (i + 1) & mask;
        }
        return i;
    }

    void grow() {
        std::vector<Slot> old(2 * m_slots.size(), Slot{kEmpty, 0});
        old.swap(m_slots);
        for (const Slot& slot : old) {
            if (slot.key != kEmpty) {
                m_slots[slotFor(slot.key)] = slot;
            }
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

bool isDegenerate(const HLRTriangle& t) {
    const std::int32_t a = t.vertices[0], b = t.vertices[1], c = t.vertices[2];
    return a == b || b == c || c == a;
}

// The key of the side of `t` that starts at its vertex `side`.
std::uint64_t sideKey(const HLRTriangle& t, int side) {
    return edgeKey(t.vertices[side], t.vertices[(side + 1) % 3]);
}

// Enters the side of the triangle at `index` that starts at its vertex `side` into the edge it lies on.
void addSide(EdgeTable& table, HLRTriangleData::EdgeSequence& edges, const HLRTriangle& t, std::int32_t index,
             int side) {
    const std::int32_t from = t.vertices[side];
    const std::int32_t to = t.vertices[(side + 1) % 3];
    const std::size_t fresh = edges.size();
    const std::size_t position = table.findOrInsert(sideKey(t, side), fresh);
    if (position == fresh) {
        edges.emplace_back(from, to, index);
    } else if (from != edges[position].startVertex()) {
        edges[position].setRightTriangle(index);
    } else {
        edges[position].setLeftTriangle(index);
    }
}

} // namespace

HLRTriangleData::~HLRTriangleData() = default;

void HLRTriangleData::reserve(std::size_t vertexCount, std::size_t triangleCount) {
    if (vertexCount > kMaxIndexCount || triangleCount > kMaxIndexCount) {
        throw std::length_error("HLRTriangleData::reserve(): more than 2^31 - 1 vertices or triangles");
    }
    HLRHugePages::reserve(m_vertices, vertexCount);
    HLRHugePages::reserve(m_triangles, triangleCount);
}

std::int32_t HLRTriangleData::addVertex(double x, double y, double z) {
    if (m_vertices.size() == m_vertices.capacity()) {
        throw std::length_error("HLRTriangleData::addVertex(): reserved room used up");
    }
    m_vertices.emplace_back(x, y, z);
    return static_cast<std::int32_t>(m_vertices.size() - 1);
}

HLRTriangle& HLRTriangleData::addTriangle(std::size_t a, std::size_t b, std::size_t c) {
    const std::size_t n = m_vertices.size();
    if (a >= n || b >= n || c >= n) {
        throw std::out_of_range("HLRTriangleData::addTriangle(): vertex index out of range");
    }
    if (m_triangles.size() == m_triangles.capacity()) {
        throw std::length_error("HLRTriangleData::addTriangle(): reserved room used up");
    }
    return m_triangles.emplace_back(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b),
                                    static_cast<std::int32_t>(c));
}

void HLRTriangleData::buildEdges() {
    m_edges.clear();
    EdgeTable table(m_triangles.size());
    // Slots are spread at random over a table far larger than the caches: asking for those of a
    // later triangle while this one is processed hides most of the memory latency.
    constexpr std::size_t kLookAhead = 8;
    for (std::size_t t = 0; t < m_triangles.size(); ++t) {
        for (int side = 0; side < 3 && t + kLookAhead < m_triangles.size(); ++side) {
            KVHLR_PREFETCH(table.home(sideKey(m_triangles[t + kLookAhead], side)));
        }
        HLRCancelPoll::check();
        const HLRTriangle& triangle = m_triangles[t];
        if (!isDegenerate(triangle)) {
            for (int side = 0; side < 3; ++side) {
                addSide(table, m_edges, triangle, static_cast<std::int32_t>(t), side);
            }
        }
    }
}

} // namespace KvHLR
