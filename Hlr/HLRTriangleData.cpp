#include "Hlr/HLRTriangleData.h"

#include "Hlr/HLRCancelPoll.h"
#include "Hlr/HLRHugePages.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace KvHLR {

namespace {

constexpr std::size_t kMaxIndexCount = static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

bool isDegenerate(const HLRTriangle& t) {
    const std::int32_t a = t.vertices[0], b = t.vertices[1], c = t.vertices[2];
    return a == b || b == c || c == a;
}

// The edges met so far, each filed under one of its ends: the one on fewer triangle sides (the lower
// position on a tie). Each vertex has room for every side filed under it, so filing needs no hashing
// and never grows, and an edge is found by scanning its end's short list: ends with many sides (a
// fan's centre) file their edges under their neighbours, so no list grows with the model. The order
// of a mesh's vertices usually follows its surface, so the lists in use lie close together in memory.
class EdgesByEnd {
public:
    EdgesByEnd(const std::vector<HLRTriangle>& triangles, std::size_t vertexCount) {
        HLRHugePages::assign(m_sides, vertexCount, 0u);
        HLRHugePages::assign(m_begin, vertexCount + 1, 0u);
        forEachSide(triangles, [this](std::int32_t a, std::int32_t b) {
            ++m_sides[static_cast<std::size_t>(a)];
            ++m_sides[static_cast<std::size_t>(b)];
        });
        forEachSide(triangles, [this](std::int32_t a, std::int32_t b) { ++m_begin[owner(a, b) + 1]; });
        for (std::size_t v = 0; v < vertexCount; ++v)
            m_begin[v + 1] += m_begin[v];
        HLRHugePages::reserve(m_end, vertexCount);
        m_end.assign(m_begin.begin(), m_begin.end() - 1);
        HLRHugePages::reserve(m_entries, m_begin.back());
        m_entries.resize(m_begin.back());
    }

    // Every side of a triangle filed: the most edges there can be.
    std::size_t sides() const { return m_entries.size(); }

    // The position of the edge between a and b, `fresh` if it is new (and then filed as that).
    std::uint32_t findOrInsert(std::int32_t a, std::int32_t b, std::uint32_t fresh) {
        const std::size_t end = owner(a, b);
        const std::int32_t other = static_cast<std::size_t>(a) == end ? b : a;
        for (std::uint32_t i = m_begin[end]; i < m_end[end]; ++i) {
            if (m_entries[i].other == other)
                return m_entries[i].edge;
        }
        m_entries[m_end[end]++] = Entry{other, fresh};
        return fresh;
    }

private:
    struct Entry {
        std::int32_t other;
        std::uint32_t edge;
    };

    template <class Visit> static void forEachSide(const std::vector<HLRTriangle>& triangles, Visit&& visit) {
        for (const HLRTriangle& t : triangles) {
            HLRCancelPoll::check();
            if (!isDegenerate(t)) {
                for (int side = 0; side < 3; ++side)
                    visit(t.vertices[side], t.vertices[(side + 1) % 3]);
            }
        }
    }

    std::size_t owner(std::int32_t a, std::int32_t b) const {
        const std::uint32_t sa = m_sides[static_cast<std::size_t>(a)],
                            sb = m_sides[static_cast<std::size_t>(b)];
        return static_cast<std::size_t>(sa < sb || (sa == sb && a < b) ? a : b);
    }

    std::vector<std::uint32_t> m_sides; // triangle sides at each vertex
    std::vector<std::uint32_t> m_begin; // where each vertex's list starts; one more for the end
    std::vector<std::uint32_t> m_end;   // where each vertex's list ends so far
    std::vector<Entry> m_entries;
};

// Enters the side of the triangle at `index` that starts at its vertex `side` into the edge it lies on.
void addSide(EdgesByEnd& filed, HLRTriangleData::EdgeSequence& edges, const HLRTriangle& t,
             std::int32_t index, int side) {
    const std::int32_t from = t.vertices[side];
    const std::int32_t to = t.vertices[(side + 1) % 3];
    const auto fresh = static_cast<std::uint32_t>(edges.size());
    const std::uint32_t position = filed.findOrInsert(from, to, fresh);
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
    if (3 * m_triangles.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("HLRTriangleData::buildEdges(): more edges than 32-bit positions can number");
    }
    EdgesByEnd filed(m_triangles, m_vertices.size());
    // Room for an edge a side, so that the edges are never copied as they come: a closed mesh uses half
    // of it, and the pages of the rest are never touched. Every mesh whose edges have at most two sides
    // uses the first half, which is touched ahead on the library's threads.
    m_edges.reserve(filed.sides());
    HLRHugePages::advise(m_edges.data(), m_edges.capacity() * sizeof(m_edges[0]));
    HLRHugePages::prefault(m_edges.data(), m_edges.capacity() / 2 * sizeof(m_edges[0]));
    for (std::size_t t = 0; t < m_triangles.size(); ++t) {
        HLRCancelPoll::check();
        const HLRTriangle& triangle = m_triangles[t];
        if (!isDegenerate(triangle)) {
            for (int side = 0; side < 3; ++side) {
                addSide(filed, m_edges, triangle, static_cast<std::int32_t>(t), side);
            }
        }
    }
}

} // namespace KvHLR
